// The registry helper: a scoped key, and one-call operations that open a
// key, act and close it again. Key paths, value names and string values are
// cut to 255 characters (CutRegistryText) before they reach the system, so a
// value read back by the same path is the value written.
//
// Keys are named either by a root handle and a sub key, or by one text with
// the root's full name first ("HKEY_LOCAL_MACHINE\Software\Acme"); see
// base/registry_path.h. The helper reports success or failure; the install
// steps that write settings do not stop for a failure.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/no_copy.h"
#include "base/registry_path.h"

namespace kq {

// The predefined handle of `root`; null for kNone.
HKEY RootKeyHandle(RegistryRoot root);

// One open key, closed when the object goes.
class CKey : private NoCopy {
public:
    CKey() = default;
    ~CKey() { Close(); }

    // Each returns the system's error code (ERROR_SUCCESS when it worked).
    LONG Open(HKEY parent, const char* subKey, REGSAM access);
    // Opens the key, creating it and the keys above it when missing.
    // `created` (may be null) tells whether it was new.
    LONG Create(HKEY parent, const char* subKey, REGSAM access = KEY_ALL_ACCESS, bool* created = nullptr);
    void Close();

    HKEY Handle() const { return m_key; }
    operator HKEY() const { return m_key; }
    bool IsOpen() const { return m_key != nullptr; }

    // A string value (REG_SZ or REG_EXPAND_SZ, unexpanded) whole, ending at
    // its first NUL whether or not the stored data has one.
    LONG QueryString(const char* name, std::string* value) const;
    LONG QueryNumber(const char* name, uint32_t* value) const;
    // Writes a REG_SZ including its terminating zero.
    LONG SetString(const char* name, const char* value);
    LONG SetNumber(const char* name, uint32_t value);
    LONG SetBinary(const char* name, const void* data, size_t size);
    LONG DeleteValue(const char* name);

    // Numbers of sub keys and values; false when the key cannot be asked.
    bool Counts(DWORD* subKeys, DWORD* values) const;

private:
    HKEY m_key = nullptr;
};

// One-call operations. The sub key is relative to `root`.
namespace reg {

// The string value, or "" when the key, the value or its text is missing.
// The key is opened with full access, as the start-up checks expect: for a
// user without the right to change the key the value reads as "".
std::string ReadString(HKEY root, const char* subKey, const char* name);
bool ReadNumber(HKEY root, const char* subKey, const char* name, uint32_t* value);

// Writers open the key with set-value access; the key must exist.
bool WriteString(HKEY root, const char* subKey, const char* name, const char* value);
bool WriteNumber(HKEY root, const char* subKey, const char* name, uint32_t value);
bool WriteBinary(HKEY root, const char* subKey, const char* name, const void* data, size_t size);
// `text` (cut to 255 characters) and its terminating zero as binary data.
bool WriteBinaryText(HKEY root, const char* subKey, const char* name, const char* text);

// Opens the key with full access, creating it when that fails.
bool CreateKey(HKEY root, const char* subKey);
// The same for a full path such as "HKEY_CLASSES_ROOT\.nwn"; false for an
// unknown root.
bool CreateKeyFromPath(const char* fullPath);

bool KeyExists(HKEY root, const char* subKey);
bool ValueExists(HKEY root, const char* subKey, const char* name);

bool DeleteValue(HKEY root, const char* subKey, const char* name);
// Deletes the key only when it holds no sub keys and no values. True when
// it was deleted.
bool DeleteKeyIfEmpty(HKEY root, const char* subKey);
// Deletes the key with everything below it. Refuses an empty sub key (which
// would be the whole root). True when the key is gone afterwards.
bool DeleteKeyTree(HKEY root, const char* subKey);

}  // namespace reg
}  // namespace kq
