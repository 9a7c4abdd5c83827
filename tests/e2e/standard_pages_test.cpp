// The standard pages as a user drives them under Wine: the license that
// holds Next back until it is accepted (and again on every visit), the rich
// and plain texts of the license and readme pages, the customer page's
// answers surviving a round trip and reaching the registry and the ready
// summary, the Typical setup type skipping the custom-setup page both ways,
// the folder browser refusing, offering to create and creating a folder two
// levels deep, and a feature switched off in the tree leaving its files out
// of the installation while the uninstall log still lists them.
//
// The package is tests/e2e/packages/pages: a theme of its own in which every
// page names itself in a title label, a license in "License.RTF" (upper
// case: still rich text) and a plain readme that begins like rich text,
// both travelling as support files, and two features.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "setup_fixture.h"

namespace kq::e2e {
namespace {

constexpr char kDefaultFolder[] = "C:\\Program Files\\Pages Test Product\\";
constexpr char kCustomerKey[] = "HKCU\\Software\\Merrowin Tests\\Pages Test Product";
constexpr char kBrowserTitle[] = "Calvarr Merrowin";
constexpr int kBrowserEditId = 14148;
// Plain text although it begins like rich text: only ".rtf" files are rich.
constexpr char kReadme[] = "{\\rtf1 not rich text} Pages test readme\r\nline two of the readme\r\n";
constexpr char kHelpDescription[] = "Help texts in the help folder.";

// Page titles of the package's theme.
constexpr char kLicense[] = "License page";
constexpr char kReadmePage[] = "Readme page";
constexpr char kCustomer[] = "Customer page";
constexpr char kDestination[] = "Destination page";
constexpr char kSetupType[] = "Setup type page";
constexpr char kCustomSetup[] = "Custom setup page";
constexpr char kReady[] = "Ready page";
constexpr char kComplete[] = "Complete page";

// Window ids of the controls the cases type into or click by id. A page
// gives ids from 3000 up starting with its layout's last record (Cancel),
// so these follow from the record order of the theme's files.
constexpr int kUserNameId = 3007;      // customer.lcd record 2 of 10
constexpr int kOrganizationId = 3005;  // customer.lcd record 4 of 10
constexpr int kInstallDirId = 3004;    // destination.lcd record 1 of 6
constexpr int kTreeId = 3006;          // customsetup.lcd record 1 of 8
constexpr int kFeatureInfoId = 3005;   // customsetup.lcd record 2 of 8
constexpr int kCustomInstallDirId = 3004;  // customsetup.lcd record 3 of 8
constexpr int kSettingsId = 3003;      // ready.lcd record 1 of 6

class StandardPagesTest : public SetupTest {
protected:
    void BuildAndStart(const std::string& layout) {
        fs::path package = BuildInto(AuthoringDir("pages"), "pkg", layout);
        ASSERT_FALSE(package.empty());
        StartSetup(package, {}, Millis(150000));
    }

    // The page whose title is `title`, once it is on the screen.
    WindowInfo Page(const char* title, Millis timeout = Millis(20000)) {
        std::optional<WindowInfo> page = Session().WaitWindow({"--contains", title}, timeout);
        if (!page) {
            ADD_FAILURE() << "no \"" << title << "\"; on the screen:\n" << Screen();
            return WindowInfo();
        }
        return *page;
    }

    // Waits until the page `title` satisfies `condition`; the page as last seen.
    template <typename Condition>
    WindowInfo PageWhen(const char* title, Condition condition) {
        WindowInfo page;
        bool met = WaitUntil(Millis(5000), [&] {
            page = Page(title, Millis(2000));
            return condition(page);
        });
        EXPECT_TRUE(met) << "\"" << title << "\" never got there; it shows:\n" << page.AllText();
        return page;
    }

    // Presses `label` on the page `title` and waits for the page `next`.
    WindowInfo Go(const char* title, const std::string& label, const char* next) {
        Click({"--contains", title}, label);
        return Page(next);
    }

    void Type(const std::vector<std::string>& match, int id, const std::string& text) {
        std::vector<std::string> args = {"type"};
        args.insert(args.end(), match.begin(), match.end());
        args.insert(args.end(), {"--id", std::to_string(id), "--text", text});
        ProcessResult typed = Session().Driver(args);
        EXPECT_EQ(typed.exitCode, uidriver::kExitDone) << typed.errors;
    }

    void Key(const char* title, const char* key) {
        ProcessResult pressed = Session().Driver({"key", "--contains", title, key});
        EXPECT_EQ(pressed.exitCode, uidriver::kExitDone) << pressed.errors;
    }

