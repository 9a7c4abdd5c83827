#include "run/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ini_text.h"
#include "base/path_rules.h"
#include "run/exit_codes.h"
#include "run/script.h"
#include "wizard/wizard_flow.h"

namespace kq {
namespace {

struct LineCase {
    const char* name;
    const char* arguments;
    bool silent, plan, help;
    const char* log;
    const char* language;
    const char* folder;
    const char* problem;  // a part of the fault's text; "" for a good line
};

TEST(CommandLineTest, ParsesOptionsAndRefusesBadLines) {
    const std::string longFolder = "C:\\" + std::string(kMaxInstallFolderLength - 4, 'a');
    const std::string tooLong = "C:\\" + std::string(kMaxInstallFolderLength - 3, 'a');
    const std::string longLine = "/D=" + longFolder;
    const std::string tooLongLine = "/D=" + tooLong;
    const std::string longWithSlash = longFolder + "\\";
    const LineCase cases[] = {
        {"nothing", "", false, false, false, "", "", "", ""},
        {"blanks only", "  \t ", false, false, false, "", "", "", ""},
        {"silent", "/S", true, false, false, "", "", "", ""},
        {"any case", "/s /plan /log=a.json /lang=German", true, true, false, "a.json", "German", "", ""},
        {"every option", "/S /PLAN /LOG=C:\\out\\run.json /LANG=French /D=C:\\Program Files\\Acme", true, true, false,
         "C:\\out\\run.json", "French", "C:\\Program Files\\Acme\\", ""},
        {"quoted log", "\"/LOG=C:\\my logs\\run.json\" /S", true, false, false, "C:\\my logs\\run.json", "", "", ""},
        {"quoted value", "/LOG=\"C:\\my logs\\run.json\"", false, false, false, "C:\\my logs\\run.json", "", "", ""},
        {"folder takes the rest, blanks included", "/S /D=C:\\My Apps\\Acme  Notes  ", true, false, false, "", "",
         "C:\\My Apps\\Acme  Notes\\", ""},
        {"folder in quotes", "/D=\"C:\\My Apps\\Acme\"", false, false, false, "", "", "C:\\My Apps\\Acme\\", ""},
        {"quoted folder option", "\"/D=C:\\My Apps\\Acme\"", false, false, false, "", "", "C:\\My Apps\\Acme\\", ""},
        {"folder with its backslash", "/D=D:\\Acme\\", false, false, false, "", "", "D:\\Acme\\", ""},
        {"folder on a share", "/D=\\\\server\\apps\\Acme", false, false, false, "", "", "\\\\server\\apps\\Acme\\", ""},
        {"options after /D= are folder text", "/D=C:\\Acme /S", false, false, false, "", "", "C:\\Acme /S\\", ""},
        {"longest folder", longLine.c_str(), false, false, false, "", "", longWithSlash.c_str(), ""},
        {"help", "/?", false, false, true, "", "", "", ""},
        {"help, silent", "/S /?", true, false, true, "", "", "", ""},
        {"unknown option", "/S /X", true, false, false, "", "", "", "unknown option \"/X\""},
        {"a value for a switch", "/S=1", false, false, false, "", "", "", "unknown option \"/S=1\""},
        {"not an option", "setup", false, false, false, "", "", "", "\"setup\" is not an option"},
        {"twice", "/S /S", true, false, false, "", "", "", "/S is given twice"},
        {"log twice", "/LOG=a /LOG=b", false, false, false, "b", "", "", "/LOG= is given twice"},
        {"empty log", "/S /LOG=", true, false, false, "", "", "", "/LOG= needs a value"},
        {"empty language", "/LANG=", false, false, false, "", "", "", "/LANG= needs a value"},
        {"empty folder", "/S /D=", true, false, false, "", "", "", "/D= needs a folder"},
        {"blank folder", "/D=   ", false, false, false, "", "", "", "/D= needs a folder"},
        {"empty quoted folder", "/D=\"\"", false, false, false, "", "", "", "/D= needs a folder"},
        {"relative folder", "/D=Acme\\Notes", false, false, false, "", "", "", "not an absolute path"},
        {"drive-relative folder", "/D=C:Acme", false, false, false, "", "", "", "not an absolute path"},
        {"a drive alone", "/D=C:\\", false, false, false, "", "", "", "a drive or share itself"},
        {"climbing folder", "/D=C:\\Acme\\..\\..\\WINDOWS", false, false, false, "", "", "", "relative part"},
        {"device name", "/D=C:\\Acme\\nul.txt", false, false, false, "", "", "", "device name"},
        {"device path", "/D=\\\\.\\C:\\Acme", false, false, false, "", "", "", "device path"},
        {"reserved character", "/D=C:\\Acme|Notes", false, false, false, "", "", "", "reserved character"},
        {"control character", "/D=C:\\Acme\x01Notes", false, false, false, "", "", "", "reserved character"},
        {"too long", tooLongLine.c_str(), false, false, false, "", "", "", "is too long"},
        {"first fault kept, rest still read", "/X /S /LOG=run.json /D=", true, false, false, "run.json", "", "",
         "unknown option \"/X\""},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetupCommandLine line = ParseSetupCommandLine(c.arguments, &AbsolutePathProblem);
        EXPECT_EQ(line.requests.silent, c.silent);
        EXPECT_EQ(line.requests.plan, c.plan);
        EXPECT_EQ(line.help, c.help);
        EXPECT_EQ(line.requests.logPath, c.log);
        EXPECT_EQ(line.requests.language, c.language);
        EXPECT_EQ(line.requests.installFolder, c.folder);
        if (c.problem[0] == '\0') EXPECT_EQ(line.problem, "");
        else EXPECT_NE(line.problem.find(c.problem), std::string::npos) << line.problem;
    }
}

// The "/?" window lists every option and every exit code with its meaning.
TEST(CommandLineTest, UsageListsOptionsAndExitCodes) {
    const std::string usage = SetupUsageText();
    for (const char* option : {"/S", "/PLAN", "/LOG=", "/LANG=", "/TYPE=", "/FEATURES=", "/SAVEINF=", "/LOADINF=",
                               "/RESTARTEXITCODE=", "/?", "/D="})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    int expected = 0;
    for (const ExitCodeText& entry : kExitCodeTable) {
        EXPECT_EQ(entry.code, expected++);
        EXPECT_NE(usage.find(std::to_string(entry.code) + "\t" + entry.meaning), std::string::npos) << entry.code;
    }
}

struct ExitCase {
    const char* name;
    bool installed, cancelled, aborted;
    RunFailure failure;
    bool restartPending;
    int expected;
};

TEST(CommandLineTest, ExitCodeNamesHowTheRunEnded) {
    const ExitCase cases[] = {
        {"installed", true, false, false, RunFailure::kNone, false, kExitInstalled},
        {"installed, restart due", true, false, false, RunFailure::kNone, true, kExitRestartNeeded},
        {"cancelled by the user", false, true, true, RunFailure::kNone, false, kExitCancelled},
        {"cancelled by a condition", false, false, true, RunFailure::kCancelled, false, kExitCancelled},
        {"user cancel after a file failure", false, true, true, RunFailure::kFiles, false, kExitCancelled},
        {"a must-install file failed", false, false, true, RunFailure::kFiles, false, kExitFileFailed},
        {"damaged file list", false, false, true, RunFailure::kDamaged, false, kExitDamaged},
        {"requirements", false, false, true, RunFailure::kRequirements, false, kExitRequirements},
        {"registration failed", false, false, true, RunFailure::kNone, false, kExitFailed},
        {"past the last page, nothing installed", false, false, false, RunFailure::kNone, false, kExitFailed},
        {"no restart code for a failed run", false, false, true, RunFailure::kOther, true, kExitFailed},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RunExitCode(c.installed, c.cancelled, c.aborted, c.failure, c.restartPending), c.expected);
    }
}

// Finish asks for a restart only when a user is there (a silent script's
// too); "/S" reports it by its exit code, a plan not at all.
TEST(CommandLineTest, RestartIsAskedOrReported) {
    CommandRequests none, silent, plan;
    silent.silent = true;
    plan.plan = true;
    const Audience user(false, none), script(true, none), nobody(true, silent), planned(false, plan);
    struct Case {
        const char* name;
        bool installed, aborted, wanted;
        Audience audience;
        bool plan;
        RestartStep expected;
    };
    const Case cases[] = {
        {"attended", true, false, true, user, false, RestartStep::kAsk},
        {"silent script", true, false, true, script, false, RestartStep::kAsk},
        {"/S", true, false, true, nobody, false, RestartStep::kReport},
        {"plan", true, false, true, planned, true, RestartStep::kNone},
        {"not wanted", true, false, false, user, false, RestartStep::kNone},
        {"aborted", true, true, true, nobody, false, RestartStep::kNone},
        {"nothing installed", false, false, true, user, false, RestartStep::kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecideRestart(c.installed, c.aborted, c.wanted, c.audience, c.plan), c.expected);
    }
}

// The first cause given is the one the exit code tells.
TEST(CommandLineTest, FirstFailureCounts) {
    RunSignals signals;
    EXPECT_EQ(signals.Failure(), RunFailure::kNone);
    signals.SetFailure(RunFailure::kFiles);
    signals.SetFailure(RunFailure::kOther);
    EXPECT_EQ(signals.Failure(), RunFailure::kFiles);
}

// What the command line asked for overrides the script when the settings
// are read: silent for /S and /PLAN, the install folder for /D=, which the
// expansion and the install snapshot see. Who watches: a silent script
// hides the pages but shows every other window and waits for its answers;
// only /S and /PLAN have nobody there.
TEST(CommandLineTest, RequestsOverrideTheScript) {
    struct Case {
        const char* name;
        const char* script;
        const char* arguments;
        SilentMode silent;
        const char* installDir;
        bool plan;
        bool pages, windows;
    };
    const Case cases[] = {
        {"script's own values", "", "", SilentMode::kOff, "C:\\Program Files\\Notes\\", false, true, true},
        {"script silent", "[BUILDING]\r\n2=Yes\r\n", "", SilentMode::kOn, "C:\\Program Files\\Notes\\", false, false,
         true},
        {"/S", "", "/S", SilentMode::kOn, "C:\\Program Files\\Notes\\", false, false, false},
        {"/S over a silent script", "[BUILDING]\r\n2=Yes\r\n", "/S", SilentMode::kOn, "C:\\Program Files\\Notes\\",
         false, false, false},
        {"/PLAN asks nobody", "", "/PLAN", SilentMode::kOn, "C:\\Program Files\\Notes\\", true, false, false},
        {"/D=", "", "/D=E:\\Tools\\Notes", SilentMode::kOff, "E:\\Tools\\Notes\\", false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupRun run;
        run.Folders().programFiles = "C:\\Program Files";
        run.Requests() = ParseSetupCommandLine(c.arguments, &AbsolutePathProblem).requests;
        IniText ini(std::string("[APPINFO]\r\na1=Notes\r\na4=<ProgramFilesFolder>\\Notes\r\n") + c.script);
        run.LoadSettings(Script(ini), "Co");
        EXPECT_EQ(run.Modes().silent, c.silent);
        EXPECT_EQ(run.Expand("<InstallDir>"), c.installDir);
        const InstallSnapshot snapshot = run.MakeInstallSnapshot();
        EXPECT_EQ(snapshot.settings.installDir, c.installDir);
        EXPECT_EQ(snapshot.plan, c.plan);
        EXPECT_EQ(run.Watching().SeesPages(), c.pages);
        EXPECT_EQ(run.Watching().SeesWindows(), c.windows);
        EXPECT_EQ(snapshot.unattended, !c.windows);
    }
}

}  // namespace
}  // namespace kq
