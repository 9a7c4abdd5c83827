// The author's conditions and the product's system requirements, driven
// under Wine: a condition bound to a page shows its message when the wizard
// enters that page, one that cancels ends the run on the failure page, one
// bound to Finish speaks before the program ends; a machine that misses a
// requirement gets that requirement's message in the error dialog and the
// program ends without a page, under the Windows versions Wine reports and
// against its memory, screen and colour depth.
//
// The package is tests/e2e/packages/wizard with the default theme of
// sample/theme, its setup script and language file extended per case.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "setup_fixture.h"
#include "wizard_package.h"

namespace kq::e2e {
namespace {

using namespace wizard_package;

// From the package's language.lan.
constexpr char kErrorButton[] = "Understood";

// A SYSTEM section that lets every machine through, with `lines` first
// (the first of two equal keys counts).
std::string SystemSection(const std::string& lines) {
    return "\r\n[SYSTEM]\r\n" + lines +
           "1=All Processors\r\n2=Any\r\n3=checkSCREEN\r\n4=Any colors\r\n"
           "os0=Yes\r\nos1=Yes\r\nos2=Yes\r\nos3=Yes\r\nos4=Yes\r\nos5=Yes\r\nos6=Yes\r\n";
}

class ChecksTest : public SetupTest {
protected:
    // The wizard package with `script` appended to setup.inf and `language`
    // to language.lan, built into C:\pkg; with `silent` its BUILDING "2" is
    // "Yes" (the wizard's pages are skipped).
    fs::path ConditionsPackage(const std::string& script, const std::string& language, bool silent = false) {
        fs::path authoring = CopyAuthoring("wizard");
        std::string setup = ReadFile(authoring / "setup.inf");
        const size_t building = setup.find("[BUILDING]\n2=No\n");
        EXPECT_NE(building, std::string::npos);
        if (silent && building != std::string::npos) setup.replace(building, 16, "[BUILDING]\n2=Yes\n");
        WriteFile(authoring / "setup.inf", setup + script);
        WriteFile(authoring / "language.lan", ReadFile(authoring / "language.lan") + language);
        return BuildInto(authoring);
    }

    // Builds the package with `script` appended to setup.inf, starts setup
    // and leaves the welcome page with Next.
    void StartPastWelcome(const std::string& script) {
        fs::path package = ConditionsPackage(script, "");
        ASSERT_FALSE(HasFailure());
        StartSetup(package);
        ASSERT_TRUE(Page(kWelcome)) << "no welcome page";
        ASSERT_TRUE(Click(kWizard, "Next >"));
    }

    std::optional<WindowInfo> Page(const std::string& text, Millis timeout = Millis(30000)) {
        return Session().WaitWindow({"--title", kTitle, "--exact", "--contains", text}, timeout);
    }

