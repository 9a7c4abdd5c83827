// Subclassing an existing control window (a button, a static, an edit box)
// so that a C++ object can take some of its messages; the rest go to the
// control's own procedure. The object is found from the window through a
// window property, so the control's user data stays free.
//
// Messages a parent reflects back to its child (WM_CTLCOLOR*, WM_DRAWITEM)
// reach the object through OnReflected, which is how skinned controls paint
// themselves.
#pragma once
#include <windows.h>

#include "base/no_copy.h"
#include "win/window_win.h"

namespace kq {

class CSubclassedWindow : public CWindow, private NoCopy {
public:
    CSubclassedWindow() = default;
    virtual ~CSubclassedWindow() { Detach(); }

    bool Attach(HWND hwnd);
    void Detach();

    static CSubclassedWindow* FromHandle(HWND hwnd);

    // A parent's message about this control; sets *handled when answered.
    virtual LRESULT OnReflected(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) { return 0; }

protected:
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return Default(msg, wParam, lParam); }
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    WNDPROC m_previous = nullptr;
};

// For a parent's procedure: passes WM_CTLCOLOR* and WM_DRAWITEM to the object
// of the child they concern. True when the child answered; *result is what
// the parent must return.
bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

}  // namespace kq
