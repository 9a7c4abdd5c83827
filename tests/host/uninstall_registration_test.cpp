#include "steps/uninstall_registration.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "fake_machines.h"
#include "steps/version_rule.h"
#include "install_step_test_util.h"
#include "run/placeholders.h"

namespace kq {
namespace {

const char kCode[] = "{6B1C-77}";
const char kKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6B1C-77}";

// Value writes go to the product's uninstall key.
class FakeMachine : public fakes::FakeRegistrationMachine {
public:
    FakeMachine() { valueKey = kKey; }
};

RegistrationPaths SamplePaths() {
    RegistrationPaths paths;
    paths.productCode = kCode;
    paths.installDir = "C:\\Program Files\\Acme\\Notes\\";
    paths.workFolderName = "kq142305";
    paths.packedFileFolder = "C:\\TEMP\\kq142305\\";
    paths.sourceFolder = "C:\\pkg\\";
    paths.maintenanceFolder = "C:\\WINDOWS\\Installer\\{6B1C-77}\\";
    return paths;
}

PlaceholderValues SampleValues() {
    PlaceholderValues values;
    values.windowsFolder = "C:\\WINDOWS";
    values.tempFolder = "C:\\TEMP\\";
    values.productName = "Notes";
    values.productCode = kCode;
    values.installDir = "C:\\Program Files\\Acme\\Notes\\";
    values.defaultInstallDir = values.installDir;
    values.productVersion = "1.2";
    return values;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        values_ = SampleValues();
        expand_ = [this](const std::string& text) { return ExpandStepText(text, values_); };
    }

    std::vector<std::string> LogLines() { return log_.Lines(); }

    Status Register(const std::string& script, FakeMachine& machine, const RegistrationPaths& paths = SamplePaths()) {
        IniText ini(script);
        return RegisterForUninstall(Script(ini), expand_, paths, machine, log_.Log());
    }
    bool Prepare(const std::string& script, FakeMachine& machine) {
        IniText ini(script);
        return PrepareMaintenanceProgram(Script(ini), expand_, SamplePaths(), machine, log_.Log());
    }

    steptest::TempLog log_;
    PlaceholderValues values_;
    ExpandFunction expand_;
};

const char kFullScript[] =
    "[APPINFO]\r\na1=Notes\r\na2=1.2\r\na3={6B1C-77}\r\na10=Yes\r\na11=C:\\build\\maint.exe\r\n"
    "a12=/clean <ProductCode>\r\na13=No\r\na15=Yes\r\na16=No\r\na17=Yes\r\na18=notes.ico\r\n"
    "a19=Acme\r\na20=Notes for all\r\na21=http://acme.example/\r\na22=http://acme.example/up\r\n"
    "a24=http://acme.example/help\r\na25=555-0100\r\n"
    "[LIVEUPDATE]\r\n1=Yes\r\n2=auto\r\n3=http://acme.example/<ProductCode>\r\n4=No\r\n";

void AddPackageFiles(FakeMachine& machine) {
    machine.files = {
        "C:\\TEMP\\kq142305\\kqexec.exe",     "C:\\pkg\\language.lan",
        "C:\\TEMP\\kq142305\\maint.exe",      "C:\\TEMP\\kq142305\\notes.ico",
        "C:\\TEMP\\kq142305\\liveupdate.exe", "C:\\TEMP\\kq142305\\liveupdate.inf",
    };
    machine.folders = {"C:\\pkg\\theme"};
}

