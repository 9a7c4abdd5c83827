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

namespace kq {
namespace {

using Bytes = std::string;

// Colour indexes of the 4-entry global table below.
constexpr int kRed = 1;
constexpr int kBlue = 2;

void Word(Bytes* out, int value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

// LZW data of `count` pixels of one colour with 2-bit codes. A clear code
// before every pixel keeps the codes 3 bits wide, which any decoder reads.
Bytes SolidPixels(int count, int index) {
    std::vector<uint8_t> packed;
    uint32_t bits = 0;
    int used = 0;
    auto put = [&](uint32_t code) {
        bits |= code << used;
        used += 3;
        while (used >= 8) {
            packed.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            used -= 8;
        }
    };
    for (int i = 0; i < count; ++i) {
        put(4);  // clear
        put(static_cast<uint32_t>(index));
    }
    put(5);  // end of information
    if (used > 0) packed.push_back(static_cast<uint8_t>(bits & 0xFF));
    Bytes out(1, 2);  // code size
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t length = packed.size() - at < 255 ? packed.size() - at : 255;
        out.push_back(static_cast<char>(length));
        out.append(reinterpret_cast<const char*>(packed.data() + at), length);
    }
    out.push_back(0);
    return out;
}

Bytes Header(const char* version) {
    Bytes gif = std::string("GIF") + version;
    Word(&gif, 4);
    Word(&gif, 4);
    gif += std::string("\x81\0\0", 3);
    // White, red, blue, green.
    gif += std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00\xFF\x00\xFF\x00", 12);
    return gif;
}

Bytes Control(int disposal, int delay) {
    Bytes block("\x21\xF9\x04", 3);
    block.push_back(static_cast<char>(disposal << 2));
    Word(&block, delay);
    block += std::string("\0\0", 2);
    return block;
}

Bytes Image(int left, int top, int width, int height, int colour) {
    Bytes block(1, '\x2C');
    Word(&block, left);
    Word(&block, top);
    Word(&block, width);
    Word(&block, height);
    block.push_back(0);
    return block + SolidPixels(width * height, colour);
}

// A red screen that is cleared to the background after `delay` hundredths
// (disposal 2), then a blue square in its lower right corner.
Bytes TwoFrames(int delay) {
    return Header("89a") + Control(2, delay) + Image(0, 0, 4, 4, kRed) + Image(2, 2, 2, 2, kBlue) + ";";
}

std::string WriteTemp(const char* name, const Bytes& bytes) {
    char folder[MAX_PATH];
    ::GetTempPathA(sizeof folder, folder);
    std::string path = std::string(folder) + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// Dispatches messages until `done` holds; the bound only ends a failing test.
template <typename Done>
bool PumpUntil(Done done) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > 20000) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    }
    return true;
}

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
