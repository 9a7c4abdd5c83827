// The run object: expansion with the pages' answers, the switches read from
// the settings, the snapshot the install worker gets; and the wizard's
// decisions over the run's states.
#include "run/setup_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/ini_text.h"
#include "run/script.h"
#include "wizard/wizard_flow.h"

namespace kq {
namespace {

SetupRun SampleRun(const std::string& script = "[APPINFO]\r\na1=Notes\r\na4=<ProgramFilesFolder>\\Notes\r\n") {
    SetupRun run;
    run.Folders().programFiles = "C:\\Program Files";
    run.Folders().userName = "system user";
    IniText ini(script);
    run.LoadSettings(Script(ini), "Registered Co");
    return run;
}

TEST(SetupRun, ExpansionSeesThePagesAnswers) {
    struct Case {
        const char* text;
        std::function<void(SetupRun&)> answer;
        const char* expanded;
    };
    const Case cases[] = {
        {"<UserName>, <CompanyName>", nullptr, "system user, Registered Co"},
        {"<UserName>", [](SetupRun& r) { r.SetUserName("Ann"); }, "Ann"},
        {"<CompanyName>", [](SetupRun& r) { r.SetCompanyName("Northwind"); }, "Northwind"},
        {"<InstallDir>a.txt", nullptr, "C:\\Program Files\\Notes\\a.txt"},
        {"<InstallDir>a.txt", [](SetupRun& r) { r.SetInstallFolder("D:\\Apps\\Notes\\"); }, "D:\\Apps\\Notes\\a.txt"},
    };
    for (const Case& c : cases) {
        SetupRun run = SampleRun();
        if (c.answer) c.answer(run);
        EXPECT_EQ(run.Expand(c.text), c.expanded) << c.text;
    }
}

TEST(SetupRun, SwitchesComeFromTheSettings) {
    struct Case {
        const char* script;
        bool preview;
        SilentMode silent;
    };
    const Case cases[] = {
        {"", false, SilentMode::kOff},
        {"[APPINFO]\r\nPREVIEW=255\r\n", true, SilentMode::kOff},
        {"[APPINFO]\r\nPREVIEW=1\r\n[BUILDING]\r\n2=Yes\r\n", false, SilentMode::kOn},
    };
    for (const Case& c : cases) {
        SetupRun run = SampleRun(c.script);
        EXPECT_EQ(run.Modes().preview, c.preview) << c.script;
        EXPECT_EQ(run.Modes().silent, c.silent) << c.script;
    }
}

TEST(SetupRun, SnapshotFreezesChoicesAndSharesTheSignals) {
    SetupRun run = SampleRun();
    run.Features().Add("Help");
    run.Features().Add("Tools");
    run.Features().SetState("Tools", kFeatureNotInstalled);
    run.SetInstallFolder("D:\\Notes\\");
    run.Modes().diskImage = true;
    run.SetSystemName("98SE");

    const InstallSnapshot snapshot = run.MakeInstallSnapshot();
    run.Features().SetState("Help", kFeatureNotInstalled);
    run.Features().SetState("Tools", kFeatureInstalled);
    run.SetInstallFolder("E:\\Later\\");

    EXPECT_FALSE(snapshot.featureDeselected("Help"));
    EXPECT_TRUE(snapshot.featureDeselected("Tools"));
    EXPECT_EQ(snapshot.settings.installDir, "D:\\Notes\\");
    EXPECT_TRUE(snapshot.diskImage);
    EXPECT_EQ(snapshot.systemName, "98SE");
    // What the worker records, the run sees; the user's cancel reaches the worker.
    snapshot.signals->Abort();
    EXPECT_TRUE(run.Signals().Aborted());
    run.Signals().RequestCancel();
    EXPECT_TRUE(snapshot.signals->CancelRequested());
}

TEST(SetupRun, LaunchOffersFollowTheChosenFolder) {
    // Expanded when Finish runs, not at start-up: a folder chosen on the
    // destination page is where the program and the readme are.
    struct Case {
        const char* folder;  // the destination page's answer; nullptr: none
        const char* program;
        const char* arguments;
        const char* readme;
    };
    const Case cases[] = {
        {nullptr, "C:\\Program Files\\Notes\\notes.exe", "/dir C:\\Program Files\\Notes\\",
         "C:\\Program Files\\Notes\\readme.txt"},
        {"D:\\Apps\\Notes\\", "D:\\Apps\\Notes\\notes.exe", "/dir D:\\Apps\\Notes\\",
         "D:\\Apps\\Notes\\readme.txt"},
    };
    for (const Case& c : cases) {
        SetupRun run = SampleRun(
            "[APPINFO]\r\na4=<ProgramFilesFolder>\\Notes\r\n[DIALOGLIST]\r\nCT10=<InstallDir>notes.exe\r\n"
            "CT11=/dir <InstallDir>\r\nCT13=<InstallDir>readme.txt\r\n");
        if (c.folder != nullptr) run.SetInstallFolder(c.folder);
        const LaunchTargets targets = run.ExpandLaunchTargets();
        EXPECT_EQ(targets.program, c.program);
        EXPECT_EQ(targets.arguments, c.arguments);
        EXPECT_EQ(targets.readme, c.readme);
    }
}

// The cancel request and the end of the copy step race: whichever comes
// first wins, so a cancel either stops the installation or is refused as too
// late, never both.
TEST(RunSignals, CancelAndTheEndOfTheCopyStep) {
    struct Case {
        const char* name;
        bool cancelFirst;
        bool cancelTaken;
        bool committed;
    };
    const Case cases[] = {
        {"cancel while files are copied", true, true, false},
        {"cancel once the copy step is over", false, false, true},
    };
    for (const Case& c : cases) {
        RunSignals signals;
        bool cancelTaken, committed;
        if (c.cancelFirst) {
            cancelTaken = signals.RequestCancel();
            committed = signals.Commit();
        } else {
            committed = signals.Commit();
            cancelTaken = signals.RequestCancel();
        }
        EXPECT_EQ(cancelTaken, c.cancelTaken) << c.name;
        EXPECT_EQ(signals.CancelRequested(), c.cancelTaken) << c.name;
        EXPECT_EQ(committed, c.committed) << c.name;
        EXPECT_EQ(signals.Committed(), c.committed) << c.name;
    }
}

TEST(WizardFlow, ExitCodeAndRestart) {
    struct Case {
        const char* name;
        bool installed;
        bool cancelled;
        bool aborted;
        int exitCode;
        bool restart;  // with CT14=Yes
    };
    const Case cases[] = {
        {"installed", true, false, false, kExitInstalled, true},
        {"cancelled, on a page or during the copy", false, true, true, kExitCancelled, false},
        {"failed: a file, the registration, the file list", false, false, true, kExitFailed, false},
        {"walked past the last page, nothing installed", false, false, false, kExitFailed, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunExitCode(c.installed, c.cancelled, c.aborted), c.exitCode) << c.name;
        EXPECT_EQ(OffersRestart(c.installed, c.aborted, true), c.restart) << c.name;
        EXPECT_FALSE(OffersRestart(c.installed, c.aborted, false)) << c.name;
    }
}

TEST(WizardFlow, NextAndAfterInstallation) {
    using S = SilentMode;
    struct NextCase {
        bool aborted;
        S silent;
        int index;
        NextStep step;
    };
    const NextCase next[] = {
        {true, S::kOff, 1, NextStep::kNone},          {true, S::kOn, 1, NextStep::kNone},
        {false, S::kOn, 5, NextStep::kSilentProgress}, {false, S::kAfterProgress, 5, NextStep::kFinish},
        {false, S::kOff, 5, NextStep::kFinish},        {false, S::kOff, 4, NextStep::kListPage},
        {false, S::kAfterProgress, 0, NextStep::kListPage},
    };
    for (const NextCase& c : next)
        EXPECT_EQ(DecideNextStep(c.aborted, c.silent, c.index, 5), c.step) << c.aborted << int(c.silent) << c.index;
    EXPECT_EQ(SilentAfterNext(S::kOn), S::kAfterProgress);
    EXPECT_EQ(SilentAfterNext(S::kOff), S::kOff);

    struct AfterCase {
        bool cancelPending;
        bool aborted;
        S silent;
        AfterInstallStep step;
    };
    const AfterCase after[] = {
        {true, true, S::kAfterProgress, AfterInstallStep::kCompleteCancel},
        {false, true, S::kAfterProgress, AfterInstallStep::kFinalPage},
        {false, false, S::kAfterProgress, AfterInstallStep::kFinish},
        {false, false, S::kOff, AfterInstallStep::kNext},
    };
    for (const AfterCase& c : after)
        EXPECT_EQ(DecideAfterInstall(c.cancelPending, c.aborted, c.silent), c.step)
            << c.cancelPending << c.aborted << int(c.silent);
    EXPECT_EQ(DecideCancel(true), CancelStep::kDefer);
    EXPECT_EQ(DecideCancel(false), CancelStep::kEndNow);
}

}  // namespace
}  // namespace kq
