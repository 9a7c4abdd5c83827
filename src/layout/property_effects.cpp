#include "layout/property_effects.h"

#include "base/text.h"

namespace kq {

namespace {

PropertyEffect Make(Effect effect, std::string text = std::string()) {
    PropertyEffect e;
    e.effect = effect;
    e.text = std::move(text);
    return e;
}

std::string Expanded(const PageContext& context, const std::string& text) {
    return context.expand ? context.expand(text) : text;
}

std::string OrButtonFace(const std::string& value) {
    return value.empty() ? std::string(kButtonFaceKeyword) : value;
}

// The effects of a name a control adopts.
void NameEffects(const ControlEntry& entry, const PageContext& context, std::vector<PropertyEffect>* out) {
    const std::string& name = entry.identifierName;
    if (entry.type == ControlType::Button) {
        if (name == "IDC_NEXT") out->push_back(Make(Effect::MakeDefaultButton));
        bool first = context.pageIndex == 0;
        bool last = context.pageIndex >= context.pageCount - 1;
        if ((name == "IDC_BACK" && (first || last)) || (name == "IDCANCEL" && last)) {
            out->push_back(Make(Effect::Disable));
        }
    } else if (entry.type == ControlType::TextBox && name == "IDC_SETTINGS") {
        out->push_back(Make(Effect::SetRightAlignedExStyle));
    } else if (entry.type == ControlType::Progress && name == "IDC_DOWNLOADPROGRESS") {
        out->push_back(Make(Effect::Hide));
    }
}

// First position of the four font properties, or -1 for a type without them.
int FontPosition(ControlType type) {
    if (type == ControlType::Button) return 3;
    if (type == ControlType::Text) return 5;
    return -1;
}

}  // namespace

FontSpec FontFromProperties(const ControlEntry& entry, int first) {
    FontSpec f;
    f.face = entry.ValueAt(first);
    f.points = LeadingNumber(entry.ValueAt(first + 1));
    f.bold = FontFlagOn(entry.ValueAt(first + 2));
    f.italic = FontFlagOn(entry.ValueAt(first + 3));
    return f;
}

int BuiltinIconIndex(const std::string& name) {
    static const char* const kNames[] = {"IDI_EXCLAMATION", "IDI_INFO",   "IDI_ERROR", "IDI_TYPICAL",
                                         "IDI_MINIMAL",     "IDI_CUSTOM", "IDI_SETUP", "IDI_FOLDER"};
    for (int i = 0; i < 8; ++i) {
        if (name == kNames[i]) return i;
    }
    return -1;
}

namespace {

using Effects = std::vector<PropertyEffect>;

void AddAlignment(ControlType type, const std::string& value, Effects* out) {
    // A button keeps the value only; labels align by its first character.
    if (type != ControlType::Text) return;
    Alignment a = ParseAlignment(value);
    if (a == Alignment::Unchanged) return;
    PropertyEffect e = Make(Effect::SetAlignment);
    e.alignment = a;
    out->push_back(e);
}

void AddTextColour(ControlType type, const std::string& value, Effects* out) {
    if (type == ControlType::CheckBox) {
        out->push_back(Make(Effect::SetTextColour, value.empty() ? std::string("0,0,0") : value));
    } else if (!value.empty()) {
        // An empty text colour would paint text in the background colour;
        // the control keeps its own text colour instead.
        out->push_back(Make(Effect::SetTextColour, value));
    }
}

void AddBackColour(ControlType type, const std::string& value, Effects* out) {
    if (type == ControlType::Bitmap && value.find("0 -") != std::string::npos) {
        out->push_back(Make(Effect::SetBackColour, kButtonFaceKeyword));
    } else {
        out->push_back(Make(Effect::SetBackColour, OrButtonFace(value)));
    }
    // An option's background resets its text to white; a text colour
    // property, applied next, may override it.
    if (type == ControlType::Radio) out->push_back(Make(Effect::SetTextColour, "255,255,255"));
}

void AddFont(const ControlEntry& entry, Effects* out) {
    // The four font positions make one font. A control that holds no font
    // properties at all keeps the page font rather than getting a nameless
    // bold italic one.
    int first = FontPosition(entry.type);
    if (first < 0 || entry.propertyCount <= first) return;
    PropertyEffect e = Make(Effect::SetFont);
    e.font = FontFromProperties(entry, first);
    out->push_back(e);
}

void AddLink(ControlEntry& entry, const std::string& value, Effects* out) {
    // The label turns itself blue; its text colour property says so from
    // now on, whatever was written there.
    PropertyEffect e = Make(Effect::SetLink);
    e.flag = IsYes(value);
    if (e.flag) entry.properties[3].value = "0,0,255";
    out->push_back(e);
}

void AddIcon(const std::string& value, Effects* out) {
    if (value.compare(0, 3, "IDI") == 0) {
        int index = BuiltinIconIndex(value);
        if (index < 0) return;
        PropertyEffect e = Make(Effect::SetBuiltinIcon);
        e.number = index;
        out->push_back(e);
    } else if (!value.empty()) {
        out->push_back(Make(Effect::LoadIconFile, value));
    }
}

void AddListStyle(const std::string& value, Effects* out) {
    if (value.empty() || (value[0] != '0' && value[0] != '1')) return;
    PropertyEffect e = Make(Effect::SetThinBorder);
    e.flag = value[0] == '1';
    out->push_back(e);
}

// The effects of the property at one position, by its role.
void AddRoleEffects(PropertyRole role, const std::string& value, ControlEntry& entry, const PageContext& context,
                    Effects* out) {
    const ControlType type = entry.type;
    switch (role) {
    case PropertyRole::IdentifierName:
        // A control left without a name keeps its generated one, so it can
        // still be found.
        if (!value.empty()) entry.identifierName = value;
        NameEffects(entry, context, out);
        break;
    case PropertyRole::Caption: {
        bool expand = type == ControlType::Button || type == ControlType::Text || type == ControlType::Radio;
        out->push_back(Make(Effect::SetText, expand ? Expanded(context, value) : value));
        break;
    }
    case PropertyRole::TextAlign:
        AddAlignment(type, value, out);
        break;
    case PropertyRole::TextColour:
        AddTextColour(type, value, out);
        break;
    case PropertyRole::BackColour:
        AddBackColour(type, value, out);
        break;
    case PropertyRole::FontName:
        AddFont(entry, out);
        break;
    case PropertyRole::FontSize:
    case PropertyRole::FontBold:
    case PropertyRole::FontItalic:
    case PropertyRole::ReadOnly:
        // Part of the font above, or kept only.
        break;
    case PropertyRole::UrlLink:
        AddLink(entry, value, out);
        break;
    case PropertyRole::IconFile:
        AddIcon(value, out);
        break;
    case PropertyRole::ListStyle:
        AddListStyle(value, out);
        break;
    case PropertyRole::None:
        break;
    }
}

}  // namespace

std::vector<PropertyEffect> ArrangeProperties(ControlEntry& entry, const PageContext& context) {
    std::vector<PropertyEffect> out;
    const ControlTypeInfo& info = InfoOf(entry.type);
    for (int j = 0; j < kAppliedPositions; ++j) {
        const PropertyRole role = info.roles[j];
        if (role == PropertyRole::None) continue;
        // Every listed position is applied; one past the property count reads "".
        // A copy: applying a role may rewrite the entry's properties.
        const std::string value = entry.ValueAt(j);
        AddRoleEffects(role, value, entry, context, &out);
    }
    return out;
}

}  // namespace kq
