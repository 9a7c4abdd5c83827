// The machines of a plan ("/PLAN"): each stands in for a step's machine,
// answers its questions about the machine from the real one (what is there),
// and instead of acting adds to the plan what the change would be, in the
// install record's terms (install_record.h): a file new, replaced or kept,
// folders and keys created, values with their data before and after, INI
// entries, services and servers. Nothing is written outside the run's own
// working folder. The steps run as in an installation, so the plan names
// what an installation would do on this machine now.
//
// A file's fingerprint in the plan is that of the package's copy it would
// be installed from; a download or an Internet shortcut has none. The plan
// reads the machine as it is: a step that asks about something the same run
// would have made earlier (a value written twice, a file copied and then
// looked for) sees it missing, and a second write of one value shows the
// machine's data as its "before".
#pragma once
#include <set>
#include <string>

#include "base/directories.h"
#include "base/text.h"
#include "record/install_record.h"
#include "record/record_removal.h"
#include "steps/file_step.h"
#include "steps/install_recorders.h"
#include "steps/services.h"
#include "steps/shortcuts.h"
#include "steps/system_settings.h"
#include "steps/uninstall_registration.h"

namespace kq {

class PlanBase : protected ChangeWatch {
public:
    PlanBase(RecordMachine& state, InstallRecord& plan) : ChangeWatch(state, plan) {}

    // A folder level the directory step would create: Created when it is
    // not there (and planned once), else Exists.
    CreateDirResult PlanFolder(const std::string& path);

protected:
    // `to` would be written from `from` (empty: no source to read).
    void PlanFile(const std::string& from, const std::string& to);
    void PlanFolders(const std::string& path);
    void PlanKey(RegistryRoot root, const std::string& subKey);
    void PlanValue(RegistryRoot root, const std::string& subKey, const std::string& name, const ValueState& after);

private:
    std::set<std::string> m_planned;  // lower-case paths and keys already in the plan
};

// A plan machine standing in for a step's `Machine`: `m_real` answers what
// is there.
template <typename Machine>
class PlanMachine : public Machine, public PlanBase {
public:
    PlanMachine(Machine& real, RecordMachine& state, InstallRecord& plan) : PlanBase(state, plan), m_real(real) {}

protected:
    Machine& m_real;
};

class PlanFileMachine : public PlanMachine<FileMachine> {
public:
    using PlanMachine::PlanMachine;
    // The run's own folder (trailing backslash) where packed files are
    // unpacked to be looked at: the plan fingerprints what would be
    // installed, and leaves every destination folder alone.
    void StageIn(const std::string& folder) { m_stagingFolder = folder; }
    bool Exists(const std::string& path) override { return m_real.Exists(path); }
    bool ReadText(const std::string& path, std::string& text) override { return m_real.ReadText(path, text); }
    // Only the expansion of a packed file writes text, into the working
    // folder, which is the run's own: the plan then fingerprints the
    // expanded copy that would be installed.
    bool WriteText(const std::string& path, const std::string& text) override { return m_real.WriteText(path, text); }
    std::string VersionText(const std::string& path) override { return m_real.VersionText(path); }
    bool GetAttributes(const std::string& path, uint32_t& attributes) override {
        return m_real.GetAttributes(path, attributes);
    }
    void SetAttributes(const std::string&, uint32_t) override {}
    bool Move(const std::string& from, const std::string& to) override;
    bool Copy(const std::string& from, const std::string& to) override;
    EntryResult Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) override;
    std::string StagingPath(const std::string& destination) override;
    void Remove(const std::string& path) override;
    void RegisterServer(const std::string& path) override;
    DownloadResult Download(const std::string& address, const std::string& destination) override;
    FailureChoice AskAfterCopyFailure(const std::string&) override { return FailureChoice::kIgnore; }
    void TellFatalCopyFailure(const std::string&) override {}

private:
    bool IsStaged(const std::string& path) const { return m_staged.count(AsciiLower(path)) != 0; }

