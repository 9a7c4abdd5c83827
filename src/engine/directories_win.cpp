#include "engine/directories_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/file_win.h"

namespace kq {

CreateDirResult CreateOneDirectory(const std::string& path) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return CreateDirResult::Created;
    switch (::GetLastError()) {
    case ERROR_ALREADY_EXISTS:
        return CreateDirResult::Exists;
    case ERROR_PATH_NOT_FOUND:
        return CreateDirResult::ParentMissing;
    default:
        return CreateDirResult::Failed;
    }
}

bool CreateDirectoryPath(const std::string& path) {
    return CreateDirectoryPath(path, CreateOneDirectory);
}

void DeleteFolderTree(const std::string& folder, const std::string& stepOutTo) {
    if (!PathExists(folder)) return;

    char current[MAX_PATH];
    DWORD n = ::GetCurrentDirectoryA(sizeof(current), current);
    if (n > 0 && n < sizeof(current) && _strnicmp(current, folder.c_str(), folder.size()) == 0 &&
        (current[folder.size()] == '\0' || current[folder.size()] == '\\'))
        ::SetCurrentDirectoryA(stepOutTo.c_str());

    std::string from = folder;
    from.push_back('\0');  // the shell wants a double-terminated list
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationA(&op);
}

}  // namespace kq
