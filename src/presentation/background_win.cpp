#include "presentation/background_win.h"

#include "base/file_win.h"
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
    {
        ScopedFont font(MakeFont(40));
        ScopedSelect select(dc, font);
        ::SetTextAlign(dc, TA_LEFT | TA_TOP);
        ::TextOutA(dc, 24, 14, m_settings.title.c_str(), static_cast<int>(m_settings.title.size()));
    }
    {
        ScopedFont font(MakeFont(20));
        ScopedSelect select(dc, font);
        ::SetTextAlign(dc, TA_RIGHT | TA_BOTTOM);
        ::TextOutA(dc, client.right - 100, client.bottom - 50, m_settings.subtitle.c_str(),
                   static_cast<int>(m_settings.subtitle.size()));
    }
}

void CBackground::Paint(HWND frame) const {
    ScopedPaint paint(frame);
    if (!m_picture.IsLoaded()) return;
    ScopedSaveDC saved(paint.Dc());
    ::SetStretchBltMode(paint.Dc(), COLORONCOLOR);
    const SIZE size = m_picture.PixelSize();
    m_picture.Render(paint.Dc(), 10, 10, size.cx, size.cy);
}

}  // namespace kq
