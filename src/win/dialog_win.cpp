#include "win/dialog_win.h"

#include <cwchar>

namespace kq {

bool CDialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND owner) {
    HWND hwnd = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), dialogTemplate, owner,
                                             &CDialog::StaticProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

bool CDialog::Create(int resourceId, HWND owner) {
    HWND hwnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId), owner,
                                     &CDialog::StaticProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

INT_PTR CDialog::DoModal(int resourceId, HWND owner) {
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId), owner,
                             &CDialog::StaticProc, reinterpret_cast<LPARAM>(this));
}

CDialog* CDialog::FromHandle(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    // Only dialogs of this layer have our procedure.
    if (reinterpret_cast<DLGPROC>(::GetWindowLongPtrA(hwnd, DWLP_DLGPROC)) != &CDialog::StaticProc) return nullptr;
    return reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
}

INT_PTR CALLBACK CDialog::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        return self->OnInit() ? TRUE : FALSE;
    }
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (self == nullptr) return FALSE;

    bool handled = false;
    INT_PTR result = self->OnMessage(msg, wParam, lParam, &handled);
    if (!handled && msg == WM_COMMAND) {
        handled = self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        result = handled ? TRUE : FALSE;
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage();
        return FALSE;
    }
    return result;
}

DialogTemplate::DialogTemplate(DWORD style, short cx, short cy, const wchar_t* caption, WORD pointSize,
                               const wchar_t* face, const wchar_t* windowClass) {
    auto* t = reinterpret_cast<DLGTEMPLATE*>(m_words);
    t->style = style | (face != nullptr ? DS_SETFONT : 0);
    t->cdit = 0;
    t->cx = cx;
    t->cy = cy;
    WORD* p = reinterpret_cast<WORD*>(t + 1);
    WORD* end = reinterpret_cast<WORD*>(m_words + sizeof m_words / sizeof m_words[0]);
    *p++ = 0;  // no menu
    // Strings are cut to fit; the template always ends inside the buffer.
    auto put = [&p, end](const wchar_t* text) {
        while (*text != 0 && p < end - 8) *p++ = static_cast<WORD>(*text++);
        *p++ = 0;
    };
    if (windowClass != nullptr)
        put(windowClass);
    else
        *p++ = 0;  // the standard dialog class
    put(caption != nullptr ? caption : L"");
    if (face != nullptr) {
        *p++ = pointSize;
        put(face);
    }
}

bool RegisterDialogClass(const char* className) {
    WNDCLASSA wc = {};
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if (::GetClassInfoA(instance, className, &wc)) return true;
    wc.lpfnWndProc = ::DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return ::RegisterClassA(&wc) != 0;
}

}  // namespace kq
