// The machine that uninstall registration acts on: files through the
// system's copy functions and the shell's folder copy, the registry through
// the registry helper (local-machine root).
#pragma once
#include <string>

#include "steps/uninstall_registration.h"

namespace kq {

class CWinRegistrationMachine : public RegistrationMachine {
public:
    bool IsFile(const std::string& path) override;
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    std::string FileVersion(const std::string& path) override;
    bool CopyFolderInto(const std::string& folder, const std::string& destination) override;
    std::string CurrentDirectory() override;
    bool CreateMachineKey(const std::string& subKey) override;
    bool WriteMachineValue(const std::string& subKey, const UninstallValue& value) override;
};

}  // namespace kq
