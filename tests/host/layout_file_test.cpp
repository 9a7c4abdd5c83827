#include "layout/layout_file.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "layout/layout_values.h"

namespace kq {
namespace {

const char kFolder[] = "C:\\pkg\\theme\\";
const char kPath[] = "C:\\pkg\\theme\\page.lcd";

std::unique_ptr<PageLayout> Read(const std::string& text) {
    IniText ini(text);
    auto layout = std::make_unique<PageLayout>();
    ReadLayout(ini, kPath, layout.get());
    return layout;
}

TEST(LayoutFile, PropertyRecordSplit) {
    struct Case {
        const char* text;
        const char* name;
        const char* value;
        int number;
    } cases[] = {
        {"Caption|Next >|0", "Caption", "Next >", 0},
        {"Caption|%s|0", "Caption", "%s", 0},
        {"Caption|Hello", "Caption", "", 0},
        {"Caption|12", "Caption", "", 12},
        {"Caption|7x", "Caption", "", 7},
        {"NoBarsAtAll", "NoBarsAtAll", "", 0},
        {"", "", "", 0},
        {"|v|3", "", "v", 3},
        {"A|B|1|2", "A", "B", 12},
        {"A|B||||9", "A", "B", 9},
        {"A||5", "A", "", 5},
        {"Picture|{logo.bmp}|1", "Picture", "C:\\pkg\\theme\\logo.bmp", 1},
        {"Picture|logo.bmp|1", "Picture", "logo.bmp", 1},
        {"Picture|a{b}c|1", "Picture", "C:\\pkg\\theme\\abc", 1},
        {"Picture|x}|1", "Picture", "x}", 1},
    };
    for (const Case& c : cases) {
        Property p = ParseProperty(c.text, kFolder);
        EXPECT_EQ(p.name, c.name) << c.text;
        EXPECT_EQ(p.value, c.value) << c.text;
        EXPECT_EQ(p.number, c.number) << c.text;
    }
}

TEST(LayoutFile, ControlRecordSplit) {
    ControlRecord r = ParseControlRecord("x,10,20,90,25,BUTTON,{img.bmp},y,3004,z", kFolder);
    EXPECT_EQ(r.fieldCount, 10);
    EXPECT_EQ(r.rect.left, 10);
    EXPECT_EQ(r.rect.top, 20);
    EXPECT_EQ(r.rect.right, 100);
    EXPECT_EQ(r.rect.bottom, 45);
    EXPECT_EQ(r.keyword, "BUTTON");
    EXPECT_EQ(r.imageFile, "C:\\pkg\\theme\\img.bmp");
    EXPECT_EQ(r.recordNumber, 3004);

    // The image is always taken beside the layout, braces or not.
    EXPECT_EQ(ParseControlRecord("0,0,0,1,1,BITMAP,top.jpg,0,3000", kFolder).imageFile, "C:\\pkg\\theme\\top.jpg");
    EXPECT_EQ(ParseControlRecord("0,0,0,1,1,BITMAP,,0,3000", kFolder).imageFile, "");

    // Short records: missing fields read "" and 0.
    ControlRecord shortRecord = ParseControlRecord("0,5", kFolder);
    EXPECT_EQ(shortRecord.fieldCount, 2);
    EXPECT_EQ(shortRecord.rect.left, 5);
    EXPECT_EQ(shortRecord.keyword, "");
    EXPECT_EQ(shortRecord.recordNumber, 0);

    // Forty fields: only twenty are kept, the rest never written anywhere.
    std::string forty;
    for (int i = 0; i < 40; ++i) forty += (i ? "," : "") + std::to_string(i);
    ControlRecord many = ParseControlRecord(forty, kFolder);
    EXPECT_EQ(many.fieldCount, kMaxRecordFields);
    EXPECT_EQ(many.fields[19], "19");
    EXPECT_EQ(many.recordNumber, 8);

    // Huge coordinates are clamped, so right and bottom cannot overflow.
    ControlRecord huge = ParseControlRecord("0,2147483647,-99999999999,2147483647,5,TEXT", kFolder);
    EXPECT_EQ(huge.rect.left, kMaxCoordinate);
    EXPECT_EQ(huge.rect.top, -kMaxCoordinate);
    EXPECT_EQ(huge.rect.right, 2 * kMaxCoordinate);
    EXPECT_EQ(huge.rect.bottom, -kMaxCoordinate + 5);
}

TEST(LayoutFile, MainWindowSettingsAndStyle) {
    auto layout = Read(
        "[MAINWINDOW]\n"
        "idcname=IDD_WELCOME\ncaption=<ProductName> Setup\nbkimage={theme\\back.bmp}\n"
        "border=1-yes\nstartup=05\nbkcolor=\nwidth=500\nheight=400\nsoundfile={ding}.wav\n"
        "minwindow=Yes\nmaxwindow=yes\nclosewindow=Yes\nfontname=Tahoma\nfontsize=8\n"
        "fontbold=no\nfontitalic=No\n");
    const MainWindowSettings& m = layout->main;
    EXPECT_EQ(m.idcName, "IDD_WELCOME");
    EXPECT_EQ(m.caption, "<ProductName> Setup");
    EXPECT_EQ(m.bkImage, "theme\\back.bmp");  // not beside the layout
    EXPECT_EQ(m.soundFile, "ding.wav");
    EXPECT_EQ(ParseStartup(m.startup), 5);
    EXPECT_EQ(m.fontBold, "no");
    EXPECT_EQ(layout->controls.Count(), 0);
    EXPECT_EQ(layout->folder, kFolder);

    const uint32_t base = 0x80C80000;  // popup, caption (border + dlgframe), sysmenu
    uint32_t style = PageStyleAfterSettings(base, m);
    EXPECT_TRUE(style & style_bits::kBorder);
    EXPECT_TRUE(style & style_bits::kMinimizeBox);
    EXPECT_FALSE(style & style_bits::kMaximizeBox);  // "yes" is not "Yes"
    EXPECT_TRUE(style & style_bits::kSysMenu);

    MainWindowSettings off;
    off.border = "0";
    style = PageStyleAfterSettings(base | style_bits::kMaximizeBox, off);
    EXPECT_FALSE(style & style_bits::kBorder);
    EXPECT_TRUE(style & 0x00400000u);  // the dialog frame stays
    EXPECT_FALSE(style & style_bits::kSysMenu);
    EXPECT_FALSE(style & style_bits::kMaximizeBox);

    MainWindowSettings keep;
    EXPECT_EQ(PageStyleAfterSettings(0x00800000u, keep) & style_bits::kBorder, style_bits::kBorder);
    EXPECT_EQ(PageStyleAfterSettings(0, keep) & style_bits::kBorder, 0u);
}

TEST(LayoutFile, MissingFileOrZeroTotalGivesAnEmptyPage) {
    for (const char* text : {"", "[INFO]\nTOTAL=0\n0=0,1,1,50,50,TEXT,,0,3000\n", "[INFO]\nTOTAL=-3\n",
                             "[INFO]\nTOTAL=abc\n0=0,1,1,50,50,TEXT,,0,3000\n", "garbage\n\x01\x02"}) {
        auto layout = Read(text);
        EXPECT_EQ(layout->controls.Count(), 0) << text;
        EXPECT_EQ(layout->main.caption, "");
    }
}

// Three controls: ids in creation order (last record first), table in file
// order, generated names and default texts from the 1-based count per type.
TEST(LayoutFile, CreationOrderIdsAndNames) {
    auto layout = Read(
        "[INFO]\nTOTAL=4\n"
        "0=0,10,10,90,25,BUTTON,,0,3000\n"
        "1=0,10,40,200,20,TEXT,,0,3001\n"
        "2=0,10,70,90,25,BUTTON,,0,3002\n"
        "3=0,10,90,20,8,BUTTON,,0,3003\n"
        "[DADOS]\n3000,t=2\n3000,0=Name|IDC_NEXT|0\n3000,1=Caption|Next >|0\n");
    const ControlTable& t = layout->controls;
    ASSERT_EQ(t.Count(), 4);
    struct Row {
        ControlType type;
        int id;
        const char* name;
        const char* text;
        int slot;
    } rows[] = {
        {ControlType::Button, 3003, "IDC_BUTTON3", "Button 3", 2},
        {ControlType::Text, 3002, "IDC_STATIC1", "Text 1", 0},
        {ControlType::Button, 3001, "IDC_BUTTON2", "Button 2", 1},
        {ControlType::Button, 3000, "IDC_BUTTON1", "Button 1", 0},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t.At(i).type, rows[i].type);
        EXPECT_EQ(t.At(i).windowId, rows[i].id);
        EXPECT_EQ(t.At(i).identifierName, rows[i].name);
        EXPECT_EQ(t.At(i).defaultText, rows[i].text);
        EXPECT_EQ(t.At(i).typeSlot, rows[i].slot);
        EXPECT_EQ(t.At(i).recordNumber, 3000 + i);
    }
    // Properties travel with their entry when later creations move it back.
    ASSERT_EQ(t.At(0).propertyCount, 2);
    EXPECT_EQ(t.At(0).properties[1].value, "Next >");
    EXPECT_EQ(t.At(1).propertyCount, 0);
    // The 20 by 8 button was grown by the size rule.
    EXPECT_EQ(t.At(3).rect.Width(), 90);
    EXPECT_EQ(t.At(3).rect.Height(), 25);
    EXPECT_EQ(t.IndexOfId(3002), 1);
    EXPECT_EQ(t.IndexOfName("IDC_BUTTON2"), 2);
    EXPECT_EQ(t.IndexOfName("IDC_NONE"), -1);
    EXPECT_EQ(t.IndexOfId(2999), -1);
}

TEST(LayoutFile, UnknownTypesCreateNothingAndTakeNoId) {
    auto layout = Read(
        "[INFO]\nTOTAL=3\n"
        "0=0,1,1,50,50,TEXT,,0,3000\n"
        "1=0,1,1,50,50,button,,0,3001\n"
        "2=0,1,1,50,50,,,0,3002\n"
        "[DADOS]\n3001,t=1\n3001,0=Name|IDC_LOST|0\n");
    ASSERT_EQ(layout->controls.Count(), 1);
    EXPECT_EQ(layout->controls.At(0).windowId, 3000);
    EXPECT_EQ(layout->droppedRecords, 2);
    EXPECT_EQ(layout->controls.IndexOfName("IDC_LOST"), -1);
}

TEST(LayoutFile, PropertyCountsAreBounded) {
    std::string text = "[INFO]\nTOTAL=3\n0=0,1,1,50,50,TEXT,,0,3000\n1=0,1,1,50,50,TEXT,,0,3001\n"
                       "2=0,1,1,50,50,TEXT,,0,3002\n[DADOS]\n3000,t=99999\n3001,t=-4\n3002,t=20\n";
    for (int j = 0; j < 25; ++j) {
        text += "3000," + std::to_string(j) + "=P" + std::to_string(j) + "|v" + std::to_string(j) + "|0\n";
        text += "3002," + std::to_string(j) + "=Q|w" + std::to_string(j) + "|0\n";
    }
    auto layout = Read(text);
    const ControlTable& t = layout->controls;
    ASSERT_EQ(t.Count(), 3);
    EXPECT_EQ(t.At(0).propertyCount, kMaxProperties);
    EXPECT_EQ(t.At(0).properties[19].value, "v19");
    EXPECT_EQ(t.At(0).ValueAt(20), "");
    EXPECT_EQ(t.At(1).propertyCount, 0);
    // Moves carry all twenty properties, not just the first fifteen.
    EXPECT_EQ(t.At(2).propertyCount, 20);
    EXPECT_EQ(t.At(2).properties[17].value, "w17");
}

TEST(LayoutFile, HugeTotalReadsAtMostSeventyRecords) {
    std::string text = "[INFO]\nTOTAL=2147483647999\n";
    const char* types[] = {"BUTTON", "TEXT", "RADIO", "CHECKBOX", "FRAME", "RECT"};
    for (int i = 0; i < 90; ++i) {
        text += std::to_string(i) + "=0,1,1,50,50," + types[i % 6] + ",,0," + std::to_string(3000 + i) + "\n";
    }
    auto layout = Read(text);
    const ControlTable& t = layout->controls;
    // 70 records are readable: 12 of the first four types and 11 of the others.
    EXPECT_EQ(t.Count(), 70);
    EXPECT_EQ(t.At(0).recordNumber, 3000);
    EXPECT_EQ(t.At(69).recordNumber, 3069);
    EXPECT_EQ(t.At(0).windowId, 3069);
    EXPECT_EQ(t.At(69).windowId, 3000);
}

TEST(LayoutFile, SixteenthOfATypeIsDroppedKeepingTheFirstFifteen) {
    std::string text = "[INFO]\nTOTAL=18\n";
    for (int i = 0; i < 17; ++i) {
        text += std::to_string(i) + "=0,1,1,50,50,BUTTON,,0," + std::to_string(3000 + i) + "\n";
    }
    text += "17=0,1,1,50,50,TEXT,,0,3017\n";
    auto layout = Read(text);
    const ControlTable& t = layout->controls;
    ASSERT_EQ(t.Count(), 16);
    EXPECT_EQ(t.CountOfType(ControlType::Button), kMaxControlsPerType);
    EXPECT_EQ(t.At(0).recordNumber, 3000);
    EXPECT_EQ(t.At(14).recordNumber, 3014);
    EXPECT_EQ(t.At(15).type, ControlType::Text);
    EXPECT_EQ(t.At(15).windowId, 3000);
    EXPECT_EQ(t.At(0).windowId, 3015);
    EXPECT_EQ(t.At(0).identifierName, "IDC_BUTTON15");
    EXPECT_EQ(layout->droppedRecords, 2);
}

TEST(LayoutFile, TableRefusesPastItsLimits) {
    auto table = std::make_unique<ControlTable>();
    for (int i = 0; i < kMaxControlsPerType; ++i) ASSERT_NE(table->Create(ControlType::Frame, {}), nullptr);
    EXPECT_EQ(table->Create(ControlType::Frame, {}), nullptr);
    EXPECT_EQ(table->NextWindowId(), 3015);
    const ControlType others[] = {ControlType::Text, ControlType::Button, ControlType::Radio, ControlType::Rect};
    for (ControlType type : others) {
        for (int i = 0; i < kMaxControlsPerType; ++i) table->Create(type, {});
    }
    EXPECT_EQ(table->Count(), kMaxControls);
    EXPECT_EQ(table->Create(ControlType::Icon, {}), nullptr);
    EXPECT_EQ(table->Count(), kMaxControls);
    table->Reset();
    EXPECT_EQ(table->Count(), 0);
    EXPECT_EQ(table->NextWindowId(), kFirstWindowId);
    ControlEntry* e = table->Create(ControlType::Frame, {});
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->identifierName, "IDC_FRAME1");
}

