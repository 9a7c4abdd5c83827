// Language packs: which pack a run applies, and how applying one rewrites the
// captions of the standard layout files in the theme folder.
//
// A pack ("<source>languages\<Name>.lan") is an INI document, one section per
// standard layout file (and "Value" for the option buttons), read like every
// profile value into 255 bytes (254 characters). In a text "[" and "]" stand
// for "<" and ">", so a placeholder such as [ProductName] survives editors
// that treat angle brackets as markup; a text may start with a tag ending in
// "}", and only what follows the first "}" is used.
//
// Applying a pack: for each standard layout file, for each control i of
// INFO/TOTAL, property 0 of record 3000+i ("300%i,0" up to 9, "30%i,0" from
// 10) names the control; when the translation table has a row for that name
// on that page, property 1 of the record becomes "Caption|<text>|0". A row
// whose key the pack lacks writes an empty caption.
//
// Packs and layouts are untrusted: TOTAL is read like the page engine reads
// it (cut to 99 characters, at most 70 controls, a negative one is none), a
// text is at most 254 characters, and a name the table does not know is left
// alone, so no pack or layout makes the rewrite touch more than 70 keys.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kq {

class ProfileReader;

// The standard layout files a pack rewrites, in the order they are rewritten.
constexpr int kStandardLayoutCount = 14;
extern const char* const kStandardLayoutFiles[kStandardLayoutCount];

// Where a control's text lives in a pack.
struct PackKey {
    const char* section = nullptr;
    const char* key = nullptr;
};

// The translation table: the pack key of control `identifierName` on the
// standard layout file `layoutFile` (names compared exactly, as the page
// logic finds controls); false when the table has no row for it.
bool FindPackKey(const std::string& layoutFile, const std::string& identifierName, PackKey* out);

// Every row of the table, for checks of a whole pack.
struct PackRow {
    const char* layoutFile;
    const char* identifierName;
    PackKey key;
};
std::vector<PackRow> TranslationRows();

// A language text as it is used: read into 255 bytes, "[" "]" made "<" ">".
std::string ReadLanguageText(const ProfileReader& file, const char* section, const char* key);
// A pack text for a layout: ReadLanguageText with everything up to and including
// the first "}" dropped.
std::string PackText(const ProfileReader& pack, const char* section, const char* key);

// The DADOS key of property `property` of the control at INFO index `index`.
std::string RecordKey(int index, int property);

// One value to write into a layout file's DADOS section.
struct CaptionWrite {
    std::string key;    // e.g. "3002,1"
    std::string value;  // "Caption|<text>|0"
};

// What applying `pack` does to the layout file named `layoutFile` (as read
// through `layout`): nothing for a file that is not a standard one.
std::vector<CaptionWrite> LayoutTranslationWrites(const std::string& layoutFile, const ProfileReader& layout,
                                                  const ProfileReader& pack);

// System language ids (language and sublanguage, compared whole) and the pack
// names they choose; nullptr for an id that is not in the table.
const char* LanguageNameForId(uint32_t languageId);

// A pack name as a file name inside the languages folder: not empty, no
// folder separators, drive colons or parent steps, and short enough for a
// path. Anything else never names a pack.
bool IsPackName(const std::string& name);

// "<source>languages\<name>.lan".
std::string PackPath(const std::string& sourceFolder, const std::string& name);

// What the language stage does at start-up.
enum class LanguageStep {
    kNothing,  // the layouts stay as they are
    kAskUser,  // open the language page; it applies the choice and continues
    kApply,    // apply the pack `packName`
};
struct LanguageDecision {
    LanguageStep step = LanguageStep::kNothing;
    std::string packName;
};

// The inputs of the decision.
struct LanguageFacts {
    std::string method;          // APPINFO "METHOD" as written
    std::string requested;       // the command line's "/LANG=" name; empty: none
    uint32_t systemLanguage = 0; // 0 when the system cannot say
    bool pagesShown = true;      // false when the wizard's pages are hidden (a silent script, /S, /PLAN)
    // True when "<source>languages\<name>.lan" is a file.
    std::function<bool(const std::string&)> packExists;
};

// A name from the command line wins over METHOD; "Ask User" asks (only when
// pages are shown); "Auto-Detect" applies the pack of the system language id.
// Only a pack that is in the languages folder is ever applied: a requested or
// detected name without its pack (or an id not in the table) applies nothing,
// so the author's own captions stay rather than every caption going empty.
LanguageDecision DecideLanguage(const LanguageFacts& facts);

// The language page's list: the pack names among the file names the folder
// search returned for "*.lan", in that order, each without its last four
// characters. Only names ending in ".lan" count (the search also matches
// longer extensions through short names), and only pack names.
std::vector<std::string> PackNamesFromFiles(const std::vector<std::string>& fileNames);

// The entry that the setup script's APPINFO "Language" preselects: the first
// whose start matches it without regard to case; -1 for none (and for an
// empty Language).
int PreselectedPack(const std::vector<std::string>& names, const std::string& language);

}  // namespace kq
