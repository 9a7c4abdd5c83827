// Filling the install record (install_record.h) while the install steps
// run. Each recorder stands in for a step's machine: it asks the real
// machine what is there before a change, lets the change happen, and adds
// what it made or replaced to the record. The steps themselves do not know
// about the record.
//
// What the record costs: a look before each change (a file's existence, a
// key, a value, an INI entry) and the SHA-256 of each file setup writes.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/directories.h"
#include "base/string_set.h"
#include "record/install_record.h"
#include "record/record_removal.h"
#include "run/file_list.h"
#include "steps/file_step.h"
#include "steps/services.h"
#include "steps/shortcuts.h"
#include "steps/system_settings.h"
#include "steps/uninstall_registration.h"

namespace kq {

// Shared by the recorders and the plan machines (plan_machines.h): each
// looks at the machine as it is (`m_state`) before a change and puts the
// change into `m_record` (for a plan, the plan) in the install record's
// terms. A recorder then lets the change happen; a plan machine does not.
class ChangeWatch {
public:
    ChangeWatch(RecordMachine& state, InstallRecord& record) : m_state(state), m_record(record) {}

protected:
    // The entry of an INI value about to be written, with what was there.
    RecordEntry IniEntry(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& value) const;

    RecordMachine& m_state;
    InstallRecord& m_record;
};

// A service or a server the run installs, by its name or path.
void RecordInstalled(InstallRecord& record, RecordKind kind, const std::string& name);

// Shared by the recorders: files written, keys and folders made.
class RecordingBase : protected ChangeWatch {
public:
    RecordingBase(RecordMachine& state, InstallRecord& record) : ChangeWatch(state, record) {}

protected:
    // Before writing `path`: remembers whether something was there, the
    // first time it is asked for that path (a failed first attempt that
    // leaves a piece of a file does not make the file an old one), and has
    // a file that was there set aside, once in the run. Nothing was in a
    // folder the run made: a path there is new, whenever it is written.
    // `isThere`, when given, asks the machine that writes instead of the
    // record's.
    void BeforeFile(const std::string& path, const std::function<bool(const std::string&)>& isThere = nullptr);
    // After a successful write of `path`; with `written` (what was written)
    // the file is not read back.
    void AfterFile(const std::string& path, const FileFingerprint* written = nullptr);
    // BeforeFile for files that are new (nothing is there), their lines for
    // the record in progress written at once.
    void BeforeNewFiles(const std::vector<std::string>& paths);
    // BeforeFile may have been asked for the path (given in lower case):
    // false only when it was not.
    bool Touched(const std::string& lowerPath) const;
    // The path (given in lower case) is in a folder the run made.
    virtual bool InFolderTheRunMade(const std::string& lowerPath) const;
    // Creates a folder path through `create`, recording every level made.
    void RecordFolders(const std::string& path, const std::function<void()>& create);
    // Writes the file `path` through `write`, recording it when it is done.
    bool RecordFile(const std::string& path, const std::function<bool()>& write);
    // Creates a key through `create`, recording every level made.
    bool RecordKeys(RegistryRoot root, const std::string& subKey, const std::function<bool()>& create);

private:
    // Lower case: the paths BeforeFile was asked for, and those of them
    // that were there before; those in folders the run made (a run of many
    // files writes nearly all there) only by their hashes.
    CompactStringSet m_touched;
    CompactStringSet m_existed;
    HashedStringSet m_touchedInMade;
};

// The levels of a key or folder path, shortest first: "A", "A\B", "A\B\C".
std::vector<std::string> PathLevels(const std::string& path);

// A value written from `before` to `after`: as an appended part when the
// environment step appended ";part" to a value of an environment key
// (removal then takes out only that part, from whatever the value holds by
// then), otherwise as the value with its earlier data.
void RecordValueChange(InstallRecord& record, RegistryRoot root, const std::string& subKey, const std::string& name,
                       const ValueState& before, const ValueState& after);

// Folders made with CreateDirectoryPath, every level recorded.
bool CreateRecordedDirectoryPath(const std::string& path,
                                 const std::function<CreateDirResult(const std::string&)>& create,
                                 InstallRecord& record);

class RecordingFileMachine : public FileMachine, private RecordingBase {
public:
    // The folders `record` holds by now are the run's own (made before the
    // file step).
    RecordingFileMachine(FileMachine& inner, RecordMachine& state, InstallRecord& record);
    bool InFolderTheRunMade(const std::string& lowerPath) const override;
    // Nothing is in a folder the run made but what the run put there: a
    // path there the run has not written is free without asking the system
    // (which would look through the whole folder for a name it lacks).
    bool Exists(const std::string& path) override;
    bool ReadText(const std::string& path, std::string& text) override { return m_inner.ReadText(path, text); }
    bool WriteText(const std::string& path, const std::string& text) override;
    std::string VersionText(const std::string& path) override { return m_inner.VersionText(path); }
    bool GetAttributes(const std::string& path, uint32_t& attributes) override {
        return m_inner.GetAttributes(path, attributes);
    }
    void SetAttributes(const std::string& path, uint32_t attributes) override { m_inner.SetAttributes(path, attributes); }
    bool Move(const std::string& from, const std::string& to) override;
    bool Copy(const std::string& from, const std::string& to) override;
    EntryResult Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) override;
    // Only files in folders the run made, at paths it has not written, go
    // on to be written ahead: they are known new, so the record in progress
    // names them (as files to delete should the run be killed) before any
    // is written, and they stay free for the step until it unpacks them.
    void Foresee(const std::vector<ForeseenFile>& files) override;
    void EndForesight() override;
    std::string StagingPath(const std::string& destination) override;
    void Remove(const std::string& path) override;
    void RegisterServer(const std::string& path) override;
    DownloadResult Download(const std::string& address, const std::string& destination) override;
    FailureChoice AskAfterCopyFailure(const std::string& text) override { return m_inner.AskAfterCopyFailure(text); }
    void TellFatalCopyFailure(const std::string& text) override { m_inner.TellFatalCopyFailure(text); }

private:
    // BeforeFile, asking the machine that writes whether something is there.
    void BeforeWrite(const std::string& to) {
        BeforeFile(to, [this](const std::string& path) { return Exists(path); });
    }

