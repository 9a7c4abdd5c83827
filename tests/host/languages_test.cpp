// Language packs: the rewrite of the standard layouts by the translation
// table, the choice of a pack at start-up, the language page's list, and the
// default theme's packs checked against the theme.
#include "wizard/languages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/ini_text.h"
#include "base/text.h"
#include "layout/layout_file.h"

namespace kq {
namespace {

namespace fs = std::filesystem;

// A layout whose INFO holds `total` and whose records 3000+i name the
// controls given (index, identifier name).
std::string Layout(const std::string& total, const std::vector<std::pair<int, std::string>>& names) {
    std::string text = "[INFO]\r\nTOTAL=" + total + "\r\n[DADOS]\r\n";
    for (const auto& [index, name] : names)
        text += std::to_string(3000 + index) + ",0=Name|" + name + "|0\r\n";
    return text;
}

std::string Writes(const std::vector<CaptionWrite>& writes) {
    std::string out;
    for (const CaptionWrite& w : writes) out += w.key + "=" + w.value + ";";
    return out;
}

TEST(Languages, ApplyingAPackRewritesTheTranslatedCaptions) {
    const std::string longText(300, 'x');
    struct Case {
        const char* rule;
        const char* file;
        std::string layout;
        std::string pack;
        std::string expected;
    } cases[] = {
        {"a welcome page's IDC_NEXT takes InstallWelcome key 2", "welcome.lcd",
         Layout("3", {{0, "IDCANCEL"}, {1, "IDC_NEXT"}, {2, "IDC_BACK"}}),
         "[InstallWelcome]\r\n0=Abbrechen\r\n1=< Zurueck\r\n2=Weiter >\r\n",
         "3000,1=Caption|Abbrechen|0;3001,1=Caption|Weiter >|0;3002,1=Caption|< Zurueck|0;"},
        {"square brackets become angle brackets", "welcome.lcd", Layout("1", {{0, "IDC_STATIC1"}}),
         "[InstallWelcome]\r\n3=Willkommen bei [ProductName] [x]\r\n",
         "3000,1=Caption|Willkommen bei <ProductName> <x>|0;"},
        {"everything up to the first } goes", "welcome.lcd", Layout("1", {{0, "IDC_STATIC1"}}),
         "[InstallWelcome]\r\n3={\\f1 tag}Text}mehr\r\n", "3000,1=Caption|Text}mehr|0;"},
        {"index 7 and index 12 keys", "welcome.lcd", Layout("13", {{7, "IDC_NEXT"}, {12, "IDC_BACK"}}),
         "[InstallWelcome]\r\n1=B\r\n2=N\r\n", "3007,1=Caption|N|0;3012,1=Caption|B|0;"},
        {"option buttons read the Value section", "license.lcd",
         Layout("2", {{0, "IDC_ACCEPTLICENSE"}, {1, "IDC_NOTACCEPTLICENSE"}}),
         "[LicenseAgreement]\r\n1=wrong\r\n[Value]\r\n0=Nein\r\n1=Ja\r\n",
         "3000,1=Caption|Ja|0;3001,1=Caption|Nein|0;"},
        {"a key the pack lacks writes an empty caption", "customsetup.lcd", Layout("1", {{0, "IDCANCEL"}}),
         "[CustomSetup]\r\n0=not this key\r\n", "3000,1=Caption||0;"},
        {"a name without a row is left alone", "license.lcd", Layout("2", {{0, "IDC_LICENSE"}, {1, "IDC_BROWSE"}}),
         "[LicenseAgreement]\r\n0=x\r\n", ""},
        {"names compare exactly", "welcome.lcd", Layout("1", {{0, "idc_next"}}), "[InstallWelcome]\r\n2=x\r\n",
         ""},
        {"a layout that is not a standard one is not touched", "askuser.lcd", Layout("1", {{0, "IDCANCEL"}}),
         "[SETUP]\r\n1=x\r\n", ""},
        {"a layout without INFO has no controls", "start.lcd", "[DADOS]\r\n3000,0=Name|IDCANCEL|0\r\n",
         "[SETUP]\r\n1=x\r\n", ""},
        {"a negative TOTAL is none", "start.lcd", Layout("-5", {{0, "IDCANCEL"}}), "[SETUP]\r\n1=x\r\n", ""},
        {"a huge TOTAL stops at 70 controls", "start.lcd",
         Layout("99999999999999999999", {{69, "IDCANCEL"}, {70, "IDC_STATIC1"}}),
         "[SETUP]\r\n0=static\r\n1=cancel\r\n", "3069,1=Caption|cancel|0;"},
        {"a TOTAL past the records reads missing names", "start.lcd", Layout("40", {{0, "IDCANCEL"}}),
         "[SETUP]\r\n1=c\r\n", "3000,1=Caption|c|0;"},
        {"an overlong text is cut to 254 characters", "start.lcd", Layout("1", {{0, "IDCANCEL"}}),
         "[SETUP]\r\n1=" + longText + "\r\n", "3000,1=Caption|" + std::string(254, 'x') + "|0;"},
        {"a missing pack empties every translated caption", "start.lcd",
         Layout("2", {{0, "IDCANCEL"}, {1, "IDC_STATIC1"}}), "", "3000,1=Caption||0;3001,1=Caption||0;"},
        {"uninstall.lcd reads SetupProgress", "uninstall.lcd", Layout("1", {{0, "IDC_STATIC1"}}),
         "[SetupProgress]\r\n12=Entfernen\r\n", "3000,1=Caption|Entfernen|0;"},
    };
    for (const Case& c : cases) {
        IniText layout(c.layout);
        IniText pack(c.pack);
        EXPECT_EQ(Writes(LayoutTranslationWrites(c.file, layout, pack)), c.expected) << c.rule;
    }
}

TEST(Languages, SystemLanguageIdsAreComparedWhole) {
    struct Case {
        uint32_t id;
        const char* name;  // nullptr: not in the table
    } cases[] = {
        {0x407, "German"}, {0x807, nullptr},      {0x409, "English"}, {0x809, nullptr},
        {0x416, "Portuguese"}, {0x816, nullptr},  {0x813, "Dutch"},   {0x413, nullptr},
        {0xC1A, "Serbian"}, {0x41F, "Turkish"},   {0, nullptr},       {0x10407, nullptr},
    };
    for (const Case& c : cases) {
        const char* name = LanguageNameForId(c.id);
        EXPECT_EQ(name == nullptr ? std::string("(none)") : name, c.name == nullptr ? "(none)" : c.name)
            << std::hex << c.id;
    }
}

TEST(Languages, StartUpDecidesWhichPackToApply) {
    struct Case {
        const char* method;
        const char* requested;
        uint32_t id;
        bool shown;
        LanguageStep step;
        const char* pack;
    } cases[] = {
        {"Ask User", "", 0x407, true, LanguageStep::kAskUser, ""},
        {"ask user", "", 0x407, true, LanguageStep::kNothing, ""},
        {"Ask User", "", 0x407, false, LanguageStep::kNothing, ""},  // silent: nobody to answer
        {"Auto-Detect", "", 0x407, true, LanguageStep::kApply, "German"},
        {"Auto-Detect", "", 0x807, true, LanguageStep::kNothing, ""},
        {"Auto-Detect", "", 0x416, false, LanguageStep::kApply, "Portuguese"},
        {"Auto-Detect", "", 0x406, true, LanguageStep::kNothing, ""},  // Danish: in the table, no pack
        {"Auto-Detect", "", 0, true, LanguageStep::kNothing, ""},
        {"auto-detect", "", 0x407, true, LanguageStep::kNothing, ""},
        {"", "", 0x407, true, LanguageStep::kNothing, ""},
        {"Ask User", "Portuguese", 0x407, true, LanguageStep::kApply, "Portuguese"},
        {"Auto-Detect", "German", 0x416, true, LanguageStep::kApply, "German"},
        {"Ask User", "Klingon", 0x407, true, LanguageStep::kNothing, ""},
        {"", "..\\German", 0, true, LanguageStep::kNothing, ""},
        {"", "C:\\packs\\German", 0, true, LanguageStep::kNothing, ""},
        {"", "sub/German", 0, true, LanguageStep::kNothing, ""},
    };
    for (const Case& c : cases) {
        LanguageFacts facts;
        facts.method = c.method;
        facts.requested = c.requested;
        facts.systemLanguage = c.id;
        facts.pagesShown = c.shown;
        // The packs a package with these three has; other names are asked for
        // too, so the folder is never left out of the check.
        facts.packExists = [](const std::string& name) {
            return name == "English" || name == "German" || name == "Portuguese" || name == "..\\German";
        };
        LanguageDecision d = DecideLanguage(facts);
        EXPECT_EQ(d.step, c.step) << c.method << " / " << c.requested << " / " << std::hex << c.id;
        EXPECT_EQ(d.packName, c.pack) << c.method << " / " << c.requested;
    }
    EXPECT_EQ(PackPath("C:\\pkg\\", "German"), "C:\\pkg\\languages\\German.lan");
}

TEST(Languages, LanguagePageListsThePacksAndPreselectsTheScriptsLanguage) {
    const std::vector<std::string> files = {"German.lan", "English.LAN", "Portuguese.lan", "old.lanx", ".lan",
                                            "a.b.lan"};
    const std::vector<std::string> names = PackNamesFromFiles(files);
    EXPECT_EQ(names, (std::vector<std::string>{"German", "English", "Portuguese", "a.b"}));
    struct Case {
        const char* language;
        int selected;
    } cases[] = {
        {"English", 1}, {"english", 1}, {"Port", 2}, {"Portuguese (Brazil)", -1}, {"French", -1}, {"", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(PreselectedPack(names, c.language), c.selected) << c.language;
}

TEST(Languages, APacksRunTimeTextsGoOverTheLanguageFileKeyByKey) {
    const IniText file("[CancelSetup]\r\n0=Really cancel?\r\n1=No\r\n[REQ]\r\n1=Needs <ProductName> RAM\r\n");
    const IniText pack("[CancelSetup]\r\n0=Wirklich abbrechen?\r\n1=\r\n[InstallWelcome]\r\n2=Weiter >\r\n");
    struct Case {
        const ProfileReader* pack;
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {&pack, "CancelSetup", "0", "Wirklich abbrechen?"},
        {&pack, "CancelSetup", "1", "No"},  // empty in the pack
        {&pack, "REQ", "1", "Needs <ProductName> RAM"},
        {&pack, "SetupError", "3", ""},
        {nullptr, "CancelSetup", "0", "Really cancel?"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FallbackProfileReader(c.pack, file).Read(c.section, c.key, kProfileValueSize), c.expected)
            << c.section << "/" << c.key;
}

// ---------------------------------------------------------------------------
// The default theme's packs against the default theme.

const fs::path kSample = fs::path(KQ_SOURCE_DIR) / "sample";

std::string ReadText(const fs::path& path) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path.string(), text)) << path;
    return text;
}

int FontSize(const ControlEntry& c) {
    for (int i = 0; i < c.propertyCount; ++i)
        if (c.properties[i].name == "Font Size") return LeadingNumber(c.properties[i].value);
    return 8;
}
bool Bold(const ControlEntry& c) {
    for (int i = 0; i < c.propertyCount; ++i)
        if (c.properties[i].name == "Bold") return c.properties[i].value != "No";
    return false;
}

// Whether `text` fits the control, by an estimate that errs on the safe side:
// a character takes 5.5 pixels in Tahoma 8 (its average is nearer 5, the
// rest is room for word wrapping), 7 in 8 bold or 9, 10 from 12 on; a line
// takes 13, 15 or 20 pixels. Buttons and group boxes have one line and lose
// their frame, option buttons and check boxes their box.
// tools/theme/check_theme.py measures with the real font; this catches a pack
// that is plainly too long wherever the tests run.
bool Fits(const ControlEntry& c, const std::string& text) {
    const int size = FontSize(c);
    const int charTenths = size >= 12 ? 100 : (size >= 9 || Bold(c)) ? 70 : 55;
    const int lineHeight = size >= 12 ? 20 : size >= 9 ? 15 : 13;
    int width = c.rect.right - c.rect.left;
    int lines = (c.rect.bottom - c.rect.top) / lineHeight;
    switch (c.type) {
    case ControlType::Button:
        width -= 4;
        lines = 1;
        break;
    case ControlType::GroupBox:
        width -= 16;
        lines = 1;
        break;
    case ControlType::Radio:
    case ControlType::CheckBox:
        width -= 18;
        break;
    default:
        break;
    }
    if (lines < 1) lines = 1;
    return static_cast<int>(text.size()) * charTenths <= width * lines * 10;
}

// The theme generator names its controls after the same rows
// (wizard/translation_rows.def) through its own reader
// (tools/theme/theme_tables.py); both readers must see the same table.
TEST(Languages, TheThemeGeneratorsTableIsTheProgramsTable) {
    const std::string script = (fs::path(KQ_SOURCE_DIR) / "tools" / "theme" / "theme_tables.py").string();
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("python3 '" + script + "'").c_str(), "r"), ::pclose);
    ASSERT_NE(pipe, nullptr);
    std::string printed;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) printed.append(buffer, got);
    std::string expected;
    for (const PackRow& row : TranslationRows()) {
        expected += std::string(row.layoutFile) + "\t" + row.identifierName + "\t" + row.key.section + "\t" +
                    row.key.key + "\n";
    }
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(TranslationRows().size(), 98u);
}

