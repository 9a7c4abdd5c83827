// What applying a control's properties does, worked out without windows: the
// page turns each control's properties into a list of effects and the window
// layer carries them out in order. Keeping the decisions here lets the host
// tests check every rule (expansion or not, colour defaults, link colour,
// button names) without a screen.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "layout/layout_file.h"
#include "layout/layout_values.h"

namespace kq {

// Placeholder expansion, provided by the page's owner.
using Expander = std::function<std::string(const std::string&)>;

struct PageContext {
    int pageIndex = 0;  // position in the page list
    int pageCount = 0;
    Expander expand;  // may be empty: texts are then used as written
};

struct FontSpec {
    std::string face;
    int points = 0;
    bool bold = false;
    bool italic = false;
};

enum class Effect {
    SetText,         // text
    SetAlignment,    // alignment
    SetTextColour,   // text: a colour value, possibly COLOR_BTNFACE
    SetBackColour,   // text: a colour value, possibly COLOR_BTNFACE
    SetFont,         // font
    SetLink,         // flag
    SetThinBorder,   // flag
    SetBuiltinIcon,  // number: 0..7
    LoadIconFile,    // text: path
    MakeDefaultButton,
    Disable,
    Hide,
    SetRightAlignedExStyle,  // the ready page's summary box
};

struct PropertyEffect {
    Effect effect = Effect::SetText;
    std::string text;
    int number = 0;
    bool flag = false;
    Alignment alignment = Alignment::Unchanged;
    FontSpec font;
};

// Font from the four consecutive properties starting at `first`.
FontSpec FontFromProperties(const ControlEntry& entry, int first);

// Built-in icon index for an "IDI_..." name, -1 for an unknown one.
int BuiltinIconIndex(const std::string& name);

// Applies the positions the control's type lists, in order: the identifier
// name is adopted (an empty name keeps the generated one), values the rules
// rewrite are stored back (a link's text colour), and the visible effects
// are returned in the order they must happen.
std::vector<PropertyEffect> ArrangeProperties(ControlEntry& entry, const PageContext& context);

}  // namespace kq
