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

struct TableRow {
    const char* layoutFile;
    const char* identifierName;
    const char* section;  // "Value" for the rows read from that shared section
    const char* key;
};

// The translation table (rows in translation_rows.def).
constexpr TableRow kTable[] = {
#define KQ_PACK_ROW(layoutFile, identifierName, section, key) {layoutFile, identifierName, section, key},
#include "wizard/translation_rows.def"
#undef KQ_PACK_ROW
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
