#include "steps/system_settings_win.h"

#include <windows.h>

#include "base/file_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

// A program that does not answer the settings broadcast this fast is left
// behind; the values are in the registry either way.
constexpr UINT kBroadcastTimeoutMs = 2000;

}  // namespace

bool CWinSettingsMachine::IsFile(const std::string& path) {
    return FileExists(path);
}

bool CWinSettingsMachine::CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileOver(from, to);
}

bool CWinSettingsMachine::WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                                        const std::string& value) {
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

bool CWinSettingsMachine::CreateKey(RegistryRoot root, const std::string& subKey) {
    return reg::CreateKey(RootKeyHandle(root), subKey.c_str());
}

bool CWinSettingsMachine::WriteString(RegistryRoot root, const std::string& subKey, const std::string& name,
                                      const std::string& value, bool expandable) {
    if (!expandable) return reg::WriteString(RootKeyHandle(root), subKey.c_str(), name.c_str(), value.c_str());
    // The helper writes plain strings only; an expandable one goes through
    // its key with the same cut.
    CKey key;
    if (key.Open(RootKeyHandle(root), subKey.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS) return false;
    std::string valueName = CutRegistryText(name);
    std::string data = CutRegistryText(value);
    return ::RegSetValueExA(key, valueName.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool CWinSettingsMachine::WriteEnvironmentValue(RegistryRoot root, const std::string& subKey,
                                                const std::string& name, const std::string& value, bool expandable) {
    CKey key;
    if (key.Open(RootKeyHandle(root), subKey.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS) return false;
    std::string valueName = CutRegistryText(name);
    return ::RegSetValueExA(key, valueName.c_str(), 0, expandable ? REG_EXPAND_SZ : REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool CWinSettingsMachine::WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name,
                                      uint32_t value) {
    return reg::WriteNumber(RootKeyHandle(root), subKey.c_str(), name.c_str(), value);
}

bool CWinSettingsMachine::WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                                          const std::string& text) {
    return reg::WriteBinaryText(RootKeyHandle(root), subKey.c_str(), name.c_str(), text.c_str());
}

bool CWinSettingsMachine::ReadString(RegistryRoot root, const std::string& subKey, const std::string& name,
                                     std::string* value, bool* expandable) {
    value->clear();
    *expandable = false;
    CKey key;
    if (key.Open(RootKeyHandle(root), subKey.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
    std::string valueName = CutRegistryText(name);
    DWORD type = 0;
    if (::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) return false;
    if (key.QueryString(valueName.c_str(), value) != ERROR_SUCCESS) return false;
    *expandable = type == REG_EXPAND_SZ;
    return true;
}

bool CWinSettingsMachine::DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) {
    return reg::DeleteValue(RootKeyHandle(root), subKey.c_str(), name.c_str());
}

void CWinSettingsMachine::AnnounceEnvironmentChange() {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"),
                          SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &result);
}

}  // namespace kq
