// The splash window and the billboard show as real windows: which splash
// comes up and when it lets the start-up go on (the sound-only splash
// included), that closing it ends its animation and gives back its GDI
// objects, and that the billboard show runs on its own thread at its
// position, ends by itself, and ends with its owner when that goes first.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "presentation/billboards_win.h"
#include "presentation/splash_win.h"
#include "test_files_win.h"
#include "test_gif.h"

namespace kq {
namespace {

using namespace test_gif;

// A 24-bit bitmap file of `width` by `height` in one colour.
Bytes BitmapFile(int width, int height) {
    const int row = (width * 3 + 3) & ~3;
    auto le32 = [](uint32_t v) { return Bytes{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](uint16_t v) { return Bytes{char(v), char(v >> 8)}; };
    const uint32_t size = 54 + row * height;
    Bytes file = "BM" + le32(size) + le32(0) + le32(54) + le32(40) + le32(width) + le32(height) + le16(1) +
                 le16(24) + le32(0) + le32(row * height) + le32(2835) + le32(2835) + le32(0) + le32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) file += "\x20\x80\xF0";
        file.append(row - width * 3, '\0');
    }
    return file;
}

HWND FindTopWindow(const char* title) {
    HWND found = ::FindWindowA(nullptr, title);
    return found;
}

// The frame the splash tells its end to: counts the messages that say so.
int g_splashEnds = 0;

LRESULT CALLBACK CountingFrameProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kSplashEndedMessage) ++g_splashEnds;
    return ::DefWindowProcA(window, msg, wParam, lParam);
}

HWND MakeCountingFrame() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CountingFrameProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KqCountingFrame";
    ::RegisterClassA(&wc);  // a second registration fails harmlessly
    g_splashEnds = 0;
    return ::CreateWindowA("KqCountingFrame", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

class PresentationTest : public ::testing::Test {
protected:
    void SetUp() override { ::OleInitialize(nullptr); }
    void TearDown() override { ::OleUninitialize(); }
};

TEST_F(PresentationTest, SplashShowsAndLetsTheStartUpGoOn) {
    const std::string folder = TempFolder();
    const std::string gif = WriteTemp("setup.gif", TwoFrames(1));
    struct Row {
        const char* name;
        SplashSettings settings;
        bool diskImage;
        bool workDone;  // the start-up has finished what the splash covers
        bool created;
        bool visible;
        bool finishes;  // sets splashFinished within the test's bound
    } rows[] = {
        {"picture, work done", {true, "art.gif", 0, false, "", false}, false, true, true, true, true},
        {"picture, minimum 1 s", {true, "art.gif", 1, false, "", false}, false, true, true, true, true},
        {"picture, work not done", {true, "art.gif", 0, false, "", false}, false, false, true, true, false},
        {"picture, disk image", {true, "art.gif", 1, false, "", false}, true, false, true, true, true},
        {"picture file missing: hidden, still paces", {true, "art.png", 0, false, "", false}, false, true, true,
         false, true},
        {"sound only, disk image: never holds the start", {false, "", 0, true, "tune.wav", true}, true, false, true,
         false, true},
        {"sound only, waits for the work", {false, "", 0, true, "tune.wav", true}, false, false, true, false, false},
        {"nothing asked", {false, "art.gif", 3, false, "", false}, false, true, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RunModes modes;
        RunProgress progress;
        modes.diskImage = row.diskImage;
        progress.startupWorkDone = row.workDone;
        const HWND frame = MakeCountingFrame();
        CSplash splash(modes, progress, frame);
        ASSERT_EQ(splash.Create(row.settings, folder), row.created);
        if (!row.created) continue;
        EXPECT_EQ(::IsWindowVisible(splash.Handle()) != FALSE, row.visible);
        if (row.visible) {
            EXPECT_EQ(splash.Picture().FrameCount(), 2);
            RECT client;
            ::GetClientRect(splash.Handle(), &client);
            EXPECT_EQ(client.right, 4);
            EXPECT_EQ(client.bottom, 4);
        }
        // Three seconds cover every timer of the rows that finish.
        const DWORD start = ::GetTickCount();
        PumpUntil([&] { return progress.splashFinished || ::GetTickCount() - start > 3000; });
        EXPECT_EQ(progress.splashFinished, row.finishes);
        EXPECT_EQ(splash.IsOpen(), !row.finishes);
        // The frame hears of the end once, and only of a real end.
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        EXPECT_EQ(g_splashEnds, row.finishes ? 1 : 0);
        ::DestroyWindow(frame);
        if (row.diskImage && row.settings.showPicture) {
            EXPECT_TRUE(progress.startupWorkDone);
        }
    }
    ::DeleteFileA(gif.c_str());
}

TEST_F(PresentationTest, ClosedSplashLeavesNoThreadNorGdiObject) {
    const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    // The first frame stays 10 s: the splash closes in the middle of it.
    const std::string gif = WriteTemp("setup.gif", TwoFrames(1000));
    RunModes modes;
    RunProgress progress;
    {
        CSplash splash(modes, progress);
        ASSERT_TRUE(splash.Create({true, "art.gif", 0, false, "", false}, TempFolder()));
        ASSERT_TRUE(PumpUntil([&] { return splash.Picture().FramesShown() >= 1; }));
        const std::vector<HGDIOBJ> objects = splash.Picture().GdiObjects();
        EXPECT_GE(objects.size(), 4u);
        HANDLE thread = nullptr;
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), splash.Picture().AnimationThread(),
                                      ::GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0));
        progress.startupWorkDone = true;
        ASSERT_TRUE(PumpUntil([&] { return progress.splashFinished; }));
        EXPECT_FALSE(splash.IsOpen());
        EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
        ::CloseHandle(thread);
        for (HGDIOBJ object : objects) EXPECT_EQ(::GetObjectType(object), 0u) << object;
    }
    ::DeleteFileA(gif.c_str());
    // Wine answers 0 here; on Windows the count is back where it was.
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), before);
}

