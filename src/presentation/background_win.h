// The background: the main frame turned into a full-screen backdrop with a
// vertical colour gradient, a title at the top left, a second line at the
// bottom right and the author's picture. The frame owns it and routes its
// erase and paint requests here while it is active.
#pragma once
#include <windows.h>

#include <string>

#include "layout/picture_win.h"
#include "presentation/presentation_rules.h"

namespace kq {

// The frame's caption while it is the backdrop.
constexpr char kBackgroundTitle[] = "Calvarr Merrowin";

class CBackground {
public:
    // Shows `frame` maximised, without its menu, as the backdrop; nothing
    // when `settings` is not active. `picturePath` is loaded when it exists.
    void SetUp(HWND frame, const BackgroundSettings& settings, const std::string& picturePath);
    bool Active() const { return m_settings.active; }

    // WM_ERASEBKGND: the gradient and both texts over the whole client area.
    void Erase(HWND frame, HDC dc) const;
    // WM_PAINT: the picture at (10, 10) at its own size.
    void Paint(HWND frame) const;

private:
    BackgroundSettings m_settings;
    CPicture m_picture;
};

}  // namespace kq
