// The machines of the install steps, the record and the variables, kept in
// memory for the host tests: files, folders, registry keys and values, INI
// entries and services, with a log of what each step asked for.
#pragma once
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "record/install_record.h"
#include "record/record_removal.h"
#include "run/variables.h"
#include "steps/file_step.h"
#include "steps/services.h"
#include "steps/shortcuts.h"
#include "steps/system_settings.h"
#include "steps/uninstall_registration.h"
#include "steps/version_rule.h"

namespace kq::fakes {

// Windows paths and registry names ignore case.
struct IgnoreCase {
    bool operator()(const std::string& a, const std::string& b) const;
};
using NameSet = std::set<std::string, IgnoreCase>;

// Files that exist by name, and every change asked for, in order.
class FileNames {
public:
    bool IsThere(const std::string& path) const { return files.count(path) != 0; }
    // Logged as "copy FROM > TO"; the copy exists when its source did.
    bool CopyListed(const std::string& from, const std::string& to);

    NameSet files;
    std::vector<std::string> ops;
};

// Uninstall registration: folders exist when listed, value writes land in
// `values` ("#N" for numbers) and must go to `valueKey`.
class FakeRegistrationMachine : public RegistrationMachine, public FileNames {
public:
    bool IsFile(const std::string& path) override { return IsThere(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override { return CopyListed(from, to); }
    bool CopyFolderInto(const std::string& folder, const std::string& destination) override;
    std::string FileVersion(const std::string& path) override;
    std::string CurrentDirectory() override { return currentDirectory; }
    bool CreateMachineKey(const std::string& subKey) override;
    bool WriteMachineValue(const std::string& subKey, const UninstallValue& value) override;

    std::string valueKey;
    std::set<std::string> folders;
    std::map<std::string, std::string> values;
    std::map<std::string, std::string> versions;  // FileVersion texts; none: "(null)"
    std::string currentDirectory = "C:\\pkg";
    bool keyWorks = true;
};

// A registry and a file system in memory; every change is logged.
class FakeSettingsMachine : public SettingsMachine, public FileNames {
public:
    struct Value {
        std::string type;  // "sz", "expand", "dword", "binary"
        std::string data;  // text, decimal number or bytes
    };
    using Values = std::map<std::string, Value, IgnoreCase>;

    static std::string KeyName(RegistryRoot root, const std::string& subKey) {
        return FormatRegistryKeyPath(root, subKey);
    }
    bool HasKey(RegistryRoot root, const std::string& subKey) const {
        return keys.count(KeyName(root, subKey)) != 0;
    }
    const Value* Find(RegistryRoot root, const std::string& subKey, const std::string& name) const;

    bool IsFile(const std::string& path) override { return IsThere(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override { return CopyListed(from, to); }
    bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) override;
    bool CreateKey(RegistryRoot root, const std::string& subKey) override;
    bool WriteString(RegistryRoot root, const std::string& subKey, const std::string& name, const std::string& value,
                     bool expandable) override {
        return Set(root, subKey, name, {expandable ? "expand" : "sz", CutRegistryText(value)});
    }
    bool WriteEnvironmentValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                               const std::string& value, bool expandable) override {
        return Set(root, subKey, name, {expandable ? "expand" : "sz", value});
    }
    bool WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name, uint32_t value) override {
        return Set(root, subKey, name, {"dword", std::to_string(value)});
    }
    bool WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                         const std::string& text) override {
        return Set(root, subKey, name, {"binary", text + std::string(1, '\0')});
    }
    bool ReadString(RegistryRoot root, const std::string& subKey, const std::string& name, std::string* value,
                    bool* expandable) override;
    bool DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) override;
    void AnnounceEnvironmentChange() override { ++announcements; }

    std::map<std::string, Values, IgnoreCase> keys;
    int announcements = 0;

private:
    // The value's key must exist: the writers never create one.
    bool Set(RegistryRoot root, const std::string& subKey, const std::string& name, const Value& value);
};

// Logs what the shortcut step asks of the machine; copies leave no file.
class FakeShortcutMachine : public ShortcutMachine, public FileNames {
public:
    bool IsFile(const std::string& path) override { return IsThere(path); }
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    void CreateFolderPath(const std::string& path) override { ops.push_back("mkdir " + path); }
    bool CreateInternetShortcut(const std::string& address, const std::string& path) override;
    bool CreateShellLink(const ShellLinkSpec& link) override;

