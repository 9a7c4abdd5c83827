// The product's system settings, applied by the install worker in this
// order: INI entries, registry keys and values, file associations,
// environment variables. Every change the uninstaller must undo is logged.
// None of the steps reports a failure: a setting that cannot be written is
// missing, and the run goes on.
//
// Sections of the setup script (item keys count from 0; ordinary values):
//
//   INIINFO       "TOTAL" (short); "A%i" the file as the authoring tool's
//                 tree shows it, "INI Files\<file name>"; "C%i" its folder,
//                 placeholders allowed
//   INIDATA       "TOTAL" (short); "A%i" "INI Files\<file>\<section>\<key>"
//                 (the key may itself hold backslashes); "C%i" the value,
//                 written as it is
//   REGISTRYKEYS  "TOTAL" (read into 20 characters, at most
//                 Script::kMaxListItems); "%i" (the bare index)
//                 a key: a root's full name, a backslash, the key path, an
//                 optional trailing backslash; placeholders allowed
//   REGISTRY      "TOTAL" (20 characters); "A%i" the key as root name and
//                 path ending with a backslash; "B%i" the value's name; "C%i"
//                 the data, placeholders allowed; "D%i" the type: "0" or
//                 "String", "1" or "DWORD" (the data's leading decimal
//                 number: "12abc" is 12), "2" or "Binary" (the data's bytes
//                 and its terminating zero: "AB" is 41 42 00)
//   EXTKQ         "TOTAL" (short); "B%i" program (placeholders allowed),
//                 "C%i" extension (".nwn"), "D%i" class name, "E%i"
//                 description, "G%i" arguments, "H%i" icon file shipped in
//                 the package
//   ENVIRKQ       "TOTAL" (short); "A%i" name, "B%i" feature, "C%i" value
//                 (placeholders allowed), "D%i" "Remove" deletes the
//                 variable, anything else sets it; "E%i" "Append" adds
//                 ";value" to the present value (just "value" when the
//                 variable is missing or empty); "F%i" "Remove" has the
//                 uninstaller delete the variable; "G%i" "User" or "System"
//
// Every key path, value name and string value reaching the registry is cut
// to kMaxRegistryText characters (registry_path.h), environment values
// excepted; the log names the key
// or value as it was cut, so the uninstaller finds what was written.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/registry_path.h"
#include "record/uninstall_log.h"
#include "run/script.h"
#include "run/settings.h"

namespace kq {

// The INI file table holds at most this many files; INIINFO items past it
// are ignored, and so are the entries meant for them.
constexpr size_t kMaxIniFiles = 50;

struct IniFileItem {
    std::string treeName;  // A
    std::string folder;    // C
};

struct IniEntryItem {
    std::string treePath;  // A
    std::string value;     // C
};

struct RegistryValueItem {
    std::string keyPath;    // A
    std::string valueName;  // B
    std::string data;       // C
    std::string type;       // D
};

struct AssociationItem {
    std::string program;      // B
    std::string extension;    // C
    std::string className;    // D
    std::string description;  // E
    std::string arguments;    // G
    std::string iconFile;     // H
};

struct EnvironmentItem {
    std::string name;             // A
    std::string feature;          // B
    std::string value;            // C
    std::string action;           // D
    std::string mode;             // E
    std::string uninstallAction;  // F
    std::string scope;            // G
};

std::vector<IniFileItem> LoadIniFileItems(const Script& script);
std::vector<IniEntryItem> LoadIniEntryItems(const Script& script);
std::vector<std::string> LoadRegistryKeyItems(const Script& script);
std::vector<RegistryValueItem> LoadRegistryValueItems(const Script& script);
std::vector<AssociationItem> LoadAssociationItems(const Script& script);
std::vector<EnvironmentItem> LoadEnvironmentItems(const Script& script);

// The INI file's name from its tree name: a trailing backslash dropped and
// "INI Files\" removed.
std::string IniFileName(const std::string& treeName);

// An INIDATA tree path split into the file name (second component), the
// section (third) and the key (the rest, a trailing backslash dropped).
// False when the section or the key is empty: the system's profile writer
// would take a missing key for "delete the whole section".
struct IniEntryPlace {
    std::string fileName;
    std::string section;
    std::string key;
};
bool SplitIniTreePath(const std::string& treePath, IniEntryPlace* place);

enum class RegistryValueKind { kUnknown, kString, kNumber, kBinary };
RegistryValueKind RegistryValueKindFromText(const std::string& type);

// The key an environment variable lives in for a scope ("User" or
// "System"); false for any other scope.
bool EnvironmentKey(const std::string& scope, RegistryRoot* root, std::string* subKey);

// The machine as the settings steps see it.
class SettingsMachine {
public:
    virtual ~SettingsMachine();
    virtual bool IsFile(const std::string& path) = 0;
    virtual bool CopyFileTo(const std::string& from, const std::string& to) = 0;
    // Writes one INI entry, creating the file when it does not exist.
    virtual bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value) = 0;
    // Opens the key, creating it (with its missing parents) when it cannot
    // be opened.
    virtual bool CreateKey(RegistryRoot root, const std::string& subKey) = 0;
    // Writers open an existing key; they never create one. A string is
    // written with its terminating zero; `expandable` keeps the type of a
    // value that holds %references%.
    virtual bool WriteString(RegistryRoot root, const std::string& subKey, const std::string& name,
                             const std::string& value, bool expandable) = 0;
    virtual bool WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name,
                             uint32_t value) = 0;
    // The text's bytes and its terminating zero, as binary data.
    virtual bool WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                                 const std::string& text) = 0;
    // An environment variable's value, written whole (never cut to
    // kMaxRegistryText): a PATH is routinely longer.
    virtual bool WriteEnvironmentValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                                       const std::string& value, bool expandable) = 0;
    // The string value; false when the key or the value is missing (or is
    // no string). `expandable` tells whether it is stored as one.
    virtual bool ReadString(RegistryRoot root, const std::string& subKey, const std::string& name,
                            std::string* value, bool* expandable) = 0;
    virtual bool DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) = 0;
    // Tells running programs that the environment changed.
    virtual void AnnounceEnvironmentChange() = 0;
};