TEST(Languages, DefaultThemePacksHaveEveryTextAndEachFitsItsControl) {
    const IniText script(ReadText(kSample / "setup.inf"));
    const std::string product = script.Read("APPINFO", "a1", 255);
    ASSERT_FALSE(product.empty());
    int packs = 0;
    for (const char* name : {"English", "German", "Portuguese"}) {
        const fs::path packPath = kSample / "languages" / (std::string(name) + ".lan");
        ASSERT_TRUE(fs::exists(packPath)) << packPath;
        ++packs;
        const IniText pack(ReadText(packPath));
        for (const char* file : kStandardLayoutFiles) {
            const fs::path layoutPath = kSample / "theme" / file;
            if (!fs::exists(layoutPath)) continue;
            const IniText layoutText(ReadText(layoutPath));
            auto layout = std::make_unique<PageLayout>();
            ReadLayout(layoutText, layoutPath.string(), layout.get());
            for (int i = 0; i < layout->controls.Count(); ++i) {
                const ControlEntry& c = layout->controls.At(i);
                // Property 0 names the control, as the rewrite reads it (the
                // table's own name is a generated default until the page applies it).
                const std::string& identifier = c.ValueAt(0);
                PackKey where;
                if (!FindPackKey(file, identifier, &where)) continue;
                const std::string raw = pack.Read(where.section, where.key, 1024);
                EXPECT_FALSE(raw.empty()) << name << ": " << file << " " << identifier << " [" << where.section
                                          << "] " << where.key << " is missing";
                EXPECT_LE(raw.size(), 244u) << name << ": " << where.section << " " << where.key << " too long";
                std::string text = PackText(pack, where.section, where.key);
                for (size_t at; (at = text.find("<ProductName>")) != std::string::npos;)
                    text.replace(at, 13, product);
                EXPECT_TRUE(Fits(c, text)) << name << ": " << file << " " << identifier << " \"" << text
                                           << "\" does not fit " << (c.rect.right - c.rect.left) << "x"
                                           << (c.rect.bottom - c.rect.top);
            }
        }
        // The texts the program reads at run time.
        for (const auto& [section, key] : std::vector<std::pair<const char*, const char*>>{
                 {"CancelSetup", "0"}, {"CancelSetup", "1"}, {"CancelSetup", "2"}, {"SetupError", "3"},
                 {"SetupCompleteError", "3"}})
            EXPECT_FALSE(pack.Read(section, key, 255).empty()) << name << ": " << section << " " << key;
    }
    EXPECT_EQ(packs, 3);
}

}  // namespace
}  // namespace kq
