#include "record/removal_steps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/path_rules.h"

namespace kq {
namespace {

std::vector<std::string> Describe(const RemovalSteps& removal) {
    std::vector<std::string> lines;
    for (const RemovalStep& step : removal.steps) lines.push_back(DescribeStep(step));
    return lines;
}

RemovalSteps StepsOfLog(const std::string& log, const std::string& registeredProgram = std::string()) {
    RemovalContext context;
    context.maintenanceFolder = "C:\\WINDOWS\\Installer\\{P}\\";
    context.registeredProgram = registeredProgram;
    return ListRemovalSteps(ParseUninstallLog(log), context);
}

TEST(UninstallLogParse, LinesAndFirstEquals) {
    struct Case {
        const char* text;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const Case cases[] = {
        {"", {}},
        {"FILE=C:\\a\r\n", {{"FILE", "C:\\a"}}},
        {"FILE=C:\\a\n", {{"FILE", "C:\\a"}}},
        {"REGVAL=HKEY_CURRENT_USER\\S\\a=b\r\n", {{"REGVAL", "HKEY_CURRENT_USER\\S\\a=b"}}},
        {"DIR=\r\n\r\nTOTALFILE=3\r\n", {{"DIR", ""}, {"TOTALFILE", "3"}}},
        {"NOEQUALS\r\n", {{"NOEQUALS", ""}}},
        // A last line without its break may be cut short: not read.
        {"FILE=C:\\a\r\nFILE=C:\\data.tx", {{"FILE", "C:\\a"}}},
        {"FILE=C:\\a\r", {}},
        {"=x\r\n", {{"", "x"}}},
    };
    for (const Case& c : cases) {
        std::vector<LogEntry> entries = ParseUninstallLog(c.text);
        ASSERT_EQ(entries.size(), c.entries.size()) << c.text;
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].kind, c.entries[i].first) << c.text;
            EXPECT_EQ(entries[i].value, c.entries[i].second) << c.text;
        }
    }
}

TEST(RemovalStepsTest, WholeRunInRemovalOrder) {
    const char log[] =
        "TOTALFILE=3\r\n"
        "DIR=C:\\Program Files\\Acme\\Notes\\\r\n"
        "DIR=C:\\Program Files\\Acme\\Notes\\docs\r\n"
        "DIR=C:\\Program Files\\Acme\\Notes\\docs\\en\r\n"
        "RUN3RD=cleanup.exe\r\n"
        "RUN3RDCMD=/quiet {P}\r\n"
        "REMOVEALL=Yes\r\n"
        "FILE=C:\\Program Files\\Acme\\Notes\\notes.exe\r\n"
        "FILE=C:\\Program Files\\Acme\\Notes\\docs\\en\\guide.txt\r\n"
        "DIR=C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Notes\r\n"
        "SHORTCUT=C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Notes\\Notes.lnk\r\n"
        "FILE=C:\\WINDOWS\\notes.ini\r\n"
        "REGKEY=HKEY_LOCAL_MACHINE\\Software\\Acme\r\n"
        "REGKEY=HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\r\n"
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\Version\r\n"
        "REGVAL=HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\\r\n"
        "REMKEY=HKEY_CLASSES_ROOT\\Acme.Note\r\n"
        "REMKEY=HKEY_CLASSES_ROOT\\.nwn\r\n"
        "FILE=C:\\Program Files\\Acme\\Notes\\note.ico\r\n"
        "REGVAL=HKEY_CURRENT_USER\\Environment\\NOTES_HOME\r\n"
        "NTSERVICE=NotesSync\r\n"
        "FILE=C:\\Program Files\\Acme\\Notes\\liveupdate.exe\r\n";
    RemovalSteps removal = StepsOfLog(log, "C:\\Program Files\\Acme\\Notes\\cleanup.exe");
    const std::vector<std::string> expected = {
        "run C:\\WINDOWS\\Installer\\{P}\\cleanup.exe /quiet {P}",
        "service NotesSync",
        "file C:\\Program Files\\Acme\\Notes\\liveupdate.exe",
        "file C:\\Program Files\\Acme\\Notes\\note.ico",
        "file C:\\WINDOWS\\notes.ini",
        "file C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Notes\\Notes.lnk",
        "file C:\\Program Files\\Acme\\Notes\\docs\\en\\guide.txt",
        "file C:\\Program Files\\Acme\\Notes\\notes.exe",
        "file C:\\Program Files\\Acme\\Notes\\cleanup.exe",
        "value HKEY_CURRENT_USER\\Environment\\NOTES_HOME",
        "value HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\",
        "value HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\Version",
        "key HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes",
        "key HKEY_LOCAL_MACHINE\\Software\\Acme",
        "tree HKEY_CLASSES_ROOT\\.nwn",
        "tree HKEY_CLASSES_ROOT\\Acme.Note",
        "dir C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Notes",
        "dir C:\\Program Files\\Acme\\Notes\\docs\\en",
        "dir C:\\Program Files\\Acme\\Notes\\docs",
        "dir C:\\Program Files\\Acme\\Notes",
    };
    EXPECT_EQ(Describe(removal), expected);
    EXPECT_TRUE(removal.refused.empty());
    EXPECT_TRUE(removal.removeAll);
    EXPECT_EQ(removal.totalFiles, 3);
}

