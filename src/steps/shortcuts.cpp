#include "steps/shortcuts.h"

#include "base/safe_name.h"

namespace kq {
namespace {

struct SpecialFolder {
    const char* name;  // as the location writes it
    ShortcutPlace place;
    std::string FolderValues::*folder;
    bool subfoldersCreated;
};

// Longest first, so "Start Menu\Programs Menu" is not taken for "Start Menu".
const SpecialFolder kSpecialFolders[] = {
    {"Start Menu\\Programs Menu", ShortcutPlace::kPrograms, &FolderValues::programsMenu, true},
    {"Start Menu\\StartUp", ShortcutPlace::kStartUp, &FolderValues::startupMenu, true},
    {"Start Menu", ShortcutPlace::kStartMenu, &FolderValues::startMenu, true},
    {"Desktop", ShortcutPlace::kDesktop, &FolderValues::desktop, true},
    {"Favorites", ShortcutPlace::kFavorites, &FolderValues::favorites, false},
    {"Active Desktop", ShortcutPlace::kQuickLaunch, &FolderValues::appData, false},
};

constexpr char kQuickLaunchBelowAppData[] = "\\Microsoft\\Internet Explorer\\Quick Launch";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

void DropTrailingBackslashes(std::string& text) {
    while (!text.empty() && text.back() == '\\') text.pop_back();
}

// Every doubled backslash made one, except a leading pair: a folder on a
// network share begins with two.
std::string CollapseBackslashes(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i >= 2 && out.back() == '\\') continue;
        out += path[i];
    }
    return out;
}

bool IsAbsolutePath(const std::string& path) {
    bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                 path[1] == ':' && path[2] == '\\';
    bool share = path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
    return drive || share;
}

size_t CountComponents(const std::string& path) {
    size_t count = 0;
    bool inside = false;
    for (char c : path) {
        if (c == '\\') {
            inside = false;
        } else if (!inside) {
            inside = true;
            ++count;
        }
    }
    return count;
}

std::string Cut(const std::string& text, size_t limit) {
    return text.size() <= limit ? text : text.substr(0, limit);
}

}  // namespace

ShortcutMachine::~ShortcutMachine() = default;

std::vector<ShortcutItem> LoadShortcutItems(const Script& script) {
    using S = ShortcutItem;
    static const ItemColumn<S> kColumns[] = {{'A', &S::location},    {'B', &S::name},     {'C', &S::target},
                                             {'D', &S::description}, {'E', &S::window},   {'F', &S::workingFolder},
                                             {'G', &S::arguments},   {'H', &S::iconFile}, {'I', &S::iconIndex},
                                             {'J', &S::feature}};
    return ReadItems(script, kShortcutSection, kColumns);
}

ShortcutLocation ResolveShortcutLocation(const std::string& location, const FolderValues& folders,
                                         const ExpandFunction& expand) {
    ShortcutLocation result;
    std::string tree = location;
    DropTrailingBackslashes(tree);

    const SpecialFolder* special = nullptr;
    for (const SpecialFolder& candidate : kSpecialFolders) {
        const std::string name = candidate.name;
        if (StartsWith(tree, name) && tree.size() > name.size() && tree[name.size()] == '\\') {
            special = &candidate;
            break;
        }
    }
    if (special == nullptr) return result;

    // The subfolders and the shortcut's own name; the name is the last part.
    std::string rest = tree.substr(std::char_traits<char>::length(special->name) + 1);
    const size_t restParts = CountComponents(rest);
    if (restParts == 0) return result;

    std::string base = folders.*(special->folder);
    if (base.empty()) return result;  // the system has no such folder
    if (special->place == ShortcutPlace::kQuickLaunch) base += kQuickLaunchBelowAppData;
    DropTrailingBackslashes(base);

    std::string expanded = CollapseBackslashes(base + "\\" + (expand ? expand(rest) : rest));
    size_t lastBackslash = expanded.find_last_of('\\');
    std::string folder = expanded.substr(0, lastBackslash + 1);
    if (!IsAbsolutePath(folder)) return result;

    result.place = special->place;
    result.folder = folder;
    result.createFolder = special->subfoldersCreated && restParts >= 2;
    return result;
}

ShortcutShow ShortcutShowFromText(const std::string& window) {
    if (window == "Maximized") return ShortcutShow::kMaximized;
    if (window == "Minimized") return ShortcutShow::kMinimized;
    return ShortcutShow::kNormal;
}

bool IsWebShortcutTarget(const std::string& target) {
    for (const char* scheme : {"http://", "https://", "HTTP://", "HTTPS://"}) {
        if (StartsWith(target, scheme)) return true;
    }
    return false;
}

void CreateShortcuts(const Script& script, const ExpandFunction& expand, const ShortcutContext& context,
                     ShortcutMachine& machine, UninstallLog& log) {
    for (const ShortcutItem& item : LoadShortcutItems(script)) {
        if (!item.feature.empty() && context.featureDeselected && context.featureDeselected(item.feature)) continue;

        ShortcutLocation where = ResolveShortcutLocation(item.location, context.folders, expand);
        if (where.folder.empty()) continue;
        // The name becomes one file name inside the shortcut folder; a name
        // with a path in it would put the shortcut somewhere else.
        const std::string name = expand(item.name);
        if (!IsSafeLeafName(name) || !IsSafeLeafName(name + ".lnk")) continue;

        if (where.createFolder) {
            std::string folder = where.folder;
            DropTrailingBackslashes(folder);
            machine.CreateFolderPath(folder);
            log.Append(logkind::kDir, folder);
        }

        if (IsWebShortcutTarget(item.target)) {
            std::string path = where.folder + name + ".url";
            if (path.size() <= kMaxShortcutPath && machine.CreateInternetShortcut(item.target, path))
                log.Append(logkind::kShortcut, path);
        }

        ShellLinkSpec link;
        link.linkPath = where.folder + name + ".lnk";
        link.target = expand(item.target);
        link.workingFolder = expand(item.workingFolder);
        link.arguments = Cut(expand(item.arguments), kMaxShortcutText);
        link.description = Cut(expand(item.description), kMaxShortcutText);
        link.show = ShortcutShowFromText(item.window);
        link.iconIndex = LeadingNumber(item.iconIndex);

        if (link.linkPath.size() > kMaxShortcutPath || link.target.size() > kMaxShortcutPath ||
            link.workingFolder.size() > kMaxShortcutPath)
            continue;

        std::string iconName;
        if (!item.iconFile.empty() && SafeLeafName(item.iconFile, &iconName)) {
            const std::string packed = context.packedFolder + iconName;
            const std::string installed = context.installDir + iconName;
            if (installed.size() <= kMaxShortcutPath && machine.IsFile(packed) &&
                machine.CopyFileTo(packed, installed)) {
                log.Append(logkind::kFile, installed);
                link.iconPath = installed;
            }
        }

        if (machine.CreateShellLink(link)) log.Append(logkind::kShortcut, link.linkPath);
    }
}

}  // namespace kq