TEST(LayoutFile, NamesAreCaseInsensitiveAndValuesCutAt254) {
    std::string longValue(400, 'a');
    auto layout = Read("[mainwindow]\nCAPTION=" + longValue + "\n[info]\ntotal=1\n0=0,1,1,50,50,TEXT,,0,3000\n"
                       "[dados]\n3000,T=2\n3000,0=Name|IDC_X|0\n3000,1=Caption|" + longValue + "|0\n");
    EXPECT_EQ(layout->main.caption.size(), 254u);
    ASSERT_EQ(layout->controls.Count(), 1);
    const ControlEntry& e = layout->controls.At(0);
    ASSERT_EQ(e.propertyCount, 2);
    // "Caption|" plus 246 characters fit; the closing bar and number were cut.
    EXPECT_EQ(e.properties[1].name, "Caption");
    EXPECT_EQ(e.properties[1].value, "");
    EXPECT_EQ(e.properties[1].number, 0);
}

TEST(LayoutFile, RecordNumberIsUsedAsWritten) {
    auto layout = Read("[INFO]\nTOTAL=1\n0=0,1,1,50,50,TEXT,,0,7\n[DADOS]\n7,t=1\n7,0=Name|IDC_SEVEN|0\n"
                       "3000,t=1\n3000,0=Name|IDC_CONVENTION|0\n");
    ASSERT_EQ(layout->controls.Count(), 1);
    EXPECT_EQ(layout->controls.At(0).properties[0].value, "IDC_SEVEN");
}

}  // namespace
}  // namespace kq
