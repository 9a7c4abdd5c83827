// The wizard as a user drives it under Wine: Next and Back through the page
// list with the rules for their buttons, the setup type deciding whether the
// custom-setup page is shown, Escape and its cancel question ending on the
// error variant of the completion page, Enter doing nothing, the launch
// offers of the completion page and what Finish does with them, and the
// silent mode that installs without showing a page.
//
// The package is tests/e2e/packages/wizard with the default theme of
// sample/theme and, as the program to launch, the harness's msgbox_probe.exe
// (it shows its --text in a message box captioned by its --caption). Its
// language.lan says things the layouts do not, so a text on the screen tells
// where it came from.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "prefix_snapshot.h"
#include "setup_fixture.h"
#include "wizard_package.h"

namespace kq::e2e {
namespace {

using namespace wizard_package;

// Size of the extra file that makes the silent run last long enough to watch
// (the payload now unpacks fast: a smaller one can be over before the first
// look at the windows).
constexpr size_t kBulk = 64u << 20;

// One text that only this page of the package shows.
struct PageMark {
    const char* name;
    const char* text;
};
constexpr PageMark kPages[] = {
    {"welcome", kWelcome},
    {"setuptype", kSetupType},
    {"customsetup", "Select the program features you want installed."},
    {"ready", kReady},
    {"progress", "Please wait while the Setup Wizard installs Wizard Test Product."},
    {"complete", "Wizard Test Product 2.5.1"},
};

// From the package's language.lan, [ProductName] expanded.
constexpr char kCancelQuestion[] = "Really stop installing Wizard Test Product now ?";
constexpr char kConfirm[] = "Stop it";
constexpr char kDecline[] = "Keep going";
// From complete.lcd.
constexpr char kSuccessStatus[] =
    "Setup has installed Wizard Test Product successfully. Click Finish to exit the wizard.";
constexpr char kLaunchFile[] = "Launch the program now";
constexpr char kLaunchReadme[] = "Show the readme file";
constexpr char kRestartQuestion[] =
    "You must restart your system for the configuration changes made to Wizard Test Product to take effect. "
    "Click Yes to restart now or No if you plan to restart later.";

// Which page of the package `page` is, by its texts; "other" when none fits.
std::string PageName(const WindowInfo& page) {
    std::string all = page.AllText();
    for (const PageMark& mark : kPages)
        if (all.find(mark.text) != std::string::npos) return mark.name;
    return "other";
}

void ExpectButton(const WindowInfo& page, const std::string& label, bool enabled) {
    const ControlInfo* button = page.FindByText(label);
    ASSERT_NE(button, nullptr) << "no \"" << label << "\" on " << PageName(page) << ":\n" << page.AllText();
    EXPECT_TRUE(button->visible) << label << " on " << PageName(page);
    EXPECT_EQ(button->enabled, enabled) << label << " on " << PageName(page);
}

// A page's buttons by their label, and whether each is enabled.
using Buttons = std::vector<std::pair<const char*, bool>>;
const Buttons kCompleteButtons = {{"< Back", false}, {"Cancel", false}, {"Finish", true}};

void ExpectButtons(const WindowInfo& page, const Buttons& buttons) {
    for (const auto& [label, enabled] : buttons) ExpectButton(page, label, enabled);
}

class WizardTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(fs::exists(HarnessPaths::MsgboxProbe())) << HarnessPaths::MsgboxProbe();
    }

