#include "steps/uninstall_registration_win.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "base/file_win.h"
#include "steps/version_rule_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

// The shell's file operations take lists ended by an empty name.
std::vector<char> DoubleTerminated(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    std::vector<char> list(path.begin(), path.end());
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

}  // namespace

bool CWinRegistrationMachine::IsFile(const std::string& path) {
    return FileExists(path);
}

bool CWinRegistrationMachine::CopyFileTo(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::string CWinRegistrationMachine::FileVersion(const std::string& path) {
    return FileVersionText(path.c_str());
}

bool CWinRegistrationMachine::CopyFolderInto(const std::string& folder, const std::string& destination) {
    if (!DirectoryExists(folder)) return false;
    std::vector<char> from = DoubleTerminated(folder);
    std::vector<char> to = DoubleTerminated(destination);
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_COPY;
    operation.pFrom = from.data();
    operation.pTo = to.data();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_SILENT | FOF_NOERRORUI;
    return ::SHFileOperationA(&operation) == 0 && !operation.fAnyOperationsAborted;
}

std::string CWinRegistrationMachine::CurrentDirectory() {
    DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return std::string();
    std::vector<char> buffer(needed + 1, '\0');
    DWORD length = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return std::string();
    return std::string(buffer.data(), length);
}

bool CWinRegistrationMachine::CreateMachineKey(const std::string& subKey) {
    return reg::CreateKey(HKEY_LOCAL_MACHINE, subKey.c_str());
}

bool CWinRegistrationMachine::WriteMachineValue(const std::string& subKey, const UninstallValue& value) {
    if (value.type == UninstallValue::Type::kNumber) {
        return reg::WriteNumber(HKEY_LOCAL_MACHINE, subKey.c_str(), value.name.c_str(), value.number);
    }
    return reg::WriteString(HKEY_LOCAL_MACHINE, subKey.c_str(), value.name.c_str(), value.text.c_str());
}

}  // namespace kq
