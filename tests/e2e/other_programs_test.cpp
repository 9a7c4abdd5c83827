// The author's other programs as a user meets them under Wine: file actions
// at page entry and at Finish (a "once" action across Back and Next, a DLL
// function given the install folder), and a merge-module program that runs
// after the installation while the merge-module page is up, after which no
// working folder is left in the temporary folder (in a silent run too, where
// the merge modules run without their page); and
// the administrator-rights check that ends a run before any of it.
//
// The package is tests/e2e/packages/wizard with the default theme of
// sample/theme, with FILEACTION and MERGEMODULES sections added. The
// programs are the harness's: append_line.exe (appends its words to a file),
// action_probe.dll (writes down the folder it receives) and msgbox_probe.exe
// (waits on a message box until the case presses OK).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "setup_fixture.h"
#include "wizard_package.h"

namespace kq::e2e {
namespace {

using namespace wizard_package;

constexpr char kMergePage[] = "Installing Additional Components";
constexpr char kComplete[] = "Setup has installed Wizard Test Product successfully.";

// Added to the wizard package's script. Every item admits every system
// (program mask 127).
constexpr char kActions[] =
    "\n[FILEACTION]\nTOTAL=4\n"
    // Once, and every time: entering the setup-type page twice runs the first once.
    "B0=C:\\tools\\append_line.exe\nC0=C:\\tools\\actions.txt setuptype-once\nE0=Setup Type\nG0=Yes\nH0=Yes\nL0=127\n"
    "B1=C:\\tools\\append_line.exe\nC1=C:\\tools\\actions.txt setuptype-each\nE1=Setup Type\nG1=No\nH1=Yes\nL1=127\n"
    "B2=C:\\tools\\action_probe.dll\nC2=ReceiveFolder\nE2=Ready to Install\nL2=127\n"
    "B3=C:\\tools\\append_line.exe\nC3=C:\\tools\\actions.txt finish\nE3=After Click Finish Button\nH3=Yes\nL3=127\n"
    "\n[MERGEMODULES]\nTOTAL=1\n"
    "C0=C:\\tools\\msgbox_probe.exe\nD0=msgbox_probe.exe --text MergeModuleRunning --caption MergeProbe\nE0=127\n"
    "G0=No Condition\n";

class OtherProgramsTest : public SetupTest {
protected:
    void SetUp() override {
        const std::string missing = MissingBuildFile({"tests/win/append_line.exe", "tests/win/action_probe.dll"});
        if (!missing.empty()) GTEST_SKIP() << missing << " is not built";
        SetupTest::SetUp();
    }

    fs::path ProgramsPackage(bool silent = false, const std::string& appInfo = "") {
        fs::path authoring = CopyAuthoring("wizard");
        std::string script = ReadFile(authoring / "setup.inf") + kActions;
        script.insert(script.find("[APPINFO]\n") + 10, appInfo);
        if (silent) {
            const size_t at = script.find("[BUILDING]\n2=No\n");
            EXPECT_NE(at, std::string::npos);
            if (at != std::string::npos) script.replace(at, 16, "[BUILDING]\n2=Yes\n");
            // No launch offers and no restart question: nobody is there for them.
            for (const char* key : {"CT9=", "CT12=", "CT14="}) {
                const size_t line = script.find(std::string("\n") + key + "Yes\n");
                EXPECT_NE(line, std::string::npos) << key;
                if (line != std::string::npos) script.replace(line + 1 + std::string(key).size(), 3, "No");
            }
        }
        WriteFile(authoring / "setup.inf", script);
        fs::path out = BuildInto(authoring);

        fs::path tools = Session().DriveC() / "tools";
        fs::create_directories(tools);
        fs::copy_file(HarnessPaths::WinBuildDir() / "tests" / "win" / "append_line.exe", tools / "append_line.exe");
        fs::copy_file(HarnessPaths::WinBuildDir() / "tests" / "win" / "action_probe.dll", tools / "action_probe.dll");
        fs::copy_file(HarnessPaths::MsgboxProbe(), tools / "msgbox_probe.exe");
        return out;
    }

