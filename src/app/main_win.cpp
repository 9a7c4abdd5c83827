// Process entry point of setup.exe.
#include <windows.h>

#include "app/app_win.h"
#include "win/system_library_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: the program's folder may be a download
    // folder with anything in it.
    kq::RestrictDllSearchToSystemFolder();
    kq::CSetupApp app;
    if (!app.InitInstance()) return 1;
    return app.Run();
}
