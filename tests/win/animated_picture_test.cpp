// The animated picture control with real GIF files written to disk and
// decoded by the system picture loader: which files load, how frames play
// with their delay and disposal, and that Unload ends the thread and gives
// back every GDI object.
#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/animated_picture_win.h"
#include "test_gif.h"

namespace kq {
namespace {

using namespace test_gif;

class AnimatedPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::OleInitialize(nullptr);
        m_parent = ::CreateWindowExA(0, "STATIC", "animation", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr,
                                     nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_parent, nullptr);
        ControlRect rect;
        rect.right = 1;
        rect.bottom = 1;
        ASSERT_TRUE(m_picture.CreateControl("STATIC", "", WS_CHILD | WS_VISIBLE, 0, rect, m_parent, 100));
    }
    void TearDown() override {
        if (m_parent != nullptr) ::DestroyWindow(m_parent);
        ::OleUninitialize();
    }

    HWND m_parent = nullptr;
    CAnimatedPicture m_picture;
};

TEST_F(AnimatedPictureTest, LoadsStillAndAnimatedFilesAndRefusesOthers) {
    struct Case {
        const char* name;
        Bytes file;
        bool loads;
        int frames;
    } cases[] = {
        {"two frames", TwoFrames(5), true, 2},
        {"single-frame 89a", Header("89a") + Control(0, 5) + Image(0, 0, 4, 4, kRed) + ";", true, 0},
        {"single-frame 87a", Header("87a") + Image(0, 0, 4, 4, kBlue) + ";", true, 0},
        {"no image descriptor", Header("89a") + Control(0, 5) + ";", false, 0},
        {"truncated", TwoFrames(5).substr(0, 40), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteTemp("kq_anim_case.gif", c.file);
        EXPECT_EQ(m_picture.LoadFile(path.c_str()), c.loads);
        EXPECT_EQ(m_picture.IsReady(), c.loads);
        EXPECT_EQ(m_picture.FrameCount(), c.frames);
        if (c.loads) {
            EXPECT_EQ(m_picture.GetSize().cx, 4);
            EXPECT_EQ(m_picture.GetSize().cy, 4);
            RECT window;
            ::GetWindowRect(m_picture.Handle(), &window);
            EXPECT_EQ(window.right - window.left, 4);
        }
        ::DeleteFileA(path.c_str());
    }
    EXPECT_FALSE(m_picture.LoadFile("C:\\no\\such\\picture.gif"));
}

// The animation plays once: the red frame, its disposal to the button-face
// colour, then the blue frame, which stays.
TEST_F(AnimatedPictureTest, PlaysFramesWithTheirDisposal) {
    const std::string path = WriteTemp("kq_anim_play.gif", TwoFrames(0));
    ASSERT_TRUE(m_picture.LoadFile(path.c_str()));
    ::DeleteFileA(path.c_str());
    ASSERT_EQ(m_picture.FrameCount(), 2);
    m_picture.Draw();
    ASSERT_NE(m_picture.AnimationThread(), nullptr);
    ASSERT_EQ(PumpWait(m_picture.AnimationThread(), 20000), WAIT_OBJECT_0);
    EXPECT_EQ(m_picture.FramesShown(), 2);
    EXPECT_EQ(m_picture.PixelAt(0, 0), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(m_picture.PixelAt(3, 3), RGB(0, 0, 255));
}

TEST_F(AnimatedPictureTest, UnloadEndsTheThreadAndReleasesEveryGdiObject) {
    const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    // The first frame waits 10 s, so Unload finds the thread waiting.
    const std::string path = WriteTemp("kq_anim_stop.gif", TwoFrames(1000));
    ASSERT_TRUE(m_picture.LoadFile(path.c_str()));
    ::DeleteFileA(path.c_str());
    m_picture.Draw();
    ASSERT_TRUE(PumpUntil([&] { return m_picture.FramesShown() >= 1; }));

    const std::vector<HGDIOBJ> objects = m_picture.GdiObjects();
    EXPECT_GE(objects.size(), 4u);  // memory DC and bitmap, two frame pictures
    HANDLE thread = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), m_picture.AnimationThread(), ::GetCurrentProcess(),
                                  &thread, SYNCHRONIZE, FALSE, 0));
    m_picture.Unload();
    EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    ::CloseHandle(thread);
    EXPECT_EQ(m_picture.AnimationThread(), nullptr);
    EXPECT_EQ(m_picture.FramesShown(), 1);
    EXPECT_FALSE(m_picture.IsReady());
    for (HGDIOBJ object : objects) EXPECT_EQ(::GetObjectType(object), 0u) << object;
    EXPECT_TRUE(m_picture.GdiObjects().empty());
    // Wine does not count GDI objects per process (the call answers 0); on
    // Windows the count is back where it was.
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), before);
}

}  // namespace
}  // namespace kq