TEST_F(Registration, EverythingInOrder) {
    FakeMachine machine;
    AddPackageFiles(machine);
    ASSERT_TRUE(Register(kFullScript, machine).ok());
    const std::vector<std::string> expected = {
        "copy C:\\TEMP\\kq142305\\kqexec.exe > C:\\WINDOWS\\kqexec.exe",
        "copy C:\\pkg\\language.lan > C:\\WINDOWS\\Installer\\{6B1C-77}\\language.lan",
        std::string("key ") + kKey,
        "set LVmode=auto",
        "set LVurl=http://acme.example/{6B1C-77}",
        "set LVsilent=No",
        "copy C:\\TEMP\\kq142305\\liveupdate.exe > C:\\Program Files\\Acme\\Notes\\liveupdate.exe",
        "copy C:\\TEMP\\kq142305\\liveupdate.inf > C:\\Program Files\\Acme\\Notes\\liveupdate.inf",
        "folder C:\\pkg\\theme > C:\\WINDOWS\\Installer\\{6B1C-77}\\",
        "copy C:\\TEMP\\kq142305\\maint.exe > C:\\Program Files\\Acme\\Notes\\maint.exe",
        "set UninstallExecute=C:\\Program Files\\Acme\\Notes\\maint.exe",
        "set UninstallCmdLine=/clean <ProductCode>",
        "set UninstallRemoveAll=No",
        "set DisplayName=Notes",
        "set DisplayVersion=1.2",
        "set Publisher=Acme",
        "set Comments=Notes for all",
        "set URLInfoAbout=http://acme.example/",
        "set URLUpdateInfo=http://acme.example/up",
        "set HelpLink=http://acme.example/help",
        "set HelpTelephone=555-0100",
        "set LastInstallationPath=C:\\Program Files\\Acme\\Notes\\",
        "set ModifyPath=kqexec.exe /M {6B1C-77}",
        "set UninstallString=kqexec.exe /R {6B1C-77}",
        "set QuietUninstallString=kqexec.exe /R {6B1C-77} /S",
        "set InstallSource=C:\\pkg",
        "set NoModify=#1",
        "set NoRepair=#1",
        "copy C:\\TEMP\\kq142305\\notes.ico > C:\\Program Files\\Acme\\Notes\\notes.ico",
        "set DisplayIcon=C:\\Program Files\\Acme\\Notes\\notes.ico",
    };
    EXPECT_EQ(machine.ops, expected);
    const std::vector<std::string> lines = {
        "FILE=C:\\Program Files\\Acme\\Notes\\liveupdate.exe",
        "FILE=C:\\Program Files\\Acme\\Notes\\liveupdate.inf",
        "FILE=C:\\Program Files\\Acme\\Notes\\notes.ico",
    };
    EXPECT_EQ(LogLines(), lines);
}

TEST_F(Registration, NotListedKeepsOnlyLiveUpdateAndMaintenanceValues) {
    FakeMachine machine;
    AddPackageFiles(machine);
    std::string script = kFullScript;
    script += "[APPINFO]\r\n";  // the first section of a name is the one read
    script.insert(script.find("a15="), "a14=No\r\n");
    ASSERT_TRUE(Register(script, machine).ok());
    std::vector<std::string> names;
    for (const auto& value : machine.values) names.push_back(value.first);
    const std::vector<std::string> expected = {"LVmode",           "LVsilent",           "LVurl",
                                               "UninstallCmdLine", "UninstallExecute",   "UninstallRemoveAll"};
    EXPECT_EQ(names, expected);
    // No icon is copied for a product that is not listed; only the live-update
    // files are logged.
    const std::vector<std::string> lines = {
        "FILE=C:\\Program Files\\Acme\\Notes\\liveupdate.exe",
        "FILE=C:\\Program Files\\Acme\\Notes\\liveupdate.inf",
    };
    EXPECT_EQ(LogLines(), lines);
}

TEST_F(Registration, EachValueIsWrittenOnlyWhenItsConditionHolds) {
    struct Case {
        const char* line;   // added to a minimal script
        const char* value;  // the value concerned
        const char* data;   // its data, or nullptr when it must be absent
    };
    const Case cases[] = {
        {"a19=", "Publisher", nullptr},
        {"a19=Acme", "Publisher", "Acme"},
        {"a20=", "Comments", nullptr},
        {"a20=x", "Comments", "x"},
        {"a21=", "URLInfoAbout", nullptr},
        {"a22=u", "URLUpdateInfo", "u"},
        {"a24=", "HelpLink", nullptr},
        {"a25=1", "HelpTelephone", "1"},
        {"a15=Yes", "NoModify", "#1"},
        {"a15=yes", "NoModify", nullptr},
        {"a15=No", "NoModify", nullptr},
        {"a16=Yes", "NoRemove", "#1"},
        {"a16=", "NoRemove", nullptr},
        {"a17=Yes", "NoRepair", "#1"},
        {"a17=YES", "NoRepair", nullptr},
        {"a1=", "DisplayName", ""},  // always written when listed, even empty
        {"a2=", "DisplayVersion", ""},
        {"a14=no", "DisplayName", ""},  // only exactly "No" hides the product
        {"a14=No", "DisplayName", nullptr},
        {"a14=No", "UninstallString", nullptr},
        {"a14=", "UninstallString", "kqexec.exe /R {6B1C-77}"},
        {"a10=No", "UninstallRemoveAll", nullptr},
        {"a10=Yes", "UninstallRemoveAll", ""},
        {"a10=Yes\r\na13=Whatever", "UninstallRemoveAll", "Whatever"},
        {"a10=Yes\r\na11=missing.exe", "UninstallExecute", nullptr},
        {"a10=yes\r\na13=No", "UninstallRemoveAll", nullptr},
        {"a18=missing.ico", "DisplayIcon", nullptr},
        {"a18=", "DisplayIcon", nullptr},
        {"a18=..", "DisplayIcon", nullptr},
    };
    for (const Case& c : cases) {
        FakeMachine machine;
        std::string script = std::string("[APPINFO]\r\n") + c.line + "\r\n";
        ASSERT_TRUE(Register(script, machine).ok()) << c.line;
        auto found = machine.values.find(c.value);
        if (c.data == nullptr) {
            EXPECT_EQ(found, machine.values.end()) << c.line << " " << c.value;
        } else {
            ASSERT_NE(found, machine.values.end()) << c.line << " " << c.value;
            EXPECT_EQ(found->second, c.data) << c.line;
        }
    }
}

