#include "authoring_check.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "base/ini_text.h"
#include "base/path_rules.h"
#include "base/text.h"
#include "layout/control_catalogue.h"
#include "payload_list.h"
#include "run/file_list.h"
#include "run/package_keys.h"
#include "run/placeholders.h"
#include "wizard/languages.h"

namespace fs = std::filesystem;

namespace kq {
namespace {

struct Entry {
    std::string section;
    std::string key;
    std::string value;
    int line = 0;
};

// The entries of an INI text with their line numbers. Lines starting with
// ';' are the authors' comments: the program reads them as keys nobody asks
// for, so they are skipped here too.
std::vector<Entry> Entries(const std::string& text, std::vector<Entry>* sections) {
    std::vector<Entry> entries;
    std::istringstream in(text);
    std::string raw;
    std::string section;
    for (int line = 1; std::getline(in, raw); ++line) {
        std::string s = TrimProfileBlanks(raw);
        if (s.empty() || s[0] == ';') continue;
        size_t close = s.rfind(']');
        if (s[0] == '[' && close != std::string::npos) {
            section = TrimProfileBlanks(s.substr(1, close - 1));
            sections->push_back({section, "", "", line});
            continue;
        }
        size_t eq = s.find('=');
        entries.push_back({section, TrimProfileBlanks(s.substr(0, eq)),
                           eq == std::string::npos ? "" : TrimProfileBlanks(s.substr(eq + 1)), line});
    }
    return entries;
}

class Checker {
public:
    explicit Checker(const AuthoringFiles& files) : m_files(files) {}

    std::vector<Finding> Run() {
        const KeyTable& table = SetupScriptKeys();
        std::vector<Entry> sections;
        std::vector<Entry> entries = Entries(m_files.setupInf, &sections);
        for (const Entry& s : sections) {
            if (!IsKnownSection(table, s.section)) Warn(s.line, "[" + s.section + "]: unknown section");
        }
        for (const Entry& e : entries) CheckKey(table, e);
        CheckCounts(entries);
        CheckPlaceholders(entries);
        CheckFileList();
        CheckLanguagePacks();
        for (const auto& [name, text] : m_files.layouts) CheckLayoutKeys("theme/" + name, text);
        return m_findings;
    }

private:
    // A misspelt window key or a stray section of a layout is lost as
    // silently as one of the script.
    void CheckLayoutKeys(const std::string& file, const std::string& text) {
        const KeyTable& table = LayoutWindowKeys();
        std::vector<Entry> sections;
        std::vector<Entry> entries = Entries(text, &sections);
        for (const Entry& s : sections) {
            if (!IsKnownSection(table, s.section))
                m_findings.push_back({file, s.line, false, "[" + s.section + "]: unknown section"});
        }
        for (const Entry& e : entries) {
            if (!IsKnownSection(table, e.section) || e.value.empty() || FindKeyRow(table, e.section, e.key)) continue;
            std::string nearest = NearestKey(table, e.section, e.key);
            m_findings.push_back(
                {file, e.line, true,
                 e.key + ": unknown key" + (nearest.empty() ? "" : "; did you mean " + nearest + "?")});
        }
    }

    void Add(const char* file, int line, bool error, const std::string& text) {
        m_findings.push_back({file, line, error, text});
    }
    void Error(int line, const std::string& text) { Add("setup.inf", line, true, text); }
    void Warn(int line, const std::string& text) { Add("setup.inf", line, false, text); }

    void CheckKey(const KeyTable& table, const Entry& e) {
        if (!IsKnownSection(table, e.section)) return;
        // Authoring tools write empty columns the program never reads; an
        // empty value loses nothing.
        if (FindKeyRow(table, e.section, e.key) == nullptr && !e.value.empty()) {
            std::string nearest = NearestKey(table, e.section, e.key);
            Error(e.line, e.key + ": unknown key" + (nearest.empty() ? "" : "; did you mean " + nearest + "?"));
            return;
        }
        if (EqualsIgnoreCase(e.section, "APPINFO") && EqualsIgnoreCase(e.key, "a3") && !IsGuid(e.value))
            Warn(e.line,
                 "a3: the product code " + e.value + " is not a GUID such as {6B1C2F0E-3D4A-4C1B-9E55-2A7D3C9F1E42}");
        const KeyRow* row = FindKeyRow(table, e.section, e.key);
        if (row != nullptr && std::string(row->kind) == "control name" && !e.value.empty() &&
            !m_files.controls.empty() && !AnyLayoutHas(e.value))
            Error(e.line, e.key + ": no layout of the theme has a control " + e.value);
        if (EqualsIgnoreCase(e.section, "DIALOGLIST") && e.key.size() > 1 && (e.key[0] == 'W' || e.key[0] == 'w') &&
            m_files.themeFiles.count(AsciiLower(e.value)) == 0)
            Error(e.line, e.key + ": page " + e.value + " is not in the theme");
    }

    bool AnyLayoutHas(const std::string& control) const {
        for (const auto& layout : m_files.controls) {
            if (layout.second.count(control) != 0) return true;
        }
        return false;
    }

