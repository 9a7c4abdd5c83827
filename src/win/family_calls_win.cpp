#include "win/family_calls_win.h"

#include "win/system_library_win.h"

namespace kq {
namespace {

FamilyFileCalls g_systemCalls;
FamilyFileCalls* g_calls = &g_systemCalls;

}  // namespace

FamilyFileCalls::~FamilyFileCalls() = default;

BOOL FamilyFileCalls::MoveFileEx(const char* from, const char* to, DWORD flags) {
    return ::MoveFileExA(from, to, flags);
}

// NT 4 has the function, but it would set an empty DACL literally (no access
// for anyone), as it knows no inheritance.
SetNamedSecurityInfoFn FamilyFileCalls::InheritingSecuritySetter() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion < 5)
        return nullptr;
    return SystemProc<SetNamedSecurityInfoFn>("advapi32.dll", "SetNamedSecurityInfoA");
}

bool FamilyFileCalls::HasPermissions() {
    return (::GetVersion() & 0x80000000u) == 0;
}

FamilyFileCalls& FileCalls() {
    return *g_calls;
}

FamilyFileCalls* ReplaceFileCalls(FamilyFileCalls* calls) {
    FamilyFileCalls* previous = g_calls;
    g_calls = calls != nullptr ? calls : &g_systemCalls;
    return previous;
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    if (FileCalls().MoveFileEx(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
    ::SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(to.c_str());
    return ::MoveFileA(from.c_str(), to.c_str()) != 0;
}

}  // namespace kq
