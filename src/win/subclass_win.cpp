#include "win/subclass_win.h"

namespace kq {

namespace {
const char kObjectProperty[] = "kq.subclass";
}

bool CSubclassedWindow::Attach(HWND hwnd) {
    if (hwnd == nullptr || m_hWnd != nullptr) return false;
    if (!::SetPropA(hwnd, kObjectProperty, this)) return false;
    m_hWnd = hwnd;
    m_previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSubclassedWindow::StaticProc)));
    return true;
}

void CSubclassedWindow::Detach() {
    if (m_hWnd == nullptr) return;
    if (::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        ::RemovePropA(m_hWnd, kObjectProperty);
    }
    m_hWnd = nullptr;
}

CSubclassedWindow* CSubclassedWindow::FromHandle(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    return static_cast<CSubclassedWindow*>(::GetPropA(hwnd, kObjectProperty));
}

LRESULT CSubclassedWindow::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcA(m_previous, m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CSubclassedWindow::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CSubclassedWindow* self = FromHandle(hwnd);
    if (self == nullptr) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        // Give the control its own last message, then let go of it.
        WNDPROC previous = self->m_previous;
        self->Detach();
        return ::CallWindowProcA(previous, hwnd, msg, wParam, lParam);
    }
    return self->OnMessage(msg, wParam, lParam);
}

bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND child = nullptr;
    switch (msg) {
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_DRAWITEM:
        child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    default:
        return false;
    }
    CSubclassedWindow* object = CSubclassedWindow::FromHandle(child);
    if (object == nullptr) return false;
    bool handled = false;
    *result = object->OnReflected(msg, wParam, lParam, &handled);
    return handled;
}

}  // namespace kq