TEST(RemovalStepsTest, DeepestDirectoriesAndKeysFirstWhateverTheLogOrder) {
    RemovalSteps removal = StepsOfLog(
        "DIR=C:\\a\\b\\c\r\nDIR=C:\\a\r\nDIR=C:\\a\\b\r\nDIR=D:\\x\\y\\z\\w\r\n"
        "REGKEY=HKEY_CURRENT_USER\\S\\A\\B\r\nREGKEY=HKEY_CURRENT_USER\\S\\A\r\nREGKEY=HKEY_CURRENT_"
        "USER\\S\\A\\B\\C\r\n");
    const std::vector<std::string> expected = {
        "key HKEY_CURRENT_USER\\S\\A\\B\\C",
        "key HKEY_CURRENT_USER\\S\\A\\B",
        "key HKEY_CURRENT_USER\\S\\A",
        "dir D:\\x\\y\\z\\w",
        "dir C:\\a\\b\\c",
        "dir C:\\a\\b",
        "dir C:\\a",
    };
    EXPECT_EQ(Describe(removal), expected);
}

TEST(RemovalStepsTest, EachTargetOnce) {
    RemovalSteps removal = StepsOfLog(
        "FILE=C:\\p\\a.txt\r\nFILE=c:\\P\\A.TXT\r\nFILE=C:\\p\\\\a.txt\r\nDIR=C:\\p\r\nDIR=C:\\p\\\r\n"
        "REGKEY=HKEY_CURRENT_USER\\S\\A\r\nREGKEY=HKEY_CURRENT_USER\\S\\A\\\r\nNTSERVICE=svc\r\nNTSERVICE=SVC\r\n"
        "RUN3RD=one.exe\r\nRUN3RDCMD=1\r\nRUN3RD=two.exe\r\nRUN3RDCMD=2\r\n");
    const std::vector<std::string> expected = {
        "run C:\\WINDOWS\\Installer\\{P}\\two.exe 2",
        "service SVC",
        "file C:\\p\\\\a.txt",
        "key HKEY_CURRENT_USER\\S\\A",
        "dir C:\\p",
    };
    EXPECT_EQ(Describe(removal), expected);
}

TEST(RemovalStepsTest, RefusesTargetsThatAreNotTheProducts) {
    struct Case {
        const char* line;
        const char* reason;
    };
    const Case cases[] = {
        {"FILE=notes.exe", "not an absolute path"},
        {"FILE=\\notes.exe", "not an absolute path"},
        {"FILE=C:notes.exe", "not an absolute path"},
        {"FILE=", "empty path"},
        {"FILE=C:\\p\\*.*", "wildcard or reserved character"},
        {"FILE=C:\\p\\a?.txt", "wildcard or reserved character"},
        {"FILE=C:\\p\\a.txt:stream", "wildcard or reserved character"},
        {"FILE=C:\\p\\..\\..\\boot.ini", "relative part in path"},
        {"FILE=C:\\p\\.\\x", "relative part in path"},
        {"FILE=C:\\p\\... \\x", "relative part in path"},
        {"FILE=C:\\p\\", "names a folder"},
        {"SHORTCUT=C:\\", "a drive or share itself"},
        {"DIR=C:\\", "a drive or share itself"},
        {"DIR=C:\\\\", "a drive or share itself"},
        {"DIR=\\\\server\\share", "a drive or share itself"},
        {"DIR=\\\\server\\share\\", "a drive or share itself"},
        {"DIR=relative\\dir", "not an absolute path"},
        {"REGVAL=HKEY_LOCAL_MACHINE\\Name", "no registry value below a root"},
        {"REGVAL=HKLM\\Software\\Acme\\Name", "no registry value below a root"},
        {"REGVAL=HKEY_CURRENT_USER\\Environment\\Path", "a value the system depends on"},
        {"REGVAL=HKEY_CURRENT_USER\\Environment\\TEMP", "a value the system depends on"},
        {"REGVAL=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\PATH",
         "a value the system depends on"},
        {"REGKEY=HKEY_LOCAL_MACHINE", "no registry key below a root"},
        {"REGKEY=HKEY_LOCAL_MACHINE\\", "no registry key below a root"},
        {"REMKEY=HKEY_CLASSES_ROOT\\", "no registry key below a root"},
        {"REMKEY=HKEY_CLASSES_ROOT", "no registry key below a root"},
        {"REMKEY=HKEY_LOCAL_MACHINE\\Software", "removed whole only below HKEY_CLASSES_ROOT"},
        {"REMKEY=HKEY_CLASSES_ROOT\\CLSID\\{1}", "not a class or extension name"},
        {"REMKEY=HKEY_CLASSES_ROOT\\clsid", "a key the system depends on"},
        {"REMKEY=HKEY_CLASSES_ROOT\\*", "a key the system depends on"},
        {"REMKEY=HKEY_CLASSES_ROOT\\.EXE", "a key the system depends on"},
        {"NTSERVICE=", "not a service name"},
        {"NTSERVICE=a\\b", "not a service name"},
        {"RUN3RD=..\\..\\cmd.exe", "not a plain file name"},
        {"RUN3RD=C:\\WINDOWS\\system32\\cmd.exe", "not a plain file name"},
        {"RUN3RD=", "not a plain file name"},
        {"FILE=C:\\p\\CON", "device name"},
        {"FILE=C:\\p\\nul.txt", "device name"},
        {"DIR=C:\\p\\com1", "device name"},
        {"FILE=\\\\?\\C:\\p\\x.dll", "device path"},
        {"FILE=\\\\.\\PhysicalDrive0", "device path"},
        {"DELETE=C:\\x", "unknown entry"},
        {"file=C:\\x", "unknown entry"},
    };
    for (const Case& c : cases) {
        RemovalSteps removal = StepsOfLog(std::string(c.line) + "\r\n");
        EXPECT_TRUE(removal.steps.empty()) << c.line << " gave " << DescribeStep(removal.steps[0]);
        ASSERT_EQ(removal.refused.size(), 1u) << c.line;
        EXPECT_EQ(removal.refused[0], std::string(c.line) + ": " + c.reason);
    }
}