    bool LayoutHas(const std::string& layoutFile, const std::string& control) const {
        auto layout = m_files.controls.find(layoutFile);
        return layout != m_files.controls.end() && layout->second.count(control) != 0;
    }

    static bool IsGuid(const std::string& v) {
        if (v.size() != 38 || v.front() != '{' || v.back() != '}') return false;
        for (size_t i = 1; i < 37; ++i) {
            bool dash = i == 9 || i == 14 || i == 19 || i == 24;
            if (dash ? v[i] != '-' : !std::isxdigit(static_cast<unsigned char>(v[i]))) return false;
        }
        return true;
    }

    // A list's count against its items: the item numbers of the keys
    // "<letters><number>" of the section, W0.. for the page list.
    void CheckCounts(const std::vector<Entry>& entries) {
        struct List {
            const Entry* total = nullptr;
            int items = 0;
        };
        std::map<std::string, List> lists;
        for (const Entry& e : entries) {
            std::string section = AsciiLower(e.section);
            std::string countKey = section == "dialoglist" ? "TOTAL1" : "TOTAL";
            if (EqualsIgnoreCase(e.key, countKey)) {
                lists[section].total = &e;
                continue;
            }
            const char* letters = section == "dialoglist" ? "Ww" : "ABCDEFGHIJLMOPQ";
            size_t digits = e.key.find_first_of("0123456789");
            bool item = section == "setupfeatures" || section == "registrykeys" ? digits == 0
                        : section == "setuptype" ? e.key.rfind("FeatureName", 0) == 0 && digits == 11
                                                 : digits == 1 && std::strchr(letters, e.key[0]) != nullptr;
            if (!item || e.key.find_first_not_of("0123456789", digits) != std::string::npos) continue;
            lists[section].items = std::max(lists[section].items, LeadingNumber(e.key.substr(digits)) + 1);
        }
        for (const auto& [section, list] : lists) {
            if (list.total == nullptr || LeadingNumber(list.total->value) == list.items) continue;
            Error(list.total->line, list.total->key + "=" + list.total->value + " but [" + list.total->section +
                                        "] holds " + std::to_string(list.items) + " items");
        }
    }

    void CheckPlaceholders(const std::vector<Entry>& entries) {
        std::set<std::string> known;
        for (const PlaceholderToken& token : PlaceholderTokens()) known.insert(token.token);
        for (const Entry& e : entries) {
            if (EqualsIgnoreCase(e.section, "VARIABLES") && e.key.size() > 1 && (e.key[0] == 'A' || e.key[0] == 'a'))
                known.insert(e.value);
        }
        for (const Entry& e : entries) {
            for (size_t open = e.value.find('<'); open != std::string::npos; open = e.value.find('<', open + 1)) {
                size_t close = e.value.find('>', open);
                if (close == std::string::npos) break;
                std::string token = e.value.substr(open, close - open + 1);
                // "<>" and "<=" are the conditions' operators, not names.
                if (token.size() > 2 && std::isalpha(static_cast<unsigned char>(token[1])) && known.count(token) == 0)
                    Warn(e.line, e.key + ": " + token + " is no placeholder and no variable");
            }
        }
    }

    void CheckFileList() {
        std::vector<PayloadEntry> payload;
        Status st = ReadPayloadList(m_files.dataInf, &payload);
        if (!st) {
            Add("data.inf", 0, true, st.message());
            return;
        }
        FileList list = LoadFileList(m_files.dataInf);
        std::map<std::string, int> destinations;
        for (size_t i = 0; i < payload.size() && i < list.files.size(); ++i) {
            const PayloadEntry& p = payload[i];
            const FileRecord& f = list.files[i];
            if (!p.web && !m_files.payloadExists(p.source))
                Add("data.inf", p.line, true, p.source + ": file not found in the authoring folder");
            int unknown = f.options & ~KnownFileOptionMask();
            if (unknown != 0)
                Add("data.inf", p.line + 1, false, "option bits " + std::to_string(unknown) + " mean nothing");
            std::string destination = AsciiLower(WithTrailingBackslash(f.destinationDir) + f.fileName);
            auto [at, fresh] = destinations.insert({destination, p.line});
            if (!fresh)
                Add("data.inf", p.line + 1, true,
                    f.fileName + " goes to the same place as the file of line " + std::to_string(at->second));
        }
    }

    // A pack without a text a page of the theme shows leaves that control
    // with the author's own caption: half translated.
    void CheckLanguagePacks() {
        for (const auto& [name, text] : m_files.languagePacks) {
            IniText pack(text);
            std::set<std::string> reported;
            for (const PackRow& row : TranslationRows()) {
                if (!LayoutHas(row.layoutFile, row.identifierName)) continue;
                std::string key = std::string(row.key.section) + "/" + row.key.key;
                if (!pack.Read(row.key.section, row.key.key, kProfileValueSize).empty() || !reported.insert(key).second)
                    continue;
                m_findings.push_back({"languages/" + name, 0, false,
                                      "[" + std::string(row.key.section) + "] " + row.key.key + " is missing (" +
                                          row.identifierName + " of " + row.layoutFile + ")"});
            }
        }
    }

