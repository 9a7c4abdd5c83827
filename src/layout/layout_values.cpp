#include "layout/layout_values.h"

#include <climits>
#include <cstdio>

#include "base/text.h"

namespace kq {

std::string RemoveBraces(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        if (ch != '{' && ch != '}') out += ch;
    }
    return out;
}

std::string FolderOfPath(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    return path.substr(0, cut + 1);
}

std::string ColourText(Colour colour) {
    char text[40];
    std::snprintf(text, sizeof text, "%u,%u,%u", RedOf(colour), GreenOf(colour), BlueOf(colour));
    return text;
}

std::string ResolveColourValue(const std::string& value, Colour buttonFace) {
    if (value.empty() || value == kButtonFaceKeyword) return ColourText(buttonFace);
    return value;
}

namespace {

unsigned ChannelOf(const std::string& part) {
    int v = LeadingNumber(part);
    if (v < 0) return 0;
    return v > 255 ? 255u : static_cast<unsigned>(v);
}

}  // namespace

Colour ParseColour(const std::string& text) {
    size_t first = text.find(',');
    std::string red = text.substr(0, first);
    std::string green, blue;
    if (first != std::string::npos) {
        size_t second = text.find(',', first + 1);
        green = text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        if (second != std::string::npos) blue = text.substr(second + 1);
    }
    return MakeColour(ChannelOf(red), ChannelOf(green), ChannelOf(blue));
}

Colour ColourFromValue(const std::string& value, Colour buttonFace) {
    return ParseColour(ResolveColourValue(value, buttonFace));
}

bool LabelFillsBackground(const std::string& value, Colour buttonFace) {
    return value != ColourText(buttonFace);
}

bool IsYes(const std::string& value) { return value == "Yes"; }

bool FontFlagOn(const std::string& value) { return value != "No"; }

Alignment ParseAlignment(const std::string& value) {
    if (value.empty()) return Alignment::Unchanged;
    switch (value[0]) {
    case '0': return Alignment::Centre;
    case '1': return Alignment::Left;
    case '2': return Alignment::Right;
    default: return Alignment::Unchanged;
    }
}

BorderChange ParseBorder(const std::string& value) {
    if (value.empty()) return BorderChange::Keep;
    if (value[0] == '0') return BorderChange::Clear;
    if (value[0] == '1') return BorderChange::Set;
    return BorderChange::Keep;
}

int ParseStartup(const std::string& value) {
    return LeadingNumber(value.substr(0, 2));
}

int CorrectedWindowHeight(int height, int captionHeight) {
    if (captionHeight > 24) return height;
    long long reduced = static_cast<long long>(height) - (25 - static_cast<long long>(captionHeight));
    return reduced < INT_MIN ? INT_MIN : static_cast<int>(reduced);
}

bool StartupPosition(int startup, int screenWidth, int screenHeight, int width, int height,
                     int* x, int* y) {
    // The bottom positions leave 35 pixels for the task bar.
    const long long W = screenWidth, H = screenHeight, w = width, h = height;
    long long px, py;
    switch (startup) {
    case 0: px = W / 2 - w / 2; py = H / 2 - h / 2; break;
    case 2: px = 0; py = 0; break;
    case 3: px = W - w; py = 0; break;
    case 4: px = 0; py = H - h - 35; break;
    case 5: px = W - w; py = H - h - 35; break;
    default: return false;
    }
    auto clampInt = [](long long v) {
        return static_cast<int>(v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : v));
    };
    *x = clampInt(px);
    *y = clampInt(py);
    return true;
}

int MulDivRound(int a, int b, int c) {
    if (c == 0) return -1;
    long long n = a, m = b, d = c;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    long long product = n * m;
    long long result = product >= 0 ? (product + d / 2) / d : (product - d / 2) / d;
    if (result > INT_MAX || result < -INT_MAX) return -1;
    return static_cast<int>(result);
}

int HimetricToPixels(int himetric, int dpi) {
    long long pixels = (static_cast<long long>(himetric) * dpi + 1270) / 2540;
    return static_cast<int>(pixels < INT_MIN ? INT_MIN : (pixels > INT_MAX ? INT_MAX : pixels));
}

int ScaleToDpi(int pixels, int dpi) {
    if (dpi <= 0 || dpi == kLayoutDpi) return pixels;
    const long long product = static_cast<long long>(pixels) * dpi;
    const long long scaled =
        product >= 0 ? (product + kLayoutDpi / 2) / kLayoutDpi : (product - kLayoutDpi / 2) / kLayoutDpi;
    return scaled > INT_MAX || scaled < INT_MIN ? pixels : static_cast<int>(scaled);
}

int ScaleWindowExtent(int extent, int frame, int dpi) {
    return ScaleToDpi(extent - frame, dpi) + frame;
}

int FontHeightForPoints(int points, int dpi) { return -MulDivRound(points, dpi, 72); }

}  // namespace kq
