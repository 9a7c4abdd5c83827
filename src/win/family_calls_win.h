// The file calls whose presence differs between the system families, behind
// one seam: the 9x family answers MoveFileExA with "call not implemented",
// and only Windows 2000 and later can reset a file's permissions to inherit
// from its folder. Every move that replaces a file goes through here, so a
// test can play either family on any system (Wine implements every call,
// whatever version it reports).
#pragma once
#include <windows.h>
#include <aclapi.h>

#include <string>

namespace kq {

using SetNamedSecurityInfoFn = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);

class FamilyFileCalls {
public:
    virtual ~FamilyFileCalls();
    // MoveFileExA as the running system has it.
    virtual BOOL MoveFileEx(const char* from, const char* to, DWORD flags);
    // SetNamedSecurityInfoA where it makes a file inherit from its folder
    // (Windows 2000 and later), else null.
    virtual SetNamedSecurityInfoFn InheritingSecuritySetter();
    // True on the NT family, whose files carry permissions.
    virtual bool HasPermissions();
};

// The calls in use: the running system's unless a test replaced them.
FamilyFileCalls& FileCalls();
// Puts `calls` in use (null: the running system's again); returns the ones
// it replaces.
FamilyFileCalls* ReplaceFileCalls(FamilyFileCalls* calls);

// Moves `from` over `to` within one folder's volume (a file set aside and
// back again), replacing what is there. Where MoveFileExA is missing the
// target goes first and the file is renamed into its place.
bool MoveReplacing(const std::string& from, const std::string& to);

}  // namespace kq