    std::vector<ShellLinkSpec> links;
    bool saves = true;
};

// A service control manager in memory: names already installed fail, as do
// the names told to fail a number of times.
class FakeServiceMachine : public ServiceMachine {
public:
    ServiceCreation Install(const ServiceSpec& spec) override;

    bool managerOpens = true;
    std::map<std::string, int> failures;  // name -> failures left
    std::set<std::string> installed;
    std::map<std::string, std::string> inPlace;  // name -> command line of a service already there
    std::vector<ServiceSpec> attempts;
};

// What the system gives a file that has just been written.
constexpr uint32_t kAttributeArchive = 0x20;

struct FakeFile {
    std::string content;
    std::string version = kNoFileVersion;
    uint32_t attributes = kAttributeArchive;
};

// Files in a map; copies and moves fail while failures are left.
class FakeFileMachine : public FileMachine {
public:
    bool Exists(const std::string& path) override { return files.count(path) != 0; }
    bool ReadText(const std::string& path, std::string& text) override;
    bool WriteText(const std::string& path, const std::string& text) override {
        files[path].content = text;
        return true;
    }
    std::string VersionText(const std::string& path) override {
        return Exists(path) ? files[path].version : kNoFileVersion;
    }
    bool GetAttributes(const std::string& path, uint32_t& attributes) override;
    void SetAttributes(const std::string& path, uint32_t attributes) override { files[path].attributes = attributes; }
    bool Move(const std::string& from, const std::string& to) override;
    bool Copy(const std::string& from, const std::string& to) override { return Transfer(from, to, "copy"); }
    // Unpacking fails like a transfer while failures are left, or ends as
    // `unpackEnd` says; either way nothing is left at `to`.
    EntryResult Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) override;
    // Each as "entry>destination", and how many operations came before.
    void Foresee(const std::vector<ForeseenFile>& told) override {
        for (const ForeseenFile& file : told) foreseen.push_back(file.entry + ">" + file.destination);
        foreseenAfter = operations.size();
    }
    // Made empty, as the system makes a unique name.
    std::string StagingPath(const std::string& destination) override;
    void Remove(const std::string& path) override { files.erase(path); }
    void RegisterServer(const std::string& path) override { operations.push_back("register " + path); }
    FailureChoice AskAfterCopyFailure(const std::string& text) override;
    void TellFatalCopyFailure(const std::string& text) override { fatal.push_back(text); }
    // A failed transfer leaves an empty file (the server's refusal came after
    // it was created); a cancelled one leaves nothing.
    DownloadResult Download(const std::string& address, const std::string& destination) override;

    std::map<std::string, FakeFile> files;
    std::map<std::string, FakeFile> entries;  // the cabinet's, by entry name
    EntryResult unpackEnd = EntryResult::kDone;
    int stagings = 0;
    int failures = 0;
    bool movesFail = false;
    DownloadResult downloadResult = DownloadResult::kDone;
    std::vector<FailureChoice> answers;
    std::vector<std::string> questions, fatal, operations, foreseen;
    size_t foreseenAfter = 0;

private:
    bool Transfer(const std::string& from, const std::string& to, const char* what);
};

// Files, folders, keys, values, INI entries and services in memory.
struct MachineState {
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    std::set<std::string> keys;                // "hkey_...\sub"
    std::map<std::string, ValueState> values;  // "hkey_...\sub|name"
    std::map<std::string, std::string> ini;    // "file|section|key"
    std::map<std::string, std::string> services;
    bool operator==(const MachineState& o) const {
        return files == o.files && folders == o.folders && keys == o.keys && values == o.values && ini == o.ini &&
               services == o.services;
    }
};

// The registry ignores case.
std::string KeyName(RegistryRoot root, const std::string& subKey);
std::string ValueName(RegistryRoot root, const std::string& subKey, const std::string& name);
std::string Parent(const std::string& path);

