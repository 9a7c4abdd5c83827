#include "app/app_win.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/command_line_win.h"
#include "app/main_frame_win.h"
#include "win/system_library_win.h"

namespace kq {

CSetupApp::CSetupApp() = default;

// WS2_32 and COMCTL32 are not protected as known DLLs on every supported
// Windows, so they are bound at run time from the system folder (see
// system_library_win.h) rather than through the import table.

CSetupApp::~CSetupApp() {
    if (m_oleUp) ::OleUninitialize();
    if (m_socketsUp) {
        auto cleanup = SystemProc<decltype(&::WSACleanup)>("ws2_32.dll", "WSACleanup");
        if (cleanup != nullptr) cleanup();
    }
}

bool CSetupApp::InitInstance() {
    // A run without windows says nothing here either: its exit code does.
    const bool silent = CommandLineIsSilent();
    WSADATA wsa;
    auto startup = SystemProc<decltype(&::WSAStartup)>("ws2_32.dll", "WSAStartup");
    if (startup == nullptr || startup(MAKEWORD(1, 1), &wsa) != 0) {
        if (!silent) ::MessageBoxA(nullptr, "Windows sockets initialization failed.", kAppCaption, MB_OK);
        return false;
    }
    m_socketsUp = true;

    // Rich-text controls need their library; a missing one only disables
    // them, and the user is told so at once. A silent run has nobody to
    // tell: its pages load the library only if one has such a control.
    if (!silent && LoadSystemLibrary("riched32.dll") == nullptr)
        ::MessageBoxA(nullptr, "Can't load RICHTEXT library.", kAppCaption, MB_OK | MB_ICONEXCLAMATION);

    // Control hosting and picture loading go through OLE; the common controls
    // give the progress bar, tree view and combo box classes.
    m_oleUp = SUCCEEDED(::OleInitialize(nullptr));
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES};
    auto init = SystemProc<decltype(&::InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx");
    if (init != nullptr) init(&icc);

    m_mainWindow = CMainFrame::CreateMainFrame();
    return m_mainWindow != nullptr;
}

int CSetupApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (CMainFrame::PreTranslate(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (m_mainWindow != nullptr && m_mainWindow->IsWindow()) m_mainWindow->Destroy();
    return static_cast<int>(msg.wParam);
}

}  // namespace kq
