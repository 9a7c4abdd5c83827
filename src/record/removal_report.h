// What a removal did, or in a plan would do, item by item: for the
// maintenance runner's log ("/LOG=") and its plan ("/PLAN").
//
// A removal from the install record (record_removal.h) works through a
// RecordMachine; the reporting machine stands between it and the real one.
// It answers every question from the real machine and reports each change
// the removal asks for as an item: a file, folder, key, service or server
// removed, a value or INI entry removed or restored. Acting, it makes the
// change and reports it only when it succeeded; a change that failed shows
// in the removal's own report (left or kept), whose lines become items too.
// In a plan it makes nothing and reports each change as if it succeeded,
// so the plan lists what the removal that follows would do on this machine
// now.
#pragma once
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "record/record_removal.h"
#include "record/removal_steps.h"

namespace kq {

struct RemovalItem {
    // "removed", "restored", "kept", "skipped" (refused as out of reach),
    // "left" (could not be removed now) or "run" (the author's program)
    std::string action;
    // What, as the removal's report names it: "file C:\...", "folder ...",
    // "key HKEY_...", "value HKEY_...\name", "INI entry ...", "service ...",
    // "server ...", "program ..."
    std::string what;
    std::string why;  // for kept, skipped and left
};

using RemovalItemSink = std::function<void(const RemovalItem&)>;

class ReportingRecordMachine : public RecordMachine {
public:
    // True when `folder` would be empty once every path of `gone` (lower
    // case) is gone; asked in a plan instead of removing an empty folder.
    using EmptyOnceGone = std::function<bool(const std::string& folder, const std::set<std::string>& gone)>;

    ReportingRecordMachine(RecordMachine& real, RemovalItemSink sink, bool act, EmptyOnceGone emptyOnceGone = nullptr)
        : m_real(real), m_sink(std::move(sink)), m_act(act), m_emptyOnceGone(std::move(emptyOnceGone)) {}

    // In a plan what it has removed is no longer there.
    bool Fingerprint(const std::string& path, FileFingerprint* fingerprint) override {
        return !Gone(path) && m_real.Fingerprint(path, fingerprint);
    }
    bool FolderExists(const std::string& path) override { return !Gone(path) && m_real.FolderExists(path); }
    void Foresee(const std::vector<std::pair<std::string, FileFingerprint>>& files) override { m_real.Foresee(files); }
    bool IsRunningProgram(const std::string& path) override { return m_real.IsRunningProgram(path); }
    bool RemoveFile(const std::string& path) override;
    bool RemoveEmptyFolder(const std::string& path) override;
    bool DeleteFolderTree(const std::string& path) override;
    bool KeyExists(RegistryRoot root, const std::string& subKey) override {
        return !Gone(FormatRegistryKeyPath(root, subKey)) && m_real.KeyExists(root, subKey);
    }
    bool DeleteEmptyKey(RegistryRoot root, const std::string& subKey) override;
    bool DeleteKeyTree(RegistryRoot root, const std::string& subKey) override;
    ValueState ReadValue(RegistryRoot root, const std::string& subKey, const std::string& name) override {
        return m_real.ReadValue(root, subKey, name);
    }
    bool WriteValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                    const ValueState& state) override;
    bool ReadIni(const std::string& file, const std::string& section, const std::string& key,
                 std::string* value) override {
        return !Gone(file) && m_real.ReadIni(file, section, key, value);
    }
    bool WriteIni(const std::string& file, const std::string& section, const std::string& key,
                  const std::string* value) override;
    bool ServiceProgram(const std::string& name, std::string* program) override {
        return m_real.ServiceProgram(name, program);
    }
    bool DeleteService(const std::string& name) override;
    bool UnregisterServer(const std::string& path) override;

private:
    // In a plan: a path or key path ("HKEY_...\\sub") removed, or one below it.
    bool Gone(const std::string& name) const;
    void Forget(const std::string& name);
    // Makes the change when acting; reports it when it is made (or, in a
    // plan, would be). The result is the change's.
    bool Change(const char* action, const std::string& what, const std::function<bool()>& make);

    RecordMachine& m_real;
    RemovalItemSink m_sink;
    bool m_act;
    EmptyOnceGone m_emptyOnceGone;
    std::set<std::string> m_gone;  // lower-case paths and key paths a plan has removed
};

// The lines of a removal's report ("what: why") as items of `action`.
void ReportItems(const char* action, const std::vector<std::string>& lines, const RemovalItemSink& sink);

}  // namespace kq
