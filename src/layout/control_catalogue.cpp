#include "layout/control_catalogue.h"

#include <climits>
#include <cstdio>

#include "base/text.h"
#include "layout/layout_values.h"

namespace kq {

namespace {

using R = PropertyRole;
constexpr R N = R::None;

// Styles: every control is a visible child (0x50000000); the low bits are the
// window class's own style.
const ControlTypeInfo kCatalogue[kControlTypeCount] = {
    {ControlType::Bitmap, "BITMAP", ControlClass::Picture, 0x5000020E, nullptr, "IDB_BITMAP%i",
     {N, N, R::BackColour, N, N, N, N, N, N, N}},
    {ControlType::Hover, "HOVER", ControlClass::Picture, 0x5000020E, nullptr, "IDC_HOVER%i",
     {N, N, N, N, N, N, N, N, N, N}},
    {ControlType::Button, "BUTTON", ControlClass::Button, 0x50010000, "Button %i", "IDC_BUTTON%i",
     {R::IdentifierName, R::Caption, R::TextAlign, R::FontName, R::FontSize, R::FontBold, R::FontItalic, N, N, N}},
    {ControlType::Text, "TEXT", ControlClass::Label, 0x50000000, "Text %i", "IDC_STATIC%i",
     {R::IdentifierName, R::Caption, R::TextAlign, R::TextColour, R::BackColour, R::FontName, R::FontSize,
      R::FontBold, R::FontItalic, R::UrlLink}},
    {ControlType::Rect, "RECT", ControlClass::Label, 0x50000000, nullptr, "IDC_RECT%i",
     {N, R::BackColour, N, N, N, N, N, N, N, N}},
    {ControlType::TextBox, "TEXTBOX", ControlClass::Edit, 0x50010004, nullptr, "IDC_TEXT%i",
     {R::IdentifierName, R::Caption, N, N, R::ReadOnly, N, N, N, N, N}},
    {ControlType::ComboBox, "COMBOBOX", ControlClass::Combo, 0x50000803, nullptr, "IDC_COMBO%i",
     {R::IdentifierName, N, N, N, N, N, N, N, N, N}},
    {ControlType::Radio, "RADIO", ControlClass::Option, 0x5001000B, "Radio %i", "IDC_RADIO%i",
     {R::IdentifierName, R::Caption, R::BackColour, R::TextColour, N, N, N, N, N, N}},
    {ControlType::Hotspot, "HOTSPOT", ControlClass::Label, 0x50800000, nullptr, "IDC_HOTSPOT%i",
     {N, N, N, N, N, N, N, N, N, N}},
    {ControlType::Animation, "ANIMATION", ControlClass::Label, 0x50800000, "Animation Box %i", "IDC_ANIMATION%i",
     {N, N, N, N, N, N, N, N, N, N}},
    {ControlType::Progress, "PROGRESS", ControlClass::Progress, 0x50000000, nullptr, "IDC_PROGRESS%i",
     {R::IdentifierName, N, N, N, N, N, N, N, N, N}},
    {ControlType::ListView, "LISTVIEW", ControlClass::Label, 0x50000000, "ListView%i", "IDC_LISTVIEW%i",
     {N, N, R::ListStyle, N, N, N, N, N, N, N}},
    {ControlType::GroupBox, "GROUPBOX", ControlClass::Button, 0x50000007, "GroupBox %i", "IDC_GROUPBOX%i",
     {N, R::Caption, R::BackColour, N, N, N, N, N, N, N}},
    {ControlType::Icon, "ICON", ControlClass::Picture, 0x50000203, nullptr, "IDC_ICON%i",
     {N, R::IconFile, R::BackColour, N, N, N, N, N, N, N}},
    {ControlType::TreeView, "TREEVIEW", ControlClass::Tree, 0x50000002, "TreeView%i", "IDC_TREEVIEW%i",
     {R::IdentifierName, N, N, N, N, N, N, N, N, N}},
    {ControlType::Frame, "FRAME", ControlClass::Frame, 0x50000000, nullptr, "IDC_FRAME%i",
     {N, N, N, N, N, N, N, N, N, N}},
    {ControlType::RichText, "RICHTEXT", ControlClass::RichText, 0x50201004, nullptr, "IDC_RICHTEXT%i",
     {R::IdentifierName, N, N, N, N, N, N, N, N, N}},
    {ControlType::CheckBox, "CHECKBOX", ControlClass::Option, 0x50010002, "CheckBox%i", "IDC_CHECKBOX%i",
     {R::IdentifierName, R::Caption, R::BackColour, R::TextColour, N, N, N, N, N, N}},
};

std::string FormatCount(const char* pattern, int n) {
    if (pattern == nullptr) return std::string();
    char text[64];
    std::snprintf(text, sizeof text, pattern, n);
    return text;
}

int Saturate(long long v) {
    return static_cast<int>(v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : v));
}

}  // namespace

