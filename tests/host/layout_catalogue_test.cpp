#include "layout/control_catalogue.h"

#include <vector>

#include <gtest/gtest.h>

namespace kq {
namespace {

TEST(LayoutCatalogue, KeywordsStylesTextsAndNames) {
    struct Row {
        const char* keyword;
        uint32_t style;
        const char* text2;  // default text of the second of its type
        const char* name2;
        ControlClass cls;
    } rows[] = {
        {"BITMAP", 0x5000020E, "", "IDB_BITMAP2", ControlClass::Picture},
        {"HOVER", 0x5000020E, "", "IDC_HOVER2", ControlClass::Picture},
        {"BUTTON", 0x50010000, "Button 2", "IDC_BUTTON2", ControlClass::Button},
        {"TEXT", 0x50000000, "Text 2", "IDC_STATIC2", ControlClass::Label},
        {"RECT", 0x50000000, "", "IDC_RECT2", ControlClass::Label},
        {"TEXTBOX", 0x50010004, "", "IDC_TEXT2", ControlClass::Edit},
        {"COMBOBOX", 0x50000803, "", "IDC_COMBO2", ControlClass::Combo},
        {"RADIO", 0x5001000B, "Radio 2", "IDC_RADIO2", ControlClass::Option},
        {"HOTSPOT", 0x50800000, "", "IDC_HOTSPOT2", ControlClass::Label},
        {"ANIMATION", 0x50800000, "Animation Box 2", "IDC_ANIMATION2", ControlClass::Label},
        {"PROGRESS", 0x50000000, "", "IDC_PROGRESS2", ControlClass::Progress},
        {"LISTVIEW", 0x50000000, "ListView2", "IDC_LISTVIEW2", ControlClass::Label},
        {"GROUPBOX", 0x50000007, "GroupBox 2", "IDC_GROUPBOX2", ControlClass::Button},
        {"ICON", 0x50000203, "", "IDC_ICON2", ControlClass::Picture},
        {"TREEVIEW", 0x50000002, "TreeView2", "IDC_TREEVIEW2", ControlClass::Tree},
        {"FRAME", 0x50000000, "", "IDC_FRAME2", ControlClass::Frame},
        {"RICHTEXT", 0x50201004, "", "IDC_RICHTEXT2", ControlClass::RichText},
        {"CHECKBOX", 0x50010002, "CheckBox2", "IDC_CHECKBOX2", ControlClass::Option},
    };
    for (const Row& r : rows) {
        const ControlTypeInfo* info = FindControlType(r.keyword);
        ASSERT_NE(info, nullptr) << r.keyword;
        EXPECT_EQ(info->style, r.style) << r.keyword;
        EXPECT_EQ(info->cls, r.cls) << r.keyword;
        EXPECT_EQ(DefaultTextOf(info->type, 2), r.text2) << r.keyword;
        EXPECT_EQ(GeneratedNameOf(info->type, 2), r.name2) << r.keyword;
        EXPECT_EQ(&InfoOf(info->type), info);
    }
    for (const char* bad : {"button", "Button", " BUTTON", "BUTTON ", "", "LABEL", "BUTTONS"}) {
        EXPECT_EQ(FindControlType(bad), nullptr) << '"' << bad << '"';
    }
    EXPECT_EQ(GeneratedNameOf(ControlType::Button, 15), "IDC_BUTTON15");
}

TEST(LayoutCatalogue, SizeRule) {
    struct Case {
        ControlType type;
        ControlRect written;
        int width, height;
    } cases[] = {
        {ControlType::Button, {5, 6, 25, 14}, 90, 25},   // 20 by 8 grows
        {ControlType::Button, {5, 6, 25, 16}, 20, 10},   // 20 by 10 keeps
        {ControlType::Button, {5, 6, 35, 14}, 30, 8},    // 30 wide keeps
        {ControlType::Text, {0, 0, 20, 7}, 90, 25},
        {ControlType::Text, {0, 0, 20, 8}, 20, 8},       // labels: height limit 8
        {ControlType::Radio, {0, 0, 20, 9}, 90, 25},     // others: limit 10
        {ControlType::Frame, {0, 0, 20, 9}, 20, 9},
        {ControlType::Progress, {0, 0, 0, 0}, 90, 25},
        {ControlType::TreeView, {0, 0, 10, 7}, 90, 25},
        {ControlType::ListView, {0, 0, 29, 8}, 29, 8},
        {ControlType::Animation, {0, 0, 29, 7}, 90, 25},
        {ControlType::Bitmap, {0, 0, 1, 1}, 1, 1},
        {ControlType::Hover, {3, 3, 3, 3}, 0, 0},
        {ControlType::Icon, {7, 8, 500, 500}, 32, 32},
        {ControlType::Icon, {7, 8, 7, 8}, 32, 32},
        {ControlType::Button, {10, 10, 0, 0}, 90, 25},   // negative size counts as tiny
    };
    for (const Case& c : cases) {
        ControlRect r = SizeAtCreation(c.type, c.written);
        EXPECT_EQ(r.left, c.written.left);
        EXPECT_EQ(r.top, c.written.top);
        EXPECT_EQ(r.Width(), c.width) << static_cast<int>(c.type);
        EXPECT_EQ(r.Height(), c.height) << static_cast<int>(c.type);
    }
    // At 150% each edge scales (7.5 and 37.5 round away from zero).
    const ControlRect scaled = ScaleRect(ControlRect{5, 6, 25, 14}, 144);
    EXPECT_EQ((std::vector<int>{scaled.left, scaled.top, scaled.right, scaled.bottom}),
              (std::vector<int>{8, 9, 38, 21}));
}

TEST(LayoutCatalogue, PageFontTypes) {
    for (ControlType t : {ControlType::Button, ControlType::TextBox, ControlType::ComboBox, ControlType::Radio,
                          ControlType::Animation, ControlType::GroupBox, ControlType::TreeView,
                          ControlType::CheckBox}) {
        EXPECT_TRUE(TakesPageFont(t)) << static_cast<int>(t);
    }
    for (ControlType t : {ControlType::Text, ControlType::Bitmap, ControlType::Progress, ControlType::RichText,
                          ControlType::Frame}) {
        EXPECT_FALSE(TakesPageFont(t)) << static_cast<int>(t);
    }
}

TEST(LayoutCatalogue, ClickActionScan) {
    struct Case {
        std::vector<Property> props;
        int expected;
    } cases[] = {
        {{}, -1},
        {{{"Name", "IDC_X", 0}}, -1},
        {{{"On Click", "1-Next", 0}}, 1},
        {{{"Mouse Click", "2 - Back", 0}}, 2},
        {{{"On Click", "", 0}}, -1},
        {{{"On Click", "1", 0}}, 0},          // no dash: nothing before it to read
        {{{"On Click", "-5", 0}}, 0},
        {{{"On Click", "7-x", 0}}, 7},
        {{{"On Click", "1-Next", 0}, {"Mouse Click", "2-Back", 0}}, 2},  // later wins
        {{{"On Click", "1-Next", 0}, {"Mouse Click", "", 0}}, -1},       // empty ends the scan
        {{{"On Click", "", 0}, {"Mouse Click", "2-Back", 0}}, -1},
        {{{"on click", "1-Next", 0}}, -1},
        {{{"On Click ", "1-Next", 0}}, -1},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(ClickAction(c.props.data(), static_cast<int>(c.props.size())), c.expected) << "case " << i;
    }
}

TEST(LayoutCatalogue, CommandRouting) {
    struct Case {
        const char* name;
        CommandRoute route;
        int choice;
        bool endsPage;
    } cases[] = {
        {"IDCANCEL", CommandRoute::Cancel, -1, true},
        {"IDC_BROWSE", CommandRoute::Browse, -1, false},
        {"IDC_NOTACCEPTLICENSE", CommandRoute::License, 0, false},
        {"IDC_ACCEPTLICENSE", CommandRoute::License, 1, false},
        {"IDC_ANYONE", CommandRoute::InstallFor, 0, false},
        {"IDC_ONLYFORME", CommandRoute::InstallFor, 1, false},
        {"IDC_TYPICAL", CommandRoute::SetupType, 0, false},
        {"IDC_MINIMAL", CommandRoute::SetupType, 1, false},
        {"IDC_CUSTOM", CommandRoute::SetupType, 2, false},
        {"IDC_LAUNCHFILE", CommandRoute::Launch, 0, false},
        {"IDC_LAUNCHREADME", CommandRoute::Launch, 1, false},
        {"IDC_NEXT", CommandRoute::Wizard, -1, true},
        {"IDC_BACK", CommandRoute::Wizard, -1, true},
        {"IDC_FINISH", CommandRoute::Wizard, -1, false},
        {"idc_next", CommandRoute::Wizard, -1, false},
        {"", CommandRoute::Wizard, -1, false},
    };
    for (const Case& c : cases) {
        CommandTarget t = RouteCommand(c.name);
        EXPECT_EQ(t.route, c.route) << c.name;
        EXPECT_EQ(t.choice, c.choice) << c.name;
        EXPECT_EQ(EndsPageAfterCommand(c.name), c.endsPage) << c.name;
    }
}

}  // namespace
}  // namespace kq
