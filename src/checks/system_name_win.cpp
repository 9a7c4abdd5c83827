#include "checks/system_name_win.h"

#include <windows.h>

namespace kq {
namespace {

OsVersion QueryOsVersion() {
    OsVersion version;
    OSVERSIONINFOEXA info;
    ZeroMemory(&info, sizeof(info));
    // The 95 family and NT 4 before SP6 refuse the extended record, so ask
    // with the basic size first and only then for the extended one.
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return version;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
        GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
    }
    version.platformId = info.dwPlatformId;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    info.szCSDVersion[sizeof(info.szCSDVersion) - 1] = '\0';
    version.csdVersion = info.szCSDVersion;
    return version;
}

}  // namespace

const OsVersion& CurrentOsVersion() {
    static const OsVersion version = QueryOsVersion();
    return version;
}

const char* SystemName() { return SystemName(CurrentOsVersion()); }

}  // namespace kq