    // Assembles the authoring folder in the scratch folder (the package
    // folder, the default theme, the probe as the program to launch) with
    // `changes` made to its setup script, and builds it into C:\pkg.
    fs::path WizardPackage(const std::vector<ScriptChange>& changes, size_t bulkBytes = 0) {
        fs::path theme = HarnessPaths::SourceDir() / "sample" / "theme";
        EXPECT_TRUE(fs::exists(theme / "complete.lcd")) << "no default theme in " << theme;
        fs::path authoring = CopyAuthoring("wizard");
        fs::copy_file(HarnessPaths::MsgboxProbe(), authoring / "files" / "probe.exe");
        WriteFile(authoring / "data.inf", ReadFile(authoring / "data.inf") +
                                              "files\\probe.exe\r\nDestination Computer\\<InstallDir>*0*0*0|\r\n");
        if (bulkBytes > 0) {
            // Data that does not compress, so extraction and copying take a while.
            std::string bulk(bulkBytes, '\0');
            uint32_t state = 2463534242u;
            for (char& byte : bulk) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                byte = static_cast<char>(state);
            }
            WriteFile(authoring / "files" / "bulk.bin", bulk);
            WriteFile(authoring / "data.inf", ReadFile(authoring / "data.inf") +
                                                  "files\\bulk.bin\r\nDestination Computer\\<InstallDir>*0*0*0|\r\n");
        }
        std::string script = ReadFile(authoring / "setup.inf");
        for (const ScriptChange& change : changes)
            EXPECT_TRUE(SetIniValue(script, change.section, change.key, change.value))
                << "no " << change.key << " in [" << change.section << "]";
        WriteFile(authoring / "setup.inf", script);

        return BuildInto(authoring);
    }

    // The first list page, once the start page has made way for it.
    std::optional<WindowInfo> WelcomePage() {
        return Session().WaitWindow({"--title", kTitle, "--exact", "--contains", kPages[0].text}, Millis(30000));
    }

    // The page on the screen now (waiting up to `timeout` for one).
    std::optional<WindowInfo> CurrentPage(Millis timeout = Millis(5000)) {
        return Session().WaitWindow(kWizard, timeout);
    }

    // Waits for a page other than the window `old`: the one that replaced it.
    std::optional<WindowInfo> PageAfter(unsigned long old, Millis timeout = Millis(15000)) {
        std::optional<WindowInfo> page;
        WaitUntil(timeout, [&] {
            page = CurrentPage(Millis(2000));
            return page && page->hwnd != old;
        });
        if (page && page->hwnd == old) return std::nullopt;
        return page;
    }

    // Presses `label` on `page` and returns the page that comes next.
    std::optional<WindowInfo> Press(const WindowInfo& page, const std::string& label) {
        if (!Click(kWizard, label)) return std::nullopt;
        std::optional<WindowInfo> next = PageAfter(page.hwnd);
        EXPECT_TRUE(next.has_value()) << "no page came after pressing \"" << label << "\" on " << PageName(page);
        return next;
    }

    // Builds the wizard package unchanged, starts it and waits for its
    // welcome page, which ends in `page`.
    void StartAtWelcome(std::optional<WindowInfo>& page) {
        fs::path package = WizardPackage({});
        ASSERT_FALSE(HasFailure());
        StartSetup(package);
        page = WelcomePage();
        ASSERT_TRUE(page) << "no page appeared";
        ASSERT_EQ(PageName(*page), "welcome");
    }

    // One step of a walk: the option chosen first (or none), the button
    // pressed, the page it leads to and the buttons that page shows.
    struct WalkStep {
        const char* choose;
        const char* press;
        const char* page;
        Buttons buttons;
    };
    // Takes `steps` from `page`, which ends on the last page reached.
    void Walk(std::optional<WindowInfo>& page, const std::vector<WalkStep>& steps) {
        for (const WalkStep& step : steps) {
            if (step.choose != nullptr) {
                ASSERT_TRUE(Click(kWizard, step.choose));
            }
            page = Press(*page, step.press);
            ASSERT_TRUE(page);
            ASSERT_EQ(PageName(*page), step.page);
            ExpectButtons(*page, step.buttons);
        }
    }

    // Presses `key` in the focused control of the page; the class of the
    // control that got it.
    std::string PressKey(const std::string& key) {
        ProcessResult pressed = Session().Driver({"key", "--title", kTitle, "--exact", key});
        EXPECT_EQ(pressed.exitCode, uidriver::kExitDone) << pressed.errors;
        for (const DriverLine& line : ParseDriverLines(pressed.output))
            if (line.kind == "pressed" && line.fields.count("class") != 0) return line.fields.at("class");
        return std::string();
    }

    // Waits until the control `label` of the current page is checked (or
    // not); false when it never gets there.
    bool WaitChecked(const std::string& label, bool checked) {
        return WaitUntil(Millis(5000), [&] {
            std::optional<WindowInfo> page = CurrentPage();
            const ControlInfo* control = page ? page->FindByText(label) : nullptr;
            return control != nullptr && (control->checked == 1) == checked;
        });
    }

    fs::path Installed(const std::string& relative) { return Session().HostPath(kInstallDir + relative); }

    // The package (a feature per file) with a customer page first, built
    // into C:\pkg of the current prefix; it asks for a restart at the end
    // and offers nothing to launch.
    fs::path FeaturePackage() {
        fs::path authoring = CopyAuthoring("wizard");
        std::string script = ReadFile(authoring / "setup.inf");
        const ScriptChange changes[] = {
            {"DIALOGLIST", "TOTAL1", "7"},
            {"DIALOGLIST", "W1", "customer.lcd"},
            {"DIALOGLIST", "W2", "setuptype.lcd"},
            {"DIALOGLIST", "W3", "customsetup.lcd"},
            {"DIALOGLIST", "W4", "ready.lcd"},
            {"DIALOGLIST", "W5", "progress.lcd"},
            {"DIALOGLIST", "W6", "complete.lcd"},
            {"DIALOGLIST", "CT9", "No"},
            {"DIALOGLIST", "CT12", "No"},
            {"DIALOGLIST", "CT17", "HKEY_CURRENT_USER"},
            {"DIALOGLIST", "CT18", "Software\\Wizard Test\\Customer"},
        };
        for (const ScriptChange& change : changes)
            EXPECT_TRUE(SetIniValue(script, change.section, change.key, change.value, true)) << change.key;
        WriteFile(authoring / "setup.inf", script);
        return BuildInto(authoring);
    }
};