TEST_F(Registration, LiveUpdateOnlyForYes) {
    const char* const switches[] = {"Yes", "yes", "No", "", "Yes "};
    const bool written[] = {true, false, false, false, true};  // the reader trims blanks
    for (size_t i = 0; i < 5; ++i) {
        FakeMachine machine;
        std::string script = std::string("[LIVEUPDATE]\r\n1=") + switches[i] + "\r\n2=m\r\n";
        ASSERT_TRUE(Register(script, machine).ok());
        EXPECT_EQ(machine.values.count("LVmode"), written[i] ? 1u : 0u) << switches[i];
        EXPECT_EQ(machine.values.count("LVurl"), written[i] ? 1u : 0u) << switches[i];
    }
}

TEST_F(Registration, MissingLiveUpdateFilesAreNotLogged) {
    FakeMachine machine;
    machine.files = {"C:\\TEMP\\kq142305\\liveupdate.inf"};
    ASSERT_TRUE(Register("[LIVEUPDATE]\r\n1=Yes\r\n5=D:\\Updater\r\n", machine).ok());
    EXPECT_EQ(machine.values.count("LVmode"), 1u);
    const std::vector<std::string> lines = {"FILE=D:\\Updater\\liveupdate.inf"};
    EXPECT_EQ(LogLines(), lines);
}

TEST_F(Registration, LiveUpdateFolderEndsWithABackslash) {
    struct Case {
        const char* key5;
        const char* folder;
    };
    const Case cases[] = {
        {"", "C:\\Program Files\\Acme\\Notes\\"},
        {"D:\\Updater\\", "D:\\Updater\\"},
        {"D:\\Updater", "D:\\Updater\\"},
        {"<WindowsFolder>", "C:\\WINDOWS\\"},
        {"<InstallDir>lu", "C:\\Program Files\\Acme\\Notes\\lu\\"},
    };
    for (const Case& c : cases) {
        IniText ini(std::string("[LIVEUPDATE]\r\n5=") + c.key5 + "\r\n");
        EXPECT_EQ(LiveUpdateFolder(Script(ini), expand_), c.folder) << c.key5;
    }
}

TEST_F(Registration, IconAlreadyInTheInstallFolderIsNotCopiedOntoItself) {
    FakeMachine machine;
    machine.files = {"C:\\Program Files\\Acme\\Notes\\notes.ico"};
    ASSERT_TRUE(Register("[APPINFO]\r\na18=<InstallDir>notes.ico\r\n", machine).ok());
    for (const std::string& op : machine.ops) EXPECT_EQ(op.find("copy"), std::string::npos) << op;
    EXPECT_EQ(machine.values["DisplayIcon"], "C:\\Program Files\\Acme\\Notes\\notes.ico");
    const std::vector<std::string> lines = {"FILE=C:\\Program Files\\Acme\\Notes\\notes.ico"};
    EXPECT_EQ(LogLines(), lines);
}

TEST_F(Registration, DiskImageRunnerIsTakenFromThePackedFiles) {
    FakeMachine machine;
    machine.files = {"C:\\pkg\\DiskImage1\\kqexec.exe"};
    RegistrationPaths paths = SamplePaths();
    paths.packedFileFolder = "C:\\pkg\\DiskImage1\\";
    ASSERT_TRUE(Register("[APPINFO]\r\na3={6B1C-77}\r\n", machine, paths).ok());
    EXPECT_TRUE(machine.files.count("C:\\WINDOWS\\kqexec.exe"));
}

