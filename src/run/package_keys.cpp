#include "run/package_keys.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"
#include "run/placeholders.h"

namespace kq {
namespace {

constexpr char kText[] = "text";
constexpr char kPath[] = "path, placeholders";
constexpr char kYes[] = "Yes or other";
constexpr char kNo[] = "No or other";
constexpr char kNumber[] = "number";
constexpr char kEmpty[] = "empty";

const KeyRow kScriptRows[] = {
    {"APPINFO", "a1", kText, kEmpty, "product name (<ProductName>, the name in the list of installed programs)"},
    {"APPINFO", "a2", kText, kEmpty, "product version (<ProductVersion>)"},
    {"APPINFO", "a3", "GUID in braces", kEmpty, "product code (<ProductCode>): names the product's registration"},
    {"APPINFO", "a4", kPath, "\\", "default install folder (<InstallDir>)"},
    {"APPINFO", "a7", kYes, "off", "Yes: administrator rights are required"},
    {"APPINFO", "a8", "Per-User or other", "all users", "Per-User: take the shell folders of the current user"},
    {"APPINFO", "a10", kYes, "off", "Yes: a program of the product runs when it is removed"},
    {"APPINFO", "a11", "file name", kEmpty, "that program, packed among the support files"},
    {"APPINFO", "a12", "text, placeholders", kEmpty, "that program's command line"},
    {"APPINFO", "a13", "Yes or No", kEmpty, "No: the removal takes everything the installation made"},
    {"APPINFO", "a14", kNo, "listed", "No: the product is not listed among the installed programs"},
    {"APPINFO", "a15", kYes, "off", "Yes: no Modify button in the list of installed programs"},
    {"APPINFO", "a16", kYes, "off", "Yes: no Remove button"},
    {"APPINFO", "a17", kYes, "off", "Yes: no Repair button"},
    {"APPINFO", "a18", "file name", kEmpty, "icon shown in the list of installed programs"},
    {"APPINFO", "a19", kText, kEmpty, "publisher (<Publisher>)"},
    {"APPINFO", "a20", kText, kEmpty, "comments shown in the list of installed programs"},
    {"APPINFO", "a21", "address", kEmpty, "information link"},
    {"APPINFO", "a22", "address", kEmpty, "update link"},
    {"APPINFO", "a24", "address", kEmpty, "help link"},
    {"APPINFO", "a25", kText, kEmpty, "help telephone"},
    {"APPINFO", "a26", "New Installation or Upgrade", kEmpty, "Upgrade: look for an earlier installation"},
    {"APPINFO", "a27", "Auto-Detect or other", kEmpty, "Auto-Detect: the earlier install folder from its registration"},
    {"APPINFO", "a28", "registry value path", kEmpty,
     "otherwise the registry value holding the earlier install folder"},
    {"APPINFO", "a29", kYes, "off", "Yes: remove the earlier version before installing"},
    {"APPINFO", "Language", "language name", kEmpty, "the package's language, such as English"},
    {"APPINFO", "METHOD", "Ask User, Auto-Detect or other", kEmpty, "how the language is chosen"},
    {"APPINFO", "PREVIEW", kNumber, "0", "255: a preview run that changes nothing"},
    {"BUILDING", "2", kYes, "off", "Yes: install silently, without pages"},
    {"DIALOGLIST", "TOTAL1", kNumber, "0", "number of pages in the page list"},
    {"DIALOGLIST", "W#", "layout file", kEmpty, "page number # of the wizard: a .lcd file of the theme"},
    {"DIALOGLIST", "CT0", "file name", kEmpty, "license text (.txt or .rtf) of the license page"},
    {"DIALOGLIST", "CT1", "control name", kEmpty, "control of the license page that shows it"},
    {"DIALOGLIST", "CT2", "file name", kEmpty, "readme text of the readme page"},
    {"DIALOGLIST", "CT3", "control name", kEmpty, "control of the readme page that shows it"},
    {"DIALOGLIST", "CT9", kNo, "on", "No: no offer to start the program at the end"},
    {"DIALOGLIST", "CT10", kPath, kEmpty, "the program offered at the end"},
    {"DIALOGLIST", "CT11", "text, placeholders", kEmpty, "its arguments"},
    {"DIALOGLIST", "CT12", kNo, "on", "No: no offer to view the readme at the end"},
    {"DIALOGLIST", "CT13", kPath, kEmpty, "the readme offered at the end"},
    {"DIALOGLIST", "CT14", kYes, "off", "Yes: restart the machine after finishing"},
    {"DIALOGLIST", "CT17", "registry root", kEmpty, "root key where the customer information is kept"},
    {"DIALOGLIST", "CT18", "registry key", "not kept", "key where the customer information is kept"},
    {"SPLASH", "a1", kYes, "off", "Yes: show a splash picture at start-up"},
    {"SPLASH", "a2", "file name", kEmpty, "the splash picture"},
    {"SPLASH", "a3", kNumber, "0", "seconds the splash stays at least"},
    {"SPLASH", "a5", kYes, "off", "Yes: play a sound at start-up"},
    {"SPLASH", "a6", "file name", kEmpty, "the sound"},
    {"SPLASH", "a7", "Once or other", "repeated", "Once: play the sound once"},
    {"BACKGROUND", "0", "1 or other", "off", "1: a full-screen background window behind the pages"},
    {"BACKGROUND", "1", kText, kEmpty, "its title"},
    {"BACKGROUND", "2", kText, kEmpty, "its subtitle"},
    {"BACKGROUND", "3", "colour r,g,b", "black", "colour at the top of its gradient"},
    {"BACKGROUND", "4", "colour r,g,b", "black", "colour at the bottom"},
    {"BACKGROUND", "5", "file name", kEmpty, "its picture"},
    {"BILLBOARDSKQ", "TOTAL", kNumber, "0", "number of billboards shown while files are copied"},
    {"BILLBOARDSKQ", "B#", "file name", kEmpty, "picture of billboard #"},
    {"BILLBOARDSKQ", "C#", kNumber, "0", "seconds it is shown"},
    {"BILLBOARDSKQ", "D#", kNumber, "0", "its left edge"},
    {"BILLBOARDSKQ", "E#", kNumber, "0", "its top edge"},
    {"SYSTEM", "1", "processor name", "any", "least processor"},
    {"SYSTEM", "2", "megabytes", "any", "least memory"},
    {"SYSTEM", "3", "width x height", "any", "least screen resolution"},
    {"SYSTEM", "4", "colour depth word", "any", "least number of colours"},
    {"SYSTEM", "os#", "1 or other", "allowed", "1: the system number # is refused (95 to Server 2003)"},
    {"CONDITIONS", "TOTAL", kNumber, "0", "number of conditions"},
    {"CONDITIONS", "A#", kText, kEmpty, "name of condition #"},
    {"CONDITIONS", "B#", "text, placeholders", kEmpty, "its left value"},
    {"CONDITIONS", "C#", "operator", kEmpty, "its comparison (=, <>, <, >, <=, >=, Contains, ...)"},
    {"CONDITIONS", "D#", "text, placeholders", kEmpty, "its right value"},
    {"CONDITIONS", "E#", "layout file or moment", kEmpty, "when it is tested"},
    {"CONDITIONS", "F#", kNumber, "0", "number of action lines of condition #"},
    {"CONDITIONS", "##", "action", kEmpty, "action line: condition number then line number, such as 00, 01"},
    {"VARIABLES", "TOTAL", kNumber, "0", "number of user variables"},
    {"VARIABLES", "A#", "<Name>", kEmpty, "the variable's name as written in texts"},
    {"VARIABLES", "B#", kText, kEmpty, "its default value"},
    {"VARIABLES", "C#", kText, kEmpty, "its description"},
    {"VARIABLES", "D#", "source word", kEmpty,
     "where its value comes from (registry, INI file, file, web, window ...)"},
    {"VARIABLES", "E#", "registry root", kEmpty, "registry root of a registry source"},
    {"VARIABLES", "F#", "registry key", kEmpty, "its key"},
    {"VARIABLES", "G#", "value name", kEmpty, "its value"},
    {"VARIABLES", "H#", kPath, kEmpty, "INI file of an INI source"},
    {"VARIABLES", "I#", kText, kEmpty, "its section"},
    {"VARIABLES", "J#", kText, kEmpty, "its key"},
    {"VARIABLES", "L#", kPath, kEmpty, "file of a file source"},
    {"VARIABLES", "O#", "address", kEmpty, "address of a web source"},
    {"VARIABLES", "P#", kText, kEmpty, "window class of a window source"},
    {"VARIABLES", "Q#", kText, kEmpty, "window title of a window source"},
    {"SETUPTYPE", "TOTAL", kNumber, "0", "number of features offered by the setup types"},
    {"SETUPTYPE", "FeatureName#", kText, kEmpty, "name of feature #"},
    {"SETUPTYPE", "Description#", kText, kEmpty, "its description on the custom page"},
    {"SETUPFEATURES", "TOTAL", kNumber, "0", "number of lines of the feature tree"},
    {"SETUPFEATURES", "#", kText, kEmpty, "line # of the feature tree (a feature name)"},
    {"FOLDERKQ", "TOTAL", kNumber, "0", "number of shortcuts"},
    {"FOLDERKQ", "A#", "location", kEmpty, "where shortcut # goes (desktop, programs menu folder ...)"},
    {"FOLDERKQ", "B#", kText, kEmpty, "its name"},
    {"FOLDERKQ", "C#", kPath, kEmpty, "its target (a file or a web address)"},
    {"FOLDERKQ", "D#", kText, kEmpty, "its description"},
    {"FOLDERKQ", "E#", "window word", "normal", "how the target's window opens"},
    {"FOLDERKQ", "F#", kPath, kEmpty, "its working folder"},
    {"FOLDERKQ", "G#", kText, kEmpty, "its arguments"},
    {"FOLDERKQ", "H#", kPath, kEmpty, "its icon file"},
    {"FOLDERKQ", "I#", kNumber, "0", "its icon index"},
    {"FOLDERKQ", "J#", "feature name", "always", "the feature it belongs to"},
    {"INIINFO", "TOTAL", kNumber, "0", "number of INI files written"},
    {"INIINFO", "A#", kText, kEmpty, "tree name of INI file #"},
    {"INIINFO", "C#", kPath, kEmpty, "its path"},
    {"INIDATA", "TOTAL", kNumber, "0", "number of INI entries"},
    {"INIDATA", "A#", "file\\section\\key tree path", kEmpty, "where entry # goes"},
    {"INIDATA", "C#", "text, placeholders", kEmpty, "its value"},
    {"REGISTRYKEYS", "TOTAL", kNumber, "0", "number of registry keys created"},
    {"REGISTRYKEYS", "#", "root\\key", kEmpty, "registry key #"},
    {"REGISTRY", "TOTAL", kNumber, "0", "number of registry values"},
    {"REGISTRY", "A#", "root\\key", kEmpty, "key of value #"},
    {"REGISTRY", "B#", kText, "default value", "its name"},
    {"REGISTRY", "C#", "type word", "string", "its type"},
    {"REGISTRY", "D#", "text, placeholders", kEmpty, "its data"},
    {"EXTKQ", "TOTAL", kNumber, "0", "number of file associations"},
    {"EXTKQ", "B#", kPath, kEmpty, "program that opens the files of association #"},
    {"EXTKQ", "C#", "extension", kEmpty, "the file extension"},
    {"EXTKQ", "D#", kText, kEmpty, "its class name"},
    {"EXTKQ", "E#", kText, kEmpty, "its description"},
    {"EXTKQ", "G#", kText, kEmpty, "the program's arguments"},
    {"EXTKQ", "H#", kPath, kEmpty, "its icon file"},
    {"ENVIRKQ", "TOTAL", kNumber, "0", "number of environment variables"},
    {"ENVIRKQ", "A#", kText, kEmpty, "name of variable #"},
    {"ENVIRKQ", "B#", "feature name", "always", "the feature it belongs to"},
    {"ENVIRKQ", "C#", "text, placeholders", kEmpty, "its value"},
    {"ENVIRKQ", "D#", "action word", kEmpty, "set, add before or add after"},
    {"ENVIRKQ", "E#", "mode word", kEmpty, "how it is written"},
    {"ENVIRKQ", "F#", "action word", kEmpty, "what removal does with it"},
    {"ENVIRKQ", "G#", "scope word", kEmpty, "user or system"},
    {"NTSERVICE", "TOTAL", kNumber, "0", "number of services"},
    {"NTSERVICE", "A#", kText, kEmpty, "name of service #"},
    {"NTSERVICE", "B#", kText, kEmpty, "its display name"},
    {"NTSERVICE", "C#", "type word", kEmpty, "its type"},
    {"NTSERVICE", "D#", "start word", kEmpty, "how it starts"},
    {"NTSERVICE", "E#", "error word", kEmpty, "its error control"},
    {"NTSERVICE", "F#", kPath, kEmpty, "its program and arguments"},
    {"LIVEUPDATE", "1", kYes, "off", "Yes: register the product for live update"},
    {"LIVEUPDATE", "2", kText, kEmpty, "live-update mode"},
    {"LIVEUPDATE", "3", "address", kEmpty, "live-update address"},
    {"LIVEUPDATE", "4", kText, kEmpty, "live-update silent switch"},
    {"LIVEUPDATE", "5", kPath, "<Install Dir>", "folder of the live-update files"},
    {"FILEACTION", "TOTAL", kNumber, "0", "number of file actions"},
    {"FILEACTION", "B#", kPath, kEmpty, "file of action # (a program, library or document)"},
    {"FILEACTION", "C#", "text, placeholders", kEmpty, "its parameter"},
    {"FILEACTION", "E#", "moment", kEmpty, "when it runs (a page, or the finish)"},
    {"FILEACTION", "G#", kYes, "every time", "Yes: run it once"},
    {"FILEACTION", "H#", kYes, "off", "Yes: wait for it"},
    {"FILEACTION", "L#", kNumber, "0", "its system mask"},
    {"FILEACTION", "M#", "condition name", "always", "the condition it needs"},
    {"MERGEMODULES", "TOTAL", kNumber, "0", "number of merge modules and other programs"},
    {"MERGEMODULES", "C#", kPath, kEmpty, "program of item #"},
    {"MERGEMODULES", "D#", kText, kEmpty, "its arguments"},
    {"MERGEMODULES", "E#", kNumber, "0", "its system mask"},
    {"MERGEMODULES", "F#", "feature name", "always", "the feature it belongs to"},
    {"MERGEMODULES", "G#", "condition name", "always", "the condition it needs"},
};

const KeyRow kLanguageRows[] = {
    {"CancelSetup", "0", "text, [placeholders]", "built-in", "question asked when the user cancels"},
    {"CancelSetup", "1", kText, "built-in", "its No button"},
    {"CancelSetup", "2", kText, "built-in", "its Yes button"},
    {"SetupError", "#", kText, "built-in",
     "buttons of the error dialog: 0 Yes 1 No 2 Cancel 3 OK 4 Abort 5 Ignore 6 Retry"},
    {"SetupCompleteError", "3", "text, [placeholders]", "built-in",
     "completion page's status after a cancel or failure"},
    {"REQ", "#", "text, [placeholders]", "built-in",
     "message of a failed requirement: 0 system 1 colours 2 resolution 3 memory 4 processor"},
};

const KeyRow kLayoutWindowRows[] = {
    {"MAINWINDOW", "idcname", "control name", kEmpty, "name of the page window"},
    {"MAINWINDOW", "caption", kText, kEmpty, "title of the page window"},
    {"MAINWINDOW", "bkimage", "file name in braces", kEmpty, "background picture"},
    {"MAINWINDOW", "border", "Yes or No", "kept", "a border round the page"},
    {"MAINWINDOW", "startup", kText, kEmpty, "where the page window opens"},
    {"MAINWINDOW", "bkcolor", "colour r,g,b or COLOR_BTNFACE", "button face", "background colour"},
    {"MAINWINDOW", "width", kNumber, "template", "page width"},
    {"MAINWINDOW", "height", kNumber, "template", "page height"},
    {"MAINWINDOW", "soundfile", "file name in braces", kEmpty, "sound played when the page opens"},
    {"MAINWINDOW", "minwindow", kYes, "off", "Yes: a minimise box"},
    {"MAINWINDOW", "maxwindow", kYes, "off", "Yes: a maximise box"},
    {"MAINWINDOW", "closewindow", kYes, "off", "Yes: a close box"},
    {"MAINWINDOW", "fontname", kText, "system", "font of the page"},
    {"MAINWINDOW", "fontsize", kNumber, "system", "its size in points"},
    {"MAINWINDOW", "fontbold", kYes, "off", "Yes: bold"},
    {"MAINWINDOW", "fontitalic", kYes, "off", "Yes: italic"},
    {"INFO", "TOTAL", kNumber, "0", "number of controls on the page (at most 70)"},
    {"INFO", "#", "control record", kEmpty,
     "control #: -,left,top,width,height,TYPE,{picture},-,record number N (3000 + #)"},
    {"DADOS", "#,t", kNumber, "0", "number of properties of record N (at most 20)"},
    {"DADOS", "#,#", "Name|Value|Number", kEmpty, "property j of record N, written N,j"},
};

template <size_t N>
KeyTable MakeTable(const char* file, const char* about, const KeyRow (&rows)[N]) {
    return KeyTable{file, about, rows, N};
}

// One or more digits of `key` from `at`; the end of them.
size_t SkipDigits(std::string_view key, size_t at) {
    while (at < key.size() && std::isdigit(static_cast<unsigned char>(key[at]))) ++at;
    return at;
}

bool MatchFrom(std::string_view pattern, size_t p, std::string_view key, size_t k) {
    if (p == pattern.size()) return k == key.size();
    if (pattern[p] == '#') {
        // "##" is two numbers written together: each of at least one digit.
        size_t end = SkipDigits(key, k);
        for (size_t stop = k + 1; stop <= end; ++stop) {
            if (MatchFrom(pattern, p + 1, key, stop)) return true;
        }
        return false;
    }
    if (k == key.size()) return false;
    if (AsciiLower(pattern[p]) != AsciiLower(key[k])) return false;
    return MatchFrom(pattern, p + 1, key, k + 1);
}

size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            bool same = AsciiLower(a[i - 1]) == AsciiLower(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A pattern with its '#' filled in by the digits `key` carries, or "0".
std::string Instance(std::string_view pattern, std::string_view key) {
    size_t first = key.find_first_of("0123456789");
    std::string digits =
        first == std::string_view::npos ? "0" : std::string(key.substr(first, SkipDigits(key, first) - first));
    std::string out;
    for (char c : pattern) {
        if (c == '#') {
            out += digits;
        } else {
            out += c;
        }
    }
    return out;
}

std::string TableText(const KeyTable& table) {
    std::string out = "## " + std::string(table.file) + "\n\n" + table.about + "\n\n";
    const char* section = "";
    for (size_t i = 0; i < table.count; ++i) {
        const KeyRow& row = table.rows[i];
        if (std::string_view(row.section) != section) {
            section = row.section;
            out +=
                "\n### [" + std::string(section) + "]\n\n| Key | Meaning | Value | When missing |\n|---|---|---|---|\n";
        }
        out += "| " + std::string(row.key) + " | " + row.meaning + " | " + row.kind + " | " + row.fallback + " |\n";
    }
    return out + "\n";
}

}  // namespace

const KeyTable& SetupScriptKeys() {
    static const KeyTable table = MakeTable(
        "setup.inf",
        "The setup script: INI sections of keys. A '#' in a key stands for an item number "
        "counted from 0 (\"W0\", \"A12\"); a list's TOTAL says how many items there are. Switches compare the "
        "whole value, case included.",
        kScriptRows);
    return table;
}

const KeyTable& LanguageFileKeys() {
    static const KeyTable table =
        MakeTable("language.lan",
                  "Texts setup.exe reads while it runs; a language pack from languages\\ holds the "
                  "same sections and the pages' sections below.",
                  kLanguageRows);
    return table;
}

const KeyTable& LayoutWindowKeys() {
    static const KeyTable table = MakeTable(
        "*.lcd", "A page layout in theme\\: the window, the list of controls and their properties.", kLayoutWindowRows);
    return table;
}

const std::vector<KeyTable>& PackageKeyTables() {
    static const std::vector<KeyTable> tables = {SetupScriptKeys(), LanguageFileKeys(), LayoutWindowKeys()};
    return tables;
}

bool KeyMatchesPattern(std::string_view pattern, std::string_view key) {
    return MatchFrom(pattern, 0, key, 0);
}

bool IsKnownSection(const KeyTable& table, std::string_view section) {
    for (size_t i = 0; i < table.count; ++i) {
        if (EqualsIgnoreCase(table.rows[i].section, section)) return true;
    }
    return false;
}

const KeyRow* FindKeyRow(const KeyTable& table, std::string_view section, std::string_view key) {
    for (size_t i = 0; i < table.count; ++i) {
        const KeyRow& row = table.rows[i];
        if (EqualsIgnoreCase(row.section, section) && KeyMatchesPattern(row.key, key)) return &row;
    }
    return nullptr;
}

std::string NearestKey(const KeyTable& table, std::string_view section, std::string_view key) {
    std::string best;
    size_t bestDistance = 3;
    for (size_t i = 0; i < table.count; ++i) {
        const KeyRow& row = table.rows[i];
        if (!EqualsIgnoreCase(row.section, section)) continue;
        std::string candidate = Instance(row.key, key);
        size_t distance = EditDistance(candidate, key);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    return best;
}

const std::vector<OptionBit>& FileOptionBits() {
    static const std::vector<OptionBit> bits = {
        {1, "read-only"},
        {2, "read-only (either bit)"},
        {4, "hidden"},
        {8, "system file"},
        {16, "must install: a failed copy ends the installation"},
        {32, "keep an existing file"},
        {64, "not recorded for removal"},
        {128, "register the file (regsvr32) after installing it"},
        {256, "expand placeholders in the file's text"},
    };
    return bits;
}

int KnownFileOptionMask() {
    int mask = 0;
    for (const OptionBit& bit : FileOptionBits()) mask |= bit.bit;
    return mask;
}

std::string PackageReferenceText() {
    std::string out =
        "# Package reference\n\n"
        "Written by `kqbuild reference` from the tables the program reads its files with; do not edit by hand.\n\n"
        "An authoring folder holds setup.inf, data.inf, language.lan, theme\\ (the pages' .lcd layouts and "
        "their pictures), languages\\ (language packs, *.lan), support\\ (files packed for setup itself: "
        "license, readme, billboards) and the product's files data.inf names. `kqbuild` makes a package "
        "folder of it: setup.nsx and data.nsx (the two scripts, encrypted), theme\\, the language files, "
        "file1.cab (or DiskImage1\\ with --layout diskimage) holding the support files and the product's "
        "files, setup.exe and kqexec.exe (the maintenance runner that removes the product).\n\n";
    for (const KeyTable& table : PackageKeyTables()) out += TableText(table);
    out +=
        "## data.inf\n\nTwo lines per product file:\n\n"
        "    files\\notes.exe\n"
        "    Destination Computer\\<InstallDir>*OPTIONS*MASK*0|FEATURE\n\n"
        "The first line is the file's path in the authoring folder (or a web address); the second its "
        "destination folder, the option number (a sum of the bits below), the system mask, a reserved "
        "number and the feature it belongs to (empty: always installed).\n\n"
        "| Bit | Meaning |\n|---|---|\n";
    for (const OptionBit& bit : FileOptionBits()) out += "| " + std::to_string(bit.bit) + " | " + bit.meaning + " |\n";
    out +=
        "\n## Placeholders\n\nValues marked \"placeholders\" may hold these tokens; language texts write them "
        "in square brackets ([ProductName]). The name of a user variable (VARIABLES A#) is replaced by "
        "its value the same way.\n\n| Token | Stands for |\n|---|---|\n";
    for (const PlaceholderToken& token : PlaceholderTokens())
        out += "| " + std::string(token.token) + " | " + token.meaning + " |\n";
    return out;
}

}  // namespace kq