void ExpectOption(const WindowInfo& page, const std::string& label, bool visible, bool checked) {
    const ControlInfo* option = page.FindByText(label);
    ASSERT_NE(option, nullptr) << "no \"" << label << "\" on " << PageName(page);
    EXPECT_EQ(option->visible, visible) << label;
    if (visible) {
        EXPECT_EQ(option->checked == 1, checked) << label;
    }
}

// Forward and back through welcome, setuptype, customsetup, ready, progress
// and complete: Back disabled only on the first page, Back and Cancel
// disabled on the last; Back returns to the page before. On the completion
// page both launch offers are on and a click toggles each; Finish launches
// what is chosen, asks the restart question the script wants and quits.
TEST_F(WizardTest, NextAndBackWalkThePagesToFinish) {
    std::optional<WindowInfo> page;
    StartAtWelcome(page);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(page->className, "#32770");
    ExpectButtons(*page, {{"< Back", false}, {"Next >", true}, {"Cancel", true}});
    Walk(page, {
                   {nullptr, "Next >", "setuptype", {{"< Back", true}, {"Next >", true}, {"Cancel", true}}},
                   {nullptr, "< Back", "welcome", {{"< Back", false}}},
                   {nullptr, "Next >", "setuptype", {}},
                   // With Custom the custom-setup page is on the way in both directions.
                   {"Custom", "Next >", "customsetup", {{"< Back", true}, {"Cancel", true}}},
                   {nullptr, "Next >", "ready", {{"< Back", true}, {"Install", true}}},
                   {nullptr, "< Back", "customsetup", {}},
                   {nullptr, "< Back", "setuptype", {}},
                   {nullptr, "Next >", "customsetup", {}},
                   {nullptr, "Next >", "ready", {}},
               });
    ASSERT_FALSE(HasFailure());

    ASSERT_TRUE(Click(kWizard, "Install"));
    page = Session().WaitWindow({"--title", kTitle, "--exact", "--contains", kSuccessStatus}, Millis(30000));
    ASSERT_TRUE(page) << "the completion page did not come; on the screen:\n" << Screen();
    EXPECT_EQ(PageName(*page), "complete");
    ExpectButtons(*page, kCompleteButtons);
    ExpectOption(*page, kLaunchFile, true, true);
    ExpectOption(*page, kLaunchReadme, true, true);
    EXPECT_EQ(ReadFile(Installed("readme.txt")), ReadFile(AuthoringDir("wizard") / "files" / "readme.txt"));
    EXPECT_EQ(ReadFile(Installed("bin\\notes.dat")), ReadFile(AuthoringDir("wizard") / "files" / "bin" / "notes.dat"));

    // Readme off; the program off and on again.
    ASSERT_TRUE(Click(kWizard, kLaunchReadme));
    EXPECT_TRUE(WaitChecked(kLaunchReadme, false)) << "a click did not turn the readme offer off";
    ASSERT_TRUE(Click(kWizard, kLaunchFile));
    EXPECT_TRUE(WaitChecked(kLaunchFile, false)) << "a click did not turn the launch offer off";
    ASSERT_TRUE(Click(kWizard, kLaunchFile));
    EXPECT_TRUE(WaitChecked(kLaunchFile, true)) << "a second click did not turn the launch offer on again";
    EXPECT_TRUE(WaitChecked(kLaunchReadme, false)) << "turning the launch offer on and off changed the readme offer";

    ASSERT_TRUE(Click(kWizard, "Finish"));
    // The program starts with the script's parameters.
    std::optional<WindowInfo> launched = Session().WaitWindow({"--title", "LaunchProbe", "--contains", "Launched"});
    EXPECT_TRUE(launched) << "the chosen program was not launched";
    // The script asks for a restart: Finish asks, "Keep going" declines, and
    // the exit code says the restart is still due.
    std::optional<WindowInfo> restart = Session().WaitWindow({"--title", kQuestionTitle, "--contains", "restart"});
    ASSERT_TRUE(restart) << "no restart question";
    EXPECT_NE(restart->FindByText(kRestartQuestion), nullptr) << restart->AllText();
    EXPECT_NE(restart->FindByText(kConfirm), nullptr) << restart->AllText();
    ASSERT_TRUE(Click({"--title", kQuestionTitle}, kDecline));
    ExpectQuits(kExitRestartNeeded);

    // The readme, turned off, is not shown: the probe stays the only window.
    std::string others;
    WaitUntil(Millis(1500), [&] {
        for (const WindowInfo& window : ParseWindows(Screen()))
            if (window.title != "LaunchProbe") others += window.title + "\n";
        return !others.empty();
    });
    EXPECT_EQ(others, "") << "windows besides the launched program";
}