    const AuthoringFiles& m_files;
    std::vector<Finding> m_findings;
};

std::string ReadWhole(const fs::path& path, bool* found) {
    std::ifstream in(path, std::ios::binary);
    *found = static_cast<bool>(in);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string FindingLine(const Finding& f) {
    std::string where = f.file + (f.line > 0 ? ":" + std::to_string(f.line) : std::string());
    return where + ": " + (f.error ? "error: " : "warning: ") + f.text;
}

void AddControlNames(const std::string& layoutText, std::set<std::string>* names) {
    std::vector<Entry> sections;
    for (const Entry& e : Entries(layoutText, &sections)) {
        if (EqualsIgnoreCase(e.section, "DADOS") && e.value.rfind("Name|", 0) == 0)
            names->insert(e.value.substr(5, e.value.find('|', 5) - 5));
    }
}

// What each property the page engine applies means, by PropertyRole.
const char* const kRoleNames[] = {
    "",          "identifier name", "caption",    "text alignment", "text colour",  "background colour",
    "font name", "font size",       "bold (Yes)", "italic (Yes)",   "link address", "read-only (Yes)",
    "icon file", "list style"};
static_assert(std::size(kRoleNames) == static_cast<size_t>(PropertyRole::ListStyle) + 1, "a name for every role");

std::string ControlTypesText() {
    std::string out =
        "\n## Control types\n\nField 5 of a control record names its type. The page engine applies "
        "the properties N,0 .. N,9 of a control by position, as below (other positions are kept but "
        "not applied); a control without a name gets the generated one, counted from 1 per type.\n\n"
        "| Type | Generated name | Properties by position |\n|---|---|---|\n";
    for (int i = 0; i < kControlTypeCount; ++i) {
        const ControlTypeInfo& info = InfoOf(static_cast<ControlType>(i));
        std::string roles;
        for (int j = 0; j < kAppliedPositions; ++j) {
            if (info.roles[j] == PropertyRole::None) continue;
            roles +=
                (roles.empty() ? "" : ", ") + std::to_string(j) + " " + kRoleNames[static_cast<int>(info.roles[j])];
        }
        std::string name = info.namePattern;
        name.replace(name.find("%i"), 2, "n");
        out += "| " + std::string(info.keyword) + " | " + name + " | " + (roles.empty() ? "none" : roles) + " |\n";
    }
    return out;
}

std::string FullReferenceText() {
    std::string out = PackageReferenceText() + ControlTypesText() +
                      "\n## Language packs\n\nlanguages\\NAME.lan holds the texts of the standard pages' controls; "
                      "applying the pack writes each into its control's Caption.\n\n"
                      "| Section | Key | Control | Layout |\n|---|---|---|---|\n";
    for (const PackRow& row : TranslationRows()) {
        out += "| " + std::string(row.key.section) + " | " + row.key.key + " | " + row.identifierName + " | " +
               row.layoutFile + " |\n";
    }
    return out;
}

std::vector<Finding> CheckAuthoring(const AuthoringFiles& files) {
    return Checker(files).Run();
}

std::vector<Finding> CheckAuthoringFolder(const std::string& authoringDir) {
    const fs::path root(authoringDir);
    AuthoringFiles files;
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return {{authoringDir, 0, true, "no such folder"}};
    bool found = false;
    for (const char* name : {"setup.inf", "data.inf"}) {
        std::string text = ReadWhole(root / name, &found);
        if (!found) return {{name, 0, true, "missing from " + authoringDir}};
        (std::string(name) == "setup.inf" ? files.setupInf : files.dataInf) = text;
    }
    for (const auto& item : fs::directory_iterator(root / "theme", ec)) {
        files.themeFiles.insert(AsciiLower(item.path().filename().string()));
        if (!EndsWithIgnoreCase(item.path().string(), ".lcd")) continue;
        std::string& layout = files.layouts[item.path().filename().string()];
        layout = ReadWhole(item.path(), &found);
        AddControlNames(layout, &files.controls[AsciiLower(item.path().filename().string())]);
    }
    // Without a theme folder the package shows setup.exe's own pages.
    if (ec) files.themeFiles.insert(std::begin(kStandardLayoutFiles), std::end(kStandardLayoutFiles));
    std::error_code noPacks;
    for (const auto& item : fs::directory_iterator(root / "languages", noPacks)) {
        if (EndsWithIgnoreCase(item.path().string(), ".lan"))
            files.languagePacks[item.path().filename().string()] = ReadWhole(item.path(), &found);
    }
    files.payloadExists = [root](const std::string& source) {
        std::string relative = AuthoringRelativePath(source);
        std::error_code missing;
        return !relative.empty() && fs::is_regular_file(root / relative, missing);
    };
    return CheckAuthoring(files);
}

}  // namespace kq