    FileMachine& m_inner;
    std::set<std::string> m_madeFolders;  // lower case, no trailing backslash
    // Foreseen (lower-case path) and not unpacked yet.
    std::set<std::string> m_foreseen;
    // Staging files handed out (lower-case path) and what was unpacked into
    // them, until they become a destination or go; no fingerprint once
    // their text was rewritten.
    std::map<std::string, FileFingerprint> m_staged;
};

// After the file step: every destination of the list that is there but was
// not written by setup existed before and was kept.
void RecordKeptFiles(const FileList& files, const ExpandFn& expand, RecordMachine& state, InstallRecord& record);

class RecordingSettingsMachine : public SettingsMachine, private RecordingBase {
public:
    RecordingSettingsMachine(SettingsMachine& inner, RecordMachine& state, InstallRecord& record)
        : RecordingBase(state, record), m_inner(inner) {}
    bool IsFile(const std::string& path) override { return m_inner.IsFile(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) override;
    bool CreateKey(RegistryRoot root, const std::string& subKey) override;
    bool WriteString(RegistryRoot root, const std::string& subKey, const std::string& name, const std::string& value,
                     bool expandable) override;
    bool WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name, uint32_t value) override;
    bool WriteEnvironmentValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                               const std::string& value, bool expandable) override;
    bool WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                         const std::string& text) override;
    bool ReadString(RegistryRoot root, const std::string& subKey, const std::string& name, std::string* value,
                    bool* expandable) override {
        return m_inner.ReadString(root, subKey, name, value, expandable);
    }
    bool DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) override;
    void AnnounceEnvironmentChange() override { m_inner.AnnounceEnvironmentChange(); }

    // INI files setup created are recorded with their final content, once
    // the step is over.
    void Finish();

private:
    // Records the change of one value to `intended`, made by `write`.
    bool RecordValue(RegistryRoot root, const std::string& subKey, const std::string& name, const ValueState& intended,
                     const std::function<bool()>& write);

    SettingsMachine& m_inner;
    std::vector<std::string> m_newIniFiles;
};

class RecordingServiceMachine : public ServiceMachine {
public:
    RecordingServiceMachine(ServiceMachine& inner, InstallRecord& record) : m_inner(inner), m_record(record) {}
    // As the other recorders are made; a service is recorded from the
    // service manager's answer alone.
    RecordingServiceMachine(ServiceMachine& inner, RecordMachine&, InstallRecord& record)
        : RecordingServiceMachine(inner, record) {}
    ServiceCreation Install(const ServiceSpec& spec) override;

private:
    ServiceMachine& m_inner;
    InstallRecord& m_record;
};

class RecordingShortcutMachine : public ShortcutMachine, private RecordingBase {
public:
    RecordingShortcutMachine(ShortcutMachine& inner, RecordMachine& state, InstallRecord& record)
        : RecordingBase(state, record), m_inner(inner) {}
    bool IsFile(const std::string& path) override { return m_inner.IsFile(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    void CreateFolderPath(const std::string& path) override;
    bool CreateInternetShortcut(const std::string& address, const std::string& path) override;
    bool CreateShellLink(const ShellLinkSpec& link) override;

private:
    ShortcutMachine& m_inner;
};

class RecordingRegistrationMachine : public RegistrationMachine, private RecordingBase {
public:
    RecordingRegistrationMachine(RegistrationMachine& inner, RecordMachine& state, InstallRecord& record)
        : RecordingBase(state, record), m_inner(inner) {}
    bool IsFile(const std::string& path) override { return m_inner.IsFile(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    std::string FileVersion(const std::string& path) override { return m_inner.FileVersion(path); }
    bool CopyFolderInto(const std::string& folder, const std::string& destination) override {
        return m_inner.CopyFolderInto(folder, destination);
    }
    std::string CurrentDirectory() override { return m_inner.CurrentDirectory(); }
    bool CreateMachineKey(const std::string& subKey) override;
    bool WriteMachineValue(const std::string& subKey, const UninstallValue& value) override;

private:
    RegistrationMachine& m_inner;
};

}  // namespace kq