TEST(RemovalStepsTest, AcceptedTargets) {
    struct Case {
        const char* line;
        const char* step;
    };
    const Case cases[] = {
        {"FILE=\\\\server\\share\\notes.dat", "file \\\\server\\share\\notes.dat"},
        {"FILE=d:/p/x.txt", "file d:/p/x.txt"},
        {"FILE=C:\\Program Files\\Acme Inc.\\a.txt", "file C:\\Program Files\\Acme Inc.\\a.txt"},
        {"DIR=\\\\server\\share\\notes", "dir \\\\server\\share\\notes"},
        {"DIR=C:\\a\\\\", "dir C:\\a"},
        {"REGVAL=HKEY_CURRENT_USER\\Environment\\NOTES_PATH", "value HKEY_CURRENT_USER\\Environment\\NOTES_PATH"},
        {"REGVAL=HKEY_LOCAL_MACHINE\\Software\\A\\Path", "value HKEY_LOCAL_MACHINE\\Software\\A\\Path"},
        {"REGKEY=HKEY_USERS\\.DEFAULT\\Software\\A\\", "key HKEY_USERS\\.DEFAULT\\Software\\A"},
        {"REMKEY=HKEY_CLASSES_ROOT\\.txt2", "tree HKEY_CLASSES_ROOT\\.txt2"},
        {"NTSERVICE=Notes Sync", "service Notes Sync"},
        {"RUN3RD=x.exe", "run C:\\WINDOWS\\Installer\\{P}\\x.exe "},
    };
    for (const Case& c : cases) {
        RemovalSteps removal = StepsOfLog(std::string(c.line) + "\r\n");
        ASSERT_EQ(removal.steps.size(), 1u) << c.line;
        EXPECT_EQ(DescribeStep(removal.steps[0]), c.step);
        EXPECT_TRUE(removal.refused.empty()) << c.line;
    }
}

// Without a record, a FILE line outside the install folder may name a file
// that was there before (a kept system DLL is logged too): it stays.
TEST(RemovalStepsTest, WithoutRecordOnlyFilesInTheInstallFolderGo) {
    struct Case {
        const char* line;
        bool removed;
    };
    const Case cases[] = {
        {"FILE=C:\\Program Files\\Acme\\a.exe", true},
        {"FILE=c:\\program files\\acme\\sub\\b.dll", true},
        {"FILE=C:\\Program Files\\Acme2\\a.exe", false},
        {"FILE=C:\\WINDOWS\\system32\\common.dll", false},
        {"SHORTCUT=C:\\Start Menu\\Programs\\Acme\\Acme.lnk", true},
    };
    for (const Case& c : cases) {
        RemovalContext context;
        context.installDir = "C:\\Program Files\\Acme\\";
        RemovalSteps removal = ListRemovalSteps(ParseUninstallLog(std::string(c.line) + "\r\n"), context);
        EXPECT_EQ(removal.steps.size(), c.removed ? 1u : 0u) << c.line;
        EXPECT_EQ(removal.refused.size(), c.removed ? 0u : 1u) << c.line;
    }
}