// The setup type chosen on setuptype.lcd decides whether Next and Back pass
// through customsetup.lcd: Typical (chosen when the page first shows) and
// Minimal skip it, Custom visits it.
TEST_F(WizardTest, SetupTypeDecidesWhetherTheCustomPageIsShown) {
    std::optional<WindowInfo> page;
    StartAtWelcome(page);
    ASSERT_FALSE(HasFailure());
    page = Press(*page, "Next >");
    ASSERT_TRUE(page);
    ASSERT_EQ(PageName(*page), "setuptype");

    auto chosen = [](const WindowInfo& setupType) {
        std::string names;
        for (const char* option : {"Typical", "Minimal", "Custom"}) {
            const ControlInfo* control = setupType.FindByText(option);
            if (control != nullptr && control->checked == 1) names += std::string(names.empty() ? "" : ",") + option;
        }
        return names;
    };
    // A click on `type` chooses it, and it alone.
    auto choose = [&](const char* type) {
        ASSERT_TRUE(Click(kWizard, type));
        ASSERT_TRUE(WaitChecked(type, true)) << "a click on " << type << " did not choose it";
        std::optional<WindowInfo> now = CurrentPage();
        ASSERT_TRUE(now);
        EXPECT_EQ(chosen(*now), type) << "only the clicked type is chosen";
    };
    // Without a type chosen when the page opens, Next and Back would have
    // none to go by.
    ASSERT_EQ(chosen(*page), "Typical") << "the page opens with Typical chosen";

    page = Press(*page, "Next >");
    ASSERT_TRUE(page);
    EXPECT_EQ(PageName(*page), "ready") << "Typical skips the custom-setup page";
    page = Press(*page, "< Back");
    ASSERT_TRUE(page);
    ASSERT_EQ(PageName(*page), "setuptype") << "Back with Typical skips the custom-setup page";
    EXPECT_EQ(chosen(*page), "Typical");

    ASSERT_NO_FATAL_FAILURE(choose("Minimal"));
    page = Press(*page, "Next >");
    ASSERT_TRUE(page);
    EXPECT_EQ(PageName(*page), "ready") << "Minimal skips the custom-setup page";
    page = Press(*page, "< Back");
    ASSERT_TRUE(page);
    ASSERT_EQ(PageName(*page), "setuptype");
    EXPECT_EQ(chosen(*page), "Minimal") << "the page shows the stored type again";

    ASSERT_NO_FATAL_FAILURE(choose("Custom"));
    page = Press(*page, "Next >");
    ASSERT_TRUE(page);
    EXPECT_EQ(PageName(*page), "customsetup") << "Custom visits the custom-setup page";
    page = Press(*page, "Next >");
    ASSERT_TRUE(page);
    EXPECT_EQ(PageName(*page), "ready");
    page = Press(*page, "< Back");
    ASSERT_TRUE(page);
    EXPECT_EQ(PageName(*page), "customsetup") << "Back with Custom returns to the custom-setup page";
}