// One runner in the Windows folder serves every product: an older package
// leaves a newer one there, whose removal of newer products depends on it.
TEST_F(Registration, OlderRunnerNeverReplacesANewerOne) {
    const char kPacked[] = "C:\\TEMP\\kq142305\\kqexec.exe";
    const char kInstalled[] = "C:\\WINDOWS\\kqexec.exe";
    const struct {
        const char* packed;
        const char* installed;  // null: no runner there yet
        bool copied;
    } cases[] = {
        {"2.1.0.0", nullptr, true},
        {"2.1.0.0", "2.0.9.9", true},
        {"2.1.0.0", "2.1.0.0", true},  // the same runner, put back whole
        {"2.1.0.0", kNoFileVersion, true},  // a runner of before version resources
        {"2.0.9.9", "2.1.0.0", false},
        {"2, 0, 10, 0", "2.0.9.0", true},  // each number whole, as the library rule reads them
        {kNoFileVersion, "1.0.0.0", false},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        machine.files = {kPacked};
        machine.versions[kPacked] = c.packed;
        if (c.installed != nullptr) {
            machine.files.insert(kInstalled);
            machine.versions[kInstalled] = c.installed;
        }
        ASSERT_TRUE(Register("[APPINFO]\r\na3={6B1C-77}\r\n", machine).ok());
        bool copied = false;
        for (const std::string& op : machine.ops) copied = copied || op == std::string("copy ") + kPacked + " > " + kInstalled;
        EXPECT_EQ(copied, c.copied) << c.packed << " over " << (c.installed ? c.installed : "nothing");
    }
}

TEST_F(Registration, DiskImageSupportFilesAreTakenFromThePackedFiles) {
    const struct { const char* packedFolder; const char* program; const char* icon; } cases[] = {
        // A disk image extracts nothing: program and icon lie among the packed files.
        {"C:\\pkg\\DiskImage1\\", "C:\\pkg\\DiskImage1\\maint.exe", "C:\\pkg\\DiskImage1\\notes.ico"},
        // The working folder comes first when both hold them.
        {"C:\\pkg\\DiskImage1\\", "C:\\TEMP\\kq142305\\maint.exe", "C:\\TEMP\\kq142305\\notes.ico"},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        machine.files = {c.program, c.icon, "C:\\pkg\\DiskImage1\\maint.exe", "C:\\pkg\\DiskImage1\\notes.ico"};
        RegistrationPaths paths = SamplePaths();
        paths.packedFileFolder = c.packedFolder;
        ASSERT_TRUE(Register("[APPINFO]\r\na10=Yes\r\na11=maint.exe\r\na18=notes.ico\r\n", machine, paths).ok());
        EXPECT_EQ(machine.values["UninstallExecute"], "C:\\Program Files\\Acme\\Notes\\maint.exe") << c.program;
        EXPECT_EQ(machine.values["DisplayIcon"], "C:\\Program Files\\Acme\\Notes\\notes.ico") << c.icon;
        std::vector<std::string> copies;
        for (const std::string& op : machine.ops)
            if (op.compare(0, 5, "copy ") == 0 && op.find("Acme") != std::string::npos) copies.push_back(op);
        const std::vector<std::string> expected = {
            std::string("copy ") + c.program + " > C:\\Program Files\\Acme\\Notes\\maint.exe",
            std::string("copy ") + c.icon + " > C:\\Program Files\\Acme\\Notes\\notes.ico",
        };
        EXPECT_EQ(copies, expected);
    }
}

TEST_F(Registration, InstallSourceIsTheCurrentDirectoryCutTo255) {
    FakeMachine machine;
    machine.currentDirectory = "C:\\" + std::string(300, 'd');
    ASSERT_TRUE(Register("", machine).ok());
    EXPECT_EQ(machine.values["InstallSource"], machine.currentDirectory.substr(0, 255));
}