TEST_F(PresentationTest, BillboardShowRunsOnItsOwnThreadAndEndsByItself) {
    const std::string work = TempFolder();
    const std::string picture = WriteTemp("kq_billboard.bmp", BitmapFile(30, 20));
    CBillboards show;
    EXPECT_FALSE(show.Start({}, work, "C:\\nowhere"));
    EXPECT_EQ(show.Thread(), nullptr);

    // The second picture exists nowhere: the first stays on show for its time.
    ASSERT_TRUE(show.Start({{"C:\\author\\kq_billboard.bmp", 1, 1, 1}, {"missing.bmp", 1, 40, 50}}, work,
                           "C:\\nowhere"));
    HWND window = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (window = FindTopWindow(kBillboardTitle)) != nullptr; }));
    EXPECT_NE(::GetWindowThreadProcessId(window, nullptr), ::GetCurrentThreadId());
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(window) != FALSE; }));
    RECT rect;
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 1);  // a left and top of 0 were made 1 by the rules
    EXPECT_EQ(rect.top, 1);
    EXPECT_EQ(rect.right - rect.left, 30);
    EXPECT_EQ(rect.bottom - rect.top, 20);
    EXPECT_TRUE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // Not a standard dialog: what looks for the wizard's pages passes it by.
    char className[64] = "";
    ::GetClassNameA(window, className, sizeof className);
    EXPECT_STRNE(className, "#32770");

    // About two seconds in all; the bound only ends a failing test.
    EXPECT_EQ(::WaitForSingleObject(show.Thread(), 20000), WAIT_OBJECT_0);
    EXPECT_FALSE(::IsWindow(window));
    ::DeleteFileA(picture.c_str());
}

TEST_F(PresentationTest, BillboardShowEndsWithItsOwner) {
    const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    const std::string picture = WriteTemp("kq_billboard.bmp", BitmapFile(30, 20));
    HANDLE thread = nullptr;
    HWND window = nullptr;
    {
        CBillboards show;
        ASSERT_TRUE(show.Start({{"kq_billboard.bmp", 600, 100, 80}}, TempFolder(), "C:\\nowhere"));
        ASSERT_TRUE(PumpUntil([&] { return (window = FindTopWindow(kBillboardTitle)) != nullptr; }));
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), show.Thread(), ::GetCurrentProcess(), &thread,
                                      SYNCHRONIZE, FALSE, 0));
    }
    EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    ::CloseHandle(thread);
    EXPECT_FALSE(::IsWindow(window));
    ::DeleteFileA(picture.c_str());
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), before);
}

}  // namespace
}  // namespace kq
