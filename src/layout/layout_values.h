// The small value syntaxes of layout files and the pure arithmetic of page
// placement, kept apart from any window so they can be tested on the host.
//
// Value syntaxes:
//   number     decimal, read like the C library's atoi: leading blanks, an
//              optional sign, digits up to the first non-digit; "" reads 0.
//              We saturate instead of overflowing.
//   colour     "R,G,B" (red first) or the keyword COLOR_BTNFACE, which stands
//              for the system's button-face colour; "" means COLOR_BTNFACE
//              wherever a default applies.
//   flag       "Yes" / "No", compared exactly.
//   alignment  first character only: '0' centre, '1' left, '2' right.
//   file name  "{name}" means "name beside the layout file"; braces are
//              removed wherever a file name is read.
#pragma once
#include <cstdint>
#include <string>

namespace kq {

// A colour as the system stores it: red in the low byte, then green, blue.
using Colour = uint32_t;

constexpr Colour MakeColour(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned RedOf(Colour c) { return c & 0xFFu; }
constexpr unsigned GreenOf(Colour c) { return (c >> 8) & 0xFFu; }
constexpr unsigned BlueOf(Colour c) { return (c >> 16) & 0xFFu; }

constexpr const char kButtonFaceKeyword[] = "COLOR_BTNFACE";

// Every '{' and '}' removed.
std::string RemoveBraces(const std::string& text);

// The folder part of a file path, ending in its separator (a backslash, or a
// slash where the path used one); "" when the path names no folder.
std::string FolderOfPath(const std::string& path);

// "R,G,B" written as the program writes colours ("%u,%u,%u").
std::string ColourText(Colour colour);

// An empty value becomes COLOR_BTNFACE; COLOR_BTNFACE becomes the button-face
// colour's "R,G,B" text. Anything else is returned as written.
std::string ResolveColourValue(const std::string& value, Colour buttonFace);

// Reads "R,G,B": the text is split at its first and second comma and each
// part read as a number; missing parts read 0 and each part is clamped to
// 0..255 (a colour channel cannot hold more).
Colour ParseColour(const std::string& text);

// Colour value to colour: ResolveColourValue, then ParseColour.
Colour ColourFromValue(const std::string& value, Colour buttonFace);

// A label fills its background unless it is given, as numbers, exactly the
// current button-face colour: the keyword (and "") fill with that colour.
bool LabelFillsBackground(const std::string& value, Colour buttonFace);

bool IsYes(const std::string& value);
// Bold and italic switches are on unless the value is exactly "No".
bool FontFlagOn(const std::string& value);

enum class Alignment { Unchanged, Centre, Left, Right };
Alignment ParseAlignment(const std::string& value);

// MAINWINDOW "border": '0' clears the border bit, '1' sets it.
enum class BorderChange { Keep, Clear, Set };
BorderChange ParseBorder(const std::string& value);

// MAINWINDOW "startup": the first two characters read as a number.
int ParseStartup(const std::string& value);

// The height a layout gives is measured as if the title bar were 25 pixels
// high; with a shorter title bar the window shrinks by the difference.
int CorrectedWindowHeight(int height, int captionHeight);

// Screen position for a startup number. False for the numbers that leave the
// window where the system put it (1 and all unknown ones): the window is then
// neither moved nor resized.
bool StartupPosition(int startup, int screenWidth, int screenHeight, int width, int height,
                     int* x, int* y);

// The system's MulDiv: a*b/c rounded half away from zero, computed in 64
// bits; -1 when c is 0 or the result does not fit an int.
int MulDivRound(int a, int b, int c);

// Layouts are drawn in the pixels of a screen of 96 pixels per inch, while
// fonts follow the screen's own pixels per inch (large fonts: 120 at 125%,
// 144 at 150%). Every layout length is scaled by dpi / 96, with this one
// rounding, so the boxes grow with their text and 96 keeps every pixel.
constexpr int kLayoutDpi = 96;
// pixels * dpi / 96 rounded half away from zero (as MulDivRound); the value
// unchanged for a dpi no screen reports (0 or less) or a result past int.
int ScaleToDpi(int pixels, int dpi);
// A window's outer size at `dpi` from its size at 96: the part inside its
// frame scales, the frame itself (`frame` pixels, which the system draws at
// its own size) does not.
int ScaleWindowExtent(int extent, int frame, int dpi);

// Logical font height for a point size: minus points * dpi / 72, rounded.
int FontHeightForPoints(int points, int dpi);

// A picture's HIMETRIC extent (hundredths of a millimetre) in pixels at
// `dpi`: (himetric * dpi + 1270) / 2540, without overflow.
int HimetricToPixels(int himetric, int dpi);

// Window style bits touched by the MAINWINDOW settings.
namespace style_bits {
constexpr uint32_t kBorder = 0x00800000;
constexpr uint32_t kSysMenu = 0x00080000;
constexpr uint32_t kMinimizeBox = 0x00020000;
constexpr uint32_t kMaximizeBox = 0x00010000;
constexpr uint32_t kExAppWindow = 0x00040000;
}  // namespace style_bits

}  // namespace kq