TEST_F(Registration, RefusesAProductCodeThatIsNoPlainName) {
    const char* const codes[] = {"", "..", ".", "a\\b", "C:", "x/y", "CON", "a*b", "a\"b"};
    for (const char* code : codes) {
        FakeMachine machine;
        AddPackageFiles(machine);
        RegistrationPaths paths = SamplePaths();
        paths.productCode = code;
        Status status = Register(kFullScript, machine, paths);
        EXPECT_FALSE(status.ok()) << code;
        EXPECT_FALSE(status.message().empty());
        EXPECT_TRUE(machine.ops.empty()) << code;
    }
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(Registration, FailsWhenTheKeyCannotBeCreated) {
    FakeMachine machine;
    AddPackageFiles(machine);
    machine.keyWorks = false;
    EXPECT_FALSE(Register(kFullScript, machine).ok());
    EXPECT_TRUE(machine.values.empty());
}

TEST_F(Registration, PrepareCopiesAndLogsTheMaintenanceProgram) {
    FakeMachine machine;
    machine.files = {"C:\\TEMP\\kq142305\\maint.exe"};
    EXPECT_TRUE(Prepare(kFullScript, machine));
    const std::vector<std::string> ops = {
        "copy C:\\TEMP\\kq142305\\maint.exe > C:\\WINDOWS\\Installer\\{6B1C-77}\\maint.exe"};
    EXPECT_EQ(machine.ops, ops);
    const std::vector<std::string> lines = {"RUN3RD=maint.exe", "RUN3RDCMD=/clean {6B1C-77}", "REMOVEALL=Yes"};
    EXPECT_EQ(LogLines(), lines);
}

TEST_F(Registration, PrepareWithAPlaceholderPath) {
    FakeMachine machine;
    machine.files = {"C:\\WINDOWS\\tools\\maint.exe"};
    EXPECT_TRUE(Prepare("[APPINFO]\r\na11=<WindowsFolder>\\tools\\maint.exe\r\na12=-x\r\na13=Yes\r\n", machine));
    const std::vector<std::string> ops = {
        "copy C:\\WINDOWS\\tools\\maint.exe > C:\\WINDOWS\\Installer\\{6B1C-77}\\maint.exe"};
    EXPECT_EQ(machine.ops, ops);
    const std::vector<std::string> lines = {"RUN3RD=maint.exe", "RUN3RDCMD=-x"};
    EXPECT_EQ(LogLines(), lines);
}

TEST_F(Registration, RemoveAllOnlyForExactlyNo) {
    struct Case {
        const char* a11;
        const char* a13;
        bool copied;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", "No", false, {"REMOVEALL=Yes"}},
        {"", "no", false, {}},
        {"", "NO", false, {}},
        {"", "Nope", false, {}},
        {"", "", false, {}},
        {"", "Yes", false, {}},
        {"missing.exe", "Yes", false, {}},
        {"..\\..", "No", false, {"REMOVEALL=Yes"}},
        {"maint.exe", "Yes", true, {"RUN3RD=maint.exe", "RUN3RDCMD="}},
    };
    for (const Case& c : cases) {
        FakeMachine machine;
        machine.files = {"C:\\TEMP\\kq142305\\maint.exe"};
        log_.Log().RemoveLeftover();
        EXPECT_EQ(Prepare(std::string("[APPINFO]\r\na11=") + c.a11 + "\r\na13=" + c.a13 + "\r\n", machine), c.copied)
            << c.a11 << " " << c.a13;
        EXPECT_EQ(LogLines(), c.lines) << c.a11 << " " << c.a13;
    }
}

TEST(RegistrationPathsTest, WhereScriptFilesAreTaken) {
    PlaceholderValues values = SampleValues();
    ExpandFunction expand = [&](const std::string& text) { return ExpandStepText(text, values); };
    struct Case {
        const char* value;
        const char* packed;   // PackedFilePath with C:\P\ as the folder
        const char* working;  // WorkingFolderFilePath with kq1
        const char* copy;     // InstalledCopyPath of `packed`
    };
    const Case cases[] = {
        {"maint.exe", "C:\\P\\maint.exe", "C:\\TEMP\\kq1\\maint.exe", "C:\\Program Files\\Acme\\Notes\\maint.exe"},
        {"D:\\author\\build\\maint.exe", "C:\\P\\maint.exe", "C:\\TEMP\\kq1\\maint.exe",
         "C:\\Program Files\\Acme\\Notes\\maint.exe"},
        {"<WindowsFolder>\\x.exe", "C:\\WINDOWS\\x.exe", "C:\\WINDOWS\\x.exe",
         "C:\\Program Files\\Acme\\Notes\\x.exe"},
        {"", "", "", ""},
        {"D:\\build\\", "", "", ""},
        {"..", "", "", ""},
        {"<WindowsFolder>\\", "", "", ""},
        {"nul", "", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PackedFilePath(c.value, "C:\\P\\", expand), c.packed) << c.value;
        EXPECT_EQ(WorkingFolderFilePath(c.value, "kq1", expand), c.working) << c.value;
        EXPECT_EQ(InstalledCopyPath(c.packed, expand), c.copy) << c.value;
    }
}

TEST(RegistrationPathsTest, UsableProductCodes) {
    struct Case {
        const char* code;
        bool usable;
    };
    const Case cases[] = {
        {"{6B1C-77}", true}, {"Notes 1.2", true}, {"", false},     {".", false},    {"..", false},
        {"a\\b", false},     {"a/b", false},      {"C:", false},   {"NUL", false},  {"a?b", false},
        {" ", false},        {"x\r", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsUsableProductCode(c.code), c.usable) << c.code;
}

}  // namespace
}  // namespace kq
