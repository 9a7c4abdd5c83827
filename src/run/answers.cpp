#include "run/answers.h"

#include "base/ini_text.h"
#include "base/text.h"

namespace kq {
namespace {

constexpr char kSection[] = "Answers";
// Room for an install folder, a name or a list of every feature.
constexpr size_t kAnswerValueSize = 2048;

struct TypeName {
    SetupType type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {SetupType::Typical, "Typical"}, {SetupType::Minimal, "Minimal"}, {SetupType::Custom, "Custom"}};

// The text as a quoted value on one line: the reader drops the quotes, and
// a line break would end the value early.
std::string Quoted(const std::string& text) {
    std::string value = "\"";
    for (char c : text) value += c == '\r' || c == '\n' ? ' ' : c;
    return value + "\"";
}

std::string KnownNames(const std::vector<std::string>& texts) {
    std::string known;
    for (const std::string& text : texts) known += (known.empty() ? "\"" : ", \"") + text + "\"";
    return known.empty() ? "none" : known;
}

}  // namespace

bool SetupTypeFromName(std::string_view name, SetupType* type) {
    for (const TypeName& entry : kTypeNames) {
        if (EqualsIgnoreCase(name, entry.name)) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

const char* SetupTypeName(SetupType type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return "";
}

std::vector<FeaturePick> ParseFeatureList(std::string_view list) {
    std::vector<FeaturePick> picks;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        std::string_view part = TrimBlanks(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        FeaturePick pick;
        if (!part.empty() && part.front() == '!') {
            pick.install = false;
            part = TrimBlanks(part.substr(1));
        }
        if (part.empty()) continue;
        pick.name = std::string(part);
        picks.push_back(pick);
    }
    return picks;
}

std::string ApplyFeaturePicks(const std::vector<FeaturePick>& picks, const std::vector<std::string>& texts,
                              FeatureTable& table) {
    // Every name first: a bad one changes nothing.
    std::vector<const std::string*> shown;
    bool exact = false;
    for (const FeaturePick& pick : picks) {
        const std::string* match = nullptr;
        for (const std::string& text : texts) {
            if (EqualsIgnoreCase(text, pick.name)) match = &text;
        }
        if (match == nullptr)
            return "the package has no feature \"" + pick.name + "\" (its features: " + KnownNames(texts) + ")";
        shown.push_back(match);
        exact = exact || pick.install;
    }
    if (exact) {
        for (const std::string& text : texts) table.SetState(text, kFeatureNotInstalled);
    }
    for (size_t i = 0; i < picks.size(); ++i)
        table.SetState(*shown[i], picks[i].install ? kFeatureInstalled : kFeatureNotInstalled);
    return std::string();
}

std::string FeatureListOf(const std::vector<std::string>& texts, const FeatureTable& table) {
    std::string installed, left;
    for (const std::string& text : texts) {
        std::string& list = table.IsDeselected(text) ? left : installed;
        list += (list.empty() ? "" : ",") + std::string(table.IsDeselected(text) ? "!" : "") + text;
    }
    return installed.empty() ? left : installed;
}

std::string ReadAnswers(const std::string& text, RecordedAnswers* answers) {
    const IniText ini(text);
    auto read = [&ini](const char* key) { return ini.Read(kSection, key, kAnswerValueSize); };
    RecordedAnswers a;
    a.userName = read("UserName");
    a.companyName = read("CompanyName");
    a.folder = read("Folder");
    a.setupType = read("SetupType");
    a.features = read("Features");
    a.language = read("Language");
    const std::string installFor = read("InstallFor");
    const std::string license = read("LicenseAccepted");
    if (EqualsIgnoreCase(installFor, "Anyone")) a.installFor = 0;
    else if (EqualsIgnoreCase(installFor, "OnlyForMe")) a.installFor = 1;
    else if (!installFor.empty()) return "InstallFor=" + installFor + " is neither Anyone nor OnlyForMe";
    if (EqualsIgnoreCase(license, "Yes")) a.licenseAccepted = true;
    else if (!license.empty() && !EqualsIgnoreCase(license, "No"))
        return "LicenseAccepted=" + license + " is neither Yes nor No";
    SetupType type;
    if (!a.setupType.empty() && !SetupTypeFromName(a.setupType, &type))
        return "the setup type \"" + a.setupType + "\" is none of Typical, Minimal, Custom";
    if (a.userName.empty() && a.companyName.empty() && a.folder.empty() && a.setupType.empty() && a.features.empty() &&
        a.language.empty() && installFor.empty() && license.empty())
        return "it holds no answers (an [Answers] section)";
    *answers = a;
    return std::string();
}

std::string WriteAnswers(const RecordedAnswers& a) {
    std::string text = std::string("[") + kSection + "]\r\n";
    auto line = [&text](const char* key, const std::string& value) {
        if (!value.empty()) text += std::string(key) + "=" + Quoted(value) + "\r\n";
    };
    line("UserName", a.userName);
    line("CompanyName", a.companyName);
    if (a.installFor >= 0) line("InstallFor", a.installFor == 0 ? "Anyone" : "OnlyForMe");
    line("Folder", a.folder);
    line("SetupType", a.setupType);
    line("Features", a.features);
    line("Language", a.language);
    line("LicenseAccepted", a.licenseAccepted ? "Yes" : "No");
    return text;
}

}  // namespace kq