    // The message box that says `text`: what it says in full, after which
    // `answer` is pressed.
    std::string AnswerMessage(const std::string& text, const std::string& answer) {
        std::optional<WindowInfo> box = Session().WaitWindow({"--contains", text}, Millis(10000));
        if (!box) {
            ADD_FAILURE() << "no message with \"" << text << "\"; on the screen:\n" << Screen();
            return std::string();
        }
        std::string said;
        for (const ControlInfo& control : box->controls)
            if (control.text.find(text) != std::string::npos) said = control.text;
        EXPECT_NE(box->FindByText(answer), nullptr) << "no button \"" << answer << "\" on:\n" << box->AllText();
        Click({"--contains", text}, answer);
        ProcessResult gone = Session().Driver({"gone", "--contains", text, "--timeout", "5000"});
        EXPECT_EQ(gone.exitCode, uidriver::kExitDone) << "the message stays after " << answer;
        return said;
    }

    bool BrowserOpen() {
        ProcessResult found = Session().Driver({"wait", "--title", kBrowserTitle, "--exact", "--timeout", "300"});
        return found.exitCode == uidriver::kExitDone;
    }

    // Accepts the license and goes on to the page after the readme.
    void PastLicenseAndReadme() {
        Page(kLicense);
        Click({"--contains", kLicense}, "I accept the terms");
        PageWhen(kLicense, [](const WindowInfo& p) { return Enabled(p, "Next >"); });
        Go(kLicense, "Next >", kReadmePage);
        Go(kReadmePage, "Next >", kCustomer);
    }

