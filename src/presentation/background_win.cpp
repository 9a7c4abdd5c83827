#include "presentation/background_win.h"

#include "base/file_win.h"
#include "layout/layout_values.h"
#include "win/gdi_win.h"

namespace kq {
namespace {

constexpr char kFontFace[] = "Times New Roman";

HFONT MakeFont(int height) {
    return ::CreateFontA(height, 0, 0, 0, 0, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, kFontFace);
}

}  // namespace

void CBackground::SetUp(HWND frame, const BackgroundSettings& settings, const std::string& picturePath) {
    if (!settings.active) return;
    m_settings = settings;
    HMENU menu = ::GetMenu(frame);
    ::SetMenu(frame, nullptr);
    if (menu != nullptr) ::DestroyMenu(menu);
    ::SetWindowTextA(frame, kBackgroundTitle);
    if (!picturePath.empty() && FileExists(picturePath)) m_picture.Load(picturePath.c_str());
    ::ShowWindow(frame, SW_SHOWMAXIMIZED);
    ::InvalidateRect(frame, nullptr, TRUE);
    ::UpdateWindow(frame);
}

void CBackground::Erase(HWND frame, HDC dc) const {
    RECT client;
    ::GetClientRect(frame, &client);
    const int height = client.bottom;
    for (int y = 0; y < height; ++y) {
        const Rgb colour = GradientRow(m_settings.top, m_settings.bottom, y, height);
        ScopedBrush brush(::CreateSolidBrush(RGB(colour.red, colour.green, colour.blue)));
        RECT row = {0, y, client.right, y + 1};
        ::FillRect(dc, &row, brush);
    }

    ScopedSaveDC saved(dc);
    ::SetTextColor(dc, RGB(255, 255, 255));
    ::SetBkMode(dc, TRANSPARENT);
    // Sizes and places in pixels of a 96 pixels-per-inch screen.
    const int dpi = ScreenPixelsPerInch();
    {
        ScopedFont font(MakeFont(ScaleToDpi(40, dpi)));
        ScopedSelect select(dc, font);
        ::SetTextAlign(dc, TA_LEFT | TA_TOP);
        ::TextOutA(dc, ScaleToDpi(24, dpi), ScaleToDpi(14, dpi), m_settings.title.c_str(),
                   static_cast<int>(m_settings.title.size()));
    }
    {
        ScopedFont font(MakeFont(ScaleToDpi(20, dpi)));
        ScopedSelect select(dc, font);
        ::SetTextAlign(dc, TA_RIGHT | TA_BOTTOM);
        ::TextOutA(dc, client.right - ScaleToDpi(100, dpi), client.bottom - ScaleToDpi(50, dpi),
                   m_settings.subtitle.c_str(), static_cast<int>(m_settings.subtitle.size()));
    }
}

void CBackground::Paint(HWND frame) const {
    ScopedPaint paint(frame);
    if (!m_picture.IsLoaded()) return;
    const int dpi = ScreenPixelsPerInch();
    m_picture.RenderScaled(paint.Dc(), ScaleToDpi(10, dpi), ScaleToDpi(10, dpi), dpi);
}

}  // namespace kq
