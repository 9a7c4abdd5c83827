// The thin window layer: CWindow names a window and owns nothing; CWnd adds
// message routing to a C++ object. The static procedure takes `this` from the
// create parameters at WM_NCCREATE, keeps it in the window's user data and
// clears it at WM_NCDESTROY, so no global window list is needed.
#pragma once
#include <windows.h>

#include "base/no_copy.h"

namespace kq {

class CWindow {
public:
    CWindow() = default;
    explicit CWindow(HWND hwnd) : m_hWnd(hwnd) {}

    HWND Handle() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    bool IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }
    void Show(int cmd) const { ::ShowWindow(m_hWnd, cmd); }
    void Destroy() const { ::DestroyWindow(m_hWnd); }
    void SetText(const char* text) const { ::SetWindowTextA(m_hWnd, text); }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, msg, w, l); }
    BOOL Post(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, msg, w, l); }

protected:
    HWND m_hWnd = nullptr;
};

class CWnd : public CWindow, private NoCopy {
public:
    CWnd() = default;
    virtual ~CWnd() = default;

    // Registers `className` once per process with this layer's procedure.
    static bool RegisterClass(const char* className, HICON icon, HBRUSH background, UINT style = 0);

    bool Create(const char* className, const char* title, DWORD style, DWORD exStyle,
                int x, int y, int w, int h, HWND parent, HMENU menu);

protected:
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called after the window is gone; the object may delete itself here.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The message loop's look at a message before it is dispatched (the pages'
// keyboard: Escape asks to cancel); true when it used the message up.
using MessageFilter = bool (*)(MSG* msg);

// Waits for `handle` while dispatching every message that arrives, so windows
// keep painting and messages sent from other threads are delivered. The only
// way the user-interface thread waits for another thread. `filter` sees each
// message first, as the main loop's does, so the keyboard works the same
// while the wait lasts.
DWORD PumpWait(HANDLE handle, DWORD timeoutMs = INFINITE, MessageFilter filter = nullptr);

}  // namespace kq
