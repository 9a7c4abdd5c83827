// Language packs under Wine, with the default theme and its packs (the
// sample package): Escape on the language page asks the cancel question and
// a confirmed cancel ends the run on the failure page, untouched; the
// user picks German there and every standard page then speaks German, as
// does the cancel question; Auto-Detect follows the system language
// id that Wine takes from the process's locale (LC_ALL): de_DE is 0x407,
// which the table names German, while de_CH is 0x807, which it does not, so
// the pages keep the theme's English.
//
// Texts are matched by ASCII parts: the driver reports window texts in the
// system's code page.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "setup_fixture.h"

namespace kq::e2e {
namespace {

constexpr char kLanguagePageText[] = "Select the language to use during the installation.";
// askuser.lcd has 8 records and the list is record 4: ids run from 3000 at
// the last record.
constexpr int kLanguageListId = 3003;
constexpr char kEnglishWelcome[] = "Welcome to the Northwind Notes Setup Wizard";
constexpr char kGermanWelcome[] = "Willkommen beim Installations-Assistenten f";

class LanguagesTest : public SetupTest {
protected:
    // The sample package with APPINFO METHOD=`method`, built into C:\`folder`.
    fs::path SamplePackage(const std::string& method, const std::string& folder) {
        fs::path authoring = Session().ScratchDir() / ("authoring-" + folder);
        fs::create_directories(authoring);
        fs::copy(HarnessPaths::SourceDir() / "sample", authoring, fs::copy_options::recursive);
        std::string script = ReadFile(authoring / "setup.inf");
        const std::string language = "Language=English\r\n";
        size_t at = script.find(language);
        EXPECT_NE(at, std::string::npos) << "the sample's script names no Language";
        if (at != std::string::npos) script.insert(at + language.size(), "METHOD=" + method + "\r\n");
        WriteFile(authoring / "setup.inf", script);
        return BuildInto(authoring, folder);
    }

