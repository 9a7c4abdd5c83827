// Dialog windows: the object is stored at WM_INITDIALOG (from the creation
// parameter) in the dialog's user data and messages are routed to virtual
// OnInit / OnCommand / OnMessage. Modeless dialogs are created from a
// resource or from a template built in memory; modal ones run DoModal.
#pragma once
#include <windows.h>

#include "base/no_copy.h"
#include "win/window_win.h"

namespace kq {

class CDialog : public CWindow, private NoCopy {
public:
    CDialog() = default;
    virtual ~CDialog() = default;

    bool CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND owner);
    bool Create(int resourceId, HWND owner);
    INT_PTR DoModal(int resourceId, HWND owner);
    void EndDialog(INT_PTR result) const { ::EndDialog(m_hWnd, result); }

    static CDialog* FromHandle(HWND hwnd);

protected:
    // Return false when the focus was set.
    virtual bool OnInit() { return true; }
    // True when the command was handled.
    virtual bool OnCommand(int id, int code, HWND control) { return false; }
    // Any message; set *handled and return the dialog procedure's answer.
    virtual INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) { return 0; }
    // After the window is gone; the object may delete itself here.
    virtual void OnFinalMessage() {}

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Empty dialog template in memory: style, size in dialog units, caption and
// font, and the window class when it is not the standard dialog class (one
// registered with RegisterDialogClass). The buffer is DWORD-aligned as the
// system needs.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const wchar_t* caption, WORD pointSize, const wchar_t* face,
                   const wchar_t* windowClass = nullptr);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words); }

private:
    DWORD m_words[128] = {};
};

// Registers `className` once per process as a dialog class of its own, so
// tools tell these dialogs from the standard ones (#32770).
bool RegisterDialogClass(const char* className);

}  // namespace kq
