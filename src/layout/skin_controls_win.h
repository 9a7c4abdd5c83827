// The skinned control classes: thin specialisations of the standard controls
// that keep their own colours, fonts and pictures, so an author can style
// every control from the layout file. Each object subclasses the control
// window it creates; the page reflects the colour queries (WM_CTLCOLOR*) to
// it, and the label, picture and frame paint themselves.
//
// Colours arrive as colour values ("R,G,B" or COLOR_BTNFACE, layout_values.h).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "layout/control_catalogue.h"
#include "layout/layout_values.h"
#include "layout/picture_win.h"
#include "layout/property_effects.h"
#include "win/gdi_win.h"
#include "win/subclass_win.h"

namespace kq {

Colour ButtonFaceColour();

// A font built on the system's status-bar font with the face, point size,
// weight and slant of `spec`.
HFONT CreateSkinFont(const FontSpec& spec, bool underline = false);

class CSkinControl : public CSubclassedWindow {
public:
    // Creates the control window as a child of `parent` and subclasses it.
    bool CreateControl(const char* windowClass, const char* text, DWORD style, DWORD exStyle,
                       const ControlRect& rect, HWND parent, int id);

    virtual void SetTextColour(const std::string& value) {}
    virtual void SetBackColour(const std::string& value) {}
    virtual void SetSkinFont(const FontSpec& spec);

    void Repaint() const { ::InvalidateRect(m_hWnd, nullptr, TRUE); }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Statics created without SS_NOTIFY let clicks fall through to the page;
    // these controls answer hit tests themselves and report a click with
    // STN_CLICKED, as every control click reaches the page.
    bool m_reportsClicks = false;
    ScopedFont m_font;

private:
    bool m_pressed = false;
};

// A control the system colours through WM_CTLCOLORBTN or WM_CTLCOLORSTATIC,
// answered with the control's own text and back colour; a colour value that
// cannot be read gives the button face colour.
class CSkinColouredControl : public CSkinControl {
public:
    void SetTextColour(const std::string& value) override;
    void SetBackColour(const std::string& value) override;
    LRESULT OnReflected(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override;

    Colour TextColour() const { return m_text; }
    Colour BackColour() const { return m_back; }

protected:
    CSkinColouredControl(Colour text, Colour back) : m_text(text), m_back(back) {}

private:
    Colour m_text;
    Colour m_back;
    ScopedBrush m_brush;
};

// BUTTON and GROUPBOX.
class CSkinButton : public CSkinColouredControl {
public:
    CSkinButton();
};

// RADIO and CHECKBOX.
class CSkinOption : public CSkinColouredControl {
public:
    CSkinOption() : CSkinColouredControl(MakeColour(255, 255, 255), MakeColour(0, 0, 0)) {}
};

// TEXT, RECT, HOTSPOT, ANIMATION and LISTVIEW.
class CSkinLabel : public CSkinControl {
public:
    CSkinLabel();
    void SetTextColour(const std::string& value) override;
    void SetBackColour(const std::string& value) override;
    void SetSkinFont(const FontSpec& spec) override;
    void SetAlignment(Alignment alignment);
    // On: blue and underlined. Off: not underlined; the colour stays.
    void SetLink(bool on);
    // The page font becomes the label's font.
    void SetPageFont(HFONT pageFont);

    Colour TextColour() const { return m_text; }
    Colour BackColour() const { return m_back; }
    bool Fills() const { return m_fill; }
    bool IsLink() const { return m_link; }
    Alignment GetAlignment() const { return m_alignment; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    // An unfilled label shows what lies beneath it: the page, then the
    // pictures and panels under it in the z-order, drawn into its own DC.
    void PaintUnderlay(HDC dc);
    void RebuildFont(bool underline);
    void RepaintWithBackground();

    Colour m_text = MakeColour(0, 0, 0);
    Colour m_back;
    ScopedBrush m_brush;
    bool m_fill = false;
    bool m_link = false;
    Alignment m_alignment = Alignment::Unchanged;
};

// BITMAP, HOVER and ICON.
class CSkinPicture : public CSkinControl {
public:
    CSkinPicture();
    void SetBackColour(const std::string& value) override;
    // A missing file is reported with "File not found: (%s)" and the
    // previous picture stays.
    bool LoadPicture(const char* path);
    // Built-in icons 0..7; any other index changes nothing.
    bool SetBuiltinIcon(int index);

    bool HasPicture() const { return m_picture.IsLoaded(); }
    bool InIconMode() const { return m_iconMode; }
    SIZE PictureSize() const { return m_picture.PixelSize(); }
    Colour BackColour() const { return m_back; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintTo(HDC dc);

    Colour m_back;
    CPicture m_picture;
    bool m_iconMode = false;
    HICON m_icon = nullptr;  // shared resource icon, not destroyed
};

// FRAME: an etched edge around the control, nothing inside.
class CSkinFrame : public CSkinControl {
public:
    CSkinFrame() { m_reportsClicks = true; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class CSkinCombo : public CSkinControl {};
class CSkinRichText : public CSkinControl {};
class CSkinEdit : public CSkinControl {};

class CSkinProgress : public CSkinControl {
public:
    // The upper bound travels in the high half of the range message: 0..65535.
    void SetRange(int upper) const;
    void SetPosition(int position) const;
};

// The TREEVIEW window; the custom-setup page gives it its feature behaviour.
class CSkinTree : public CSkinControl {
public:
    ~CSkinTree() override;
    // Images 0 (feature installed) and 1 (not installed) from the program's icons.
    void SetFeatureImages();

private:
    HIMAGELIST m_images = nullptr;
};

}  // namespace kq
