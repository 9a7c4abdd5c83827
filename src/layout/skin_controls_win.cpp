#include "layout/skin_controls_win.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "base/file_win.h"
#include "base/product.h"
#include "layout/layout_resource_ids.h"
#include "win/system_library_win.h"

namespace kq {

Colour ButtonFaceColour() { return static_cast<Colour>(::GetSysColor(COLOR_BTNFACE)); }

namespace {

LOGFONTA StatusFont() {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        LOGFONTA fallback = {};
        ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof fallback, &fallback);
        return fallback;
    }
    return metrics.lfStatusFont;
}

int ScreenDpiY() {
    ScopedWindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.Dc(), LOGPIXELSY);
}

HBRUSH SolidBrush(Colour colour) { return ::CreateSolidBrush(static_cast<COLORREF>(colour)); }

}  // namespace

HFONT CreateSkinFont(const FontSpec& spec, bool underline) {
    LOGFONTA lf = StatusFont();
    lf.lfHeight = FontHeightForPoints(spec.points, ScreenDpiY());
    lf.lfWidth = 0;
    lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = spec.italic ? TRUE : FALSE;
    lf.lfUnderline = underline ? TRUE : FALSE;
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", spec.face.c_str());
    return ::CreateFontIndirectA(&lf);
}

// ---------------------------------------------------------------------------

bool CSkinControl::CreateControl(const char* windowClass, const char* text, DWORD style, DWORD exStyle,
                                 const ControlRect& rect, HWND parent, int id) {
    HWND hwnd = ::CreateWindowExA(exStyle, windowClass, text, style, rect.left, rect.top, rect.Width(),
                                  rect.Height(), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr) return false;
    return Attach(hwnd);
}

void CSkinControl::SetSkinFont(const FontSpec& spec) {
    m_font.Reset(CreateSkinFont(spec));
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
}