    std::optional<WindowInfo> Page(const std::string& text, Millis timeout = Millis(30000)) {
        return WaitPage({"--contains", text}, timeout);
    }
};

// Each standard page the sample walks through, by a text only it shows: the
// German captions it must show and the button that leads on (after `choose`,
// an option to pick first).
struct GermanPage {
    const char* marker;
    std::vector<const char*> captions;
    const char* choose;
    const char* next;
};

TEST_F(LanguagesTest, AskUserPicksGermanAndEveryPageShowsItsGermanCaptions) {
    fs::path package = SamplePackage("Ask User", "pkg");
    const std::string welcomeLayout = ReadFile(package / "theme" / "welcome.lcd");

    // Escape on the language page asks as every page does; confirmed, the
    // run ends on the failure page as cancelled, the layouts as they were.
    StartSetup(package);
    ASSERT_TRUE(Page(kLanguagePageText).has_value());
    ProcessResult escaped = Session().Driver({"key", "--contains", kLanguagePageText, "escape"});
    EXPECT_EQ(escaped.exitCode, uidriver::kExitDone) << escaped.errors;
    ASSERT_TRUE(Page("want to cancel Northwind Notes installation ?").has_value());
    ASSERT_TRUE(Click({"--contains", "want to cancel Northwind Notes installation ?"}, "Yes"));
    ASSERT_TRUE(Page("Northwind Notes setup was interrupted.").has_value());
    ASSERT_TRUE(Click({"--contains", "Northwind Notes setup was interrupted."}, "Finish"));
    ProcessResult ended = Session().Wait(Millis(20000), m_setup);
    EXPECT_FALSE(ended.timedOut) << "setup.exe stays after Escape on the language page";
    EXPECT_EQ(ended.exitCode, kExitCancelled);
    EXPECT_EQ(ReadFile(package / "theme" / "welcome.lcd"), welcomeLayout);

    StartSetup(package);
    std::optional<WindowInfo> chooser = Page(kLanguagePageText);
    ASSERT_TRUE(chooser.has_value());
    const ControlInfo* list = chooser->FindById(kLanguageListId);
    ASSERT_NE(list, nullptr) << chooser->AllText();
    EXPECT_EQ(list->text, "English") << "the script's Language is preselected";
    ProcessResult typed = Session().Driver(
        {"type", "--contains", kLanguagePageText, "--id", std::to_string(kLanguageListId), "--text", "German"});
    ASSERT_EQ(typed.exitCode, uidriver::kExitDone) << typed.errors;
    EXPECT_NE(typed.output.find("text=\"German\""), std::string::npos) << typed.output;
    ASSERT_TRUE(Click({"--contains", kLanguagePageText}, "OK"));

    // The run-time texts come from the pack too: the cancel question asks
    // in German, and "Nein" keeps the page.
    ASSERT_TRUE(Page(kGermanWelcome).has_value());
    ASSERT_TRUE(Click({"--contains", kGermanWelcome}, "Abbrechen"));
    std::optional<WindowInfo> question = Page("Northwind Notes wirklich abbrechen?");
    ASSERT_TRUE(question.has_value());
    EXPECT_NE(question->FindByText("Ja"), nullptr) << question->AllText();
    ASSERT_TRUE(Click({"--contains", "Northwind Notes wirklich abbrechen?"}, "Nein"));
    ProcessResult gone = Session().Driver({"gone", "--contains", "wirklich abbrechen?", "--timeout", "5000"});
    EXPECT_EQ(gone.exitCode, uidriver::kExitDone) << "the question stays after Nein";

    const std::vector<GermanPage> pages = {
        {kGermanWelcome, {"Abbrechen", "< Zur", "Weiter >", "installiert Northwind Notes auf Ihrem Computer",
                          "alle anderen Programme zu schlie"}, nullptr, "Weiter >"},
        {"Lizenzvertrag", {"Bitte lesen Sie den folgenden Lizenzvertrag", "Ich akzeptiere die Bedingungen",
                           "Ich lehne die Bedingungen", "Abbrechen", "Weiter >"},
         "Ich akzeptiere die Bedingungen des Lizenzvertrags", "Weiter >"},
        {"Infodatei", {"Bitte lesen Sie die folgenden Informationen zu Northwind Notes.", "Abbrechen"}, nullptr,
         "Weiter >"},
        {"Benutzerinformationen", {"Bitte geben Sie Ihre Daten ein.", "Benutzername:", "Organisation:",
                                   "Diese Anwendung installieren f", "Alle Benutzer dieses Computers", "Nur f"},
         nullptr, "Weiter >"},
        {"Zielordner", {"Northwind Notes installieren in:", "ndern...", "Abbrechen"}, nullptr, "Weiter >"},
        {"Installationsart", {"Bitte w", "Standard", "Minimal", "Benutzerdefiniert", "Abbrechen"},
         "Benutzerdefiniert", "Weiter >"},
        {"Benutzerdefinierte Installation", {"Klicken Sie auf eine Funktion", "Beschreibung", "ndern...",
                                             "Abbrechen"}, nullptr, "Weiter >"},
        {"Bereit zur Installation", {"Klicken Sie auf Installieren", "Aktuelle Einstellungen:", "Installieren",
                                     "Abbrechen"}, nullptr, "Installieren"},
        {"wurde erfolgreich installiert", {"Northwind Notes wurde erfolgreich installiert",
                                           "Programm jetzt starten", "Infodatei anzeigen"}, nullptr, nullptr},
    };
    for (const GermanPage& expected : pages) {
        std::optional<WindowInfo> page = Page(expected.marker);
        ASSERT_TRUE(page.has_value()) << "after the page before \"" << expected.marker << "\"";
        const std::string text = page->AllText();
        for (const char* caption : expected.captions)
            EXPECT_NE(text.find(caption), std::string::npos)
                << expected.marker << ": no \"" << caption << "\" in\n" << text;
        // The English captions the pack replaces are gone.
        for (const char* english : {"Next >", "< Back", "Cancel"})
            EXPECT_EQ(page->FindByText(english), nullptr) << expected.marker << " still shows \"" << english << "\"";
        if (expected.choose != nullptr) {
            ASSERT_TRUE(Click({"--contains", expected.marker}, expected.choose));
        }
        if (expected.next != nullptr) {
            ASSERT_TRUE(Click({"--contains", expected.marker}, expected.next));
        }
    }
    // The pack rewrote the package's own layouts.
    EXPECT_NE(ReadFile(package / "theme" / "welcome.lcd").find("Caption|Weiter >|0"), std::string::npos);
}

TEST_F(LanguagesTest, AutoDetectAppliesTheSystemLanguagesPackOnlyForAnIdInTheTable) {
    struct Case {
        const char* locale;
        const char* folder;
        const char* option;   // on the command line, if any
        const char* welcome;  // the welcome page's title
        const char* next;     // and its Next button
    } cases[] = {
        {"de_DE.UTF-8", "pkg-de", nullptr, kGermanWelcome, "Weiter >"},  // 0x407
        {"de_CH.UTF-8", "pkg-ch", nullptr, kEnglishWelcome, "Next >"},   // 0x807: not in the table
        // The command line's pack wins over the system language.
        {"de_DE.UTF-8", "pkg-pt", "/LANG=Portuguese", "Bem-vindo ao Assistente de Instala", "Avan"},
    };
    for (const Case& c : cases) {
        fs::path package = SamplePackage("Auto-Detect", c.folder);
        Session().SetEnvironment("LC_ALL", c.locale);
        StartSetup(package, c.option != nullptr ? std::vector<std::string>{c.option} : std::vector<std::string>{});
        std::optional<WindowInfo> welcome = Page(c.welcome);
        ASSERT_TRUE(welcome.has_value()) << c.locale;
        EXPECT_NE(welcome->AllText().find(c.next), std::string::npos) << c.locale << ":\n" << welcome->AllText();
        Session().StopAll();
    }
}

// While the language page waits, the run's working folder holds only the
// scripts; someone who finds it and puts a file there under the name of a
// support file (a license text to show as the product's) stops the run:
// the message names the file, nothing of it is shown, and the run ends as
// one that could not start.
TEST_F(LanguagesTest, AFilePutIntoTheWorkingFolderStopsTheRun) {
    fs::path package = SamplePackage("Ask User", "pkg");
    StartSetup(package);
    ASSERT_TRUE(Page(kLanguagePageText).has_value());
    static const std::regex name("kq[0-9]{6}-[0-9a-f]{16}");
    std::vector<fs::path> work;
    for (const auto& entry : fs::directory_iterator(Session().TempDir()))
        if (entry.is_directory() && std::regex_match(entry.path().filename().string(), name))
            work.push_back(entry.path());
    ASSERT_EQ(work.size(), 1u) << "no working folder of the run";
    WriteFile(work[0] / "license.rtf", "planted license");
    ASSERT_TRUE(Click({"--contains", kLanguagePageText}, "OK"));

    const std::string file = "license.rtf";
    std::optional<WindowInfo> box = Page("its working folder holds a file that it did not make");
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(box->AllText().find(file), std::string::npos) << box->AllText();
    ASSERT_TRUE(Click({"--contains", "its working folder holds a file that it did not make"}, "OK"));
    ProcessResult ended = Session().Wait(Millis(20000), m_setup);
    ASSERT_FALSE(ended.timedOut) << "setup.exe stays after the message; on the screen:\n"
                                 << Session().Driver({"list"}).output;
    EXPECT_EQ(ended.exitCode, kExitCannotStart);
}

}  // namespace
}  // namespace kq::e2e
