#include "layout/layout_values.h"

#include <gtest/gtest.h>
#include <climits>
#include <string>

namespace kq {
namespace {

// A layout value as written and what reading it gives.
template <typename T>
struct ValueCase {
    const char* value;
    T expected;
};

// Reads the value of each case with `read` and compares the result.
template <typename T, typename Read, size_t N>
void ExpectReadsAs(Read read, const ValueCase<T> (&cases)[N]) {
    for (const ValueCase<T>& c : cases) EXPECT_EQ(read(c.value), c.expected) << c.value;
}

TEST(LayoutValues, RemoveBracesAndFolderOfPath) {
    EXPECT_EQ(RemoveBraces("{back.bmp}"), "back.bmp");
    EXPECT_EQ(RemoveBraces("a{b}c}{"), "abc");
    EXPECT_EQ(RemoveBraces(""), "");

    const ValueCase<const char*> folders[] = {
        {"C:\\pkg\\theme\\welcome.lcd", "C:\\pkg\\theme\\"},
        {"theme\\a.lcd", "theme\\"},
        {"welcome.lcd", ""},
        {"", ""},
        {"C:\\pkg\\theme\\", "C:\\pkg\\theme\\"},
        {"/tmp/x/a.lcd", "/tmp/x/"},
    };
    ExpectReadsAs(FolderOfPath, folders);
}

TEST(LayoutValues, Colours) {
    const Colour face = MakeColour(212, 208, 200);
    const ValueCase<Colour> cases[] = {
        {"255,255,255", MakeColour(255, 255, 255)},
        {"1,2,3", MakeColour(1, 2, 3)},
        {"COLOR_BTNFACE", face},
        {"", face},
        {"10", MakeColour(10, 0, 0)},
        {"10,20", MakeColour(10, 20, 0)},
        {"300,-4,255", MakeColour(255, 0, 255)},
        {" 7, 8 ,9 extra", MakeColour(7, 8, 9)},
        {"1,2,3,4", MakeColour(1, 2, 3)},
        {"red", MakeColour(0, 0, 0)},
    };
    ExpectReadsAs([face](const std::string& value) { return ColourFromValue(value, face); }, cases);

    EXPECT_EQ(ColourText(MakeColour(212, 208, 200)), "212,208,200");
    EXPECT_EQ(ResolveColourValue("", face), "212,208,200");
    EXPECT_EQ(ResolveColourValue("COLOR_BTNFACE", face), "212,208,200");
    EXPECT_EQ(ResolveColourValue("0,0,0", face), "0,0,0");
}

TEST(LayoutValues, LabelFillsUnlessGivenTheButtonFaceAsNumbers) {
    const Colour face = MakeColour(212, 208, 200);
    EXPECT_FALSE(LabelFillsBackground("212,208,200", face));
    EXPECT_TRUE(LabelFillsBackground("COLOR_BTNFACE", face));
    EXPECT_TRUE(LabelFillsBackground("", face));
    EXPECT_TRUE(LabelFillsBackground("212,208,201", face));
    EXPECT_TRUE(LabelFillsBackground("212, 208, 200", face));
}

TEST(LayoutValues, FlagsAndAlignment) {
    EXPECT_TRUE(IsYes("Yes"));
    EXPECT_FALSE(IsYes("yes"));
    EXPECT_FALSE(IsYes("Yes "));
    EXPECT_FALSE(IsYes(""));

    EXPECT_FALSE(FontFlagOn("No"));
    EXPECT_TRUE(FontFlagOn("no"));
    EXPECT_TRUE(FontFlagOn(""));
    EXPECT_TRUE(FontFlagOn("Yes"));

    const ValueCase<Alignment> cases[] = {
        {"0", Alignment::Centre},    {"1", Alignment::Left},          {"2", Alignment::Right},
        {"1-Left", Alignment::Left}, {"2 - Right", Alignment::Right}, {"3", Alignment::Unchanged},
        {"", Alignment::Unchanged},  {" 1", Alignment::Unchanged},    {"10", Alignment::Left},
    };
    ExpectReadsAs(ParseAlignment, cases);
}

TEST(LayoutValues, BorderAndStartup) {
    const ValueCase<BorderChange> borders[] = {
        {"0", BorderChange::Clear}, {"1", BorderChange::Set},  {"1abc", BorderChange::Set},
        {"", BorderChange::Keep},   {"2", BorderChange::Keep}, {"01", BorderChange::Clear},
    };
    ExpectReadsAs(ParseBorder, borders);

    const ValueCase<int> startups[] = {
        {"05", 5}, {"0", 0}, {"", 0}, {"123", 12}, {"3x", 3}, {"-1", -1}, {" 4", 4},
    };
    ExpectReadsAs(ParseStartup, startups);
}

TEST(LayoutValues, TitleBarCorrection) {
    struct Case {
        int height, caption, expected;
    } cases[] = {
        {400, 19, 394}, {400, 24, 399}, {400, 25, 400}, {400, 30, 400},
        {400, 0, 375},  {10, 18, 3},    {0, 19, -6},    {INT_MIN, 0, INT_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CorrectedWindowHeight(c.height, c.caption), c.expected) << c.height << "/" << c.caption;
    }
}

TEST(LayoutValues, StartupPositions) {
    struct Case {
        int startup;
        bool moves;
        int x, y;
    } cases[] = {
        {0, true, 1024 / 2 - 501 / 2, 768 / 2 - 395 / 2},
        {2, true, 0, 0},
        {3, true, 1024 - 501, 0},
        {4, true, 0, 768 - 395 - 35},
        {5, true, 1024 - 501, 768 - 395 - 35},
        {1, false, 0, 0},
        {6, false, 0, 0},
        {-1, false, 0, 0},
    };
    for (const Case& c : cases) {
        int x = -7, y = -7;
        EXPECT_EQ(StartupPosition(c.startup, 1024, 768, 501, 395, &x, &y), c.moves) << c.startup;
        if (c.moves) {
            EXPECT_EQ(x, c.x) << c.startup;
            EXPECT_EQ(y, c.y) << c.startup;
        } else {
            EXPECT_EQ(x, -7);
        }
    }
    int x = 0, y = 0;
    ASSERT_TRUE(StartupPosition(5, INT_MAX, INT_MAX, INT_MIN, INT_MIN, &x, &y));
    EXPECT_EQ(x, INT_MAX);
}

TEST(LayoutValues, FontHeightRoundsLikeMulDiv) {
    struct Case {
        int points, dpi, expected;
    } cases[] = {
        {8, 96, -11},  // 10.67 rounds to 11
        {9, 96, -12},
        {10, 96, -13}, // 13.33
        {12, 120, -20},
        {0, 96, 0},
        {-8, 96, 11},
    };
    for (const Case& c : cases) EXPECT_EQ(FontHeightForPoints(c.points, c.dpi), c.expected) << c.points;
    EXPECT_EQ(MulDivRound(1, 1, 0), -1);
    EXPECT_EQ(MulDivRound(INT_MAX, 4, 1), -1);
    EXPECT_EQ(MulDivRound(5, 1, 2), 3);
    EXPECT_EQ(MulDivRound(-5, 1, 2), -3);
    EXPECT_EQ(MulDivRound(5, 1, -2), -3);
}

TEST(LayoutValues, LayoutLengthsScaleWithTheScreen) {
    struct Case {
        int pixels, dpi, expected;
    } cases[] = {
        {497, 96, 497},  {497, 120, 621},                                        // 621.25
        {3, 144, 5},     {-3, 144, -5},                                          // 4.5 rounds away from zero
        {497, 192, 994}, {7, 0, 7},       {7, -96, 7}, {INT_MAX, 192, INT_MAX},  // past int: unchanged
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.pixels, c.dpi), c.expected) << c.pixels << "@" << c.dpi;
    // Only the inside of a window scales: 6 pixels of frame stay 6.
    EXPECT_EQ(ScaleWindowExtent(506, 6, 144), 756);
    EXPECT_EQ(ScaleWindowExtent(506, 6, 96), 506);
}

TEST(LayoutValues, HimetricToPixels) {
    struct Case {
        int himetric, dpi, expected;
    } cases[] = {
        {2540, 96, 96}, {0, 96, 0}, {26, 96, 1}, {13, 96, 0}, {2646, 96, 100},
        {2147483647, 2147483647, INT_MAX}, {-2540, 96, -95},
    };
    for (const Case& c : cases) EXPECT_EQ(HimetricToPixels(c.himetric, c.dpi), c.expected) << c.himetric;
}

}  // namespace
}  // namespace kq
