#include "layout/property_effects.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "layout/question_texts.h"

namespace kq {
namespace {

// A control of `type` holding the given property values (Name|Value|0).
ControlEntry Entry(ControlType type, const std::vector<std::string>& values) {
    ControlEntry e;
    e.type = type;
    e.identifierName = GeneratedNameOf(type, 1);
    for (size_t i = 0; i < values.size(); ++i) {
        e.properties[i].name = "P" + std::to_string(i);
        e.properties[i].value = values[i];
    }
    e.propertyCount = static_cast<int>(values.size());
    return e;
}

PageContext Context(int index = 1, int count = 4) {
    PageContext c;
    c.pageIndex = index;
    c.pageCount = count;
    c.expand = [](const std::string& text) {
        std::string out = text;
        size_t at = out.find("<ProductName>");
        if (at != std::string::npos) out.replace(at, 13, "Widget");
        return out;
    };
    return c;
}

// The effects written one per line ("Text:Hello"), for readable expectations.
std::string Describe(const std::vector<PropertyEffect>& effects) {
    std::string out;
    for (const PropertyEffect& e : effects) {
        switch (e.effect) {
        case Effect::SetText:
            out += "Text:" + e.text;
            break;
        case Effect::SetAlignment:
            out += "Align:" + std::to_string(static_cast<int>(e.alignment));
            break;
        case Effect::SetTextColour:
            out += "Fore:" + e.text;
            break;
        case Effect::SetBackColour:
            out += "Back:" + e.text;
            break;
        case Effect::SetFont:
            out += "Font:" + e.font.face + "/" + std::to_string(e.font.points) + (e.font.bold ? "/b" : "/-") +
                   (e.font.italic ? "/i" : "/-");
            break;
        case Effect::SetLink:
            out += std::string("Link:") + (e.flag ? "on" : "off");
            break;
        case Effect::SetThinBorder:
            out += std::string("Border:") + (e.flag ? "on" : "off");
            break;
        case Effect::SetBuiltinIcon:
            out += "Builtin:" + std::to_string(e.number);
            break;
        case Effect::LoadIconFile:
            out += "IconFile:" + e.text;
            break;
        case Effect::MakeDefaultButton:
            out += "Default";
            break;
        case Effect::Disable:
            out += "Disable";
            break;
        case Effect::Hide:
            out += "Hide";
            break;
        case Effect::SetRightAlignedExStyle:
            out += "ExRight";
            break;
        }
        out += "\n";
    }
    return out;
}

struct EffectsCase {
    const char* what;
    ControlType type;
    std::vector<std::string> values;
    const char* finalName;
    const char* effects;
};

TEST(PropertyEffects, EffectsPerType) {
    const EffectsCase cases[] = {
        {"button without caption empties its text", ControlType::Button, {"IDC_OK"}, "IDC_OK", "Text:\n"},
        {"button caption expanded, font from 3..6",
         ControlType::Button,
         {"IDC_X", "<ProductName> now", "1", "Tahoma", "9", "No", "no"},
         "IDC_X",
         "Text:Widget now\nFont:Tahoma/9/-/i\n"},
        {"button named IDC_NEXT is the default",
         ControlType::Button,
         {"IDC_NEXT", "Next"},
         "IDC_NEXT",
         "Default\nText:Next\n"},
        {"no properties: generated name kept", ControlType::Button, {}, "IDC_BUTTON1", "Text:\n"},
        {"text: alignment by first character, colours, link",
         ControlType::Text,
         {"IDC_L", "Hi <ProductName>", "1-Left", "10,20,30", "", "Arial", "12", "No", "No", "Yes"},
         "IDC_L",
         "Text:Hi Widget\nAlign:2\nFore:10,20,30\nBack:COLOR_BTNFACE\nFont:Arial/12/-/-\nLink:on\n"},
        {"text: unknown alignment and empty text colour change nothing",
         ControlType::Text,
         {"IDC_L", "x", "7", "", "1,2,3"},
         "IDC_L",
         "Text:x\nBack:1,2,3\nLink:off\n"},
        {"text: centred",
         ControlType::Text,
         {"IDC_L", "x", "0"},
         "IDC_L",
         "Text:x\nAlign:1\nBack:COLOR_BTNFACE\nLink:off\n"},
        {"radio: expanded, white text after background",
         ControlType::Radio,
         {"IDC_R", "<ProductName>", "0,0,0"},
         "IDC_R",
         "Text:Widget\nBack:0,0,0\nFore:255,255,255\n"},
        {"radio: text colour after background wins",
         ControlType::Radio,
         {"IDC_R", "r", "", "1,1,1"},
         "IDC_R",
         "Text:r\nBack:COLOR_BTNFACE\nFore:255,255,255\nFore:1,1,1\n"},
        {"checkbox: not expanded, black by default",
         ControlType::CheckBox,
         {"IDC_C", "<ProductName>"},
         "IDC_C",
         "Text:<ProductName>\nBack:COLOR_BTNFACE\nFore:0,0,0\n"},
        {"textbox IDC_SETTINGS gets right-aligned ex styles",
         ControlType::TextBox,
         {"IDC_SETTINGS", "<ProductName>", "", "", "Yes"},
         "IDC_SETTINGS",
         "ExRight\nText:<ProductName>\n"},
        {"groupbox: no name adopted, caption as written",
         ControlType::GroupBox,
         {"IDC_G", "<ProductName>"},
         "IDC_GROUPBOX1",
         "Text:<ProductName>\nBack:COLOR_BTNFACE\n"},
        {"rect: panel colour", ControlType::Rect, {"x", "9,9,9"}, "IDC_RECT1", "Back:9,9,9\n"},
        {"icon: built-in name", ControlType::Icon, {"x", "IDI_SETUP", "1,2,3"}, "IDC_ICON1", "Builtin:6\nBack:1,2,3\n"},
        {"icon: unknown IDI shows nothing new",
         ControlType::Icon,
         {"x", "IDI_NOPE"},
         "IDC_ICON1",
         "Back:COLOR_BTNFACE\n"},
        {"icon: file",
         ControlType::Icon,
         {"x", "C:\\t\\a.ico"},
         "IDC_ICON1",
         "IconFile:C:\\t\\a.ico\nBack:COLOR_BTNFACE\n"},
        {"icon: no file named", ControlType::Icon, {}, "IDC_ICON1", "Back:COLOR_BTNFACE\n"},
        {"bitmap: '0 -' means button face",
         ControlType::Bitmap,
         {"a", "b", "10 - x"},
         "IDB_BITMAP1",
         "Back:COLOR_BTNFACE\n"},
        {"bitmap: colour", ControlType::Bitmap, {"a", "b", "1,2,3"}, "IDB_BITMAP1", "Back:1,2,3\n"},
        {"listview: style 0 removes the border",
         ControlType::ListView,
         {"a", "b", "0-None"},
         "IDC_LISTVIEW1",
         "Border:off\n"},
        {"listview: style 1 adds it", ControlType::ListView, {"a", "b", "1"}, "IDC_LISTVIEW1", "Border:on\n"},
        {"listview: other styles nothing", ControlType::ListView, {"a", "b", "5"}, "IDC_LISTVIEW1", ""},
        {"progress IDC_DOWNLOADPROGRESS hidden",
         ControlType::Progress,
         {"IDC_DOWNLOADPROGRESS"},
         "IDC_DOWNLOADPROGRESS",
         "Hide\n"},
        {"combo adopts its name", ControlType::ComboBox, {"IDC_LANG", "x"}, "IDC_LANG", ""},
        {"hover applies nothing", ControlType::Hover, {"IDC_H", "x", "y"}, "IDC_HOVER1", ""},
        {"animation applies nothing", ControlType::Animation, {"IDC_A", "x"}, "IDC_ANIMATION1", ""},
    };
    for (const EffectsCase& c : cases) {
        SCOPED_TRACE(c.what);
        ControlEntry e = Entry(c.type, c.values);
        std::vector<PropertyEffect> effects = ArrangeProperties(e, Context());
        EXPECT_EQ(e.identifierName, c.finalName);
        EXPECT_EQ(Describe(effects), c.effects);
    }
}

TEST(PropertyEffects, UrlLinkRewritesTheTextColourProperty) {
    ControlEntry e = Entry(ControlType::Text, {"IDC_L", "x", "1", "255,0,0", "", "", "", "", "", "Yes"});
    ArrangeProperties(e, Context());
    EXPECT_EQ(e.ValueAt(3), "0,0,255");

    ControlEntry off = Entry(ControlType::Text, {"IDC_L", "x", "1", "255,0,0", "", "", "", "", "", "yes"});
    ArrangeProperties(off, Context());
    EXPECT_EQ(off.ValueAt(3), "255,0,0");
}

TEST(PropertyEffects, BackAndCancelDisabledAtTheEnds) {
    struct Case {
        const char* name;
        int index, count;
        bool disabled;
    } cases[] = {
        {"IDC_BACK", 0, 5, true},  {"IDC_BACK", 1, 5, false},   {"IDC_BACK", 4, 5, true}, {"IDCANCEL", 0, 5, false},
        {"IDCANCEL", 4, 5, true},  {"IDCANCEL", 5, 5, true},    {"IDC_BACK", 1, 2, true}, {"IDCANCEL", 1, 2, true},
        {"IDC_NEXT", 4, 5, false}, {"IDC_FINISH", 4, 5, false},
    };
    for (const Case& c : cases) {
        ControlEntry e = Entry(ControlType::Button, {c.name, "t"});
        std::string d = Describe(ArrangeProperties(e, Context(c.index, c.count)));
        EXPECT_EQ(d.find("Disable") != std::string::npos, c.disabled) << c.name << " " << c.index << "/" << c.count;
    }
    // Only buttons: a label named IDC_BACK is not touched.
    ControlEntry label = Entry(ControlType::Text, {"IDC_BACK", "t"});
    EXPECT_EQ(Describe(ArrangeProperties(label, Context(0, 5))).find("Disable"), std::string::npos);
}

TEST(PropertyEffects, WithoutExpanderTextsStayAsWritten) {
    ControlEntry e = Entry(ControlType::Text, {"IDC_L", "<ProductName>"});
    PageContext c;
    EXPECT_EQ(Describe(ArrangeProperties(e, c)), "Text:<ProductName>\nBack:COLOR_BTNFACE\nLink:off\n");
}

TEST(PropertyEffects, LayoutFileToEffects) {
    IniText ini(
        "[INFO]\nTOTAL=2\n"
        "0=0,10,10,90,25,BUTTON,,0,3000\n"
        "1=0,10,40,200,20,TEXT,,0,3001\n"
        "[DADOS]\n"
        "3000,t=3\n3000,0=Name|IDC_NEXT|0\n3000,1=Caption|&Next >|0\n3000,2=On Click|1-Next|0\n"
        "3001,t=10\n3001,0=Name|IDC_TITLE|0\n3001,1=Caption|Welcome to <ProductName>|0\n"
        "3001,2=Text Align|2-Right|0\n3001,3=Text Color|0,0,128|0\n3001,4=BackColor|255,255,255|0\n"
        "3001,5=Font|Verdana|0\n3001,6=Size|14|0\n3001,7=Bold|Yes|0\n3001,8=Italic|No|0\n3001,9=URL Link|No|0\n");
    auto layout = std::make_unique<PageLayout>();
    ReadLayout(ini, "theme\\welcome.lcd", layout.get());
    ASSERT_EQ(layout->controls.Count(), 2);
    ControlEntry& button = layout->controls.At(0);
    ControlEntry& title = layout->controls.At(1);
    EXPECT_EQ(Describe(ArrangeProperties(button, Context(0, 3))), "Default\nText:&Next >\n");
    EXPECT_EQ(button.ClickAction(), 1);
    EXPECT_EQ(Describe(ArrangeProperties(title, Context(0, 3))),
              "Text:Welcome to Widget\nAlign:3\nFore:0,0,128\nBack:255,255,255\nFont:Verdana/14/b/-\nLink:off\n");
    EXPECT_EQ(layout->controls.IndexOfName("IDC_TITLE"), 1);
    EXPECT_EQ(title.ClickAction(), -1);
}

TEST(QuestionTexts, ThreeModes) {
    IniText lang(
        "[CancelSetup]\n0=Cancel [ProductName] setup?\n1=No\n2=Yes, leave [ProductName]\n"
        "[SetupError]\n3=Quit [ProductName]\n");
    Expander expand = [](const std::string& t) {
        std::string out = t;
        size_t at = out.find("<ProductName>");
        if (at != std::string::npos) out.replace(at, 13, "Widget");
        return out;
    };
    QuestionTexts cancel = ResolveQuestionTexts(kQuestionModeCancel, "ignored", lang, expand);
    EXPECT_EQ(cancel.body, "Cancel Widget setup?");
    EXPECT_EQ(cancel.okText, "Yes, leave Widget");  // button texts take placeholders too
    EXPECT_EQ(cancel.cancelText, "No");
    EXPECT_TRUE(cancel.showOk);

    QuestionTexts restart = ResolveQuestionTexts(kQuestionModeRestart, "Restart [now]", lang, expand);
    EXPECT_EQ(restart.body, "Restart [now]");
    EXPECT_EQ(restart.okText, "Yes, leave Widget");
    EXPECT_EQ(restart.cancelText, "No");

    QuestionTexts error = ResolveQuestionTexts(kQuestionModeError, "Needs 64 MB", lang, expand);
    EXPECT_EQ(error.body, "Needs 64 MB");
    EXPECT_FALSE(error.showOk);
    EXPECT_EQ(error.cancelText, "Quit Widget");

    IniText empty("");
    QuestionTexts missing = ResolveQuestionTexts(7, "", empty, Expander());
    EXPECT_EQ(missing.body, "");
    EXPECT_EQ(missing.okText, "");
    EXPECT_EQ(BracketsToAngles("[a]]["), "<a>><");
}

}  // namespace
}  // namespace kq