    std::optional<WindowInfo> Page(const char* text, Millis timeout = Millis(30000)) {
        return Session().WaitWindow({"--title", kTitle, "--exact", "--contains", text}, timeout);
    }
};

TEST_F(OtherProgramsTest, FileActionsAndMergeModulesRunAtTheirMoments) {
    fs::path package = ProgramsPackage();
    ASSERT_FALSE(HasFailure());
    const fs::path actions = Session().DriveC() / "tools" / "actions.txt";
    int setup = StartSetup(package, {}, Millis(150000));

    ASSERT_TRUE(Page(kWelcome)) << "no welcome page; on the screen:\n" << Screen();
    ASSERT_TRUE(Step(kWizard, kWelcome, "Next >", kSetupType));
    ASSERT_TRUE(Step(kWizard, kSetupType, "< Back", kWelcome));
    ASSERT_TRUE(Step(kWizard, kWelcome, "Next >", kSetupType));
    EXPECT_EQ(ReadFile(actions), "setuptype-once\r\nsetuptype-each\r\nsetuptype-each\r\n");

    ASSERT_TRUE(Step(kWizard, kSetupType, "Next >", kReady));
    EXPECT_EQ(ReadFile(Session().DriveC() / "tools" / "action_probe.txt"), kInstallDir);

    // The merge-module program runs once the product is installed, with its
    // page up and the working folder still there; setup waits for it.
    ASSERT_TRUE(Click(kWizard, "Install"));
    std::optional<WindowInfo> probe;
    WaitUntil(Millis(60000), [&] { return (probe = Session().WaitWindow({"--title", "MergeProbe", "--exact"}, Millis(5000))).has_value(); });
    ASSERT_TRUE(probe) << "the merge-module program did not run; on the screen:\n" << Screen();
    EXPECT_TRUE(Page(kMergePage, Millis(5000))) << "the merge-module page is not up";
    EXPECT_TRUE(fs::exists(Session().HostPath(std::string(kInstallDir) + "readme.txt")));
    EXPECT_EQ(WorkFolders().size(), 1u);
    ASSERT_TRUE(Click({"--title", "MergeProbe", "--exact"}, "OK"));

    ASSERT_TRUE(Page(kComplete)) << "no completion page after the merge modules; on the screen:\n"
                                 << Screen();
    EXPECT_TRUE(WorkFolders().empty()) << WorkFolders().front();

    // Finish: its action runs, then the launch offers and the restart question.
    ASSERT_TRUE(Click(kWizard, "Finish"));
    EXPECT_TRUE(WaitUntil(Millis(20000), [&] { return ReadFile(actions).find("finish\r\n") != std::string::npos; }));
    EXPECT_EQ(ReadFile(actions), "setuptype-once\r\nsetuptype-each\r\nsetuptype-each\r\nfinish\r\n");
    WaitUntil(Millis(20000), [&] {
        if (!Session().IsRunning(setup)) return true;
        for (const char* label : {"OK", "Keep going", "No"}) {
            Session().Driver({"click", "--title", "LaunchProbe", "--exact", "--text", "OK"});
            Session().Driver({"click", "--title", "Calvarr Merrowin", "--exact", "--text", label});
        }
        return false;
    });
    // Installed, with the restart the script asks for declined.
    EXPECT_EQ(Session().Wait(Millis(10000), setup).exitCode, kExitRestartNeeded);
}

// A silent run installs what the product needs too: the merge-module
// program runs (no page is shown), the run ends once it has, and the
// working folder goes; the file actions of the moments the run passes run.
TEST_F(OtherProgramsTest, ASilentRunRunsTheMergeModulesAndLeavesNoWorkingFolder) {
    fs::path package = ProgramsPackage(true);
    ASSERT_FALSE(HasFailure());
    int setup = StartSetup(package);
    std::optional<WindowInfo> probe = Session().WaitWindow({"--title", "MergeProbe", "--exact"}, Millis(60000));
    ASSERT_TRUE(probe) << "the merge-module program did not run; on the screen:\n" << Screen();
    EXPECT_FALSE(Page(kMergePage, Millis(500))) << "a silent run shows the merge-module page";
    EXPECT_TRUE(Session().IsRunning(setup)) << "setup.exe did not wait for the merge-module program";
    ASSERT_TRUE(Click({"--title", "MergeProbe", "--exact"}, "OK"));
    ProcessResult ended = Session().Wait(Millis(90000), setup);
    ASSERT_FALSE(ended.timedOut) << "setup.exe did not end; on the screen:\n" << Screen();
    EXPECT_EQ(ended.exitCode, kExitInstalled);
    EXPECT_TRUE(fs::exists(Session().HostPath(std::string(kInstallDir) + "readme.txt")));
    EXPECT_EQ(ReadFile(Session().DriveC() / "tools" / "actions.txt"), "finish\r\n");
    EXPECT_TRUE(WorkFolders().empty()) << WorkFolders().front();
}

// A product that asks for administrator rights, on a machine whose
// program-files folder the user cannot read: the message, and the run ends
// as a failed one before any page or program.
TEST_F(OtherProgramsTest, WithoutAdministratorRightsTheRunEnds) {
    fs::path package = ProgramsPackage(false, "a7=Yes\n");
    ASSERT_FALSE(HasFailure());
    ProcessResult removed = Session().Run(
        "reg", {"delete", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion", "/v", "ProgramFilesDir", "/f"});
    ASSERT_EQ(removed.exitCode, EXIT_SUCCESS) << removed.output << removed.errors;
    int setup = StartSetup(package);

    std::optional<WindowInfo> box = Session().WaitWindow(
        {"--title", "Calvarr Merrowin", "--exact", "--contains", "you need administrator rights"}, Millis(30000));
    ASSERT_TRUE(box) << "no message; on the screen:\n" << Screen();
    std::string button;
    for (const ControlInfo& control : box->controls)
        if (control.className == "Button" && control.visible) button = control.text;
    ASSERT_FALSE(button.empty()) << box->AllText();
    EXPECT_FALSE(Page(kWelcome, Millis(500))) << "a page is up beside the message";
    ASSERT_TRUE(Click({"--title", "Calvarr Merrowin", "--exact"}, button));
    ProcessResult ended = Session().Wait(Millis(30000), setup);
    ASSERT_FALSE(ended.timedOut) << "setup.exe did not end";
    EXPECT_EQ(ended.exitCode, kExitRequirements);
    EXPECT_FALSE(fs::exists(Session().DriveC() / "tools" / "actions.txt"));
}

}  // namespace
}  // namespace kq::e2e
