// The keys of a package's INI files (setup.inf, language.lan, the layouts'
// window section), one row each, and the file list's option bits and the
// placeholders. The program's readers, `kqbuild check` and the authors'
// reference (docs/package-reference.md, written by `kqbuild reference`) all
// come from these tables, so a key added to a reader without a row here
// fails the host tests.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kq {

struct KeyRow {
    const char* section;
    // The key, or a pattern where '#' stands for a decimal item number
    // ("W#": "W0", "W12"; "#": "0", "15").
    const char* key;
    const char* kind;      // what the value holds
    const char* fallback;  // what a missing key means
    const char* meaning;
};

struct KeyTable {
    const char* file;  // "setup.inf", "language.lan", "*.lcd"
    const char* about;
    const KeyRow* rows;
    size_t count;
};

const std::vector<KeyTable>& PackageKeyTables();
const KeyTable& SetupScriptKeys();
const KeyTable& LanguageFileKeys();
const KeyTable& LayoutWindowKeys();

// True when `key` is `pattern` (ASCII case ignored), a '#' of the pattern
// standing for one or more decimal digits.
bool KeyMatchesPattern(std::string_view pattern, std::string_view key);

// The row of `section`/`key` in `table`; null when there is none.
const KeyRow* FindKeyRow(const KeyTable& table, std::string_view section, std::string_view key);
bool IsKnownSection(const KeyTable& table, std::string_view section);

// The known key of `section` nearest to `key` (fewest edits, at most two),
// with the item number of a pattern filled in from `key`; "" for none.
std::string NearestKey(const KeyTable& table, std::string_view section, std::string_view key);

struct OptionBit {
    int bit;
    const char* meaning;
};
// The bits of a data.inf option number; every other bit means nothing.
const std::vector<OptionBit>& FileOptionBits();
int KnownFileOptionMask();

// The whole reference for authors, in Markdown.
std::string PackageReferenceText();

}  // namespace kq