// Escape asks the cancel question of language.lan; declining keeps the page,
// confirming removes the working folder and ends on the error variant of the
// completion page, whose Finish quits without the restart question the
// script would otherwise ask.
TEST_F(WizardTest, EscapeCancelsAfterTheQuestion) {
    std::optional<WindowInfo> page;
    StartAtWelcome(page);
    ASSERT_FALSE(HasFailure());
    std::vector<fs::path> work = WorkFolders();
    ASSERT_EQ(work.size(), 1u) << "no working folder in " << Session().TempDir();

    PressKey("escape");
    std::optional<WindowInfo> question = Session().WaitWindow({"--title", kQuestionTitle, "--exact"});
    ASSERT_TRUE(question) << "Escape asked nothing";
    EXPECT_NE(question->FindByText(kCancelQuestion), nullptr) << question->AllText();
    EXPECT_NE(question->FindByText(kConfirm), nullptr) << question->AllText();
    EXPECT_NE(question->FindByText(kDecline), nullptr) << question->AllText();
    ASSERT_TRUE(Click({"--title", kQuestionTitle, "--exact"}, kDecline));
    ProcessResult gone = Session().Driver({"gone", "--title", kQuestionTitle, "--exact", "--timeout", "5000"});
    EXPECT_EQ(gone.exitCode, uidriver::kExitDone) << "the question stays after declining";
    std::optional<WindowInfo> same = CurrentPage();
    ASSERT_TRUE(same);
    EXPECT_EQ(same->hwnd, page->hwnd) << "declining left the page";
    EXPECT_TRUE(fs::exists(work[0])) << "declining removed the working folder";

    page = Press(*same, "Next >");
    ASSERT_TRUE(page) << "the page does not answer after the declined question";
    ASSERT_EQ(PageName(*page), "setuptype");
    PressKey("escape");
    question = Session().WaitWindow({"--title", kQuestionTitle, "--exact", "--contains", kCancelQuestion});
    ASSERT_TRUE(question) << "Escape asked nothing on the second page";
    ASSERT_TRUE(Click({"--title", kQuestionTitle, "--exact"}, kConfirm));

    page = PageAfter(page->hwnd);
    ASSERT_TRUE(page) << "no page after confirming the cancel";
    ASSERT_EQ(PageName(*page), "complete") << page->AllText();
    EXPECT_NE(page->FindByText(kErrorStatus), nullptr) << "status of the error ending:\n" << page->AllText();
    EXPECT_EQ(page->FindByText(kSuccessStatus), nullptr);
    ExpectButtons(*page, kCompleteButtons);
    // The offers are on in the script but not made after a cancel.
    ExpectOption(*page, kLaunchFile, false, false);
    ExpectOption(*page, kLaunchReadme, false, false);
    EXPECT_FALSE(fs::exists(work[0])) << "the working folder stays after the cancel";

    ASSERT_TRUE(Click(kWizard, "Finish"));
    // A restart question would keep setup.exe waiting for an answer; the
    // exit code says the user cancelled.
    ExpectQuits(kExitCancelled);
    EXPECT_FALSE(fs::exists(Session().HostPath(kInstallDir))) << "a cancelled setup installed files";
}