LRESULT CSkinControl::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_reportsClicks) {
        switch (msg) {
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_LBUTTONDOWN:
            m_pressed = true;
            return 0;
        case WM_LBUTTONUP: {
            bool pressed = m_pressed;
            m_pressed = false;
            RECT client;
            ::GetClientRect(m_hWnd, &client);
            POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (pressed && ::PtInRect(&client, at)) {
                int id = ::GetDlgCtrlID(m_hWnd);
                ::SendMessageA(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                               reinterpret_cast<LPARAM>(m_hWnd));
            }
            return 0;
        }
        default:
            break;
        }
    }
    return Default(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------

// Brushes are made when first needed: a page holds many unused control objects.
void CSkinColouredControl::SetTextColour(const std::string& value) {
    m_text = ColourFromValue(value, ButtonFaceColour());
    Repaint();
}

void CSkinColouredControl::SetBackColour(const std::string& value) {
    m_back = ColourFromValue(value, ButtonFaceColour());
    m_brush.Reset(SolidBrush(m_back));
    Repaint();
}

LRESULT CSkinColouredControl::OnReflected(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    if (msg != WM_CTLCOLORBTN && msg != WM_CTLCOLORSTATIC) return 0;
    if (m_brush.Get() == nullptr) m_brush.Reset(SolidBrush(m_back));
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(dc, m_text);
    ::SetBkColor(dc, m_back);
    *handled = true;
    return reinterpret_cast<LRESULT>(m_brush.Get());
}

// ---------------------------------------------------------------------------

CSkinButton::CSkinButton() : CSkinColouredControl(MakeColour(0, 0, 0), ButtonFaceColour()) {}

// ---------------------------------------------------------------------------

CSkinLabel::CSkinLabel() : m_back(ButtonFaceColour()) { m_reportsClicks = true; }

void CSkinLabel::SetTextColour(const std::string& value) {
    m_text = ColourFromValue(value, ButtonFaceColour());
    Repaint();
}

void CSkinLabel::SetBackColour(const std::string& value) {
    const std::string given = value.empty() ? std::string(kButtonFaceKeyword) : value;
    const Colour face = ButtonFaceColour();
    m_fill = LabelFillsBackground(given, face);
    m_back = ColourFromValue(given, face);
    m_brush.Reset(SolidBrush(m_back));
    RepaintWithBackground();
}

void CSkinLabel::SetSkinFont(const FontSpec& spec) {
    m_font.Reset(CreateSkinFont(spec, m_link));
    RepaintWithBackground();
}

void CSkinLabel::SetAlignment(Alignment alignment) {
    if (alignment == Alignment::Unchanged) return;
    m_alignment = alignment;
    RepaintWithBackground();
}

void CSkinLabel::SetLink(bool on) {
    m_link = on;
    if (on) m_text = MakeColour(0, 0, 255);
    RebuildFont(on);
    RepaintWithBackground();
}

void CSkinLabel::SetPageFont(HFONT pageFont) {
    LOGFONTA lf = {};
    if (pageFont == nullptr || !::GetObjectA(pageFont, sizeof lf, &lf)) return;
    m_font.Reset(::CreateFontIndirectA(&lf));
}

void CSkinLabel::RebuildFont(bool underline) {
    LOGFONTA lf = {};
    HFONT current = m_font.Get() != nullptr ? m_font.Get() : reinterpret_cast<HFONT>(Send(WM_GETFONT));
    if (current == nullptr) current = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (!::GetObjectA(current, sizeof lf, &lf)) return;
    lf.lfUnderline = underline ? TRUE : FALSE;
    m_font.Reset(::CreateFontIndirectA(&lf));
}

void CSkinLabel::RepaintWithBackground() {
    if (m_hWnd == nullptr) return;
    if (m_fill) {
        Repaint();
        return;
    }
    // An unfilled label shows the page behind it: the page must repaint
    // that area first, or a new text would be drawn over the old one.
    HWND parent = ::GetParent(m_hWnd);
    RECT r;
    ::GetWindowRect(m_hWnd, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    ::RedrawWindow(parent, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CSkinLabel::PaintUnderlay(HDC dc) {
    HWND parent = ::GetParent(m_hWnd);
    if (parent == nullptr) return;
    RECT mine;
    ::GetWindowRect(m_hWnd, &mine);
    // Siblings below this label, nearest first; drawn bottom-most first.
    HWND below[64];
    int count = 0;
    for (HWND w = ::GetWindow(m_hWnd, GW_HWNDNEXT); w != nullptr && count < 64; w = ::GetWindow(w, GW_HWNDNEXT)) {
        RECT theirs, overlap;
        if (!::IsWindowVisible(w) || !::GetWindowRect(w, &theirs) || !::IntersectRect(&overlap, &mine, &theirs)) continue;
        CSubclassedWindow* object = FromHandle(w);
        auto* picture = dynamic_cast<CSkinPicture*>(object);
        auto* label = dynamic_cast<CSkinLabel*>(object);
        if (picture != nullptr || (label != nullptr && label->m_fill)) below[count++] = w;
    }
    POINT origin = {mine.left, mine.top};
    ::ScreenToClient(parent, &origin);
    POINT previous;
    ::SetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
    ::SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    for (int i = count - 1; i >= 0; --i) {
        RECT theirs;
        ::GetWindowRect(below[i], &theirs);
        ::SetViewportOrgEx(dc, theirs.left - mine.left, theirs.top - mine.top, nullptr);
        ::SendMessageA(below[i], WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    }
    ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

void CSkinLabel::Paint() {
    ScopedPaint paint(m_hWnd);
    HDC dc = paint.Dc();
    ScopedSaveDC saved(dc);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (!m_fill) PaintUnderlay(dc);

    int length = ::GetWindowTextLengthA(m_hWnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(length < 0 ? 0 : length));

    HFONT font = m_font.Get() != nullptr ? m_font.Get() : reinterpret_cast<HFONT>(Send(WM_GETFONT));
    ScopedSelect selectFont(dc, font);
    if (m_fill) {
        if (m_brush.Get() == nullptr) m_brush.Reset(SolidBrush(m_back));
        ::FillRect(dc, &client, m_brush.Get());
        ::SetBkColor(dc, m_back);
        ::SetBkMode(dc, OPAQUE);
    } else {
        ::SetBkMode(dc, TRANSPARENT);
    }
    ::SetTextColor(dc, m_text);
    UINT format;
    switch (m_alignment) {
    case Alignment::Centre: format = DT_CENTER | DT_WORDBREAK; break;
    case Alignment::Right: format = DT_RIGHT | DT_WORDBREAK; break;
    case Alignment::Left: format = DT_LEFT | DT_WORDBREAK; break;
    default: format = DT_LEFT; break;
    }
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &client, format);
}

LRESULT CSkinLabel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_PRINTCLIENT:
        // Drawn under another label: only a filled label shows anything.
        if (m_fill) {
            RECT client;
            ::GetClientRect(m_hWnd, &client);
            if (m_brush.Get() == nullptr) m_brush.Reset(SolidBrush(m_back));
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, m_brush.Get());
        }
        return 0;
    case WM_ERASEBKGND:
        // Painting covers the whole label.
        return 1;
    case WM_SETTEXT: {
        LRESULT result = Default(msg, wParam, lParam);
        RepaintWithBackground();
        return result;
    }
    default:
        return CSkinControl::OnMessage(msg, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------

CSkinPicture::CSkinPicture() : m_back(ButtonFaceColour()) { m_reportsClicks = true; }

void CSkinPicture::SetBackColour(const std::string& value) {
    m_back = ColourFromValue(value, ButtonFaceColour());
    Repaint();
}

bool CSkinPicture::LoadPicture(const char* path) {
    if (!FileExists(path)) {
        std::string message = std::string("File not found: (") + path + ")";
        ::MessageBoxA(::GetParent(m_hWnd), message.c_str(), kProductName, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (!m_picture.Load(path)) return false;
    m_iconMode = false;
    Repaint();
    return true;
}

bool CSkinPicture::SetBuiltinIcon(int index) {
    static const int kIcons[8] = {IDI_KQ_EXCLAMATION, IDI_KQ_INFO, IDI_KQ_ERROR, IDI_KQ_TYPICAL,
                                  IDI_KQ_MINIMAL, IDI_KQ_CUSTOM, IDI_KQ_SETUP, IDI_KQ_FOLDER};
    if (index < 0 || index >= 8) return false;
    HICON icon = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kIcons[index]),
                                                 IMAGE_ICON, 32, 32, LR_SHARED));
    if (icon == nullptr) return false;
    m_icon = icon;
    Send(STM_SETICON, reinterpret_cast<WPARAM>(icon));
    m_iconMode = true;
    Repaint();
    return true;
}

void CSkinPicture::PaintTo(HDC dc) {
    ScopedSaveDC saved(dc);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    ScopedBrush back(SolidBrush(m_back));

    const int dpi = ScreenPixelsPerInch();
    if (m_iconMode) {
        ::FillRect(dc, &client, back);
        const int side = ScaleToDpi(32, dpi);
        ::DrawIconEx(dc, 0, 0, m_icon, side, side, 0, nullptr, DI_NORMAL);
        return;
    }
    if (!m_picture.IsLoaded()) {
        ::FillRect(dc, &client, back);
        return;
    }
    // The picture is drawn at its own size, grown only as the whole page is
    // for the screen; the rest of the control shows the background colour.
    const SIZE size = m_picture.ScaledSize(dpi);
    {
        ScopedSaveDC clip(dc);
        ::ExcludeClipRect(dc, 0, 0, size.cx, size.cy);
        ::FillRect(dc, &client, back);
    }
    if (HPALETTE palette = m_picture.Palette()) {
        ::SelectPalette(dc, palette, FALSE);
        ::RealizePalette(dc);
    }
    if (m_picture.IsTransparent()) {
        ScopedMemoryDC memory(dc);
        ScopedBitmap bitmap(::CreateCompatibleBitmap(dc, size.cx, size.cy));
        if (memory.Dc() == nullptr || bitmap.Get() == nullptr) return;
        ScopedSelect selectBitmap(memory.Dc(), bitmap);
        RECT all = {0, 0, size.cx, size.cy};
        ::FillRect(memory.Dc(), &all, back);
        m_picture.RenderScaled(memory.Dc(), 0, 0, dpi);
        ::BitBlt(dc, 0, 0, size.cx, size.cy, memory.Dc(), 0, 0, SRCCOPY);
    } else {
        m_picture.RenderScaled(dc, 0, 0, dpi);
    }
}

LRESULT CSkinPicture::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        ScopedPaint paint(m_hWnd);
        PaintTo(paint.Dc());
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintTo(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return CSkinControl::OnMessage(msg, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------

LRESULT CSkinFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        ScopedPaint paint(m_hWnd);
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        ::DrawEdge(paint.Dc(), &client, EDGE_ETCHED, BF_RECT);
        return 0;
    }
    if (msg == WM_ERASEBKGND) return 1;
    return CSkinControl::OnMessage(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------

void CSkinProgress::SetRange(int upper) const {
    if (upper < 0) upper = 0;
    if (upper > 0xFFFF) upper = 0xFFFF;
    Send(PBM_SETRANGE, 0, MAKELPARAM(0, upper));
}

void CSkinProgress::SetPosition(int position) const { Send(PBM_SETPOS, static_cast<WPARAM>(position)); }

// ---------------------------------------------------------------------------

// The image-list calls come from COMCTL32, which is bound at run time (see
// system_library_win.h).
CSkinTree::~CSkinTree() {
    static const auto destroy = SystemProc<decltype(&::ImageList_Destroy)>("comctl32.dll", "ImageList_Destroy");
    if (m_images != nullptr && destroy != nullptr) destroy(m_images);
}

void CSkinTree::SetFeatureImages() {
    static const auto create = SystemProc<decltype(&::ImageList_Create)>("comctl32.dll", "ImageList_Create");
    static const auto replaceIcon =
        SystemProc<decltype(&::ImageList_ReplaceIcon)>("comctl32.dll", "ImageList_ReplaceIcon");
    if (m_images != nullptr || create == nullptr || replaceIcon == nullptr) return;
    m_images = create(32, 16, ILC_COLOR32 | ILC_MASK, 2, 4);
    if (m_images == nullptr) return;
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    for (int id : {IDI_KQ_FEATURE_ON, IDI_KQ_FEATURE_OFF}) {
        HICON icon = static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 32, 16, 0));
        if (icon != nullptr) {
            replaceIcon(m_images, -1, icon);  // -1 adds it
            ::DestroyIcon(icon);
        }
    }
    Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images));
    Send(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(m_images));
}

}  // namespace kq
