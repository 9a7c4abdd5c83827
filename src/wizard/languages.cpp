#include "wizard/languages.h"

#include <cstdio>
#include <cstring>

#include "base/profile.h"
#include "base/text.h"
#include "layout/layout_file.h"
#include "layout/layout_values.h"
#include "layout/question_texts.h"

namespace kq {
namespace {

constexpr char kValueSection[] = "Value";

struct TableRow {
    const char* layoutFile;
    const char* identifierName;
    const char* section;  // kValueSection for the rows read from "Value"
    const char* key;
};

// The translation table; a layout file's rows are together, its own section
// first named in each row so a row reads on its own.
constexpr TableRow kTable[] = {
    {"welcome.lcd", "IDCANCEL", "InstallWelcome", "0"},
    {"welcome.lcd", "IDC_BACK", "InstallWelcome", "1"},
    {"welcome.lcd", "IDC_NEXT", "InstallWelcome", "2"},
    {"welcome.lcd", "IDC_STATIC1", "InstallWelcome", "3"},
    {"welcome.lcd", "IDC_STATIC2", "InstallWelcome", "4"},
    {"welcome.lcd", "IDC_STATIC3", "InstallWelcome", "5"},

    {"license.lcd", "IDCANCEL", "LicenseAgreement", "0"},
    {"license.lcd", "IDC_KQFRAME", "LicenseAgreement", "2"},
    {"license.lcd", "IDC_SUBTITLE", "LicenseAgreement", "3"},
    {"license.lcd", "IDC_TITLE", "LicenseAgreement", "4"},
    {"license.lcd", "IDC_BACK", "LicenseAgreement", "5"},
    {"license.lcd", "IDC_NEXT", "LicenseAgreement", "6"},
    {"license.lcd", "IDC_ACCEPTLICENSE", kValueSection, "1"},
    {"license.lcd", "IDC_NOTACCEPTLICENSE", kValueSection, "0"},

    {"readme.lcd", "IDCANCEL", "ReadmeInformation", "0"},
    {"readme.lcd", "IDC_KQFRAME", "ReadmeInformation", "2"},
    {"readme.lcd", "IDC_SUBTITLE", "ReadmeInformation", "3"},
    {"readme.lcd", "IDC_TITLE", "ReadmeInformation", "4"},
    {"readme.lcd", "IDC_BACK", "ReadmeInformation", "5"},
    {"readme.lcd", "IDC_NEXT", "ReadmeInformation", "6"},

    {"customer.lcd", "IDCANCEL", "CustomerInformation", "0"},
    {"customer.lcd", "IDC_KQFRAME", "CustomerInformation", "2"},
    {"customer.lcd", "IDC_SUBTITLE", "CustomerInformation", "3"},
    {"customer.lcd", "IDC_TITLE", "CustomerInformation", "4"},
    {"customer.lcd", "IDC_BACK", "CustomerInformation", "5"},
    {"customer.lcd", "IDC_NEXT", "CustomerInformation", "6"},
    {"customer.lcd", "IDC_STATIC1", "CustomerInformation", "7"},
    {"customer.lcd", "IDC_STATIC2", "CustomerInformation", "8"},
    {"customer.lcd", "IDC_STATIC3", "CustomerInformation", "9"},
    {"customer.lcd", "IDC_STATIC4", "CustomerInformation", "10"},
    {"customer.lcd", "IDC_ANYONE", kValueSection, "8"},
    {"customer.lcd", "IDC_ONLYFORME", kValueSection, "9"},

    {"destination.lcd", "IDCANCEL", "DestinationFolder", "0"},
    {"destination.lcd", "IDC_KQFRAME", "DestinationFolder", "2"},
    {"destination.lcd", "IDC_SUBTITLE", "DestinationFolder", "3"},
    {"destination.lcd", "IDC_TITLE", "DestinationFolder", "4"},
    {"destination.lcd", "IDC_BACK", "DestinationFolder", "5"},
    {"destination.lcd", "IDC_NEXT", "DestinationFolder", "6"},
    {"destination.lcd", "IDC_BROWSE", "DestinationFolder", "7"},
    {"destination.lcd", "IDC_STATIC1", "DestinationFolder", "8"},

    {"setuptype.lcd", "IDCANCEL", "SetupType", "0"},
    {"setuptype.lcd", "IDC_KQFRAME", "SetupType", "2"},
    {"setuptype.lcd", "IDC_SUBTITLE", "SetupType", "3"},
    {"setuptype.lcd", "IDC_TITLE", "SetupType", "4"},
    {"setuptype.lcd", "IDC_BACK", "SetupType", "5"},
    {"setuptype.lcd", "IDC_STATIC1", "SetupType", "6"},
    {"setuptype.lcd", "IDC_NEXT", "SetupType", "7"},
    {"setuptype.lcd", "IDC_STATIC2", "SetupType", "8"},
    {"setuptype.lcd", "IDC_STATIC4", "SetupType", "9"},
    {"setuptype.lcd", "IDC_STATIC3", "SetupType", "10"},
    {"setuptype.lcd", "IDC_TYPICAL", kValueSection, "2"},
    {"setuptype.lcd", "IDC_MINIMAL", kValueSection, "3"},
    {"setuptype.lcd", "IDC_CUSTOM", kValueSection, "4"},

    {"customsetup.lcd", "IDCANCEL", "CustomSetup", "2"},
    {"customsetup.lcd", "IDC_KQFRAME", "CustomSetup", "4"},
    {"customsetup.lcd", "IDC_SUBTITLE", "CustomSetup", "5"},
    {"customsetup.lcd", "IDC_TITLE", "CustomSetup", "6"},
    {"customsetup.lcd", "IDC_BACK", "CustomSetup", "7"},
    {"customsetup.lcd", "IDC_STATIC1", "CustomSetup", "8"},
    {"customsetup.lcd", "IDC_NEXT", "CustomSetup", "9"},
    {"customsetup.lcd", "IDC_BROWSE", "CustomSetup", "11"},
    {"customsetup.lcd", "IDC_GROUPBOX1", "CustomSetup", "13"},

    {"ready.lcd", "IDCANCEL", "ReadyToInstall", "0"},
    {"ready.lcd", "IDC_KQFRAME", "ReadyToInstall", "2"},
    {"ready.lcd", "IDC_SUBTITLE", "ReadyToInstall", "3"},
    {"ready.lcd", "IDC_TITLE", "ReadyToInstall", "4"},
    {"ready.lcd", "IDC_NEXT", "ReadyToInstall", "5"},
    {"ready.lcd", "IDC_BACK", "ReadyToInstall", "6"},
    {"ready.lcd", "IDC_STATIC1", "ReadyToInstall", "9"},
    {"ready.lcd", "IDC_STATIC2", "ReadyToInstall", "16"},

    {"progress.lcd", "IDCANCEL", "SetupProgress", "0"},
    {"progress.lcd", "IDC_KQFRAME", "SetupProgress", "2"},
    {"progress.lcd", "IDC_SUBTITLE", "SetupProgress", "3"},
    {"progress.lcd", "IDC_TITLE", "SetupProgress", "4"},
    {"progress.lcd", "IDC_BACK", "SetupProgress", "5"},
    {"progress.lcd", "IDC_STATIC1", "SetupProgress", "6"},
    {"progress.lcd", "IDC_NEXT", "SetupProgress", "7"},
    {"progress.lcd", "IDC_STATIC2", "SetupProgress", "11"},

    {"complete.lcd", "IDCANCEL", "SetupCompleteSuccess", "0"},
    {"complete.lcd", "IDC_NEXT", "SetupCompleteSuccess", "1"},
    {"complete.lcd", "IDC_BACK", "SetupCompleteSuccess", "2"},
    {"complete.lcd", "IDC_INSTALLSTATUS", "SetupCompleteSuccess", "4"},
    {"complete.lcd", "IDC_LAUNCHREADME", "SetupCompleteSuccess", "6"},
    {"complete.lcd", "IDC_LAUNCHFILE", "SetupCompleteSuccess", "7"},

    {"setuperror.lcd", "IDYES", "SetupError", "0"},
    {"setuperror.lcd", "IDNO", "SetupError", "1"},
    {"setuperror.lcd", "IDCANCEL", "SetupError", "2"},
    {"setuperror.lcd", "IDOK", "SetupError", "3"},
    {"setuperror.lcd", "IDABORT", "SetupError", "4"},
    {"setuperror.lcd", "IDIGNORE", "SetupError", "5"},
    {"setuperror.lcd", "IDRETRY", "SetupError", "6"},

    {"cancelsetup.lcd", "IDC_STATIC1", "CancelSetup", "0"},
    {"cancelsetup.lcd", "IDNO", "CancelSetup", "1"},
    {"cancelsetup.lcd", "IDYES", "CancelSetup", "2"},

    {"uninstall.lcd", "IDYES", "SetupProgress", "0"},
    {"uninstall.lcd", "IDC_STATIC1", "SetupProgress", "12"},

    {"start.lcd", "IDC_STATIC1", "SETUP", "0"},
    {"start.lcd", "IDCANCEL", "SETUP", "1"},
};

struct IdName {
    uint32_t id;
    const char* name;
};

// Only the Belgian Dutch id is here; the Netherlands one (0x413) is not.
constexpr IdName kLanguageIds[] = {
    {0x409, "English"}, {0x416, "Portuguese"}, {0x41A, "Croatian"}, {0x406, "Danish"},
    {0x813, "Dutch"},   {0x407, "German"},     {0x410, "Italian"},  {0x415, "Polish"},
    {0xC1A, "Serbian"}, {0x40A, "Spanish"},    {0x41D, "Swedish"},  {0x41F, "Turkish"},
};

constexpr char kAskUser[] = "Ask User";
constexpr char kAutoDetect[] = "Auto-Detect";

// A pack name long enough for any language, short enough that the folder
// search's 260-character names and the pack path stay in bounds.
constexpr size_t kMaxPackName = 64;

}  // namespace

const char* const kStandardLayoutFiles[kStandardLayoutCount] = {
    "welcome.lcd",    "license.lcd",     "readme.lcd",    "customer.lcd", "destination.lcd",
    "setuptype.lcd",  "customsetup.lcd", "ready.lcd",     "progress.lcd", "complete.lcd",
    "setuperror.lcd", "cancelsetup.lcd", "uninstall.lcd", "start.lcd",
};

bool FindPackKey(const std::string& layoutFile, const std::string& identifierName, PackKey* out) {
    for (const TableRow& row : kTable) {
        if (layoutFile == row.layoutFile && identifierName == row.identifierName) {
            if (out != nullptr) *out = PackKey{row.section, row.key};
            return true;
        }
    }
    return false;
}

std::vector<PackRow> TranslationRows() {
    std::vector<PackRow> rows;
    for (const TableRow& row : kTable)
        rows.push_back(PackRow{row.layoutFile, row.identifierName, {row.section, row.key}});
    return rows;
}

std::string ReadLanguageText(const ProfileReader& file, const char* section, const char* key) {
    return BracketsToAngles(file.Read(section, key, kProfileValueSize));
}

std::string PackText(const ProfileReader& pack, const char* section, const char* key) {
    std::string text = ReadLanguageText(pack, section, key);
    size_t brace = text.find('}');
    if (brace != std::string::npos) text.erase(0, brace + 1);
    return text;
}

std::string RecordKey(int index, int property) {
    char key[32];
    // Both forms give 3000 + index for the 70 indexes a page can hold; past
    // 99 the second would not, which the cut at 70 keeps out of reach.
    if (index <= 9) std::snprintf(key, sizeof key, "300%i,%i", index, property);
    else std::snprintf(key, sizeof key, "30%i,%i", index, property);
    return key;
}

std::vector<CaptionWrite> LayoutTranslationWrites(const std::string& layoutFile, const ProfileReader& layout,
                                                  const ProfileReader& pack) {
    std::vector<CaptionWrite> writes;
    bool standard = false;
    for (const char* name : kStandardLayoutFiles) standard = standard || layoutFile == name;
    if (!standard) return writes;

    int total = LeadingNumber(layout.Read("INFO", "TOTAL", kTotalBufferSize));
    // The page engine never reads past 70 controls; neither does the rewrite,
    // whatever TOTAL claims.
    if (total > kMaxControls) total = kMaxControls;
    for (int i = 0; i < total; ++i) {
        const std::string record = layout.Read("DADOS", RecordKey(i, 0).c_str(), kProfileValueSize);
        const std::string name = ParseProperty(record, std::string()).value;
        PackKey where;
        if (!FindPackKey(layoutFile, name, &where)) continue;
        writes.push_back(CaptionWrite{RecordKey(i, 1), "Caption|" + PackText(pack, where.section, where.key) + "|0"});
    }
    return writes;
}

const char* LanguageNameForId(uint32_t languageId) {
    for (const IdName& entry : kLanguageIds) {
        if (entry.id == languageId) return entry.name;
    }
    return nullptr;
}

bool IsPackName(const std::string& name) {
    if (name.empty() || name.size() > kMaxPackName) return false;
    if (name == "." || name == "..") return false;
    for (char ch : name) {
        // Separators, drive colons and the characters no file name may hold.
        if (std::strchr("\\/:*?\"<>|", ch) != nullptr || static_cast<unsigned char>(ch) < 0x20) return false;
    }
    return name.find("..") == std::string::npos;
}

std::string PackPath(const std::string& sourceFolder, const std::string& name) {
    return sourceFolder + "languages\\" + name + ".lan";
}

LanguageDecision DecideLanguage(const LanguageFacts& facts) {
    auto apply = [&facts](const std::string& name) {
        LanguageDecision decision;
        if (IsPackName(name) && facts.packExists && facts.packExists(name)) {
            decision.step = LanguageStep::kApply;
            decision.packName = name;
        }
        return decision;
    };
    if (!facts.requested.empty()) return apply(facts.requested);
    if (facts.method == kAskUser) {
        LanguageDecision decision;
        if (facts.pagesShown) decision.step = LanguageStep::kAskUser;
        return decision;
    }
    if (facts.method == kAutoDetect) {
        const char* name = LanguageNameForId(facts.systemLanguage);
        return name != nullptr ? apply(name) : LanguageDecision();
    }
    return LanguageDecision();
}

std::vector<std::string> PackNamesFromFiles(const std::vector<std::string>& fileNames) {
    std::vector<std::string> names;
    for (const std::string& file : fileNames) {
        if (file.size() <= 4 || !EndsWithIgnoreCase(file, ".lan")) continue;
        std::string name = file.substr(0, file.size() - 4);
        if (IsPackName(name)) names.push_back(name);
    }
    return names;
}

int PreselectedPack(const std::vector<std::string>& names, const std::string& language) {
    if (language.empty()) return -1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].size() >= language.size() &&
            EqualsIgnoreCase(std::string_view(names[i]).substr(0, language.size()), language))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace kq