    static const ControlInfo* OfClass(const WindowInfo& page, const std::string& className) {
        for (const ControlInfo& control : page.controls)
            if (control.className == className) return &control;
        return nullptr;
    }
    static std::string TextOf(const WindowInfo& page, int id) {
        const ControlInfo* control = page.FindById(id);
        return control != nullptr ? control->text : std::string("<no control " + std::to_string(id) + ">");
    }
    static bool Enabled(const WindowInfo& page, const std::string& label) {
        const ControlInfo* control = page.FindByText(label);
        return control != nullptr && control->enabled;
    }
    static int Checked(const WindowInfo& page, const std::string& label) {
        const ControlInfo* control = page.FindByText(label);
        return control != nullptr ? control->checked : -2;
    }
};

// Built as disk images: the pages read their texts from DiskImage1.
TEST_F(StandardPagesTest, LicenseReadmeCustomerAndReadyAsTheUserSeesThem) {
    BuildAndStart("diskimage");
    ASSERT_FALSE(HasFailure());

    // The license opens declined, Next disabled; the .RTF file is rich text:
    // its words show, its control words do not.
    WindowInfo license = Page(kLicense, Millis(30000));
    ASSERT_FALSE(HasFailure());
    const ControlInfo* text = OfClass(license, "RICHEDIT");
    ASSERT_NE(text, nullptr) << license.AllText();
    EXPECT_NE(text->text.find("PAGES TEST LICENSE"), std::string::npos) << text->text;
    EXPECT_NE(text->text.find("You may install this test product"), std::string::npos) << text->text;
    EXPECT_EQ(text->text.find("\\rtf"), std::string::npos) << "shown as plain text: " << text->text;
    EXPECT_FALSE(Enabled(license, "Next >"));
    EXPECT_EQ(Checked(license, "I do not accept the terms"), 1);
    EXPECT_EQ(Checked(license, "I accept the terms"), 0);

    // Accepting enables Next; declining again disables it.
    Click({"--contains", kLicense}, "I accept the terms");
    license = PageWhen(kLicense, [](const WindowInfo& p) { return Enabled(p, "Next >"); });
    EXPECT_EQ(Checked(license, "I accept the terms"), 1);
    EXPECT_EQ(Checked(license, "I do not accept the terms"), 0);
    Click({"--contains", kLicense}, "I do not accept the terms");
    license = PageWhen(kLicense, [](const WindowInfo& p) { return !Enabled(p, "Next >"); });
    EXPECT_EQ(Checked(license, "I do not accept the terms"), 1);
    Click({"--contains", kLicense}, "I accept the terms");
    PageWhen(kLicense, [](const WindowInfo& p) { return Enabled(p, "Next >"); });

    // The readme is plain text, shown as the file holds it.
    WindowInfo readme = Go(kLicense, "Next >", kReadmePage);
    const ControlInfo* readmeText = OfClass(readme, "RICHEDIT");
    ASSERT_NE(readmeText, nullptr) << readme.AllText();
    EXPECT_EQ(readmeText->text, kReadme);

    // Back on the license page the acceptance is gone.
    license = Go(kReadmePage, "< Back", kLicense);
    EXPECT_FALSE(Enabled(license, "Next >"));
    EXPECT_EQ(Checked(license, "I do not accept the terms"), 1);
    EXPECT_EQ(Checked(license, "I accept the terms"), 0);
    PastLicenseAndReadme();

    // The customer page: Anyone at first, the system's user name filled in.
    WindowInfo customer = Page(kCustomer);
    EXPECT_EQ(Checked(customer, "Anyone who uses this computer"), 1);
    EXPECT_EQ(Checked(customer, "Only for me"), 0);
    EXPECT_FALSE(TextOf(customer, kUserNameId).empty());
    Click({"--contains", kCustomer}, "Only for me");
    PageWhen(kCustomer, [](const WindowInfo& p) { return Checked(p, "Only for me") == 1; });
    Type({"--contains", kCustomer}, kUserNameId, "Ann Smith");
    Type({"--contains", kCustomer}, kOrganizationId, "Acme Corp");

    // Next stores both, in the registry key the script names.
    Go(kCustomer, "Next >", kDestination);
    EXPECT_EQ(Session().RegQuery(kCustomerKey, "<UserName>").value_or("<missing>"), "Ann Smith");
    EXPECT_EQ(Session().RegQuery(kCustomerKey, "<CompanyName>").value_or("<missing>"), "Acme Corp");

    // Back shows everything as it was left, Only for me included.
    customer = Go(kDestination, "< Back", kCustomer);
    EXPECT_EQ(Checked(customer, "Only for me"), 1);
    EXPECT_EQ(Checked(customer, "Anyone who uses this computer"), 0);
    EXPECT_EQ(TextOf(customer, kUserNameId), "Ann Smith");
    EXPECT_EQ(TextOf(customer, kOrganizationId), "Acme Corp");

    // An emptied company is stored empty and leaves the summary.
    Type({"--contains", kCustomer}, kOrganizationId, "");
    WindowInfo destination = Go(kCustomer, "Next >", kDestination);
    EXPECT_EQ(TextOf(destination, kInstallDirId), kDefaultFolder);
    EXPECT_EQ(Session().RegQuery(kCustomerKey, "<CompanyName>").value_or("<missing>"), "");

    // The setup type starts as Typical, which skips the custom-setup page
    // going forward and going back.
    WindowInfo setupType = Go(kDestination, "Next >", kSetupType);
    EXPECT_EQ(Checked(setupType, "Typical"), 1);
    EXPECT_EQ(Checked(setupType, "Minimal"), 0);
    EXPECT_EQ(Checked(setupType, "Custom"), 0);
    WindowInfo ready = Go(kSetupType, "Next >", kReady);
    EXPECT_EQ(TextOf(ready, kSettingsId),
              std::string("\r\nSetup Type:\r\n\r\nTypical\r\n\r\nDestination Folder:\r\n\r\n") + kDefaultFolder +
                  "\r\n\r\nUser Information:\r\n\r\nName:Ann Smith\r\n\r\n");
    setupType = Go(kReady, "< Back", kSetupType);
    EXPECT_EQ(Checked(setupType, "Typical"), 1);
}

// Built with a cabinet: the pages read their texts from the working folder.
TEST_F(StandardPagesTest, BrowseToANewFolderAndLeaveAFeatureOut) {
    BuildAndStart("cab");
    ASSERT_FALSE(HasFailure());
    PastLicenseAndReadme();
    Go(kCustomer, "Next >", kDestination);

    // The browser opens with our edit box; a folder ending in a dot is refused.
    Click({"--contains", kDestination}, "Change...");
    std::optional<WindowInfo> browser = Session().WaitWindow({"--title", kBrowserTitle, "--exact"});
    ASSERT_TRUE(browser) << Screen();
    ASSERT_NE(browser->FindById(kBrowserEditId), nullptr) << browser->AllText();
    const std::vector<std::string> inBrowser = {"--title", kBrowserTitle, "--exact"};
    Type(inBrowser, kBrowserEditId, "C:\\Apps.");
    Session().Driver({"click", "--title", kBrowserTitle, "--exact", "--text", "OK"});
    EXPECT_EQ(AnswerMessage("is invalid", "OK"), "The folder:\n\nC:\\Apps.\n\nis invalid. Please reenter.");
    EXPECT_TRUE(BrowserOpen()) << "an invalid folder closed the browser";

    // A missing folder two levels deep: No keeps the browser and makes nothing.
    const std::string folder = "C:\\New Folder\\Second Level";
    Type(inBrowser, kBrowserEditId, folder);
    Session().Driver({"click", "--title", kBrowserTitle, "--exact", "--text", "OK"});
    EXPECT_EQ(AnswerMessage("does not exist", "No"),
              "The folder:\n\n" + folder + "\n\ndoes not exist. Do you want the folder to be created?");
    EXPECT_TRUE(BrowserOpen()) << "No closed the browser";
    EXPECT_FALSE(fs::exists(Session().DriveC() / "New Folder"));

    // Yes makes both levels and the page shows the folder with a backslash.
    Session().Driver({"click", "--title", kBrowserTitle, "--exact", "--text", "OK"});
    AnswerMessage("does not exist", "Yes");
    ProcessResult closed = Session().Driver({"gone", "--title", kBrowserTitle, "--exact", "--timeout", "5000"});
    EXPECT_EQ(closed.exitCode, uidriver::kExitDone) << "the browser stays after the folder was made";
    EXPECT_TRUE(fs::is_directory(Session().DriveC() / "New Folder" / "Second Level"));
    PageWhen(kDestination, [&](const WindowInfo& p) { return TextOf(p, kInstallDirId) == folder + "\\"; });

    // Custom shows the custom-setup page with the chosen folder.
    Go(kDestination, "Next >", kSetupType);
    Click({"--contains", kSetupType}, "Custom");
    PageWhen(kSetupType, [](const WindowInfo& p) { return Checked(p, "Custom") == 1; });
    WindowInfo custom = Go(kSetupType, "Next >", kCustomSetup);
    EXPECT_EQ(TextOf(custom, kCustomInstallDirId), folder + "\\");
    EXPECT_EQ(TextOf(custom, kFeatureInfoId), "");

    // Clicking the help feature describes it and offers the feature menu;
    // Escape leaves the menu, the space bar switches the feature off.
    ProcessResult click =
        Session().Driver({"click", "--contains", kCustomSetup, "--id", std::to_string(kTreeId), "--mode", "mouse"});
    ASSERT_EQ(click.exitCode, uidriver::kExitDone) << click.errors;
    std::optional<WindowInfo> menu = Session().WaitWindow({"--class", "#32768"}, Millis(5000));
    EXPECT_TRUE(menu) << "no feature menu";
    PageWhen(kCustomSetup, [](const WindowInfo& p) { return TextOf(p, kFeatureInfoId) == kHelpDescription; });
    Key(kCustomSetup, "escape");
    EXPECT_EQ(Session().Driver({"gone", "--class", "#32768", "--timeout", "5000"}).exitCode, uidriver::kExitDone);
    Key(kCustomSetup, "space");

    // Back and forth again: the type is still Custom, the page comes back.
    WindowInfo setupType = Go(kCustomSetup, "< Back", kSetupType);
    EXPECT_EQ(Checked(setupType, "Custom"), 1);
    Go(kSetupType, "Next >", kCustomSetup);
    WindowInfo ready = Go(kCustomSetup, "Next >", kReady);
    EXPECT_NE(TextOf(ready, kSettingsId).find("Setup Type:\r\n\r\nCustom\r\n\r\nDestination Folder:\r\n\r\n" + folder +
                                               "\\\r\n\r\n"),
              std::string::npos)
        << TextOf(ready, kSettingsId);

    // Installed there, without the help file, which the log still lists.
    Go(kReady, "Install", kComplete);
    fs::path installed = Session().DriveC() / "New Folder" / "Second Level";
    EXPECT_TRUE(fs::exists(installed / "app.exe"));
    EXPECT_TRUE(fs::exists(installed / "common.txt"));
    EXPECT_FALSE(fs::exists(installed / "help" / "help.txt")) << "a switched-off feature was installed";
    fs::path log = Session().DriveC() / "windows" / "Installer" / "{5C2E8A41-7D3B-4F6A-B1C9-0E4D2A7F8B35}" /
                   "uninstall.log";
    std::string logText = ReadFile(log);
    EXPECT_NE(logText.find("FILE=" + folder + "\\help\\help.txt\r\n"), std::string::npos) << logText;
    EXPECT_NE(logText.find("FILE=" + folder + "\\app.exe\r\n"), std::string::npos) << logText;

    Click({"--contains", kComplete}, "Finish");
    ProcessResult ended = Session().Wait(Millis(15000), m_setup);
    EXPECT_FALSE(ended.timedOut) << "setup.exe did not quit after Finish";
}

}  // namespace
}  // namespace kq::e2e
