#include "win/registry_win.h"

#include <vector>

namespace kq {
namespace {

// The texts handed to the system, each cut to the registry helper's limit.
struct CutText {
    explicit CutText(const char* text) : value(CutRegistryText(text != nullptr ? text : "")) {}
    const char* c_str() const { return value.c_str(); }
    std::string value;
};

// Deep enough for any real key; stops a loop through a key that cannot be
// deleted from recursing without end.
constexpr int kMaxTreeDepth = 512;

// Deletes `name` below the open key `parent`, children first. Children are
// opened relative to their parent, so no path longer than one name is ever
// built (the helper's 255-character cut would change a long one).
bool DeleteTree(HKEY parent, const std::string& name, int depth) {
    if (depth > kMaxTreeDepth) return false;
    {
        CKey key;
        LONG result = key.Open(parent, name.c_str(), KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE);
        if (result == ERROR_FILE_NOT_FOUND) return true;
        if (result != ERROR_SUCCESS) return false;
        // Children are gathered first: deleting while enumerating shifts the
        // indexes under the enumeration.
        std::vector<std::string> children;
        for (DWORD index = 0;; ++index) {
            char child[256];
            DWORD length = sizeof(child);
            LONG found = ::RegEnumKeyExA(key, index, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (found == ERROR_NO_MORE_ITEMS) break;
            if (found != ERROR_SUCCESS) return false;
            children.emplace_back(child, length);
        }
        for (const std::string& child : children) {
            if (!DeleteTree(key, child, depth + 1)) return false;
        }
    }
    LONG result = ::RegDeleteKeyA(parent, name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace

HKEY RootKeyHandle(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::kCurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
        case RegistryRoot::kUsers: return HKEY_USERS;
        case RegistryRoot::kCurrentConfig: return HKEY_CURRENT_CONFIG;
        case RegistryRoot::kNone: break;
    }
    return nullptr;
}

LONG CKey::Open(HKEY parent, const char* subKey, REGSAM access) {
    Close();
    if (parent == nullptr) return ERROR_INVALID_HANDLE;
    CutText path(subKey);
    return ::RegOpenKeyExA(parent, path.c_str(), 0, access, &m_key);
}

LONG CKey::Create(HKEY parent, const char* subKey, REGSAM access, bool* created) {
    Close();
    if (created != nullptr) *created = false;
    if (parent == nullptr) return ERROR_INVALID_HANDLE;
    CutText path(subKey);
    DWORD disposition = 0;
    char emptyClass[] = "";
    LONG result = ::RegCreateKeyExA(parent, path.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE, access, nullptr,
                                    &m_key, &disposition);
    if (result != ERROR_SUCCESS) m_key = nullptr;
    if (result == ERROR_SUCCESS && created != nullptr) *created = disposition == REG_CREATED_NEW_KEY;
    return result;
}

void CKey::Close() {
    if (m_key != nullptr) {
        ::RegCloseKey(m_key);
        m_key = nullptr;
    }
}

LONG CKey::QueryString(const char* name, std::string* value) const {
    value->clear();
    CutText valueName(name);
    // The size is asked first and the data read into one byte more, so text
    // stored without its terminating zero still ends inside the buffer. A
    // value that grows between the two calls is asked again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LONG result = ::RegQueryValueExA(m_key, valueName.c_str(), nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS) return result;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
        std::vector<char> data(size_t(size) + 1, '\0');
        DWORD got = size;
        result = ::RegQueryValueExA(m_key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                    &got);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) return result;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
        size_t length = got < size ? got : size;
        size_t end = 0;
        while (end < length && data[end] != '\0') ++end;
        value->assign(data.data(), end);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

LONG CKey::QueryNumber(const char* name, uint32_t* value) const {
    CutText valueName(name);
    DWORD type = 0;
    DWORD number = 0;
    DWORD size = sizeof(number);
    LONG result =
        ::RegQueryValueExA(m_key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_DWORD || size != sizeof(number)) return ERROR_INVALID_DATA;
    *value = number;
    return ERROR_SUCCESS;
}

LONG CKey::SetString(const char* name, const char* value) {
    CutText valueName(name);
    CutText data(value);
    return ::RegSetValueExA(m_key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.value.size() + 1));
}

LONG CKey::SetNumber(const char* name, uint32_t value) {
    CutText valueName(name);
    DWORD number = value;
    return ::RegSetValueExA(m_key, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof(number));
}

LONG CKey::SetBinary(const char* name, const void* data, size_t size) {
    CutText valueName(name);
    if (size > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
    return ::RegSetValueExA(m_key, valueName.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(data),
                            static_cast<DWORD>(size));
}

LONG CKey::DeleteValue(const char* name) {
    CutText valueName(name);
    return ::RegDeleteValueA(m_key, valueName.c_str());
}

bool CKey::Counts(DWORD* subKeys, DWORD* values) const {
    return ::RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr, values, nullptr, nullptr,
                              nullptr, nullptr) == ERROR_SUCCESS;
}

namespace reg {

std::string ReadString(HKEY root, const char* subKey, const char* name) {
    CKey key;
    std::string value;
    if (key.Open(root, subKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return value;
    if (key.QueryString(name, &value) != ERROR_SUCCESS) value.clear();
    return value;
}

bool ReadNumber(HKEY root, const char* subKey, const char* name, uint32_t* value) {
    CKey key;
    return key.Open(root, subKey, KEY_QUERY_VALUE) == ERROR_SUCCESS && key.QueryNumber(name, value) == ERROR_SUCCESS;
}

bool WriteString(HKEY root, const char* subKey, const char* name, const char* value) {
    CKey key;
    return key.Open(root, subKey, KEY_SET_VALUE) == ERROR_SUCCESS && key.SetString(name, value) == ERROR_SUCCESS;
}

bool WriteNumber(HKEY root, const char* subKey, const char* name, uint32_t value) {
    CKey key;
    return key.Open(root, subKey, KEY_SET_VALUE) == ERROR_SUCCESS && key.SetNumber(name, value) == ERROR_SUCCESS;
}

bool WriteBinary(HKEY root, const char* subKey, const char* name, const void* data, size_t size) {
    CKey key;
    return key.Open(root, subKey, KEY_SET_VALUE) == ERROR_SUCCESS &&
           key.SetBinary(name, data, size) == ERROR_SUCCESS;
}

bool WriteBinaryText(HKEY root, const char* subKey, const char* name, const char* text) {
    CutText data(text);
    return WriteBinary(root, subKey, name, data.c_str(), data.value.size() + 1);
}

bool CreateKey(HKEY root, const char* subKey) {
    CKey key;
    if (key.Open(root, subKey, KEY_ALL_ACCESS) == ERROR_SUCCESS) return true;
    return key.Create(root, subKey) == ERROR_SUCCESS;
}

bool CreateKeyFromPath(const char* fullPath) {
    RegistryKeyPath path;
    if (fullPath == nullptr || !ParseRegistryKeyPath(fullPath, &path) || path.subKey.empty()) return false;
    return CreateKey(RootKeyHandle(path.root), path.subKey.c_str());
}

bool KeyExists(HKEY root, const char* subKey) {
    CKey key;
    return key.Open(root, subKey, KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const char* subKey, const char* name) {
    CKey key;
    if (key.Open(root, subKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
    CutText valueName(name);
    return ::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool DeleteValue(HKEY root, const char* subKey, const char* name) {
    CKey key;
    return key.Open(root, subKey, KEY_SET_VALUE) == ERROR_SUCCESS && key.DeleteValue(name) == ERROR_SUCCESS;
}

bool DeleteKeyIfEmpty(HKEY root, const char* subKey) {
    CutText path(subKey);
    if (path.value.empty()) return false;
    // Checked here rather than left to the system: Windows 9x deletes a key
    // with everything below it.
    {
        CKey key;
        if (key.Open(root, path.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
        DWORD subKeys = 0;
        DWORD values = 0;
        if (!key.Counts(&subKeys, &values) || subKeys != 0 || values != 0) return false;
    }
    return ::RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

bool DeleteKeyTree(HKEY root, const char* subKey) {
    CutText path(subKey);
    while (!path.value.empty() && path.value.back() == '\\') path.value.pop_back();
    if (root == nullptr || path.value.empty() || path.value.front() == '\\') return false;
    return DeleteTree(root, path.value, 0);
}

}  // namespace reg
}  // namespace kq
