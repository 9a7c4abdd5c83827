// Process entry point of setup.exe.
#include <windows.h>

#include "app/app_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kq::CSetupApp app;
    if (!app.InitInstance()) return 1;
    return app.Run();
}
