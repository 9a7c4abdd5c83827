// Registry paths as the setup script and the uninstall log write them: a
// root's full name, a backslash and the key path, such as
// "HKEY_LOCAL_MACHINE\Software\Vendor\Product". A value is named by the
// key's path, a backslash and the value's name ("...\Product\Version"); an
// empty name after the last backslash is the key's default value.
//
// Root names are the five full names, matched exactly (case matters, as
// the script's authoring tool always writes them in capitals).
//
// Every key path, value name and string value the registry helper writes is
// cut to kMaxRegistryText characters, here and nowhere else.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kq {

enum class RegistryRoot { kNone, kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig };

// The longest key path, value name or string value written.
constexpr size_t kMaxRegistryText = 255;

// `text` cut to kMaxRegistryText characters.
std::string CutRegistryText(std::string_view text);

// The root of a full name such as "HKEY_CURRENT_USER"; kNone for any other
// text (short forms and other spellings included).
RegistryRoot RegistryRootFromName(std::string_view name);

// "HKEY_CLASSES_ROOT" and so on; "" for kNone.
const char* RegistryRootName(RegistryRoot root);

// A key: its root and the path below it, without leading or trailing
// backslash.
struct RegistryKeyPath {
    RegistryRoot root = RegistryRoot::kNone;
    std::string subKey;
};

// A value: the key and the value's name ("" for the default value).
struct RegistryValuePath {
    RegistryRoot root = RegistryRoot::kNone;
    std::string subKey;
    std::string valueName;
};

// Splits "ROOT\key\path" (a trailing backslash is allowed) at its first
// backslash. False when the text before it is no root name; a bare root name
// gives an empty sub key.
bool ParseRegistryKeyPath(std::string_view text, RegistryKeyPath* out);

// Splits "ROOT\key\path\name": the root before the first backslash, the name
// after the last one, the key between them. False when the root is unknown
// or when there is no key between root and name.
bool ParseRegistryValuePath(std::string_view text, RegistryValuePath* out);

// "ROOT\subKey" without trailing backslash, as the log records a key.
std::string FormatRegistryKeyPath(RegistryRoot root, std::string_view subKey);

// "ROOT\subKey\name", as the log records a value.
std::string FormatRegistryValuePath(RegistryRoot root, std::string_view subKey, std::string_view valueName);

// The key under the local-machine root where a product is registered for
// removal: "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<code>".
std::string UninstallKeyPath(std::string_view productCode);

}  // namespace kq
