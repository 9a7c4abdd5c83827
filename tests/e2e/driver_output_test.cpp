// Reading uidriver's lines: the escapes, the awkward rows, and the grouping of
// controls under their window.
#include <gtest/gtest.h>

#include "driver_output.h"

namespace kq::e2e {
namespace {

struct FieldCase {
    const char* line;
    bool parses;
    const char* key;
    const char* value;
};

const FieldCase kFieldCases[] = {
    {"window hwnd=0x0001004c title=\"Merrowin\"", true, "title", "Merrowin"},
    {"window hwnd=0x0001004c title=\"\"", true, "title", ""},
    {"control id=65535 text=\"line one\\r\\nline two\"", true, "text", "line one\r\nline two"},
    {"control text=\"a \\\"quoted\\\" word\"", true, "text", "a \"quoted\" word"},
    {"control text=\"back\\\\slash\"", true, "text", "back\\slash"},
    {"control text=\"tab\\there\"", true, "text", "tab\there"},
    {"control text=\"bell\\x07!\"", true, "text", "bell\a!"},
    {"control text=\"spaces  inside  \" id=3", true, "text", "spaces  inside  "},
    {"control text=\"equals=sign\"", true, "text", "equals=sign"},
    {"control id=-1", true, "id", "-1"},
    {"window title=\"Merrowin\"\r", true, "title", "Merrowin"},
    {"control text=\"never closed", false, "", ""},
    {"", false, "", ""},
};

TEST(DriverOutputTest, FieldsAreUnescaped) {
    for (const FieldCase& c : kFieldCases) {
        SCOPED_TRACE(c.line);
        DriverLine line;
        ASSERT_EQ(ParseDriverLine(c.line, line), c.parses);
        if (!c.parses) continue;
        ASSERT_EQ(line.fields.count(c.key), 1u);
        EXPECT_EQ(line.fields.at(c.key), c.value);
    }
}

TEST(DriverOutputTest, ControlsBelongToTheWindowBeforeThem) {
    const char* output =
        "window hwnd=0x00000010 pid=32 class=\"#32770\" title=\"Merrowin\" visible=1 enabled=1\n"
        "control hwnd=0x00000011 parent=0x00000010 id=1 class=\"Button\" text=\"&OK\" visible=1 enabled=1 "
        "rect=-3,4,83,32 checked=0\n"
        "control hwnd=0x00000012 parent=0x00000010 id=65535 class=\"Static\" text=\"Sorry.\\r\\nTwo lines\" "
        "visible=1 enabled=0\n"
        "window hwnd=0x00000020 pid=40 class=\"Other\" title=\"Second\" visible=0 enabled=1\n";
    std::vector<WindowInfo> windows = ParseWindows(output);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].hwnd, 0x10ul);
    EXPECT_EQ(windows[0].pid, 32ul);
    EXPECT_EQ(windows[0].className, "#32770");
    EXPECT_EQ(windows[0].title, "Merrowin");
    ASSERT_EQ(windows[0].controls.size(), 2u);
    EXPECT_EQ(windows[0].controls[0].checked, 0);
    EXPECT_EQ(windows[0].controls[1].checked, -1);
    const ControlInfo& first = windows[0].controls[0];
    EXPECT_EQ((std::vector<int>{first.left, first.top, first.right, first.bottom}), (std::vector<int>{-3, 4, 83, 32}));
    EXPECT_FALSE(windows[0].controls[1].enabled);
    EXPECT_EQ(windows[0].controls[1].id, 65535);

    const ControlInfo* ok = windows[0].FindByText("OK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->id, 1);
    EXPECT_EQ(windows[0].FindByText("Cancel"), nullptr);
    ASSERT_NE(windows[0].FindById(65535), nullptr);
    EXPECT_EQ(windows[0].FindById(65535)->text, "Sorry.\r\nTwo lines");
    EXPECT_EQ(windows[0].AllText(), "&OK\nSorry.\r\nTwo lines");

    EXPECT_TRUE(windows[1].controls.empty());
    EXPECT_FALSE(windows[1].visible);
}

TEST(DriverOutputTest, ControlLinesBeforeAnyWindowAreIgnored) {
    std::vector<WindowInfo> windows = ParseWindows("control id=1 text=\"x\"\nclicked id=1\n");
    EXPECT_TRUE(windows.empty());
}

TEST(DriverOutputTest, MnemonicsAreRemovedAndDoubledOnesKept) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"&Next >", "Next >"}, {"Save && Exit", "Save & Exit"}, {"E&xit", "Exit"}, {"", ""}, {"&", ""},
        {"no mnemonic", "no mnemonic"},
    };
    for (const auto& c : cases) EXPECT_EQ(StripMnemonics(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kq::e2e
