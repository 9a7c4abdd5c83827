// Scope objects for GDI: every DC, selection, brush and font a paint path
// takes is given back when the scope ends, so each path restores the context.
#pragma once
#include <windows.h>

#include "base/no_copy.h"

namespace kq {

// A GDI object this scope owns (brush, font, bitmap, pen); deleted at the end.
template <typename T>
class ScopedGdiObject : private NoCopy {
public:
    ScopedGdiObject() = default;
    explicit ScopedGdiObject(T handle) : m_handle(handle) {}
    ~ScopedGdiObject() { Reset(); }

    T Get() const { return m_handle; }
    operator T() const { return m_handle; }
    void Reset(T handle = nullptr) {
        if (m_handle != nullptr) ::DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    T m_handle = nullptr;
};

using ScopedBrush = ScopedGdiObject<HBRUSH>;
using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;

// Selects an object into a DC and selects the previous one back.
class ScopedSelect : private NoCopy {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(object ? ::SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (m_previous != nullptr) ::SelectObject(m_dc, m_previous);
    }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// Saves the whole DC state (colours, modes, selections) and restores it.
class ScopedSaveDC : private NoCopy {
public:
    explicit ScopedSaveDC(HDC dc) : m_dc(dc), m_state(::SaveDC(dc)) {}
    ~ScopedSaveDC() {
        if (m_state != 0) ::RestoreDC(m_dc, m_state);
    }

private:
    HDC m_dc;
    int m_state;
};

// BeginPaint / EndPaint.
class ScopedPaint : private NoCopy {
public:
    explicit ScopedPaint(HWND hwnd) : m_hwnd(hwnd), m_dc(::BeginPaint(hwnd, &m_ps)) {}
    ~ScopedPaint() { ::EndPaint(m_hwnd, &m_ps); }

    HDC Dc() const { return m_dc; }
    const PAINTSTRUCT& Info() const { return m_ps; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps = {};
    HDC m_dc;
};

// GetDC / ReleaseDC.
class ScopedWindowDC : private NoCopy {
public:
    explicit ScopedWindowDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    ~ScopedWindowDC() {
        if (m_dc != nullptr) ::ReleaseDC(m_hwnd, m_dc);
    }

    HDC Dc() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// The screen's pixels per inch (96 at 100%, 120 at 125%, 144 at 150%): what
// fonts follow, and what the layouts are scaled to.
inline int ScreenPixelsPerInch() {
    ScopedWindowDC screen(nullptr);
    return screen.Dc() != nullptr ? ::GetDeviceCaps(screen.Dc(), LOGPIXELSY) : 96;
}

// A memory DC compatible with another; deleted at the end.
class ScopedMemoryDC : private NoCopy {
public:
    explicit ScopedMemoryDC(HDC compatible) : m_dc(::CreateCompatibleDC(compatible)) {}
    ~ScopedMemoryDC() {
        if (m_dc != nullptr) ::DeleteDC(m_dc);
    }

    HDC Dc() const { return m_dc; }

private:
    HDC m_dc;
};

}  // namespace kq
