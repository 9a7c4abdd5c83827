// The settings steps' machine: INI entries through the system's profile
// writer, the registry through the registry helper (win/registry_win.h) and
// its 255-character cut, files through the system's copy function.
#pragma once
#include <string>

#include "steps/system_settings.h"

namespace kq {

class CWinSettingsMachine : public SettingsMachine {
public:
    bool IsFile(const std::string& path) override;
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) override;
    bool CreateKey(RegistryRoot root, const std::string& subKey) override;
    bool WriteString(RegistryRoot root, const std::string& subKey, const std::string& name, const std::string& value,
                     bool expandable) override;
    bool WriteNumber(RegistryRoot root, const std::string& subKey, const std::string& name, uint32_t value) override;
    bool WriteBinaryText(RegistryRoot root, const std::string& subKey, const std::string& name,
                         const std::string& text) override;
    bool WriteEnvironmentValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                               const std::string& value, bool expandable) override;
    bool ReadString(RegistryRoot root, const std::string& subKey, const std::string& name, std::string* value,
                    bool* expandable) override;
    bool DeleteValue(RegistryRoot root, const std::string& subKey, const std::string& name) override;
    void AnnounceEnvironmentChange() override;
};

}  // namespace kq