    std::string m_stagingFolder;
    std::set<std::string> m_staged;  // lower-case paths of the staging files handed out
    int m_stagings = 0;
};

class PlanSettingsMachine : public PlanMachine<SettingsMachine> {
public:
    using PlanMachine::PlanMachine;
    bool IsFile(const std::string& path) override { return m_real.IsFile(path); }
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
        return m_real.ReadString(root, subKey, name, value, expandable);
    }
    bool DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) override;
    void AnnounceEnvironmentChange() override {}
};

class PlanShortcutMachine : public PlanMachine<ShortcutMachine> {
public:
    using PlanMachine::PlanMachine;
    bool IsFile(const std::string& path) override { return m_real.IsFile(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    void CreateFolderPath(const std::string& path) override { PlanFolders(path); }
    bool CreateInternetShortcut(const std::string& address, const std::string& path) override;
    bool CreateShellLink(const ShellLinkSpec& link) override;
};

class PlanServiceMachine : public ServiceMachine, private ChangeWatch {
public:
    PlanServiceMachine(RecordMachine& state, InstallRecord& plan) : ChangeWatch(state, plan) {}
    // As the other plan machines are made; the service manager is only
    // asked, through `state`.
    PlanServiceMachine(ServiceMachine&, RecordMachine& state, InstallRecord& plan) : PlanServiceMachine(state, plan) {}
    // The service manager's answer as the real machine would give it: a
    // service of that name with the same command line is in place, one with
    // another fails, none is created.
    ServiceCreation Install(const ServiceSpec& spec) override;
};

// The machine as the shared-file count sees it: what is there comes from
// the real one, every change is taken and not made (the count's own
// entries in the record are the plan).
class PlanRecordMachine : public RecordMachine {
public:
    explicit PlanRecordMachine(RecordMachine& real) : m_real(real) {}
    bool Fingerprint(const std::string& path, FileFingerprint* fingerprint) override {
        return m_real.Fingerprint(path, fingerprint);
    }
    bool FolderExists(const std::string& path) override { return m_real.FolderExists(path); }
    bool RemoveFile(const std::string&) override { return true; }
    bool RemoveEmptyFolder(const std::string&) override { return true; }
    bool DeleteFolderTree(const std::string&) override { return true; }
    bool KeyExists(RegistryRoot root, const std::string& subKey) override { return m_real.KeyExists(root, subKey); }
    bool DeleteEmptyKey(RegistryRoot, const std::string&) override { return true; }
    bool DeleteKeyTree(RegistryRoot, const std::string&) override { return true; }
    ValueState ReadValue(RegistryRoot root, const std::string& subKey, const std::string& name) override {
        return m_real.ReadValue(root, subKey, name);
    }
    bool WriteValue(RegistryRoot, const std::string&, const std::string&, const ValueState&) override { return true; }
    bool ReadIni(const std::string& file, const std::string& section, const std::string& key,
                 std::string* value) override {
        return m_real.ReadIni(file, section, key, value);
    }
    bool WriteIni(const std::string&, const std::string&, const std::string&, const std::string*) override {
        return true;
    }
    bool ServiceProgram(const std::string& name, std::string* program) override {
        return m_real.ServiceProgram(name, program);
    }
    bool DeleteService(const std::string&) override { return true; }
    bool UnregisterServer(const std::string&) override { return true; }

private:
    RecordMachine& m_real;
};

class PlanRegistrationMachine : public PlanMachine<RegistrationMachine> {
public:
    using PlanMachine::PlanMachine;
    bool IsFile(const std::string& path) override { return m_real.IsFile(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    std::string FileVersion(const std::string& path) override { return m_real.FileVersion(path); }
    // The install record does not list a copied folder's files either.
    bool CopyFolderInto(const std::string&, const std::string&) override { return true; }
    std::string CurrentDirectory() override { return m_real.CurrentDirectory(); }
    bool CreateMachineKey(const std::string& subKey) override;
    bool WriteMachineValue(const std::string& subKey, const UninstallValue& value) override;
};

}  // namespace kq
