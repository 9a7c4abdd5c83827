#include "win/window_win.h"

namespace kq {

bool CWnd::RegisterClass(const char* className, HICON icon, HBRUSH background, UINT style) {
    WNDCLASSA wc = {};
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if (::GetClassInfoA(instance, className, &wc)) return true;
    wc.style = style;
    wc.lpfnWndProc = &CWnd::StaticProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return ::RegisterClassA(&wc) != 0;
}

bool CWnd::Create(const char* className, const char* title, DWORD style, DWORD exStyle,
                  int x, int y, int w, int h, HWND parent, HMENU menu) {
    HWND hwnd = ::CreateWindowExA(exStyle, className, title, style, x, y, w, h, parent, menu,
                                  ::GetModuleHandleA(nullptr), this);
    return hwnd != nullptr;
}

LRESULT CWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Default(msg, wParam, lParam);
}

LRESULT CWnd::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return ::DefWindowProcA(hwnd, msg, wParam, lParam);

    LRESULT result = self->OnMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage();
    }
    return result;
}

DWORD PumpWait(HANDLE handle, DWORD timeoutMs, MessageFilter filter) {
    DWORD start = ::GetTickCount();
    bool quit = false;
    int quitCode = 0;
    DWORD r;
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        DWORD left = timeoutMs == INFINITE ? INFINITE : (elapsed >= timeoutMs ? 0 : timeoutMs - elapsed);
        r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        // Drain the whole queue: MsgWaitForMultipleObjects only reports input
        // that arrived since the last look, so a message left in the queue
        // would not wake the next wait.
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = static_cast<int>(msg.wParam);
                continue;
            }
            if (filter != nullptr && filter(&msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    // A quit taken from the queue while waiting belongs to the main loop.
    if (quit) ::PostQuitMessage(quitCode);
    return r;
}

}  // namespace kq
