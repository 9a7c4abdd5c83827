#include "run/eligibility.h"

#include "base/product.h"

namespace kq {
namespace {

constexpr char kAppInfo[] = "APPINFO";

// "ROOT\key\path\name" of a28: root before the first backslash, name after
// the last, key between (possibly empty). False without any backslash.
bool SplitValuePath(const std::string& text, RegistryValuePath& out) {
    const size_t first = text.find('\\');
    if (first == std::string::npos) return false;
    const size_t last = text.rfind('\\');
    out.root = RegistryRootFromName(text.substr(0, first));
    out.valueName = text.substr(last + 1);
    out.subKey = last > first ? text.substr(first + 1, last - first - 1) : std::string();
    return true;
}

}  // namespace

bool LacksRequiredRights(const Script& script, const std::string& programFilesFolder) {
    return Script::IsYes(script.Short(kAppInfo, "a7")) && programFilesFolder.empty();
}

PreviousInstallDecision DecidePreviousInstallation(const Script& script, const RegistryLookup& registry,
                                                   const std::function<std::string(const std::string&)>& expand) {
    PreviousInstallDecision decision;
    const std::string mode = script.Short(kAppInfo, "a26");
    if (mode == "New Installation") {
        if (!Script::IsYes(script.Short(kAppInfo, "a29"))) return decision;
        const std::string code = script.Value(kAppInfo, "a3");
        if (registry(RegistryRoot::kLocalMachine, UninstallKeyPath(code), "DisplayName").empty()) return decision;
        decision.removeEarlier = true;
        decision.runner = expand("<WindowsFolder>\\kqexec.exe");
        decision.arguments = expand(" \"/S\" <ProductCode>");
        return decision;
    }
    if (mode != "Upgrade") return decision;

    std::string folder;
    if (script.Short(kAppInfo, "a27") == "Auto-Detect") {
        const std::string code = script.Value(kAppInfo, "a3");
        folder = registry(RegistryRoot::kLocalMachine, UninstallKeyPath(code), "LastInstallationPath");
    } else {
        RegistryValuePath path;
        if (SplitValuePath(script.Value(kAppInfo, "a28"), path) &&
            (path.root == RegistryRoot::kLocalMachine || path.root == RegistryRoot::kCurrentUser))
            folder = registry(path.root, path.subKey, path.valueName);
    }
    if (!folder.empty()) decision.folder = WithTrailingBackslash(folder);
    return decision;
}

std::string ProductRunLockName(const std::string& productCode, bool allSessions) {
    if (productCode.empty()) return std::string();
    std::string name = std::string(allSessions ? "Global\\" : "") + kProductName + "." + productCode;
    for (size_t i = allSessions ? 7 : 0; i < name.size(); ++i)
        if (name[i] == '\\') name[i] = '_';
    return name;
}

}  // namespace kq
