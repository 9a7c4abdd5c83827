#include "steps/system_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "fake_machines.h"
#include "install_step_test_util.h"

namespace kq {
namespace {

using steptest::SampleRunValues;
using steptest::TempLog;

const char kInstallDir[] = "C:\\Program Files\\Northwind\\Notes\\";

using fakes::FakeSettingsMachine;

class SettingsStep : public ::testing::Test {
protected:
    void SetUp() override {
        values_ = SampleRunValues();
        context_.installDir = kInstallDir;
        context_.workFolderName = "kq142305";
    }
    ExpandFunction Expand() {
        return [this](const std::string& t) { return ExpandStepText(t, values_); };
    }
    void Ini(const std::string& script) {
        IniText ini(script);
        WriteIniEntries(Script(ini), Expand(), machine_, log_.Log());
    }
    void Registry(const std::string& script) {
        IniText ini(script);
        WriteRegistryEntries(Script(ini), Expand(), machine_, log_.Log());
    }
    void Associations(const std::string& script) {
        IniText ini(script);
        WriteFileAssociations(Script(ini), Expand(), context_, machine_, log_.Log());
    }
    void Environment(const std::string& script) {
        IniText ini(script);
        WriteEnvironmentVariables(Script(ini), Expand(), context_, machine_, log_.Log());
    }
    std::vector<std::string> OpsStartingWith(const std::string& prefix) {
        std::vector<std::string> found;
        for (const std::string& op : machine_.ops)
            if (op.compare(0, prefix.size(), prefix) == 0) found.push_back(op);
        return found;
    }

