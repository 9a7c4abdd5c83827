#include "engine/directories_win.h"

#include <windows.h>
#include <aclapi.h>
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

namespace {

using SetNamedSecurityInfoFn = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);

// Looked up at run time: Windows 9x has no such function, and NT 4's would
// set the empty DACL literally (no access for anyone), as it knows no
// inheritance; only Windows 2000 and later get it.
SetNamedSecurityInfoFn InheritingSecuritySetter() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion < 5)
        return nullptr;
    HMODULE advapi = ::GetModuleHandleA("advapi32.dll");
    if (advapi == nullptr) advapi = ::LoadLibraryA("advapi32.dll");
    if (advapi == nullptr) return nullptr;
    return reinterpret_cast<SetNamedSecurityInfoFn>(::GetProcAddress(advapi, "SetNamedSecurityInfoA"));
}

bool HasPermissions() {
    return (::GetVersion() & 0x80000000u) == 0;  // the NT family
}

}  // namespace

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    SetNamedSecurityInfoFn setSecurity = InheritingSecuritySetter();
    if (setSecurity == nullptr && HasPermissions()) return false;
    if (!::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) return false;
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
