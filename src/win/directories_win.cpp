#include "win/directories_win.h"

#include <windows.h>
#include <aclapi.h>
#include <shellapi.h>

#include "base/file_win.h"
#include "win/family_calls_win.h"

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

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    FamilyFileCalls& calls = FileCalls();
    SetNamedSecurityInfoFn setSecurity = calls.InheritingSecuritySetter();
    if (setSecurity == nullptr && calls.HasPermissions()) {
        // NT 4: a copy has the permissions a file made in its folder gets.
        if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) return false;
        ::DeleteFileA(from.c_str());
        return true;
    }
    if (!calls.MoveFileEx(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        // The 9x family has no MoveFileExA, and no permissions to keep.
        return ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && MoveReplacing(from, to);
    }
    if (setSecurity != nullptr) {
        // An empty DACL that is not protected: the entries inherited from the
        // new folder become the whole of it. A volume without permissions
        // (FAT) refuses, and has nothing to reset.
        ACL empty = {};
        empty.AclRevision = ACL_REVISION;
        empty.AclSize = sizeof(empty);
        std::string path = to;
        setSecurity(&path[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                    nullptr, nullptr, &empty, nullptr);
    }
    return true;
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
