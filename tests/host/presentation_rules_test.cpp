// The splash, background and billboard rules read from setup scripts held in
// memory: what each section says, which splash timers run and what their
// ticks do, the gradient's rows, and a billboard's search order and times.
#include "presentation/presentation_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "run/script.h"

namespace kq {
namespace {

SplashSettings Splash(const std::string& body) {
    IniText ini("[SPLASH]\r\n" + body);
    return ReadSplashSettings(Script(ini));
}

TEST(SplashRules, ReadsTheSection) {
    struct Row {
        const char* body;
        bool picture;
        int seconds;
        bool sound;
        bool once;
        bool wanted;
    } rows[] = {
        {"a1=Yes\r\na2=logo.gif\r\na3=3\r\n", true, 3, false, false, true},
        {"a1=yes\r\na3=3\r\n", false, 3, false, false, false},  // switches are case-sensitive
        {"a5=Yes\r\na6=tune.wav\r\na7=Once\r\n", false, 0, true, true, true},
        {"a5=Yes\r\na7=once\r\n", false, 0, true, false, true},  // "once" loops
        {"a1=Yes\r\na3=-4\r\n", true, 0, false, false, true},   // a negative time is none
        {"a1=Yes\r\na3=2s\r\n", true, 2, false, false, true},
        {"", false, 0, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.body);
        const SplashSettings s = Splash(row.body);
        EXPECT_EQ(s.showPicture, row.picture);
        EXPECT_EQ(s.minimumSeconds, row.seconds);
        EXPECT_EQ(s.playSound, row.sound);
        EXPECT_EQ(s.soundOnce, row.once);
        EXPECT_EQ(WantsSplash(s), row.wanted);
    }
}

TEST(SplashRules, FilesAreSetupWithTheAuthorsExtension) {
    struct Row {
        const char* author;
        const char* path;
    } rows[] = {
        {"logo.gif", "C:\\pkg\\setup.gif"},
        {"C:\\art\\intro.v2.JPG", "C:\\pkg\\setup.JPG"},
        {"D:\\sounds.d\\tune", "C:\\pkg\\setup"},  // a dot in a folder is no extension
        {"", "C:\\pkg\\setup"},
    };
    for (const Row& row : rows) EXPECT_EQ(SplashFilePath("C:\\pkg\\", row.author), row.path) << row.author;
}

TEST(SplashRules, TimersStartedBySetUp) {
    using T = std::vector<SplashTimerStart>;
    struct Row {
        const char* name;
        const char* body;
        bool diskImage;
        bool soundFound;
        T timers;
    } rows[] = {
        {"picture, no minimum", "a1=Yes\r\n", false, false, T{{1, 1000}}},
        {"picture, 3 s", "a1=Yes\r\na3=3\r\n", false, false, T{{3, 3000}}},
        {"picture, 3 s, disk image", "a1=Yes\r\na3=3\r\n", true, false, T{{3, 3000}, {4, 3000}}},
        {"picture and sound", "a1=Yes\r\na3=2\r\na5=Yes\r\n", false, true, T{{3, 2000}, {2, 1500}}},
        {"sound file missing", "a1=Yes\r\na5=Yes\r\n", false, false, T{{1, 1000}}},
        {"sound only: polls to close", "a5=Yes\r\n", false, true, T{{1, 1000}, {2, 1500}}},
        {"sound only, disk image", "a5=Yes\r\n", true, true, T{{1, 1000}, {2, 1500}}},
        {"huge minimum does not overflow", "a1=Yes\r\na3=99999999\r\n", false, false, T{{3, 2147483000u}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SplashTimers(Splash(row.body), row.diskImage, row.soundFound), row.timers);
    }
}

TEST(SplashRules, WhatEachTickDoes) {
    const SplashSettings picture = Splash("a1=Yes\r\na3=3\r\n");
    const SplashSettings soundOnly = Splash("a5=Yes\r\n");
    using A = SplashTickAction;
    const A wait{};
    const A close{true, false, false, true, true};
    const A play{true, true, false, false, false};
    const A forceClose{true, false, true, true, true};
    struct Row {
        const char* name;
        unsigned timer;
        const SplashSettings& settings;
        bool diskImage;
        bool workDone;
        A action;
    } rows[] = {
        {"poll before the work is done", 1, picture, false, false, wait},
        {"poll after it", 1, picture, false, true, close},
        {"minimum passed before the work", 3, picture, false, false, wait},
        {"minimum passed after the work", 3, picture, false, true, close},
        {"disk image, picture: waits for timer 4", 3, picture, true, false, wait},
        {"timer 4 closes whatever", 4, picture, true, false, forceClose},
        {"sound", 2, picture, false, false, play},
        {"sound only, cabinet not yet out", 1, soundOnly, false, false, wait},
        {"sound only, cabinet out", 1, soundOnly, false, true, close},
        {"sound only, disk image: closes at once", 1, soundOnly, true, false, close},
        {"unknown timer", 9, picture, false, true, wait},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(OnSplashTick(row.timer, row.settings, row.diskImage, row.workDone), row.action);
    }
}

TEST(SplashRules, CentredOnTheScreen) {
    struct Row {
        int sw, sh, w, h, x, y;
    } rows[] = {
        {1024, 768, 200, 100, 412, 334},
        {1024, 768, 201, 101, 412, 334},  // halves truncate separately
        {800, 600, 1000, 700, -100, -50},
    };
    for (const Row& r : rows) {
        const ScreenPoint p = CentredOrigin(r.sw, r.sh, r.w, r.h);
        EXPECT_EQ(p.x, r.x);
        EXPECT_EQ(p.y, r.y);
    }
}

TEST(BackgroundRules, ReadsTheSectionOnlyWhenSwitchedOn) {
    const std::string body =
        "1=My Product\r\n2=Setup\r\n3=x@0x00,0x00,0xFF\r\n4=y@0xFF,0x80,0xC0\r\n5=C:\\art\\back.bmp\r\n";
    struct Row {
        const char* name;
        std::string text;
        bool silentBuild;
        bool active;
    } rows[] = {
        {"on", "[BACKGROUND]\r\n0=1\r\n" + body, false, true},
        {"\"Yes\" is not \"1\"", "[BACKGROUND]\r\n0=Yes\r\n" + body, false, false},
        {"missing", "[BACKGROUND]\r\n" + body, false, false},
        {"pages skipped", "[BACKGROUND]\r\n0=1\r\n" + body, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        IniText ini(row.text);
        const BackgroundSettings s = ReadBackgroundSettings(Script(ini), row.silentBuild);
        EXPECT_EQ(s.active, row.active);
        if (!row.active) continue;
        EXPECT_EQ(s.title, "My Product");
        EXPECT_EQ(s.subtitle, "Setup");
        EXPECT_EQ(s.top, (Rgb{0, 0, 255}));
        EXPECT_EQ(s.bottom, (Rgb{255, 128, 192}));
        EXPECT_EQ(s.pictureName, "back.bmp");
    }
}

TEST(BackgroundRules, GradientColours) {
    struct Row {
        const char* text;
        Rgb colour;
    } rows[] = {
        {"Blue@0x00,0x00,0xFF", {0, 0, 255}},
        {"@0xC0,0x80,0x00", {192, 128, 0}},
        {"grey@ 0x80 , 0x80 , 0x80", {128, 128, 128}},
        {"decimal@255,128,0xFF", {0, 0, 255}},  // only the four words count
        {"lower@0xff,0x80,0x00", {0, 128, 0}},
        {"short@0xFF", {255, 0, 0}},
        {"no at sign 0xFF,0xFF,0xFF", {0, 0, 0}},
        {"", {0, 0, 0}},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseGradientColour(row.text), row.colour) << row.text;
}

TEST(BackgroundRules, GradientRows) {
    const Rgb top{0, 0, 255};
    const Rgb bottom{255, 128, 0};
    struct Row {
        int y, height;
        Rgb colour;
    } rows[] = {
        {0, 100, {0, 0, 255}},
        {50, 100, {127, 64, 128}},
        {99, 100, {252, 126, 3}},   // the last row stops short of the bottom colour
        {1, 3, {85, 42, 170}},      // truncation, also of the falling blue
        {0, 0, {0, 0, 255}},        // no rows: no division
    };
    for (const Row& r : rows) EXPECT_EQ(GradientRow(top, bottom, r.y, r.height), r.colour) << r.y << "/" << r.height;
}

TEST(BillboardRules, ReadsTheListUpToTwenty) {
    std::string text = "[BILLBOARDSKQ]\r\nTOTAL=25\r\n";
    for (int i = 0; i < 25; ++i) {
        const std::string n = std::to_string(i);
        text += "B" + n + "=C:\\art\\b" + n + ".gif\r\nC" + n + "=" + n + "\r\nD" + n + "=" + std::to_string(i * 10) +
                "\r\nE" + n + "=" + std::to_string(i * 5) + "\r\n";
    }
    IniText ini(text);
    const std::vector<Billboard> list = ReadBillboards(Script(ini));
    ASSERT_EQ(list.size(), static_cast<size_t>(kMaxBillboards));
    EXPECT_EQ(list[0].file, "C:\\art\\b0.gif");
    EXPECT_EQ(list[0].left, 1);  // 0 counts as 1
    EXPECT_EQ(list[0].top, 1);
    EXPECT_EQ(list[19].file, "C:\\art\\b19.gif");
    EXPECT_EQ(list[19].seconds, 19);
    EXPECT_EQ(list[19].left, 190);
    EXPECT_EQ(list[19].top, 95);

    struct Row {
        const char* text;
        size_t count;
    } counts[] = {{"[BILLBOARDSKQ]\r\nTOTAL=0\r\n", 0}, {"[BILLBOARDSKQ]\r\n", 0}, {"", 0},
                  {"[BILLBOARDSKQ]\r\nTOTAL=-3\r\n", 0}, {"[BILLBOARDSKQ]\r\nTOTAL=2\r\n", 2}};
    for (const Row& row : counts) {
        IniText small(row.text);
        EXPECT_EQ(ReadBillboards(Script(small)).size(), row.count) << row.text;
    }
}

TEST(BillboardRules, Times) {
    struct Row {
        int seconds;
        unsigned ms;
    } rows[] = {{5, 5000}, {0, 0}, {-2, 0}, {2147483647, 2147483000u}};
    for (const Row& r : rows) {
        Billboard b;
        b.seconds = r.seconds;
        EXPECT_EQ(BillboardMilliseconds(b), r.ms) << r.seconds;
    }
}

TEST(BillboardRules, SearchOrder) {
    const std::vector<std::string> expected = {"C:\\Temp\\kq120000\\pic.bmp", "D:\\pkg\\DiskImage1\\pic.bmp",
                                               "D:\\pkg\\DiskImage2\\pic.bmp"};
    // The current folder gets its backslash; only the file-name part counts.
    EXPECT_EQ(BillboardCandidates("C:\\Temp\\kq120000\\", "D:\\pkg", "C:\\author\\art\\pic.bmp"), expected);
    EXPECT_EQ(BillboardCandidates("C:\\Temp\\kq120000\\", "D:\\pkg\\", "pic.bmp"), expected);

    struct Row {
        const char* name;
        std::set<std::string> present;
        std::string picked;
    } rows[] = {
        {"all three", {expected[0], expected[1], expected[2]}, expected[0]},
        {"disk images only", {expected[1], expected[2]}, expected[1]},
        {"second disk only", {expected[2]}, expected[2]},
        {"none: the last is tried anyway", {}, expected[2]},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PickBillboardFile(expected, [&](const std::string& path) { return row.present.count(path) > 0; }),
                  row.picked);
    }
}

}  // namespace
}  // namespace kq
