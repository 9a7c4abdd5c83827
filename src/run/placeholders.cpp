#include "run/placeholders.h"

#include <algorithm>

namespace kq {
namespace {

struct TokenRow {
    const char* token;
    std::string PlaceholderValues::*value;
    bool frameOnly;  // the worker leaves this token alone
};

// The order of the rows is the order of replacement, and it shows: a folder
// value holding "<ProductName>" gets the product name, a product name holding
// "<TempFolder>" keeps it.
const TokenRow kTokens[] = {
    {"<ProgramFilesFolder>", &PlaceholderValues::programFilesFolder, false},
    {"<SystemFolder>", &PlaceholderValues::systemFolder, false},
    {"<WindowsFolder>", &PlaceholderValues::windowsFolder, false},
    {"<CommonFilesFolder>", &PlaceholderValues::commonFilesFolder, false},
    {"<WindowsVolume>", &PlaceholderValues::windowsVolume, false},
    {"<FavoritesFolder>", &PlaceholderValues::favoritesFolder, false},
    {"<PersonalFolder>", &PlaceholderValues::personalFolder, false},
    {"<MyPicturesFolder>", &PlaceholderValues::picturesFolder, false},
    {"<TempFolder>", &PlaceholderValues::tempFolder, false},
    {"<SendToFolder>", &PlaceholderValues::sendToFolder, false},
    {"<FontsFolder>", &PlaceholderValues::fontsFolder, false},
    {"<AppDataFolder>", &PlaceholderValues::appDataFolder, false},
    {"<ProductName>", &PlaceholderValues::productName, false},
    {"<InstallDir>", &PlaceholderValues::installDir, false},
    {"<Install Dir>", &PlaceholderValues::installDir, false},
    {"<ProductCode>", &PlaceholderValues::productCode, false},
    {"<USERNAME>", &PlaceholderValues::userName, true},
    {"<UserName>", &PlaceholderValues::userName, false},
    {"<CompanyName>", &PlaceholderValues::companyName, false},
    {"<Publisher>", &PlaceholderValues::publisher, false},
    {"<ProductVersion>", &PlaceholderValues::productVersion, false},
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