// With both launch offers "No" the completion page offers nothing, and
// Finish quits at once (no restart wanted). Enter on a page does nothing,
// although the focused control is a button.
TEST_F(WizardTest, EnterDoesNothingAndNoLaunchOffers) {
    fs::path package = WizardPackage({{"DIALOGLIST", "CT9", "No"},
                                    {"DIALOGLIST", "CT12", "No"},
                                    {"DIALOGLIST", "CT14", "No"}});
    ASSERT_FALSE(HasFailure());
    StartSetup(package);
    std::optional<WindowInfo> page = WelcomePage();
    ASSERT_TRUE(page);
    ASSERT_EQ(PageName(*page), "welcome");

    // Enter on the welcome page and on the ready page, where it would
    // start the installation if it pressed the default button.
    for (const char* expected : {"welcome", "ready"}) {
        if (std::string(expected) == "ready") {
            page = Press(*page, "Next >");
            ASSERT_TRUE(page);
            ASSERT_TRUE(Click(kWizard, "Custom"));
            page = Press(*page, "Next >");
            ASSERT_TRUE(page);
            page = Press(*page, "Next >");
            ASSERT_TRUE(page);
            ASSERT_EQ(PageName(*page), "ready");
        }
        std::string focused = PressKey("enter");
        // On the welcome page the focus is on a push button, which the
        // dialog manager would press.
        if (std::string(expected) == "welcome") {
            EXPECT_EQ(focused, "Button") << "Enter went to a " << focused;
        }
        std::this_thread::sleep_for(Millis(800));
        std::vector<WindowInfo> shown = ParseWindows(Screen());
        ASSERT_EQ(shown.size(), 1u) << "Enter on " << expected << " (focus on a " << focused << ") opened something";
        EXPECT_EQ(shown[0].hwnd, page->hwnd) << "Enter on " << expected << " (focus on a " << focused
                                             << ") left the page";
    }

    ASSERT_TRUE(Click(kWizard, "Install"));
    page = Session().WaitWindow({"--title", kTitle, "--exact", "--contains", kSuccessStatus}, Millis(30000));
    ASSERT_TRUE(page) << "the completion page did not come";
    ExpectOption(*page, kLaunchFile, false, false);
    ExpectOption(*page, kLaunchReadme, false, false);
    ExpectButton(*page, "Finish", true);
    ASSERT_TRUE(Click(kWizard, "Finish"));
    ExpectQuits(kExitInstalled);
    EXPECT_TRUE(fs::exists(Installed("probe.exe")));
}

// BUILDING "2"=Yes: setup.exe installs and quits without ever showing a
// window, and leaves no working folder behind.
TEST_F(WizardTest, SilentModeInstallsWithoutAPage) {
    fs::path package = WizardPackage({{"BUILDING", "2", "Yes"},
                                    {"DIALOGLIST", "CT9", "No"},
                                    {"DIALOGLIST", "CT12", "No"},
                                    {"DIALOGLIST", "CT14", "No"}},
                                   kBulk);
    ASSERT_FALSE(HasFailure());
    // A watcher that is already polling when setup starts sees its hidden
    // frame however quickly the run ends; the list calls below each start a
    // process of their own and may all come too late on a fast machine.
    const int watcher = Session().Start(HarnessPaths::Uidriver().string(),
                                        {"wait", "--hidden", "--class", "MerrowinMainFrame", "--timeout", "60000"},
                                        {}, Millis(90000));
    Session().Driver({"list"});  // once a driver has started and listed, the watcher has started too
    StartSetup(package);

    // Watch every window (hidden ones too) while it runs.
    int sawSetup = 0;
    std::string shown;
    auto deadline = std::chrono::steady_clock::now() + Millis(60000);
    while (Session().IsRunning(m_setup) && std::chrono::steady_clock::now() < deadline) {
        for (const WindowInfo& window : ParseWindows(Session().Driver({"list", "--hidden"}).output)) {
            if (window.className == "MerrowinMainFrame" || window.title == kTitle) ++sawSetup;
            if (window.visible) shown += window.className + " \"" + window.title + "\"\n";
        }
    }
    if (Session().Wait(Millis(5000), watcher).exitCode == uidriver::kExitDone) ++sawSetup;
    EXPECT_GT(sawSetup, 0) << "never saw setup.exe's windows while it ran";
    EXPECT_EQ(shown, "") << "visible windows during a silent run";
    ExpectQuits(kExitInstalled);

    EXPECT_EQ(ReadFile(Installed("readme.txt")), ReadFile(AuthoringDir("wizard") / "files" / "readme.txt"));
    EXPECT_EQ(ReadFile(Installed("bin\\notes.dat")), ReadFile(AuthoringDir("wizard") / "files" / "bin" / "notes.dat"));
    EXPECT_TRUE(WorkFolders().empty()) << "the working folder stays after a silent run";
}

