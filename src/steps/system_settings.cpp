#include "steps/system_settings.h"

#include "base/safe_name.h"
#include "run/file_list.h"
#include "run/placeholders.h"

namespace kq {
namespace {

constexpr char kIniFiles[] = "INIINFO";
constexpr char kIniData[] = "INIDATA";
constexpr char kRegistryKeys[] = "REGISTRYKEYS";
constexpr char kRegistryValues[] = "REGISTRY";
constexpr char kAssociations[] = "EXTKQ";
constexpr char kEnvironment[] = "ENVIRKQ";

constexpr char kIniTreeRoot[] = "INI Files\\";
// The registry sections keep their count in a smaller buffer.
constexpr size_t kRegistryTotalSize = 20;

constexpr char kUserEnvironmentKey[] = "Environment";
constexpr char kSystemEnvironmentKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

void DropTrailingBackslashes(std::string& text) {
    while (!text.empty() && text.back() == '\\') text.pop_back();
}

// Capped like every other list's count: a damaged count would otherwise
// have the step read empty items for hours while its list grows.
int RegistryTotal(const Script& script, const char* section) {
    int total = LeadingNumber(script.Reader().Read(section, "TOTAL", kRegistryTotalSize));
    if (total < 0) return 0;
    return total > Script::kMaxListItems ? Script::kMaxListItems : total;
}

// A key path as the registry helper will use it: cut to its limit, without
// the trailing backslash the cut may leave.
std::string UsableSubKey(const std::string& subKey) {
    std::string cut = CutRegistryText(subKey);
    DropTrailingBackslashes(cut);
    return cut;
}

// `subKey` with every "ROOT\" removed: the authoring tool may write the
// root name again inside the path.
std::string WithoutRootNames(std::string subKey) {
    static const RegistryRoot kRoots[] = {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser,
                                          RegistryRoot::kLocalMachine, RegistryRoot::kUsers,
                                          RegistryRoot::kCurrentConfig};
    for (RegistryRoot root : kRoots) ReplaceAll(subKey, std::string(RegistryRootName(root)) + "\\", "");
    return subKey;
}

// One key name directly below the classes root.
bool IsClassKeyName(const std::string& name) {
    return !name.empty() && name.size() <= kMaxRegistryText && name.find('\\') == std::string::npos;
}

}  // namespace

SettingsMachine::~SettingsMachine() = default;

std::vector<IniFileItem> LoadIniFileItems(const Script& script) {
    static const ItemColumn<IniFileItem> kColumns[] = {{'A', &IniFileItem::treeName}, {'C', &IniFileItem::folder}};
    return ReadItems(script, kIniFiles, kColumns);
}

std::vector<IniEntryItem> LoadIniEntryItems(const Script& script) {
    static const ItemColumn<IniEntryItem> kColumns[] = {{'A', &IniEntryItem::treePath}, {'C', &IniEntryItem::value}};
    return ReadItems(script, kIniData, kColumns);
}

std::vector<std::string> LoadRegistryKeyItems(const Script& script) {
    std::vector<std::string> items;
    const int total = RegistryTotal(script, kRegistryKeys);
    for (int i = 0; i < total; ++i) {
        items.push_back(script.Value(kRegistryKeys, std::to_string(i).c_str()));
    }
    return items;
}

std::vector<RegistryValueItem> LoadRegistryValueItems(const Script& script) {
    using R = RegistryValueItem;
    static const ItemColumn<R> kColumns[] = {
        {'A', &R::keyPath}, {'B', &R::valueName}, {'C', &R::data}, {'D', &R::type}};
    return ReadItems(script, kRegistryValues, RegistryTotal(script, kRegistryValues), kColumns);
}

std::vector<AssociationItem> LoadAssociationItems(const Script& script) {
    using A = AssociationItem;
    static const ItemColumn<A> kColumns[] = {{'B', &A::program},     {'C', &A::extension}, {'D', &A::className},
                                             {'E', &A::description}, {'G', &A::arguments}, {'H', &A::iconFile}};
    return ReadItems(script, kAssociations, kColumns);
}

std::vector<EnvironmentItem> LoadEnvironmentItems(const Script& script) {
    using E = EnvironmentItem;
    static const ItemColumn<E> kColumns[] = {{'A', &E::name},   {'B', &E::feature}, {'C', &E::value},
                                             {'D', &E::action}, {'E', &E::mode},    {'F', &E::uninstallAction},
                                             {'G', &E::scope}};
    return ReadItems(script, kEnvironment, kColumns);
}

std::string IniFileName(const std::string& treeName) {
    std::string name = treeName;
    DropTrailingBackslashes(name);
    ReplaceAll(name, kIniTreeRoot, "");
    return name;
}

bool SplitIniTreePath(const std::string& treePath, IniEntryPlace* place) {
    *place = IniEntryPlace();
    std::string path = treePath;
    DropTrailingBackslashes(path);
    size_t first = path.find('\\');
    if (first == std::string::npos) return false;
    size_t second = path.find('\\', first + 1);
    if (second == std::string::npos) return false;
    size_t third = path.find('\\', second + 1);
    if (third == std::string::npos) return false;
    place->fileName = path.substr(first + 1, second - first - 1);
    place->section = path.substr(second + 1, third - second - 1);
    place->key = path.substr(third + 1);
    return !place->section.empty() && !place->key.empty();
}

RegistryValueKind RegistryValueKindFromText(const std::string& type) {
    if (type == "0" || type == "String") return RegistryValueKind::kString;
    if (type == "1" || type == "DWORD") return RegistryValueKind::kNumber;
    if (type == "2" || type == "Binary") return RegistryValueKind::kBinary;
    return RegistryValueKind::kUnknown;
}

bool EnvironmentKey(const std::string& scope, RegistryRoot* root, std::string* subKey) {
    if (scope == "User") {
        *root = RegistryRoot::kCurrentUser;
        *subKey = kUserEnvironmentKey;
        return true;
    }
    if (scope == "System") {
        *root = RegistryRoot::kLocalMachine;
        *subKey = kSystemEnvironmentKey;
        return true;
    }
    return false;
}

void WriteIniEntries(const Script& script, const ExpandFunction& expand, SettingsMachine& machine, UninstallLog& log) {
    struct IniFile {
        std::string name;
        std::string path;
    };
    std::vector<IniFile> table;

    for (const IniFileItem& item : LoadIniFileItems(script)) {
        std::string name = IniFileName(item.treeName);
        bool known = false;
        for (const IniFile& file : table) known = known || SameName(file.name, name);
        if (known || table.size() >= kMaxIniFiles) continue;
        std::string path = expand(item.folder + "\\" + name);
        if (!machine.IsFile(path)) log.Append(logkind::kFile, path);
        table.push_back({name, path});
    }

    for (const IniEntryItem& item : LoadIniEntryItems(script)) {
        IniEntryPlace place;
        if (!SplitIniTreePath(item.treePath, &place)) continue;
        const IniFile* target = nullptr;
        for (const IniFile& file : table) {
            if (SameName(file.name, place.fileName)) target = &file;
        }
        if (target == nullptr) continue;
        machine.WriteIniValue(target->path, place.section, place.key, item.value);
    }
}

void WriteRegistryEntries(const Script& script, const ExpandFunction& expand, SettingsMachine& machine,
                          UninstallLog& log) {
    for (const std::string& item : LoadRegistryKeyItems(script)) {
        std::string text = item;
        DropTrailingBackslashes(text);
        RegistryKeyPath key;
        if (!ParseRegistryKeyPath(expand(text), &key)) continue;
        std::string subKey = UsableSubKey(WithoutRootNames(key.subKey));
        if (subKey.empty()) continue;
        if (machine.CreateKey(key.root, subKey)) log.Append(logkind::kRegKey, FormatRegistryKeyPath(key.root, subKey));
    }

    for (const RegistryValueItem& item : LoadRegistryValueItems(script)) {
        RegistryKeyPath key;
        if (!ParseRegistryKeyPath(item.keyPath, &key)) continue;
        std::string subKey = UsableSubKey(key.subKey);
        if (subKey.empty()) continue;
        std::string name = CutRegistryText(item.valueName);
        std::string data = expand(item.data);

        bool written = false;
        switch (RegistryValueKindFromText(item.type)) {
        case RegistryValueKind::kString:
            written = machine.WriteString(key.root, subKey, name, data, false);
            break;
        case RegistryValueKind::kNumber:
            // The C library's conversion: leading digits, "12abc" is 12;
            // a negative number keeps its 32-bit pattern.
            written = machine.WriteNumber(key.root, subKey, name, static_cast<uint32_t>(LeadingNumber(data)));
            break;
        case RegistryValueKind::kBinary:
            written = machine.WriteBinaryText(key.root, subKey, name, data);
            break;
        case RegistryValueKind::kUnknown:
            break;
        }
        if (written) log.Append(logkind::kRegVal, FormatRegistryValuePath(key.root, subKey, name));
    }
}

void WriteFileAssociations(const Script& script, const ExpandFunction& expand, const SettingsContext& context,
                           SettingsMachine& machine, UninstallLog& log) {
    const RegistryRoot classes = RegistryRoot::kClassesRoot;
    for (const AssociationItem& item : LoadAssociationItems(script)) {
        if (!IsClassKeyName(item.className) || !IsClassKeyName(item.extension)) continue;
        const std::string& className = item.className;

        log.Append(logkind::kRemKey, FormatRegistryKeyPath(classes, className));
        machine.CreateKey(classes, item.extension);
        log.Append(logkind::kRemKey, FormatRegistryKeyPath(classes, item.extension));

        const std::string iconKey = UsableSubKey(className + "\\DefaultIcon");
        const std::string commandKey = UsableSubKey(className + "\\shell\\Open\\Command");
        machine.CreateKey(classes, iconKey);
        machine.CreateKey(classes, commandKey);

        machine.WriteString(classes, item.extension, "", className, false);
        machine.WriteString(classes, className, "", item.description, false);

        std::string iconName;
        const bool hasIcon = !item.iconFile.empty() && SafeLeafName(item.iconFile, &iconName);
        const std::string installedIcon = context.installDir + iconName;
        if (hasIcon) machine.WriteString(classes, iconKey, "", installedIcon, false);

        machine.WriteString(classes, commandKey, "", "\"" + expand(item.program) + "\" " + item.arguments, false);

        if (hasIcon) {
            std::string packedIcon =
                PackageSupportFile(expand("<TempFolder>" + context.workFolderName + "\\" + iconName),
                                   context.packedFileFolder,
                                   [&machine](const std::string& path) { return machine.IsFile(path); });
            if (machine.CopyFileTo(packedIcon, installedIcon)) log.Append(logkind::kFile, installedIcon);
        }
    }
}

void WriteEnvironmentVariables(const Script& script, const ExpandFunction& expand, const SettingsContext& context,
                               SettingsMachine& machine, UninstallLog& log) {
    bool changed = false;
    for (const EnvironmentItem& item : LoadEnvironmentItems(script)) {
        const std::string value = expand(item.value);
        if (!item.feature.empty() && context.featureDeselected && context.featureDeselected(item.feature)) continue;
        RegistryRoot root = RegistryRoot::kNone;
        std::string subKey;
        // A variable needs a name: an empty one would be the key's default
        // value, which is no variable at all.
        if (!EnvironmentKey(item.scope, &root, &subKey) || item.name.empty()) continue;
        const std::string name = CutRegistryText(item.name);

        bool done = false;
        bool userValueKept = false;
        if (item.action == "Remove") {
            done = machine.DeleteValue(root, subKey, name);
        } else if (item.mode == "Append") {
            std::string current;
            bool expandable = false;
            bool existed = machine.ReadString(root, subKey, name, &current, &expandable);
            userValueKept = existed && !current.empty();
            // Nothing to append to: the value alone, not ";value".
            std::string combined = userValueKept ? current + ";" + value : value;
            done = machine.WriteEnvironmentValue(root, subKey, name, combined, expandable);
        } else {
            done = machine.WriteEnvironmentValue(root, subKey, name, value, false);
        }
        changed = changed || done;

        const bool logRemoval = item.action == "Remove" || (done && !userValueKept);
        if (item.uninstallAction == "Remove" && logRemoval)
            log.Append(logkind::kRegVal, FormatRegistryValuePath(root, subKey, name));
    }
    if (changed) machine.AnnounceEnvironmentChange();
}

void ApplySystemSettings(const Script& script, const ExpandFunction& expand, const SettingsContext& context,
                         SettingsMachine& machine, UninstallLog& log) {
    WriteIniEntries(script, expand, machine, log);
    WriteRegistryEntries(script, expand, machine, log);
    WriteFileAssociations(script, expand, context, machine, log);
    WriteEnvironmentVariables(script, expand, context, machine, log);
}

}  // namespace kq
