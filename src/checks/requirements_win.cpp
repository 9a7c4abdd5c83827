#include "checks/requirements_win.h"

#include <windows.h>

#include "checks/processor.h"
#include "checks/system_name_win.h"

namespace kq {

OsVersion CMachineFacts::Version() const {
    return CurrentOsVersion();
}

uint64_t CMachineFacts::TotalPhysicalMemory() const {
    // The plain query, as the 9x family has no other; it reports at most
    // what a 32-bit program can address, which no requirement exceeds.
    MEMORYSTATUS status;
    ZeroMemory(&status, sizeof(status));
    status.dwLength = sizeof(status);
    ::GlobalMemoryStatus(&status);
    return status.dwTotalPhys;
}

int CMachineFacts::ScreenWidth() const {
    return ::GetSystemMetrics(SM_CXSCREEN);
}

int CMachineFacts::ScreenHeight() const {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

int CMachineFacts::BitsPerPixel() const {
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) return 0;
    int bits = ::GetDeviceCaps(screen, BITSPIXEL);
    ::ReleaseDC(nullptr, screen);
    return bits;
}

bool CMachineFacts::ProcessorName(std::string& name) const {
    CProcessor processor;
    if (!processor.Identify()) return false;
    name = processor.Name();
    return true;
}

}  // namespace kq
