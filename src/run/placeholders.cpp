#include "run/placeholders.h"

#include <algorithm>

namespace kq {
namespace {

struct TokenRow {
    const char* token;
    std::string PlaceholderValues::*value;
    bool frameOnly;  // the worker leaves this token alone
    const char* meaning;
};

// The order of the rows is the order of replacement, and it shows: a folder
// value holding "<ProductName>" gets the product name, a product name holding
// "<TempFolder>" keeps it.
const TokenRow kTokens[] = {
    {"<ProgramFilesFolder>", &PlaceholderValues::programFilesFolder, false, "the Program Files folder"},
    {"<SystemFolder>", &PlaceholderValues::systemFolder, false, "the system folder"},
    {"<WindowsFolder>", &PlaceholderValues::windowsFolder, false, "the Windows folder"},
    {"<CommonFilesFolder>", &PlaceholderValues::commonFilesFolder, false, "the Common Files folder"},
    {"<WindowsVolume>", &PlaceholderValues::windowsVolume, false, "the Windows drive, such as C:"},
    {"<FavoritesFolder>", &PlaceholderValues::favoritesFolder, false, "the user's Favorites folder"},
    {"<PersonalFolder>", &PlaceholderValues::personalFolder, false, "the user's documents folder"},
    {"<MyPicturesFolder>", &PlaceholderValues::picturesFolder, false, "the user's pictures folder"},
    {"<TempFolder>", &PlaceholderValues::tempFolder, false, "the temporary folder"},
    {"<SendToFolder>", &PlaceholderValues::sendToFolder, false, "the Send To folder"},
    {"<FontsFolder>", &PlaceholderValues::fontsFolder, false, "the Fonts folder"},
    {"<AppDataFolder>", &PlaceholderValues::appDataFolder, false, "the application data folder"},
    {"<ProductName>", &PlaceholderValues::productName, false, "APPINFO a1"},
    {"<InstallDir>", &PlaceholderValues::installDir, false, "the chosen install folder, with its final backslash"},
    {"<Install Dir>", &PlaceholderValues::installDir, false, "the same as <InstallDir>"},
    {"<ProductCode>", &PlaceholderValues::productCode, false, "APPINFO a3"},
    {"<USERNAME>", &PlaceholderValues::userName, true, "the user's name (pages and start-up only)"},
    {"<UserName>", &PlaceholderValues::userName, false, "the user's name"},
    {"<CompanyName>", &PlaceholderValues::companyName, false, "the company name (customer page)"},
    {"<Publisher>", &PlaceholderValues::publisher, false, "APPINFO a19"},
    {"<ProductVersion>", &PlaceholderValues::productVersion, false, "APPINFO a2"},
};

enum class Expansion { Frame, Worker };

std::string Expand(const std::string& source, const PlaceholderValues& values, Expansion kind) {
    if (source.find_first_of("<>") == std::string::npos) return source;

    std::string text = source;
    if (kind == Expansion::Frame) {
        std::replace(text.begin(), text.end(), '[', '<');
        std::replace(text.begin(), text.end(), ']', '>');
    }

    for (const TokenRow& row : kTokens) {
        if (row.frameOnly && kind == Expansion::Worker) continue;
        ReplaceAll(text, row.token, values.*row.value, kMaxExpandedLength);
    }

    if (values.variables != nullptr) {
        size_t count = std::min(values.variables->size(), kMaxUserVariables);
        for (size_t i = 0; i < count; ++i) {
            const UserVariable& variable = (*values.variables)[i];
            ReplaceAll(text, variable.name, variable.value, kMaxExpandedLength);
        }
    }

    ReplaceAll(text, "\\\\", "\\");

    if (kind == Expansion::Worker && values.defaultInstallDir != values.installDir && values.installDir != "\\" &&
        !values.defaultInstallDir.empty()) {
        std::string oldFolder = values.defaultInstallDir.substr(0, values.defaultInstallDir.size() - 1);
        ReplaceAll(text, oldFolder, values.installDir, kMaxExpandedLength);
    }
    return text;
}

}  // namespace

std::vector<PlaceholderToken> PlaceholderTokens() {
    std::vector<PlaceholderToken> tokens;
    for (const TokenRow& row : kTokens) tokens.push_back({row.token, row.meaning});
    return tokens;
}

void ReplaceAll(std::string& text, const std::string& token, const std::string& value, size_t limit) {
    if (token.empty()) return;
    size_t at = text.find(token);
    if (at == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    while (at != std::string::npos) {
        // The length the text would have with this occurrence replaced and
        // none after it.
        size_t grown = out.size() + (at - from) + value.size() + (text.size() - at - token.size());
        if (value.size() > token.size() && grown > limit) break;
        out.append(text, from, at - from);
        out += value;
        from = at + token.size();
        at = text.find(token, from);
    }
    out.append(text, from, std::string::npos);
    text.swap(out);
}

std::string ExpandScriptText(const std::string& text, const PlaceholderValues& values) {
    return Expand(text, values, Expansion::Frame);
}

std::string ExpandStepText(const std::string& text, const PlaceholderValues& values) {
    return Expand(text, values, Expansion::Worker);
}

}  // namespace kq
