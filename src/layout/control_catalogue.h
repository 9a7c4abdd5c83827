// The catalogue of control types a layout file may name: for each type
// keyword, the window style it is created with, its default text, the
// identifier name it is given until its properties name it, the size rule,
// and what each property position means. Also the click-action scan and the
// routing of a control's click by identifier name.
#pragma once
#include <cstdint>
#include <string>

namespace kq {

enum class ControlType {
    Bitmap,
    Hover,
    Button,
    Text,
    Rect,
    TextBox,
    ComboBox,
    Radio,
    Hotspot,
    Animation,
    Progress,
    ListView,
    GroupBox,
    Icon,
    TreeView,
    Frame,
    RichText,
    CheckBox,
};
constexpr int kControlTypeCount = 18;

// Which window the control becomes.
enum class ControlClass { Picture, Button, Label, Edit, Combo, Option, Progress, Tree, Frame, RichText };

// What a property position does for a type. Positions a type does not list
// are kept with the control and not applied.
enum class PropertyRole {
    None,
    IdentifierName,
    Caption,    // expanded (placeholders) for BUTTON, TEXT, RADIO; as written otherwise
    TextAlign,
    TextColour,
    BackColour,
    FontName,
    FontSize,
    FontBold,
    FontItalic,
    UrlLink,
    ReadOnly,
    IconFile,
    ListStyle,
};
constexpr int kAppliedPositions = 10;

struct ControlTypeInfo {
    ControlType type;
    const char* keyword;     // field 5 of a control record, exact and upper case
    ControlClass cls;
    uint32_t style;          // window style at creation
    const char* defaultText; // printf pattern with the type's 1-based count; nullptr: none
    const char* namePattern; // generated identifier name, same count
    PropertyRole roles[kAppliedPositions];
};

// nullptr for a keyword that is not in the catalogue (such a record creates
// nothing).
const ControlTypeInfo* FindControlType(const std::string& keyword);
const ControlTypeInfo& InfoOf(ControlType type);

// "%i" filled with n; "" for a type without default text.
std::string DefaultTextOf(ControlType type, int n);
std::string GeneratedNameOf(ControlType type, int n);

struct ControlRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The rectangle a control is created with: tiny controls (width under 30 and
// height under 10, or under 8 for the label-like types) grow to 90 by 25, an
// ICON is always 32 by 32, BITMAP and HOVER keep what was written.
ControlRect SizeAtCreation(ControlType type, const ControlRect& written);

// The rectangle at `dpi` (see ScaleToDpi): each edge scales, so controls
// that touch at 96 still touch and none overlaps that did not.
ControlRect ScaleRect(const ControlRect& rect, int dpi);

// Types that take the page font when they are created.
bool TakesPageFont(ControlType type);

// Property record: Name|Value|Number.
struct Property {
    std::string name;
    std::string value;
    int number = 0;
};

// Scans properties for "On Click" / "Mouse Click": each match's value, cut
// before its first '-', is read as the action (a value without a dash reads
// 0); a later match replaces an earlier one; an empty value ends the scan
// with -1, as does having no match.
int ClickAction(const Property* properties, int count);
constexpr int kActionNext = 1;
constexpr int kActionBack = 2;

// What a click on a control means, by identifier name. The names handled by
// the page logic itself carry a choice number; everything else is a wizard
// command.
enum class CommandRoute {
    Wizard,
    Cancel,
    Browse,
    License,     // 0 declined, 1 accepted
    InstallFor,  // 0 anyone, 1 only for me
    SetupType,   // 0 typical, 1 minimal, 2 custom
    Launch,      // 0 launch file, 1 launch readme
};
struct CommandTarget {
    CommandRoute route = CommandRoute::Wizard;
    int choice = -1;
};
CommandTarget RouteCommand(const std::string& identifierName);

// After a wizard command the page that issued it ends itself for these names.
bool EndsPageAfterCommand(const std::string& identifierName);

}  // namespace kq