    PlaceholderValues values_;
    SettingsContext context_;
    FakeSettingsMachine machine_;
    TempLog log_;
};

// ---- pure rules

TEST(SettingsRules, IniFileNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"INI Files\\notes.ini", "notes.ini"},
        {"INI Files\\notes.ini\\", "notes.ini"},
        {"INI Files\\notes.ini\\\\", "notes.ini"},
        {"notes.ini", "notes.ini"},
        {"INI Files\\INI Files\\notes.ini", "notes.ini"},
        {"ini files\\notes.ini", "ini files\\notes.ini"},
        {"INI Files\\", "INI Files"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(IniFileName(c.first), c.second) << c.first;
}

TEST(SettingsRules, IniTreePaths) {
    struct Case {
        const char* tree;
        bool ok;
        const char* file;
        const char* section;
        const char* key;
    };
    const Case cases[] = {
        {"INI Files\\notes.ini\\Options\\Theme", true, "notes.ini", "Options", "Theme"},
        {"INI Files\\notes.ini\\Options\\Theme\\", true, "notes.ini", "Options", "Theme"},
        {"INI Files\\notes.ini\\Paths\\Data\\Folder", true, "notes.ini", "Paths", "Data\\Folder"},
        {"INI Files\\notes.ini\\Options Section\\Key Name", true, "notes.ini", "Options Section", "Key Name"},
        {"INI Files\\notes.ini\\Options", false, "", "", ""},
        {"INI Files\\notes.ini\\Options\\", false, "", "", ""},
        {"INI Files\\notes.ini\\\\Theme", false, "", "", ""},
        {"INI Files\\notes.ini", false, "", "", ""},
        {"notes.ini", false, "", "", ""},
        {"", false, "", "", ""},
    };
    for (const Case& c : cases) {
        IniEntryPlace place;
        EXPECT_EQ(SplitIniTreePath(c.tree, &place), c.ok) << c.tree;
        if (c.ok) {
            EXPECT_EQ(place.fileName, c.file) << c.tree;
            EXPECT_EQ(place.section, c.section) << c.tree;
            EXPECT_EQ(place.key, c.key) << c.tree;
        }
    }
}

TEST(SettingsRules, ValueTypesAndEnvironmentScopes) {
    const std::pair<const char*, RegistryValueKind> kinds[] = {
        {"0", RegistryValueKind::kString},  {"String", RegistryValueKind::kString},
        {"1", RegistryValueKind::kNumber},  {"DWORD", RegistryValueKind::kNumber},
        {"2", RegistryValueKind::kBinary},  {"Binary", RegistryValueKind::kBinary},
        {"string", RegistryValueKind::kUnknown}, {"dword", RegistryValueKind::kUnknown},
        {"3", RegistryValueKind::kUnknown}, {"01", RegistryValueKind::kUnknown},
        {"", RegistryValueKind::kUnknown},
    };
    for (const auto& c : kinds) EXPECT_EQ(RegistryValueKindFromText(c.first), c.second) << c.first;

    RegistryRoot root = RegistryRoot::kNone;
    std::string subKey;
    ASSERT_TRUE(EnvironmentKey("User", &root, &subKey));
    EXPECT_EQ(root, RegistryRoot::kCurrentUser);
    EXPECT_EQ(subKey, "Environment");
    ASSERT_TRUE(EnvironmentKey("System", &root, &subKey));
    EXPECT_EQ(root, RegistryRoot::kLocalMachine);
    EXPECT_EQ(subKey, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
    for (const char* other : {"user", "Machine", "", "System "}) EXPECT_FALSE(EnvironmentKey(other, &root, &subKey));
}

// ---- INI entries

TEST_F(SettingsStep, IniFilesAndTheirEntries) {
    machine_.files.insert("C:\\WINDOWS\\win.ini");
    Ini("[INIINFO]\r\nTOTAL=5\r\n"
        "A0=INI Files\\notes.ini\\\r\nC0=<InstallDir>\r\n"
        "A1=INI Files\\mynotes.ini\r\nC1=<InstallDir>config\r\n"
        "A2=INI Files\\notes.ini\r\nC2=C:\\Elsewhere\r\n"  // the same name again: not added twice
        "A3=INI Files\\win.ini\r\nC3=<WindowsFolder>\r\n"  // exists already: not setup's file
        "A4=INI Files\\NOTES.INI\r\nC4=C:\\Other\r\n"
        "[INIDATA]\r\nTOTAL=7\r\n"
        "A0=INI Files\\notes.ini\\Options\\Theme\r\nC0=Dark\r\n"
        "A1=INI Files\\mynotes.ini\\Options\\Theme\r\nC1=Light\r\n"
        "A2=INI Files\\notes.ini\\Paths\\Data\\Folder\\\r\nC2=<InstallDir>data\r\n"
        "A3=INI Files\\win.ini\\Northwind\\Notes\r\nC3=1\r\n"
        "A4=INI Files\\other.ini\\Options\\Theme\r\nC4=Lost\r\n"
        "A5=INI Files\\notes.ini\\Options\r\nC5=no key: would delete the section\r\n"
        "A6=INI Files\\notes.ini\\Options\\Empty\r\nC6=\r\n");
    const std::string notes = std::string(kInstallDir) + "notes.ini";
    const std::string mynotes = std::string(kInstallDir) + "config\\mynotes.ini";
    const std::vector<std::string> ops = {
        "ini " + notes + " [Options] Theme=Dark",
        "ini " + mynotes + " [Options] Theme=Light",
        // values are written as they are, placeholders and all
        "ini " + notes + " [Paths] Data\\Folder=<InstallDir>data",
        "ini C:\\WINDOWS\\win.ini [Northwind] Notes=1",
        "ini " + notes + " [Options] Empty=",
    };
    EXPECT_EQ(machine_.ops, ops);
    const std::vector<std::string> lines = {"FILE=" + notes, "FILE=" + mynotes};
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(SettingsStep, IniFileTableStopsAtFifty) {
    std::string script = "[INIINFO]\r\nTOTAL=51\r\n";
    for (int i = 0; i < 51; ++i)
        script += "A" + std::to_string(i) + "=INI Files\\f" + std::to_string(i) + ".ini\r\nC" + std::to_string(i) +
                  "=C:\\cfg\r\n";
    script += "[INIDATA]\r\nTOTAL=2\r\n"
              "A0=INI Files\\f49.ini\\S\\K\r\nC0=last\r\nA1=INI Files\\f50.ini\\S\\K\r\nC1=x\r\n";
    Ini(script);
    const std::vector<std::string> ops = {"ini C:\\cfg\\f49.ini [S] K=last"};
    EXPECT_EQ(machine_.ops, ops);
    EXPECT_EQ(log_.Lines().size(), kMaxIniFiles);
}

// ---- registry

TEST_F(SettingsStep, RegistryKeysAndValuesOfEachType) {
    Registry("[REGISTRYKEYS]\r\nTOTAL=6\r\n"
             "0=HKEY_LOCAL_MACHINE\\Software\\<ProductName>\\\r\n"
             "1=HKEY_CURRENT_USER\\HKEY_CURRENT_USER\\Software\\Northwind\r\n"
             "2=HKLM\\Software\\Short\r\n"
             "3=HKEY_CURRENT_USER\\\r\n"
             "4=Software\\NoRoot\r\n"
             "5=HKEY_CLASSES_ROOT\\NorthwindNotes.Document\r\n"
             "[REGISTRY]\r\nTOTAL=10\r\n"
             "A0=HKEY_LOCAL_MACHINE\\Software\\Notes\\\r\nB0=InstallPath\r\nC0=<InstallDir>\r\nD0=String\r\n"
             "A1=HKEY_LOCAL_MACHINE\\Software\\Notes\\\r\nB1=Build\r\nC1=12abc\r\nD1=DWORD\r\n"
             "A2=HKEY_LOCAL_MACHINE\\Software\\Notes\\\r\nB2=Magic\r\nC2=AB\r\nD2=Binary\r\n"
             "A3=HKEY_LOCAL_MACHINE\\Software\\Notes\\\r\nB3=\r\nC3=default text\r\nD3=0\r\n"
             "A4=HKEY_LOCAL_MACHINE\\Software\\Notes\\\r\nB4=Minus\r\nC4=-1\r\nD4=1\r\n"
             "A5=HKEY_LOCAL_MACHINE\\Software\\Notes\\\r\nB5=NoDigits\r\nC5=abc\r\nD5=1\r\n"
             "A6=HKEY_LOCAL_MACHINE\\Software\\Notes\\\r\nB6=Odd\r\nC6=x\r\nD6=3\r\n"
             "A7=HKEY_LOCAL_MACHINE\\Software\\Missing\\\r\nB7=Lost\r\nC7=x\r\nD7=String\r\n"
             "A8=HKEY_CURRENT_USER\\Software\\Northwind\r\nB8=NoSlash\r\nC8=2\r\nD8=2\r\n"
             "A9=HKEY_LOCAL_MACHINE\\<ProductName>\\\r\nB9=AsWritten\r\nC9=x\r\nD9=String\r\n");

    const std::vector<std::string> keys = {
        "key HKEY_LOCAL_MACHINE\\Software\\Notes",
        "key HKEY_CURRENT_USER\\Software\\Northwind",
        "key HKEY_CLASSES_ROOT\\NorthwindNotes.Document",
    };
    EXPECT_EQ(OpsStartingWith("key "), keys);

    using V = FakeSettingsMachine::Value;
    auto value = [this](const char* name) {
        const V* found = machine_.Find(RegistryRoot::kLocalMachine, "Software\\Notes", name);
        return found == nullptr ? std::string("(none)") : found->type + ":" + found->data;
    };
    EXPECT_EQ(value("InstallPath"), std::string("sz:") + kInstallDir);
    EXPECT_EQ(value("Build"), "dword:12");
    EXPECT_EQ(value("Magic"), std::string("binary:AB") + '\0');
    EXPECT_EQ(value(""), "sz:default text");
    EXPECT_EQ(value("Minus"), "dword:4294967295");
    EXPECT_EQ(value("NoDigits"), "dword:0");
    EXPECT_EQ(value("Odd"), "(none)");
    const V* binary = machine_.Find(RegistryRoot::kCurrentUser, "Software\\Northwind", "NoSlash");
    ASSERT_NE(binary, nullptr);
    EXPECT_EQ(binary->data, std::string("2") + '\0');

    const std::vector<std::string> lines = {
        "REGKEY=HKEY_LOCAL_MACHINE\\Software\\Notes",
        "REGKEY=HKEY_CURRENT_USER\\Software\\Northwind",
        "REGKEY=HKEY_CLASSES_ROOT\\NorthwindNotes.Document",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Notes\\InstallPath",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Notes\\Build",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Notes\\Magic",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Notes\\",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Notes\\Minus",
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Notes\\NoDigits",
        "REGVAL=HKEY_CURRENT_USER\\Software\\Northwind\\NoSlash",
    };
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(SettingsStep, RegistryCountsUseTheirSmallBuffer) {
    // Twenty-one characters of count: the reader keeps nineteen zeros.
    Registry("[REGISTRYKEYS]\r\nTOTAL=000000000000000000001\r\n0=HKEY_CURRENT_USER\\Software\\A\r\n"
             "[REGISTRY]\r\nTOTAL=1\r\nA0=HKEY_CURRENT_USER\\Software\\A\\\r\nB0=v\r\nC0=1\r\nD0=1\r\n");
    EXPECT_TRUE(OpsStartingWith("key ").empty());
    EXPECT_TRUE(log_.Lines().empty());
}

TEST(SettingsItems, RegistryCountsAreCappedLikeEveryList) {
    const struct { const char* section; const char* total; size_t keys; size_t values; } cases[] = {
        {"REGISTRYKEYS", "9999999999", Script::kMaxListItems, 0},
        {"REGISTRY", "99999999999999999999", 0, Script::kMaxListItems},
        {"REGISTRYKEYS", "10001", Script::kMaxListItems, 0},
        {"REGISTRY", "-5", 0, 0},
        {"REGISTRYKEYS", "3", 3, 0},
    };
    for (const auto& c : cases) {
        IniText ini(std::string("[") + c.section + "]\r\nTOTAL=" + c.total + "\r\n");
        Script script(ini);
        EXPECT_EQ(LoadRegistryKeyItems(script).size(), c.keys) << c.section << " " << c.total;
        EXPECT_EQ(LoadRegistryValueItems(script).size(), c.values) << c.section << " " << c.total;
    }
}

TEST_F(SettingsStep, OverLongKeyIsCutAndLoggedAsCreated) {
    std::string longName;
    for (int i = 0; i < 10; ++i) longName += "<ProductName><InstallDir>";  // 410 characters expanded
    Registry("[REGISTRYKEYS]\r\nTOTAL=1\r\n0=HKEY_CURRENT_USER\\Software\\" + longName + "\r\n");
    std::string expanded = "Software\\";
    for (int i = 0; i < 10; ++i) expanded += std::string("Notes") + kInstallDir;
    std::string cut = expanded.substr(0, kMaxRegistryText);
    while (cut.back() == '\\') cut.pop_back();  // a cut may end between two levels
    const std::vector<std::string> lines = {"REGKEY=HKEY_CURRENT_USER\\" + cut};
    EXPECT_EQ(log_.Lines(), lines);
    EXPECT_TRUE(machine_.HasKey(RegistryRoot::kCurrentUser, cut));
    EXPECT_LE(cut.size(), kMaxRegistryText);
}

// ---- file associations

TEST_F(SettingsStep, AssociationWritesItsKeysValuesAndIcon) {
    machine_.files.insert("C:\\TEMP\\kq142305\\note.ico");
    Associations("[EXTKQ]\r\nTOTAL=1\r\nB0=<InstallDir>notes.exe\r\nC0=.nwn\r\nD0=NorthwindNotes.Document\r\n"
                 "E0=Northwind note\r\nG0=/open \"%1\"\r\nH0=C:\\build\\art\\note.ico\r\n");
    const std::string icon = std::string(kInstallDir) + "note.ico";
    const std::vector<std::string> ops = {
        "key HKEY_CLASSES_ROOT\\.nwn",
        "key HKEY_CLASSES_ROOT\\NorthwindNotes.Document\\DefaultIcon",
        "key HKEY_CLASSES_ROOT\\NorthwindNotes.Document\\shell\\Open\\Command",
        "set HKEY_CLASSES_ROOT\\.nwn\\ sz:NorthwindNotes.Document",
        "set HKEY_CLASSES_ROOT\\NorthwindNotes.Document\\ sz:Northwind note",
        "set HKEY_CLASSES_ROOT\\NorthwindNotes.Document\\DefaultIcon\\ sz:" + icon,
        std::string("set HKEY_CLASSES_ROOT\\NorthwindNotes.Document\\shell\\Open\\Command\\ sz:\"") + kInstallDir +
            "notes.exe\" /open \"%1\"",
        "copy C:\\TEMP\\kq142305\\note.ico > " + icon,
    };
    EXPECT_EQ(machine_.ops, ops);
    // The class is logged before its keys exist, the extension after.
    const std::vector<std::string> lines = {
        "REMKEY=HKEY_CLASSES_ROOT\\NorthwindNotes.Document",
        "REMKEY=HKEY_CLASSES_ROOT\\.nwn",
        "FILE=" + icon,
    };
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(SettingsStep, AssociationsThatWouldTouchTheClassesRootAreSkipped) {
    Associations("[EXTKQ]\r\nTOTAL=4\r\n"
                 "B0=<InstallDir>notes.exe\r\nC0=.nwn\r\nD0=\r\nE0=no class\r\n"
                 "B1=<InstallDir>notes.exe\r\nC1=\r\nD1=Notes.Doc\r\nE1=no extension\r\n"
                 "B2=<InstallDir>notes.exe\r\nC2=.nwn\\shell\r\nD2=Notes.Doc\r\nE2=a path\r\n"
                 // no icon: no DefaultIcon value and nothing copied
                 "B3=<InstallDir>notes.exe\r\nC3=.nwt\r\nD3=Notes.Template\r\nE3=template\r\nG3=/t \"%1\"\r\n");
    for (const std::string& op : machine_.ops) EXPECT_EQ(op.find("Notes.Doc"), std::string::npos) << op;
    EXPECT_TRUE(OpsStartingWith("copy ").empty());
    EXPECT_EQ(machine_.Find(RegistryRoot::kClassesRoot, "Notes.Template\\DefaultIcon", ""), nullptr);
    const std::vector<std::string> lines = {"REMKEY=HKEY_CLASSES_ROOT\\Notes.Template",
                                            "REMKEY=HKEY_CLASSES_ROOT\\.nwt"};
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(SettingsStep, AssociationIconOfADiskImageIsTakenFromThePackedFiles) {
    context_.packedFileFolder = "D:\\pkg\\DiskImage1\\";
    machine_.files.insert("D:\\pkg\\DiskImage1\\note.ico");
    Associations("[EXTKQ]\r\nTOTAL=1\r\nB0=<InstallDir>notes.exe\r\nC0=.nwn\r\nD0=Notes.Doc\r\nE0=note\r\n"
                 "H0=note.ico\r\n");
    const std::string icon = std::string(kInstallDir) + "note.ico";
    const std::vector<std::string> copies = {"copy D:\\pkg\\DiskImage1\\note.ico > " + icon};
    EXPECT_EQ(OpsStartingWith("copy "), copies);
    EXPECT_EQ(log_.Lines().back(), "FILE=" + icon);
}

TEST_F(SettingsStep, AssociationIconMissingFromThePackageIsNotLogged) {
    Associations("[EXTKQ]\r\nTOTAL=1\r\nB0=<InstallDir>notes.exe\r\nC0=.nwn\r\nD0=Notes.Doc\r\nE0=note\r\n"
                 "H0=note.ico\r\n");
    const std::vector<std::string> lines = {"REMKEY=HKEY_CLASSES_ROOT\\Notes.Doc", "REMKEY=HKEY_CLASSES_ROOT\\.nwn"};
    EXPECT_EQ(log_.Lines(), lines);
}

// ---- environment

class EnvironmentStep : public SettingsStep {
protected:
    void SetUp() override {
        SettingsStep::SetUp();
        machine_.keys[FakeSettingsMachine::KeyName(RegistryRoot::kCurrentUser, "Environment")];
        machine_.keys[FakeSettingsMachine::KeyName(RegistryRoot::kLocalMachine, kSystemKey)];
    }
    std::string User(const char* name) { return Show(machine_.Find(RegistryRoot::kCurrentUser, "Environment", name)); }
    std::string System(const char* name) { return Show(machine_.Find(RegistryRoot::kLocalMachine, kSystemKey, name)); }
    static std::string Show(const FakeSettingsMachine::Value* value) {
        return value == nullptr ? "(none)" : value->type + ":" + value->data;
    }
    void SetUser(const char* name, const std::string& type, const std::string& data) {
        machine_.keys[FakeSettingsMachine::KeyName(RegistryRoot::kCurrentUser, "Environment")][name] = {type,
                                                                                                          data};
    }

    static constexpr char kSystemKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
};

TEST_F(EnvironmentStep, AppendSetAndRemove) {
    SetUser("PATH", "sz", "C:\\Tools");
    SetUser("OLD_NOTES", "sz", "1");
    Environment("[ENVIRKQ]\r\nTOTAL=6\r\n"
                "A0=PATH\r\nC0=<InstallDir>bin\r\nE0=Append\r\nF0=Remove\r\nG0=User\r\n"
                "A1=NOTES_PATH\r\nC1=<InstallDir>lib\r\nE1=Append\r\nF1=Remove\r\nG1=User\r\n"
                "A2=NOTES_HOME\r\nC2=<InstallDir>\r\nF2=Remove\r\nG2=System\r\n"
                "A3=NOTES_KEEP\r\nC3=kept\r\nG3=User\r\n"
                "A4=OLD_NOTES\r\nD4=Remove\r\nG4=User\r\n"
                "A5=NOWHERE\r\nC5=x\r\nG5=Machine\r\n");
    EXPECT_EQ(User("PATH"), std::string("sz:C:\\Tools;") + kInstallDir + "bin");
    // Nothing to append to: the value alone, no leading separator.
    EXPECT_EQ(User("NOTES_PATH"), std::string("sz:") + kInstallDir + "lib");
    EXPECT_EQ(System("NOTES_HOME"), std::string("sz:") + kInstallDir);
    EXPECT_EQ(User("NOTES_KEEP"), "sz:kept");
    EXPECT_EQ(User("OLD_NOTES"), "(none)");
    EXPECT_EQ(User("NOWHERE"), "(none)");
    EXPECT_EQ(System("NOWHERE"), "(none)");
    // PATH had the user's own value: removing it at uninstall would take
    // that along, so it is not logged.
    const std::vector<std::string> lines = {
        "REGVAL=HKEY_CURRENT_USER\\Environment\\NOTES_PATH",
        std::string("REGVAL=HKEY_LOCAL_MACHINE\\") + kSystemKey + "\\NOTES_HOME",
    };
    EXPECT_EQ(log_.Lines(), lines);
    EXPECT_EQ(machine_.announcements, 1);
}

TEST_F(EnvironmentStep, AppendKeepsTheStoredTypeAndLongValuesWhole) {
    SetUser("PATH", "expand", "%SystemRoot%\\bin");
    const std::string nearlyFull(250, 'p');
    const std::string typicalPath = "C:\\WINDOWS\\system32;" + std::string(1000, 'q');
    SetUser("LONGPATH", "sz", nearlyFull);
    SetUser("MACHINEPATH", "sz", typicalPath);
    Environment("[ENVIRKQ]\r\nTOTAL=5\r\n"
                "A0=PATH\r\nC0=<InstallDir>bin\r\nE0=Append\r\nG0=User\r\n"
                "A1=LONGPATH\r\nC1=<InstallDir>bin\r\nE1=Append\r\nF1=Remove\r\nG1=User\r\n"
                "A2=MACHINEPATH\r\nC2=<InstallDir>bin\r\nE2=Append\r\nG2=User\r\n"
                "A3=\r\nC3=nameless\r\nG3=User\r\n"
                "A4=NOTES_LONG\r\nC4=<InstallDir><InstallDir><InstallDir><InstallDir><InstallDir><InstallDir><InstallDir><InstallDir>\r\n"
                "G4=User\r\n");
    EXPECT_EQ(User("PATH"), std::string("expand:%SystemRoot%\\bin;") + kInstallDir + "bin");
    EXPECT_EQ(User("LONGPATH"), "sz:" + nearlyFull + ";" + kInstallDir + "bin");
    EXPECT_EQ(User("MACHINEPATH"), "sz:" + typicalPath + ";" + kInstallDir + "bin");
    EXPECT_EQ(User(""), "(none)");
    std::string eight;
    for (int i = 0; i < 8; ++i) eight += kInstallDir;
    EXPECT_GT(eight.size(), kMaxRegistryText);
    EXPECT_EQ(User("NOTES_LONG"), "sz:" + eight);
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(EnvironmentStep, DeselectedFeatureAndNothingChanged) {
    context_.featureDeselected = [](const std::string& feature) { return feature == "Tools"; };
    Environment("[ENVIRKQ]\r\nTOTAL=2\r\n"
                "A0=NOTES_TOOLS\r\nB0=Tools\r\nC0=x\r\nF0=Remove\r\nG0=User\r\n"
                "A1=NOTES_GONE\r\nD1=Remove\r\nG1=Nowhere\r\n");
    EXPECT_EQ(User("NOTES_TOOLS"), "(none)");
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_EQ(machine_.announcements, 0);
}

TEST_F(EnvironmentStep, SettingsStepRunsTheFourInOrder) {
    machine_.keys[FakeSettingsMachine::KeyName(RegistryRoot::kCurrentUser, "Software\\Notes")];
    IniText ini("[ENVIRKQ]\r\nTOTAL=1\r\nA0=NOTES\r\nC0=1\r\nF0=Remove\r\nG0=User\r\n"
                "[EXTKQ]\r\nTOTAL=1\r\nB0=n.exe\r\nC0=.nwn\r\nD0=Notes.Doc\r\n"
                "[REGISTRY]\r\nTOTAL=1\r\nA0=HKEY_CURRENT_USER\\Software\\Notes\\\r\nB0=v\r\nC0=1\r\nD0=0\r\n"
                "[REGISTRYKEYS]\r\nTOTAL=1\r\n0=HKEY_CURRENT_USER\\Software\\Notes\r\n"
                "[INIINFO]\r\nTOTAL=1\r\nA0=INI Files\\n.ini\r\nC0=C:\\cfg\r\n");
    ApplySystemSettings(Script(ini), Expand(), context_, machine_, log_.Log());
    const std::vector<std::string> lines = {
        "FILE=C:\\cfg\\n.ini",
        "REGKEY=HKEY_CURRENT_USER\\Software\\Notes",
        "REGVAL=HKEY_CURRENT_USER\\Software\\Notes\\v",
        "REMKEY=HKEY_CLASSES_ROOT\\Notes.Doc",
        "REMKEY=HKEY_CLASSES_ROOT\\.nwn",
        "REGVAL=HKEY_CURRENT_USER\\Environment\\NOTES",
    };
    EXPECT_EQ(log_.Lines(), lines);
}

TEST(SettingsItems, EveryColumnIsRead) {
    IniText ini("[EXTKQ]\r\nTOTAL=1\r\nB0=b\r\nC0=c\r\nD0=d\r\nE0=e\r\nF0=f\r\nG0=g\r\nH0=h\r\n"
                "[ENVIRKQ]\r\nTOTAL=1\r\nA0=a\r\nB0=b\r\nC0=c\r\nD0=d\r\nE0=e\r\nF0=f\r\nG0=g\r\n"
                "[REGISTRY]\r\nTOTAL=1\r\nA0=a\r\nB0=b\r\nC0=c\r\nD0=d\r\n"
                "[REGISTRYKEYS]\r\nTOTAL=2\r\n1=k\r\n"
                "[INIINFO]\r\nTOTAL=1\r\nA0=a\r\nB0=b\r\nC0=c\r\n[INIDATA]\r\nTOTAL=1\r\nA0=a\r\nB0=b\r\nC0=c\r\n");
    Script script(ini);
    std::vector<AssociationItem> associations = LoadAssociationItems(script);
    ASSERT_EQ(associations.size(), 1u);
    const AssociationItem& a = associations[0];
    EXPECT_EQ(a.program + a.extension + a.className + a.description + a.arguments + a.iconFile, "bcdegh");
    std::vector<EnvironmentItem> environment = LoadEnvironmentItems(script);
    ASSERT_EQ(environment.size(), 1u);
    const EnvironmentItem& e = environment[0];
    EXPECT_EQ(e.name + e.feature + e.value + e.action + e.mode + e.uninstallAction + e.scope, "abcdefg");
    std::vector<RegistryValueItem> values = LoadRegistryValueItems(script);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].keyPath + values[0].valueName + values[0].data + values[0].type, "abcd");
    const std::vector<std::string> keys = {"", "k"};
    EXPECT_EQ(LoadRegistryKeyItems(script), keys);
    std::vector<IniFileItem> files = LoadIniFileItems(script);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].treeName + files[0].folder, "ac");
    std::vector<IniEntryItem> entries = LoadIniEntryItems(script);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].treePath + entries[0].value, "ac");
}

}  // namespace
}  // namespace kq