// /TYPE= and /FEATURES= choose what a silent run installs (a setup type
// changes no feature: Minimal installs the default selection), a name the
// package lacks is a bad command line that names the known ones, and
// /RESTARTEXITCODE= replaces the code of a run that ends with a restart due.
TEST_F(WizardTest, CommandLineChoosesTypeAndFeatures) {
    fs::path package = FeaturePackage();
    ASSERT_FALSE(package.empty());
    struct Case {
        const char* folder;
        std::vector<std::string> args;
        int exitCode;
        const char* installed;  // of readme.txt and bin\notes.dat
        const char* logged;
    };
    const Case cases[] = {
        {"C:\\Minimal",
         {"/TYPE=Minimal"},
         kExitRestartNeeded,
         "readme.txt bin\\notes.dat ",
         "\"outcome\":\"restart needed\""},
        {"C:\\Help", {"/FEATURES=Help Files", "/RESTARTEXITCODE=3010"}, 3010, "readme.txt ", "\"exitCode\":3010"},
        {"C:\\Unknown",
         {"/FEATURES=Program Files,Manual"},
         kExitBadCommandLine,
         "",
         "no feature \\\"Manual\\\" (its features: \\\"Program Files\\\", \\\"Help Files\\\")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const fs::path log = Session().ScratchDir() / (std::string(c.folder + 3) + ".json");
        std::vector<std::string> args = {"/S", "/LOG=" + Session().WinPath(log)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(std::string("/D=") + c.folder);
        StartSetup(package, args);
        ExpectQuits(c.exitCode & 0xff);  // Wine passes on the low byte only
        std::string installed;
        for (const char* file : {"readme.txt", "bin\\notes.dat"}) {
            if (fs::exists(Session().HostPath(std::string(c.folder) + "\\" + file)))
                installed += std::string(file) + " ";
        }
        EXPECT_EQ(installed, c.installed);
        EXPECT_NE(ReadFile(log).find(c.logged), std::string::npos) << ReadFile(log);
    }
}

// A wizard run that saves its answers (the features chosen on the command
// line, Custom, a name and company typed in), and a silent run on a fresh
// machine that loads them: both leave the same files, product keys and
// customer data.
TEST_F(WizardTest, SavedAnswersReplayTheWizardRun) {
    // The installed product and the customer data of a prefix.
    auto product = [this] {
        const Snapshot now = TakeSnapshot(Session(), "program files/wizard test product");
        std::set<std::string> lines;
        for (const auto& [path, state] : now.files) lines.insert(path + " " + state);
        for (const std::string& line : now.registry) {
            if (line.find("3f2a9c41-7d0b-4e6a-b5c8-19e4d7a06f23") != std::string::npos ||
                line.find("wizard test\\\\customer") != std::string::npos)
                lines.insert(line);
        }
        return lines;
    };
    fs::path package = FeaturePackage();
    const fs::path saved = Session().ScratchDir() / "answers.inf";
    StartSetup(package, {"/FEATURES=Program Files", "/SAVEINF=" + Session().WinPath(saved)});
    ASSERT_TRUE(Step(kWizard, kPages[0].text, "Next >", "Organization:"));
    Session().Driver({"type", "--title", kTitle, "--exact", "--id", "3005", "--text", "Ann Smith"});
    Session().Driver({"type", "--title", kTitle, "--exact", "--id", "3011", "--text", "Acme Corp"});
    ASSERT_TRUE(Step(kWizard, "Organization:", "Next >", kPages[1].text));
    ASSERT_TRUE(Click(kWizard, "Custom"));
    ASSERT_TRUE(Step(kWizard, kPages[1].text, "Next >", kPages[2].text));
    ASSERT_TRUE(Step(kWizard, kPages[2].text, "Next >", kPages[3].text));
    ASSERT_TRUE(Step(kWizard, kPages[3].text, "Install", kSuccessStatus));
    ASSERT_TRUE(Click(kWizard, "Finish"));
    ASSERT_TRUE(Click({"--title", kQuestionTitle}, kDecline));
    ExpectQuits(kExitRestartNeeded);
    const std::set<std::string> byWizard = product();
    const std::string answers = ReadFile(saved);
    EXPECT_NE(answers.find("UserName=\"Ann Smith\""), std::string::npos) << answers;

    m_session = std::make_unique<WineSession>(Version());
    ASSERT_TRUE(Session().Ready()) << Session().Problem();
    package = FeaturePackage();
    WriteFile(Session().ScratchDir() / "answers.inf", answers);
    StartSetup(package, {"/S", "/LOADINF=" + Session().WinPath(Session().ScratchDir() / "answers.inf")});
    ExpectQuits(kExitRestartNeeded);
    EXPECT_EQ(product(), byWizard);
}

// The welcome page's controls where sample/theme/welcome.lcd puts them, by
// window id (its last record gets 3000): left, top, width and height.
struct PlacedControl {
    int id, left, top, width, height;
};
constexpr PlacedControl kWelcomeControls[] = {
    {3000, 0, 0, 164, 314},    {3001, 181, 20, 299, 60}, {3002, 181, 88, 299, 52},
    {3003, 181, 148, 299, 56}, {3004, 0, 314, 497, 2},   {3005, 250, 325, 75, 23},
    {3006, 325, 325, 75, 23},  {3007, 411, 325, 75, 23}, {3008, 164, 0, 333, 314},
};

// A screen set to `dpi` pixels per inch as the system's settings dialog sets
// it, before setup starts.
struct ScreenScale {
    const char* label;
    int dpi;
};

class ScreenScaleTest : public WizardTest, public ::testing::WithParamInterface<ScreenScale> {};

const ScreenScale kScreenScales[] = {{"normal", 96}, {"large_150_percent", 144}};

// Every control of the page grows with the screen, within a pixel of its
// layout's rectangle times dpi / 96; at 96 it stays where the layout put it.
TEST_P(ScreenScaleTest, ControlsGrowWithTheScreen) {
    const int dpi = GetParam().dpi;
    for (const char* key : {"HKCU\\Control Panel\\Desktop",
                            "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"}) {
        ProcessResult set =
            Session().Run("reg", {"add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", std::to_string(dpi), "/f"});
        ASSERT_EQ(set.exitCode, 0) << key << ": " << set.errors;
    }
    Session().StopAll();  // the desktop reads the setting when it starts
    fs::path package = WizardPackage({});
    ASSERT_FALSE(HasFailure());
    StartSetup(package);
    std::optional<WindowInfo> page = WelcomePage();
    ASSERT_TRUE(page) << "no page appeared";
    const double scale = dpi / 96.0;
    for (const PlacedControl& placed : kWelcomeControls) {
        const ControlInfo* control = page->FindById(placed.id);
        ASSERT_NE(control, nullptr) << placed.id;
        const int seen[] = {control->left, control->top, control->right - control->left,
                            control->bottom - control->top};
        const int written[] = {placed.left, placed.top, placed.width, placed.height};
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(seen[i], written[i] * scale, 1.0) << "control " << placed.id << ", value " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, ScreenScaleTest, ::testing::ValuesIn(kScreenScales),
                         [](const ::testing::TestParamInfo<ScreenScale>& info) { return info.param.label; });

}  // namespace
}  // namespace kq::e2e
