#include "base/registry_path.h"

namespace kq {
namespace {

struct RootRow {
    RegistryRoot root;
    const char* name;
};

const RootRow kRoots[] = {
    {RegistryRoot::kClassesRoot, "HKEY_CLASSES_ROOT"},   {RegistryRoot::kCurrentUser, "HKEY_CURRENT_USER"},
    {RegistryRoot::kLocalMachine, "HKEY_LOCAL_MACHINE"}, {RegistryRoot::kUsers, "HKEY_USERS"},
    {RegistryRoot::kCurrentConfig, "HKEY_CURRENT_CONFIG"},
};

std::string_view TrimBackslashes(std::string_view text) {
    while (!text.empty() && text.front() == '\\') text.remove_prefix(1);
    while (!text.empty() && text.back() == '\\') text.remove_suffix(1);
    return text;
}

}  // namespace

std::string CutRegistryText(std::string_view text) {
    return std::string(text.substr(0, kMaxRegistryText));
}

RegistryRoot RegistryRootFromName(std::string_view name) {
    for (const RootRow& row : kRoots) {
        if (name == row.name) return row.root;
    }
    return RegistryRoot::kNone;
}

const char* RegistryRootName(RegistryRoot root) {
    for (const RootRow& row : kRoots) {
        if (row.root == root) return row.name;
    }
    return "";
}

bool ParseRegistryKeyPath(std::string_view text, RegistryKeyPath* out) {
    *out = RegistryKeyPath();
    size_t slash = text.find('\\');
    RegistryRoot root = RegistryRootFromName(text.substr(0, slash));
    if (root == RegistryRoot::kNone) return false;
    out->root = root;
    if (slash != std::string_view::npos) out->subKey.assign(TrimBackslashes(text.substr(slash + 1)));
    return true;
}

bool ParseRegistryValuePath(std::string_view text, RegistryValuePath* out) {
    *out = RegistryValuePath();
    size_t first = text.find('\\');
    if (first == std::string_view::npos) return false;
    RegistryRoot root = RegistryRootFromName(text.substr(0, first));
    if (root == RegistryRoot::kNone) return false;
    size_t last = text.rfind('\\');
    std::string_view subKey = TrimBackslashes(text.substr(first + 1, last > first ? last - first - 1 : 0));
    if (subKey.empty()) return false;
    out->root = root;
    out->subKey.assign(subKey);
    out->valueName.assign(text.substr(last + 1));
    return true;
}

std::string FormatRegistryKeyPath(RegistryRoot root, std::string_view subKey) {
    std::string text = RegistryRootName(root);
    std::string_view key = TrimBackslashes(subKey);
    if (!key.empty()) {
        text += '\\';
        text.append(key);
    }
    return text;
}

std::string FormatRegistryValuePath(RegistryRoot root, std::string_view subKey, std::string_view valueName) {
    std::string text = FormatRegistryKeyPath(root, subKey);
    text += '\\';
    text.append(valueName);
    return text;
}

std::string UninstallKeyPath(std::string_view productCode) {
    std::string path = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    path.append(productCode);
    return path;
}

}  // namespace kq