// The run values the settings steps read.
struct SettingsContext {
    std::string installDir;      // the chosen install folder, trailing backslash
    std::string workFolderName;  // the working folder's name ("kq142305-0123456789abcdef")
    std::string packedFileFolder;  // where the packed files are read; trailing backslash
    // True when the named feature is known and not to be installed; may be
    // empty (every feature is installed).
    std::function<bool(const std::string&)> featureDeselected;
};

// INI entries. Each INIINFO item adds its file, "<folder>\<name>" expanded,
// to the INI file table (a name already there, compared without regard to
// case, is not added again). A file that does not exist yet is logged as
// "FILE", since setup creates it; one that exists (win.ini, a file of the
// product's own) is not, so that the uninstaller does not delete what setup
// only added lines to. Each INIDATA item is written into the table's file
// whose name is the item's second component; an item naming no file of the
// table is skipped. (Matching the whole component, not a substring, keeps
// "data.ini" from taking the entries of "mydata.ini".)
void WriteIniEntries(const Script& script, const ExpandFunction& expand, SettingsMachine& machine, UninstallLog& log);

// Registry keys, then values. A key is created under the root its path
// begins with (root names elsewhere in the path are removed, as the
// authoring tool may repeat them) and logged as "REGKEY" when it exists
// afterwards. A value is written only into an existing key and logged as
// "REGVAL" ("ROOT\key\name") when written. Items without a known root, or
// naming a root itself, are skipped: nothing the uninstaller could undo is
// written there.
void WriteRegistryEntries(const Script& script, const ExpandFunction& expand, SettingsMachine& machine,
                          UninstallLog& log);

// File associations under the classes root: per item, "REMKEY" for the
// class, the extension key created and logged as "REMKEY", the class's
// "DefaultIcon" and "shell\Open\Command" keys, the extension's default value
// (the class), the class's (the description), the icon's (the installed
// icon, when the item names one) and the command's ("\"program\" arguments").
// The icon is copied from the working folder (or, for a disk image, the
// packed files: PackageSupportFile) into the install folder and
// logged as "FILE". An item whose class or extension is empty or not one key
// name is skipped, as it would write into the classes root itself.
void WriteFileAssociations(const Script& script, const ExpandFunction& expand, const SettingsContext& context,
                           SettingsMachine& machine, UninstallLog& log);

// Environment variables of the user ("Environment" under the current user)
// or the system (the session manager's "Environment" key under the local
// machine). "Append" keeps the present value first and its stored type.
// Environment values are written whole, never cut to kMaxRegistryText: a
// PATH is routinely longer, and cutting it would cut the user's own part. "REGVAL" is logged for an
// uninstall action "Remove", except for an append to a variable that
// already had a value: removing that would take the user's value along.
void WriteEnvironmentVariables(const Script& script, const ExpandFunction& expand, const SettingsContext& context,
                               SettingsMachine& machine, UninstallLog& log);

// The whole worker step: the four above, in order.
void ApplySystemSettings(const Script& script, const ExpandFunction& expand, const SettingsContext& context,
                         SettingsMachine& machine, UninstallLog& log);

}  // namespace kq