    // The message dialog showing exactly `text`: checks it, presses OK.
    void ExpectMessage(const std::string& text) {
        std::optional<WindowInfo> box = Session().WaitWindow({"--contains", text}, Millis(20000));
        ASSERT_TRUE(box.has_value()) << "no message \"" << text << "\"; on the screen:\n"
                                     << Screen();
        EXPECT_EQ(box->title, "Merrowin");
        bool said = false;
        for (const ControlInfo& control : box->controls) said = said || control.text == text;
        EXPECT_TRUE(said) << box->AllText();
        ASSERT_TRUE(Click({"--title", "Merrowin", "--exact", "--contains", text}, "OK"));
        ProcessResult gone = Session().Driver({"gone", "--contains", text, "--timeout", "5000"});
        EXPECT_EQ(gone.exitCode, uidriver::kExitDone) << "the message stays: " << gone.output;
    }
};

// Entering the setup-type page fires its two conditions in list order: the
// one that holds shows its text as written (no expansion of the message), the
// one that does not stays silent, and the page opens after OK. The operands
// are expanded: <ProductName> compares as the product's name.
TEST_F(ChecksTest, ConditionBoundToAPageShowsItsMessage) {
    ASSERT_NO_FATAL_FAILURE(StartPastWelcome(
        "\r\n[CONDITIONS]\r\nTOTAL=3\r\n"
        "A0=Named\r\nB0=<ProductName>\r\nC0===\r\nD0=Wizard Test Product\r\nE0=setuptype.lcd\r\nF0=1\r\n"
        "00=ShowMessage(Entering the setup type of <ProductName>);\r\n"
        "A1=Never\r\nB1=9\r\nC1=>\r\nD1=10\r\nE1=setuptype.lcd\r\nF1=1\r\n10=ShowMessage(nine is not more);\r\n"
        "A2=Later\r\nB2=10\r\nC2=>\r\nD2=9\r\nE2=ready.lcd\r\nF2=1\r\n20=ShowMessage(ready page);\r\n"));
    ExpectMessage("Entering the setup type of <ProductName>");
    ASSERT_TRUE(Page(kSetupType, Millis(10000))) << "no setup-type page after the message";
    EXPECT_FALSE(Session().WaitWindow({"--contains", "nine is not more"}, Millis(1000)).has_value());
    EXPECT_FALSE(Session().WaitWindow({"--contains", "ready page"}, Millis(500)).has_value());
}

// A condition that cancels on entering the setup-type page ends the run on
// the failure page before that page opens, without the conditions bound to
// the completion page (they belong to Next entering it); a condition bound
// to Finish shows its message there, and the program ends without
// installing anything.
TEST_F(ChecksTest, CancelInstallEndsOnTheFailurePage) {
    ASSERT_NO_FATAL_FAILURE(StartPastWelcome(
        "\r\n[CONDITIONS]\r\nTOTAL=3\r\n"
        "A0=Stop\r\nB0=10\r\nC0=>\r\nD0=9\r\nE0=setuptype.lcd\r\nF0=1\r\n00=CancelInstall();\r\n"
        "A1=Bye\r\nB1=x\r\nC1=!=\r\nD1=y\r\nE1=After Click Finish Button\r\nF1=1\r\n10=ShowMessage(Goodbye);\r\n"
        "A2=Done\r\nB2=x\r\nC2=!=\r\nD2=y\r\nE2=complete.lcd\r\nF2=1\r\n20=ShowMessage(Congratulations);\r\n"));
    std::optional<WindowInfo> failure = Page(kErrorStatus, Millis(15000));
    ASSERT_TRUE(failure) << "no failure page; on the screen:\n" << Screen();
    EXPECT_EQ(failure->AllText().find(kSetupType), std::string::npos);
    EXPECT_FALSE(Session().WaitWindow({"--contains", "Congratulations"}, Millis(1000)).has_value());
    ASSERT_TRUE(Click(kWizard, "Finish"));
    ExpectMessage("Goodbye");
    ExpectQuits(kExitCancelled);
    EXPECT_FALSE(fs::exists(Session().HostPath("C:\\Program Files\\Wizard Test Product")));
}

// Conditions bound to the start window fire at start-up, before the first
// page: a message, then a cancel that goes straight to the failure page
// (nothing is extracted, no list page opens).
TEST_F(ChecksTest, StartWindowConditionsFireBeforeTheFirstPage) {
    fs::path package = ConditionsPackage(
        "\r\n[CONDITIONS]\r\nTOTAL=1\r\n"
        "A0=Early\r\nB0=a\r\nC0===\r\nD0=a\r\nE0=start.lcd\r\nF0=2\r\n"
        "00=ShowMessage(Before anything else);\r\n01=CancelInstall();\r\n",
        "");
    ASSERT_FALSE(HasFailure());
    StartSetup(package);
    ExpectMessage("Before anything else");
    std::optional<WindowInfo> failure = Page(kErrorStatus, Millis(15000));
    ASSERT_TRUE(failure) << "no failure page; on the screen:\n" << Screen();
    EXPECT_FALSE(Page(kWelcome, Millis(1000)).has_value());
    ASSERT_TRUE(Click(kWizard, "Finish"));
    ExpectQuits(kExitCancelled);
}

// A silent script hides the pages, not the user: a condition of the first
// page shows its message and waits for OK, and its cancel ends the run on
// the failure page, which waits for Finish.
TEST_F(ChecksTest, SilentScriptShowsTheMessageAndTheFailurePage) {
    fs::path package = ConditionsPackage(
        "\r\n[CONDITIONS]\r\nTOTAL=1\r\n"
        "A0=First\r\nB0=a\r\nC0===\r\nD0=a\r\nE0=welcome.lcd\r\nF0=2\r\n"
        "00=ShowMessage(Not this time);\r\n01=CancelInstall();\r\n",
        "", true);
    ASSERT_FALSE(HasFailure());
    StartSetup(package);
    ExpectMessage("Not this time");
    ASSERT_TRUE(Page(kErrorStatus, Millis(15000))) << "no failure page; on the screen:\n"
                                                   << Screen();
    ASSERT_TRUE(Click(kWizard, "Finish"));
    ExpectQuits(kExitCancelled);
}

// One case of the requirement check: the Windows version Wine reports, the
// SYSTEM lines and REQ texts of the package, and the message expected (empty:
// the check passes and the welcome page opens).
struct RequirementCase {
    const char* label;
    WindowsVersion version;
    const char* system;
    const char* req;
    const char* message;
    bool silent = false;  // BUILDING "2" = "Yes": the message is shown all the same
};

class RequirementTest : public ChecksTest, public ::testing::WithParamInterface<RequirementCase> {
protected:
    WindowsVersion Version() const override { return GetParam().version; }
};

constexpr char kOnlyXpAnd2003[] = "os0=No\r\nos1=No\r\nos2=No\r\nos3=No\r\nos4=No\r\n";

const RequirementCase kRequirementCases[] = {
    {"win98_not_listed", WindowsVersion::Win98, kOnlyXpAnd2003, "",
     "The operating system is not adequate for running Wizard Test Product."},
    {"win98_not_listed_silent_script", WindowsVersion::Win98, kOnlyXpAnd2003, "",
     "The operating system is not adequate for running Wizard Test Product.", true},
    {"win2k_not_listed", WindowsVersion::Win2k, kOnlyXpAnd2003,
     "0=<ProductName> needs Windows XP or Server 2003.\r\n", "Wizard Test Product needs Windows XP or Server 2003."},
    {"winxp_not_listed", WindowsVersion::WinXp, "os5=No\r\n",
     "0=<ProductName> does not run on this Windows.\r\n", "Wizard Test Product does not run on this Windows."},
    {"winxp_listed_and_everything_met", WindowsVersion::WinXp,
     "os0=No\r\nos1=No\r\nos2=No\r\nos3=No\r\nos4=No\r\n1=\r\n2=1 MB\r\n3=1024x768\r\n4=24bit colors\r\n", "", ""},
    // Wine's 98 is 4.10.2222, the Second Edition.
    {"win98_second_edition_listed", WindowsVersion::Win98,
     "os0=No\r\nos1=Yes\r\nos2=No\r\nos3=No\r\nos4=No\r\nos5=No\r\nos6=No\r\n", "", ""},
    // The program starts on NT 4 as on 98 (above), manifest and all.
    {"nt4_everything_met", WindowsVersion::Nt40, "", "", ""},
    // Xvfb's screen is 1024 by 768.
    {"width_too_small", WindowsVersion::WinXp, "3=1025x768\r\n", "",
     "The screen resolution is not adequate for running Wizard Test Product."},
    {"height_too_small", WindowsVersion::WinXp, "3=1024x769\r\n", "2=Screen too small for <ProductName>.\r\n",
     "Screen too small for Wizard Test Product."},
    {"memory_too_small", WindowsVersion::WinXp, "2=1000000 MB\r\n", "",
     "The amount of RAM is not adequate for running Wizard Test Product."},
    {"processor_not_named", WindowsVersion::WinXp, "1=Zilog Z80\r\n", "",
     "The processor is not adequate for running Wizard Test Product."},
    // Wine on Xvfb's 24-bit screen reports 32 bits per pixel: the deepest
    // requirement is met.
    {"colors_32_met", WindowsVersion::WinXp, "4=32bit colors\r\n", "", ""},
    // Memory is checked before the screen.
    {"memory_before_resolution", WindowsVersion::WinXp, "2=1000000 MB\r\n3=4000x4000\r\n",
     "3=Not enough memory.\r\n", "Not enough memory."},
};

TEST_P(RequirementTest, MessageAndEndOrFirstPage) {
    const RequirementCase& c = GetParam();
    fs::path package = ConditionsPackage(SystemSection(c.system), std::string("\r\n[REQ]\r\n") + c.req, c.silent);
    ASSERT_FALSE(HasFailure());
    StartSetup(package);
    if (std::string(c.message).empty()) {
        EXPECT_TRUE(Page(kWelcome)) << "no welcome page; on the screen:\n" << Screen();
        return;
    }
    std::optional<WindowInfo> box =
        Session().WaitWindow({"--title", kQuestionTitle, "--exact", "--contains", c.message}, Millis(30000));
    ASSERT_TRUE(box) << "no requirement message; on the screen:\n" << Screen();
    // Error mode: the confirming button hidden, the other one named by the language file.
    const ControlInfo* ok = box->FindByText("OK");
    EXPECT_TRUE(ok == nullptr || !ok->visible);
    const ControlInfo* button = box->FindByText(kErrorButton);
    ASSERT_NE(button, nullptr) << box->AllText();
    EXPECT_TRUE(button->visible);
    // No page was opened before the check.
    ProcessResult list = Session().Driver({"list"});
    for (const WindowInfo& window : ParseWindows(list.output)) {
        EXPECT_NE(window.title, kTitle) << "a page is up before the requirement message";
    }
    ASSERT_TRUE(Click({"--title", kQuestionTitle, "--exact"}, kErrorButton));
    ExpectQuits(kExitRequirements);
}

INSTANTIATE_TEST_SUITE_P(Checks, RequirementTest, ::testing::ValuesIn(kRequirementCases),
                         [](const ::testing::TestParamInfo<RequirementCase>& info) { return info.param.label; });

}  // namespace
}  // namespace kq::e2e
