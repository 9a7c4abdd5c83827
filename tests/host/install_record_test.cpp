#include "engine/install_record.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/install_recorders.h"
#include "engine/record_removal.h"
#include "base/text.h"

namespace kq {
namespace {

constexpr char kInstallDir[] = "C:\\Program Files\\Acme\\Notes\\";
constexpr char kMaintenance[] = "C:\\WINDOWS\\Installer\\{P}\\";
constexpr char kSystemDll[] = "C:\\WINDOWS\\system32\\common.dll";

// Files, folders, keys, values, INI entries and services in memory.
struct MachineState {
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    std::set<std::string> keys;  // "HKEY_...\sub"
    std::map<std::string, ValueState> values;  // "HKEY_...\sub|name"
    std::map<std::string, std::string> ini;    // "file|section|key"
    std::map<std::string, std::string> services;
    bool operator==(const MachineState& o) const {
        return files == o.files && folders == o.folders && keys == o.keys && values == o.values && ini == o.ini &&
               services == o.services;
    }
};

// The registry ignores case.
std::string KeyName(RegistryRoot root, const std::string& subKey) {
    return AsciiLower(FormatRegistryKeyPath(root, subKey));
}
std::string ValueName(RegistryRoot root, const std::string& subKey, const std::string& name) {
    return KeyName(root, subKey) + "|" + name;
}
std::string Parent(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class FakeMachine : public RecordMachine, public SettingsMachine, public ServiceMachine {
public:
    MachineState s;
    std::set<std::string> locked;
    std::set<std::string> newIni;
    std::vector<std::string> events;

    // RecordMachine
    bool Fingerprint(const std::string& path, FileFingerprint* fingerprint) override {
        auto it = s.files.find(path);
        if (it == s.files.end()) return false;
        *fingerprint = FingerprintOf(it->second);
        return true;
    }
    bool FolderExists(const std::string& path) override { return s.folders.count(path) != 0; }
    bool DeleteFile(const std::string& path) override {
        if (locked.count(path) != 0) return false;
        events.push_back("delete " + path);
        s.files.erase(path);
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

RemovalScope Scope() {
    RemovalScope scope;
    scope.productCode = "{P}";
    scope.installDir = kInstallDir;
    scope.maintenanceFolder = kMaintenance;
    scope.folders = {kInstallDir, "C:\\WINDOWS\\", "C:\\Program Files\\", "C:\\Documents and Settings\\"};
    scope.foreignFolders = {"C:\\Program Files\\Other\\", "C:\\WINDOWS\\Installer\\{OTHER}\\"};
    return scope;
}

// A machine as it was before the install: Windows, a system DLL, a win.ini
// with an entry, a user PATH, the .txt association, a value of another
// product.
void SeedSystem(FakeMachine& m) {
    for (const char* folder : {"C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\Program Files", "C:\\WINDOWS\\Installer"})
        m.s.folders.insert(folder);
    m.s.files["C:\\WINDOWS\\win.ini"] = "[old]";
    m.s.files["C:\\pkg\\notes.exe"] = "program";
    m.s.files["C:\\pkg\\common.dll"] = "new dll";
    m.s.files["C:\\pkg\\notes.ini"] = "x";
    m.s.ini["C:\\WINDOWS\\win.ini|Fonts|Sans"] = "sans.ttf";
    m.CreateKey(RegistryRoot::kClassesRoot, ".txt\\ShellNew");
    m.WriteString(RegistryRoot::kClassesRoot, ".txt", "", "txtfile", false);
    m.CreateKey(RegistryRoot::kCurrentUser, "Environment");
    m.WriteString(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools", true);
    m.CreateKey(RegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    m.CreateKey(RegistryRoot::kLocalMachine, kSharedDllsKey);
}

// Every kind of change through the recorders, then removal: the machine is
// as it was, and only what the user made after the install stays.
TEST(InstallRecordTest, RemovalUndoesARecordedInstall) {
    FakeMachine m;
    SeedSystem(m);
    const MachineState before = m.s;

    InstallRecord record;
    auto create = [&m](const std::string& level) {
        if (m.s.folders.count(level) != 0) return CreateDirResult::Exists;
        if (m.s.folders.count(Parent(level)) == 0) return CreateDirResult::ParentMissing;
        m.s.folders.insert(level);
        return CreateDirResult::Created;
    };
    ASSERT_TRUE(CreateRecordedDirectoryPath("C:\\Program Files\\Acme\\Notes\\data\\a", create, record));
    ASSERT_TRUE(CreateRecordedDirectoryPath("C:\\WINDOWS\\Installer\\{P}", create, record));
    RecordingSettingsMachine settings(m, m, record);
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.exe", std::string(kInstallDir) + "notes.exe"));
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.exe", std::string(kInstallDir) + "data\\a\\user.txt"));
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\common.dll", kSystemDll));
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.ini", std::string(kMaintenance) + "uninstall.log"));
    settings.WriteIniValue("C:\\WINDOWS\\win.ini", "Fonts", "Sans", "notes.ttf");
    settings.WriteIniValue("C:\\WINDOWS\\win.ini", "Notes", "Home", "C:\\Notes");
    settings.WriteIniValue("C:\\WINDOWS\\notes.ini", "Main", "Run", "1");
    settings.CreateKey(RegistryRoot::kLocalMachine, "Software\\Acme\\Notes");
    settings.WriteNumber(RegistryRoot::kLocalMachine, "Software\\Acme\\Notes", "Build", 12);
    settings.CreateKey(RegistryRoot::kClassesRoot, "Acme.Note\\shell\\Open\\Command");
    settings.CreateKey(RegistryRoot::kClassesRoot, ".txt");
    settings.WriteString(RegistryRoot::kClassesRoot, ".txt", "", "Acme.Note", false);
    settings.WriteString(RegistryRoot::kClassesRoot, "Acme.Note\\shell\\Open\\Command", "", "notes %1", false);
    settings.WriteString(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools;C:\\Notes", true);
    settings.WriteString(RegistryRoot::kCurrentUser, "Environment", "NOTES", ";C:\\Notes", false);
    settings.Finish();
    CountSharedFiles(record, {kInstallDir, kMaintenance}, m);
    RecordingServiceMachine services(m, record);
    ServiceSpec spec;
    spec.name = "NotesSync";
    spec.commandLine = "\"C:\\Program Files\\Acme\\Notes\\notes.exe\" /service";
    ASSERT_EQ(services.Install(spec), ServiceCreation::kCreated);
    {
        RecordEntry server;
        server.kind = RecordKind::kServer;
        server.path = std::string(kInstallDir) + "notes.exe";
        record.Add(server);
    }
    m.CreateKey(RegistryRoot::kLocalMachine, UninstallKeyPath("{P}"));

    // The record survives its own text.
    ParsedRecord parsed = ParseRecord(record.Text());
    ASSERT_TRUE(parsed.valid);
    ASSERT_TRUE(parsed.refused.empty()) << parsed.refused[0];
    ASSERT_EQ(parsed.entries.size(), record.Entries().size());

    // The user changes a file, and adds to PATH after the install.
    m.s.files[std::string(kInstallDir) + "data\\a\\user.txt"] = "my notes";
    m.WriteString(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools;C:\\Notes;C:\\Mine", true);

    RecordRemovalReport report = RemoveRecorded(parsed.entries, Scope(), m);
    EXPECT_TRUE(report.left.empty()) << report.left[0];
    EXPECT_TRUE(report.refused.empty()) << report.refused[0];
    EXPECT_TRUE(report.registrationRemoved);

    MachineState expected = before;
    expected.files[std::string(kInstallDir) + "data\\a\\user.txt"] = "my notes";
    for (const char* folder : {"C:\\Program Files\\Acme", "C:\\Program Files\\Acme\\Notes",
                               "C:\\Program Files\\Acme\\Notes\\data", "C:\\Program Files\\Acme\\Notes\\data\\a"})
        expected.folders.insert(folder);
    expected.values[ValueName(RegistryRoot::kCurrentUser, "Environment", "PATH")] =
        StringState("C:\\Tools;C:\\Mine", true);
    EXPECT_EQ(m.s.files, expected.files);
    EXPECT_EQ(m.s.folders, expected.folders);
    EXPECT_EQ(m.s.keys, expected.keys);
    EXPECT_EQ(m.s.ini, expected.ini);
    EXPECT_EQ(m.s.services, expected.services);
    EXPECT_TRUE(m.s.values == expected.values);
    ASSERT_EQ(report.kept.size(), 5u);
    EXPECT_EQ(report.kept[0], "file C:\\Program Files\\Acme\\Notes\\data\\a\\user.txt: changed since installation");
    // The server is unregistered before its file goes.
    std::vector<std::string> order;
    for (const std::string& e : m.events) {
        if (e.find("notes.exe") != std::string::npos) order.push_back(e);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"unregister C:\\Program Files\\Acme\\Notes\\notes.exe",
                                               "delete C:\\Program Files\\Acme\\Notes\\notes.exe"}));
}

}  // namespace
}  // namespace kq
