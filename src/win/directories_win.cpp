#include "win/directories_win.h"

#include <windows.h>
#include <aclapi.h>

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

namespace {

// Deeper than any folder setup makes; a loop of links ends here.
constexpr int kMaxFolderDepth = 64;

bool DeleteTree(const std::string& folder, int depth) {
    if (depth > kMaxFolderDepth) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            // Setup may have copied a file read-only from its medium.
            if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                ::DeleteFileA(path.c_str());
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A junction points elsewhere: the link goes, not what it
                // points to.
                ::RemoveDirectoryA(path.c_str());
            } else {
                DeleteTree(path, depth + 1);
            }
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    return ::RemoveDirectoryA(folder.c_str()) != 0 || !PathExists(folder);
}

}  // namespace

bool DeleteFolderTree(const std::string& folder, const std::string& stepOutTo) {
    std::string path = folder;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    // Never a whole drive.
    if (path.size() <= 3) return false;
    if (!PathExists(path)) return true;

    char current[MAX_PATH];
    DWORD n = ::GetCurrentDirectoryA(sizeof(current), current);
    if (n > 0 && n < sizeof(current) && _strnicmp(current, path.c_str(), path.size()) == 0 &&
        (current[path.size()] == '\0' || current[path.size()] == '\\'))
        ::SetCurrentDirectoryA(stepOutTo.c_str());
    return DeleteTree(path, 0);
}

}  // namespace kq
