#include "steps/disk_space_win.h"

#include <windows.h>

namespace kq {

bool FreeDiskBytes(const std::string& volume, uint64_t* free) {
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto freeSpaceEx =
        kernel == nullptr ? nullptr : reinterpret_cast<FreeSpaceEx>(::GetProcAddress(kernel, "GetDiskFreeSpaceExA"));
    if (freeSpaceEx != nullptr) {
        ULARGE_INTEGER available, total, totalFree;
        if (!freeSpaceEx(volume.c_str(), &available, &total, &totalFree)) return false;
        *free = available.QuadPart;
        return true;
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceA(volume.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return false;
    *free = uint64_t(freeClusters) * sectorsPerCluster * bytesPerSector;
    return true;
}

}  // namespace kq