// One machine state seen by the install steps that record and by the
// removal that reads the record back; `locked` files cannot be deleted or
// replaced; `running` is the program that removes.
class FakeRecordedMachine : public RecordMachine, public SettingsMachine, public ServiceMachine {
public:
    MachineState s;
    std::set<std::string> locked;
    std::string running;
    std::set<std::string> newIni;
    std::vector<std::string> events;
    // The files foreseen, and those whose content was then asked for.
    std::vector<std::string> foreseen, read;

    // RecordMachine
    bool Fingerprint(const std::string& path, FileFingerprint* fingerprint) override {
        if (fingerprint != nullptr) read.push_back(path);
        auto it = s.files.find(path);
        if (it == s.files.end()) return false;
        if (fingerprint != nullptr) *fingerprint = FingerprintOf(it->second, KindOfHash(fingerprint->hash));
        return true;
    }
    void Foresee(const std::vector<std::pair<std::string, FileFingerprint>>& files) override {
        for (const auto& file : files) foreseen.push_back(file.first);
    }
    bool FolderExists(const std::string& path) override { return s.folders.count(path) != 0; }
    bool IsRunningProgram(const std::string& path) override { return path == running; }
    bool PutBack(const std::string& copy, const std::string& path) override {
        auto it = s.files.find(copy);
        if (it == s.files.end() || locked.count(path) != 0) return false;
        s.files[path] = it->second;
        s.files.erase(copy);
        return true;
    }
    bool RemoveFile(const std::string& path) override {
        if (locked.count(path) != 0) return false;
        events.push_back("delete " + path);
        s.files.erase(path);
        // An INI file's entries go with it.
        for (auto it = s.ini.begin(); it != s.ini.end();)
            it = it->first.compare(0, path.size() + 1, path + "|") == 0 ? s.ini.erase(it) : std::next(it);
        return true;
    }
    bool Holds(const std::string& folder) const {
        for (const auto& f : s.files) {
            if (Parent(f.first) == folder) return true;
        }
        for (const std::string& d : s.folders) {
            if (Parent(d) == folder) return true;
        }
        return false;
    }
    bool RemoveEmptyFolder(const std::string& path) override {
        if (Holds(path)) return false;
        s.folders.erase(path);
        return true;
    }
    bool DeleteFolderTree(const std::string& path) override {
        std::string folder = WithoutTrailingBackslash(path);
        for (auto it = s.files.begin(); it != s.files.end();) {
            it = it->first.compare(0, folder.size() + 1, folder + "\\") == 0 ? s.files.erase(it) : std::next(it);
        }
        s.folders.erase(folder);
        return true;
    }
    bool KeyExists(RegistryRoot root, const std::string& subKey) override {
        return s.keys.count(KeyName(root, subKey)) != 0;
    }
    bool DeleteEmptyKey(RegistryRoot root, const std::string& subKey) override {
        const std::string key = KeyName(root, subKey);
        for (const std::string& k : s.keys) {
            if (k.size() > key.size() && k.compare(0, key.size() + 1, key + "\\") == 0) return false;
        }
        for (const auto& v : s.values) {
            if (v.first.compare(0, key.size() + 1, key + "|") == 0) return false;
        }
        s.keys.erase(key);
        return true;
    }
    bool DeleteKeyTree(RegistryRoot root, const std::string& subKey) override {
        const std::string key = KeyName(root, subKey);
        for (auto it = s.keys.begin(); it != s.keys.end();) {
            it = (*it == key || it->compare(0, key.size() + 1, key + "\\") == 0) ? s.keys.erase(it) : std::next(it);
        }
        for (auto it = s.values.begin(); it != s.values.end();) {
            it = it->first.compare(0, key.size() + 1, key + "|") == 0 ? s.values.erase(it) : std::next(it);
        }
        return true;
    }
    ValueState ReadValue(RegistryRoot root, const std::string& subKey, const std::string& name) override {
        auto it = s.values.find(ValueName(root, subKey, name));
        return it == s.values.end() ? ValueState() : it->second;
    }
    bool WriteValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                    const ValueState& state) override {
        if (!state.present) {
            s.values.erase(ValueName(root, subKey, name));
            return true;
        }
        s.keys.insert(KeyName(root, subKey));
        s.values[ValueName(root, subKey, name)] = state;
        return true;
    }
    bool ReadIni(const std::string& file, const std::string& section, const std::string& key,
                 std::string* value) override {
        auto it = s.ini.find(file + "|" + section + "|" + key);
        if (it == s.ini.end()) return false;
        *value = it->second;
        return true;
    }
    bool WriteIni(const std::string& file, const std::string& section, const std::string& key,
                  const std::string* value) override {
        if (value == nullptr) {
            s.ini.erase(file + "|" + section + "|" + key);
        } else {
            s.ini[file + "|" + section + "|" + key] = *value;
        }
        return true;
    }
    bool ServiceProgram(const std::string& name, std::string* program) override {
        auto it = s.services.find(name);
        if (it == s.services.end()) return false;
        *program = it->second;
        return true;
    }
    bool DeleteService(const std::string& name) override {
        events.push_back("service " + name);
        s.services.erase(name);
        return true;
    }
    bool UnregisterServer(const std::string& path) override {
        events.push_back("unregister " + path);
        return true;
    }

    // SettingsMachine
    bool IsFile(const std::string& path) override { return s.files.count(path) != 0; }
    bool CopyFileTo(const std::string& from, const std::string& to) override {
        if (s.files.count(from) == 0 || s.folders.count(Parent(to)) == 0) return false;
        s.files[to] = s.files[from];
        return true;
    }
    bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) override {
        // A new file's content changes with each entry.
        if (s.files.count(file) == 0 || newIni.count(file) != 0) {
            s.files[file] += "[" + section + "]" + key + "=" + value + ";";
            newIni.insert(file);
        }
        return WriteIni(file, section, key, &value);
    }
    bool CreateKey(RegistryRoot root, const std::string& subKey) override {
        for (size_t at = 0; at <= subKey.size(); ++at) {
            if (at == subKey.size() || subKey[at] == '\\') s.keys.insert(KeyName(root, subKey.substr(0, at)));
        }
        return true;
    }
    bool WriteString(RegistryRoot root, const std::string& subKey, const std::string& name, const std::string& value,
                     bool expandable) override {
        if (!KeyExists(root, subKey)) return false;
        return WriteValue(root, subKey, name, StringState(value, expandable));
    }
    bool WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name, uint32_t value) override {
        if (!KeyExists(root, subKey)) return false;
        return WriteValue(root, subKey, name, NumberState(value));
    }
    bool WriteEnvironmentValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                               const std::string& value, bool expandable) override {
        return WriteString(root, subKey, name, value, expandable);
    }
    bool WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                         const std::string& text) override {
        ValueState state;
        state.present = true;
        state.type = kValueBinary;
        state.data = text + '\0';
        if (!KeyExists(root, subKey)) return false;
        return WriteValue(root, subKey, name, state);
    }
    bool ReadString(RegistryRoot root, const std::string& subKey, const std::string& name, std::string* value,
                    bool* expandable) override {
        ValueState state = ReadValue(root, subKey, name);
        if (!state.present) return false;
        *value = state.data.substr(0, state.data.find('\0'));
        *expandable = state.type == kValueExpandString;
        return true;
    }
    bool DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) override {
        return WriteValue(root, subKey, name, ValueState());
    }
    void AnnounceEnvironmentChange() override {}

    // ServiceMachine
    ServiceCreation Install(const ServiceSpec& spec) override {
        if (s.services.count(spec.name) != 0) return ServiceCreation::kFailed;
        s.services[spec.name] = spec.commandLine;
        return ServiceCreation::kCreated;
    }
};

// A machine of maps for the variables; every call is logged in order.
class FakeVariableMachine : public VariableMachine {
public:
    std::string ReadRegistry(RegistryRoot root, const std::string& key, const std::string& value) override;
    bool Exists(const std::string& path) override;
    std::string ReadIni(const std::string& file, const std::string& section, const std::string& key) override;
    std::string FetchText(const std::string& address) override;
    bool WindowExists(const std::string& windowClass, const std::string& title) override;
    void ShowWaitWindow() override { calls.push_back("wait shown"); }
    void CloseWaitWindow() override { calls.push_back("wait closed"); }

    std::map<std::string, std::string> registry, ini, web;
    std::set<std::string> paths;
    std::vector<std::string> calls;
};

}  // namespace kq::fakes