TEST(RemovalStepsTest, NothingFromAnEmptyLog) {
    RemovalSteps removal = StepsOfLog("");
    EXPECT_TRUE(removal.steps.empty());
    EXPECT_TRUE(removal.refused.empty());
    EXPECT_FALSE(removal.removeAll);
    EXPECT_EQ(removal.totalFiles, -1);
    // A registered program that is no plain path is refused too.
    removal = StepsOfLog("", "cleanup.exe");
    EXPECT_TRUE(removal.steps.empty());
    EXPECT_EQ(removal.refused.size(), 1u);
}

TEST(RunnerCommandLine, SwitchesAndProductCode) {
    using Action = RunnerCommand::Action;
    struct Case {
        const char* arguments;
        Action action;
        bool silent;
        const char* code;
        bool plan = false;
        const char* log = "";
    };
    const Case cases[] = {
        {"/PLAN /R {6B1C}", Action::kRemove, false, "{6B1C}", true},
        {"/s /Log=C:\\r.json /r {6B1C}", Action::kRemove, true, "{6B1C}", false, "C:\\r.json"},
        {"\"/LOG=C:\\My logs\\r.json\" /plan {6B1C}", Action::kRemove, false, "{6B1C}", true, "C:\\My logs\\r.json"},
        {"/LOG= /R {6B1C}", Action::kUsage, false, "{6B1C}"},
        {"/PLAN /M {6B1C}", Action::kUsage, false, "{6B1C}", true},
        {"/PLANS {6B1C}", Action::kRemove, false, "/PLANS {6B1C}"},
        {"/?", Action::kUsage, false, ""},
        {"/R {6B1C}", Action::kRemove, false, "{6B1C}"},
        {"/M {6B1C}", Action::kModify, false, "{6B1C}"},
        {"\"/S\" {6B1C}", Action::kRemove, true, "{6B1C}"},
        {"/S /R {6B1C}", Action::kRemove, true, "{6B1C}"},
        {"/r /s {6B1C}", Action::kRemove, true, "{6B1C}"},
        {"-R \"{6B1C}\"", Action::kRemove, false, "{6B1C}"},
        {"/R \"/S\" {6B1C}", Action::kRemove, true, "{6B1C}"},
        {"  /R   Notes 1.2  ", Action::kRemove, false, "Notes 1.2"},
        {"{6B1C}", Action::kRemove, false, "{6B1C}"},
        {"/R", Action::kUsage, false, ""},
        {"", Action::kUsage, false, ""},
        {"/S", Action::kUsage, true, ""},
        {"/R /M {6B1C}", Action::kUsage, false, "{6B1C}"},
        {"/X {6B1C}", Action::kRemove, false, "/X {6B1C}"},
        {"/Rx", Action::kRemove, false, "/Rx"},
        {"\"/S {6B1C}\"", Action::kRemove, false, "/S {6B1C}"},
        {"/R {6B1C} /S", Action::kRemove, true, "{6B1C}"},
        {"/R {6B1C} \"/S\"", Action::kRemove, true, "{6B1C}"},
        {"{6B1C} /s", Action::kRemove, true, "{6B1C}"},
        {"/M Notes 1.2 /S", Action::kModify, true, "Notes 1.2"},
        {"/R {6B1C}/S", Action::kRemove, false, "{6B1C}/S"},
    };
    for (const Case& c : cases) {
        RunnerCommand command = ParseRunnerCommandLine(c.arguments);
        EXPECT_EQ(command.action, c.action) << c.arguments;
        EXPECT_EQ(command.silent, c.silent) << c.arguments;
        EXPECT_EQ(command.productCode, c.code) << c.arguments;
        EXPECT_EQ(command.plan, c.plan) << c.arguments;
        EXPECT_EQ(command.logPath, c.log) << c.arguments;
    }
}

TEST(RunnerCommandLine, ProgramNameIsSkipped) {
    struct Case {
        const char* line;
        const char* arguments;
    };
    const Case cases[] = {
        {"kqexec.exe /R {P}", "/R {P}"},
        {"\"C:\\WINDOWS\\kqexec.exe\" \"/S\" {P}", "\"/S\" {P}"},
        {"\"C:\\Program Files\\kqexec.exe\"/R {P}", "/R {P}"},
        {"C:\\WINDOWS\\kqexec.exe", ""},
        {"\"C:\\unterminated /R x", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(SkipProgramName(c.line), c.arguments) << c.line;
}

}  // namespace
}  // namespace kq