const ControlTypeInfo* FindControlType(const std::string& keyword) {
    for (const ControlTypeInfo& info : kCatalogue) {
        if (keyword == info.keyword) return &info;
    }
    return nullptr;
}

const ControlTypeInfo& InfoOf(ControlType type) { return kCatalogue[static_cast<int>(type)]; }

std::string DefaultTextOf(ControlType type, int n) { return FormatCount(InfoOf(type).defaultText, n); }

std::string GeneratedNameOf(ControlType type, int n) { return FormatCount(InfoOf(type).namePattern, n); }

ControlRect SizeAtCreation(ControlType type, const ControlRect& written) {
    ControlRect r = written;
    switch (type) {
    case ControlType::Bitmap:
    case ControlType::Hover:
        return r;
    case ControlType::Icon:
        r.right = Saturate(static_cast<long long>(r.left) + 32);
        r.bottom = Saturate(static_cast<long long>(r.top) + 32);
        return r;
    default:
        break;
    }
    int heightLimit = 10;
    switch (type) {
    case ControlType::Text:
    case ControlType::Animation:
    case ControlType::Progress:
    case ControlType::ListView:
    case ControlType::TreeView:
    case ControlType::Frame:
        heightLimit = 8;
        break;
    default:
        break;
    }
    long long width = static_cast<long long>(written.right) - written.left;
    long long height = static_cast<long long>(written.bottom) - written.top;
    if (width < 30 && height < heightLimit) {
        r.right = Saturate(static_cast<long long>(r.left) + 90);
        r.bottom = Saturate(static_cast<long long>(r.top) + 25);
    }
    return r;
}

ControlRect ScaleRect(const ControlRect& rect, int dpi) {
    return ControlRect{ScaleToDpi(rect.left, dpi), ScaleToDpi(rect.top, dpi), ScaleToDpi(rect.right, dpi),
                       ScaleToDpi(rect.bottom, dpi)};
}

bool TakesPageFont(ControlType type) {
    switch (type) {
    case ControlType::Button:
    case ControlType::TextBox:
    case ControlType::ComboBox:
    case ControlType::Radio:
    case ControlType::Animation:
    case ControlType::GroupBox:
    case ControlType::TreeView:
    case ControlType::CheckBox:
        return true;
    default:
        return false;
    }
}

int ClickAction(const Property* properties, int count) {
    int action = -1;
    for (int i = 0; i < count; ++i) {
        const Property& p = properties[i];
        if (p.name != "On Click" && p.name != "Mouse Click") continue;
        if (p.value.empty()) return -1;
        // Values are written "number-label". The number is the part before
        // the dash; a value with no dash has no number part and reads 0.
        size_t dash = p.value.find('-');
        action = dash == std::string::npos ? 0 : LeadingNumber(p.value.substr(0, dash));
    }
    return action;
}

CommandTarget RouteCommand(const std::string& name) {
    struct Row {
        const char* name;
        CommandRoute route;
        int choice;
    };
    static const Row kRows[] = {
        {"IDCANCEL", CommandRoute::Cancel, -1},
        {"IDC_BROWSE", CommandRoute::Browse, -1},
        {"IDC_NOTACCEPTLICENSE", CommandRoute::License, 0},
        {"IDC_ACCEPTLICENSE", CommandRoute::License, 1},
        {"IDC_ANYONE", CommandRoute::InstallFor, 0},
        {"IDC_ONLYFORME", CommandRoute::InstallFor, 1},
        {"IDC_TYPICAL", CommandRoute::SetupType, 0},
        {"IDC_MINIMAL", CommandRoute::SetupType, 1},
        {"IDC_CUSTOM", CommandRoute::SetupType, 2},
        {"IDC_LAUNCHFILE", CommandRoute::Launch, 0},
        {"IDC_LAUNCHREADME", CommandRoute::Launch, 1},
    };
    for (const Row& row : kRows) {
        if (name == row.name) return CommandTarget{row.route, row.choice};
    }
    return CommandTarget{};
}

bool EndsPageAfterCommand(const std::string& name) {
    return name == "IDC_BACK" || name == "IDC_NEXT" || name == "IDCANCEL";
}

}  // namespace kq
