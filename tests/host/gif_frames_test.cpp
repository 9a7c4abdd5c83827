#include "layout/gif_frames.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace kq {
namespace {

using Bytes = std::vector<uint8_t>;

// Builds GIF files block by block; the image data is a token LZW stream, as
// the walk never decodes it.
class Gif {
public:
    explicit Gif(const char* version = "89a", int width = 16, int height = 8, uint8_t flags = 0x80) {
        Text("GIF");
        Text(version);
        Word(width);
        Word(height);
        m_bytes.push_back(flags);
        m_bytes.push_back(0);  // background colour index
        m_bytes.push_back(0);  // aspect ratio
        if (flags & 0x80) m_bytes.insert(m_bytes.end(), 3u << ((flags & 7) + 1), 0x55);
    }
    Gif& Control(int disposal, int delay) {
        Raw({0x21, 0xF9, 0x04, static_cast<uint8_t>(disposal << 2)});
        Word(delay);
        Raw({0x00, 0x00});
        return *this;
    }
    Gif& Image(int left, int top, int width, int height, uint8_t flags = 0) {
        m_bytes.push_back(0x2C);
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        m_bytes.push_back(flags);
        if (flags & 0x80) m_bytes.insert(m_bytes.end(), 3u << ((flags & 7) + 1), 0x77);
        m_bytes.push_back(2);  // LZW code size
        Raw({3, 0x8C, 0x2D, 0x99, 1, 0x05, 0});
        return *this;
    }
    Gif& Comment() { return Raw({0x21, 0xFE, 2, 'h', 'i', 0}); }
    Gif& Application() {
        Raw({0x21, 0xFF, 0x0B});
        Text("NETSCAPE2.0");
        return Raw({3, 1, 0, 0, 0});
    }
    Gif& PlainText() {
        Raw({0x21, 0x01, 0x0C});
        m_bytes.insert(m_bytes.end(), 12, 0);
        return Raw({1, 'x', 0});
    }
    Gif& Trailer() { return Raw({0x3B}); }
    Gif& Raw(std::initializer_list<uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    Gif& Cut(size_t drop) {
        m_bytes.resize(m_bytes.size() - drop);
        return *this;
    }
    Bytes bytes() const { return m_bytes; }

private:
    void Text(const char* text) { m_bytes.insert(m_bytes.end(), text, text + std::char_traits<char>::length(text)); }
    void Word(int value) {
        m_bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    }
    Bytes m_bytes;
};

struct FrameExpect {
    int left, top, width, height, delay, disposal;
};

TEST(GifFrames, WalkClassifiesAndSplits) {
    struct Case {
        const char* name;
        Bytes gif;
        GifKind kind;
        int images;
        std::vector<FrameExpect> frames;
    } cases[] = {
        {"two frames, delays 0 and 5, disposal 2",
         Gif().Application().Control(2, 0).Image(0, 0, 16, 8).Control(1, 5).Image(4, 2, 8, 4).Trailer().bytes(),
         GifKind::Animated, 2, {{0, 0, 16, 8, 0, 2}, {4, 2, 8, 4, 5, 1}}},
        {"frame without a control extension has delay -1",
         Gif("87a").Image(0, 0, 16, 8).Comment().Control(3, 300).Image(1, 1, 2, 2, 0x81).Trailer().bytes(),
         GifKind::Animated, 2, {{0, 0, 16, 8, -1, 0}, {1, 1, 2, 2, 300, 3}}},
        {"control extension before a text block stays pending",
         Gif("89a", 4, 4, 0).Control(7, 9).PlainText().Image(0, 0, 4, 4).Image(0, 0, 4, 4).bytes(),
         GifKind::Animated, 2, {{0, 0, 4, 4, 9, 7}, {0, 0, 4, 4, -1, 0}}},
        {"single-frame 89a file is still", Gif().Control(0, 10).Image(0, 0, 16, 8).Trailer().bytes(),
         GifKind::Still, 1, {}},
        {"unknown version goes whole to the loader", Gif("90a").Image(0, 0, 1, 1).Image(0, 0, 1, 1).bytes(),
         GifKind::NotGif, 0, {}},
        {"not a GIF at all", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, GifKind::NotGif, 0, {}},
        {"no image descriptor", Gif().Application().Control(0, 5).Comment().Trailer().bytes(), GifKind::NoImage,
         0, {}},
        {"truncated inside the second image",
         Gif().Control(0, 5).Image(0, 0, 1, 1).Control(0, 5).Image(0, 0, 1, 1).Cut(3).bytes(), GifKind::Still, 1,
         {}},
        {"truncated inside the first image's local table", Gif().Image(0, 0, 1, 1, 0x87).Cut(100).bytes(),
         GifKind::NoImage, 0, {}},
        {"truncated inside a control extension", Gif().Image(0, 0, 1, 1).Raw({0x21, 0xF9, 4}).bytes(),
         GifKind::Still, 1, {}},
        {"screen descriptor cut short", Gif().Cut(6 + 2).bytes(), GifKind::NoImage, 0, {}},
        {"global colour table longer than the file", Gif("89a", 1, 1, 0x87).Cut(1).bytes(), GifKind::NoImage, 0,
         {}},
        {"unknown extension label ends the walk",
         Gif().Image(0, 0, 1, 1).Raw({0x21, 0x02, 0}).Image(0, 0, 1, 1).bytes(), GifKind::Still, 1, {}},
        {"sub-block length past the end", Gif().Image(0, 0, 1, 1).Image(0, 0, 1, 1).Raw({0x21, 0xFE, 200, 1}).bytes(),
         GifKind::Animated, 2, {{0, 0, 1, 1, -1, 0}, {0, 0, 1, 1, -1, 0}}},
        {"huge logical screen", Gif("89a", 65535, 65535, 0).Image(0, 0, 1, 1).Image(0, 0, 1, 1).bytes(),
         GifKind::TooLarge, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GifLayout layout = ReadGifLayout(c.gif.data(), c.gif.size());
        EXPECT_EQ(layout.kind, c.kind);
        EXPECT_EQ(layout.imageCount, c.images);
        ASSERT_EQ(layout.frames.size(), c.frames.size());
        for (size_t i = 0; i < c.frames.size(); ++i) {
            const GifFrame& got = layout.frames[i];
            const FrameExpect& want = c.frames[i];
            EXPECT_EQ(std::tie(got.left, got.top, got.width, got.height, got.delay, got.disposal),
                      std::tie(want.left, want.top, want.width, want.height, want.delay, want.disposal))
                << i;
        }
    }
}

TEST(GifFrames, FrameWaitFollowsTheDelay) {
    struct Case {
        int delay;
        unsigned ms;
    } cases[] = {
        {-1, 0}, {0, 100}, {4, 100}, {5, 50}, {300, 3000}, {65535, 655350},
    };
    for (const Case& c : cases) EXPECT_EQ(GifFrameWaitMs(c.delay), c.ms) << c.delay;
}

// Each frame file is the header and global table, the frame's control
// extension and image, and a trailer: a still GIF of that one image.
TEST(GifFrames, FrameFilesAreStillGifsOfTheirImage) {
    const Bytes file =
        Gif().Comment().Control(2, 5).Image(0, 0, 16, 8).Application().Image(3, 4, 5, 6, 0x80).Trailer().bytes();
    const GifLayout layout = ReadGifLayout(file.data(), file.size());
    ASSERT_EQ(layout.kind, GifKind::Animated);
    ASSERT_EQ(layout.frames.size(), 2u);
    const size_t header = 13 + 6;
    EXPECT_EQ(layout.headerLength, header);
    struct Case {
        size_t frame;
        size_t size;
        int delay;
    } cases[] = {
        {0, header + 8 + (10 + 1 + 7) + 1, 5},
        {1, header + (10 + 6 + 1 + 7) + 1, -1},
    };
    for (const Case& c : cases) {
        const GifFrame& frame = layout.frames[c.frame];
        ASSERT_EQ(GifFrameFileSize(layout, frame), c.size) << c.frame;
        Bytes out(c.size, 0xEE);
        WriteGifFrameFile(file.data(), file.size(), layout, frame, out.data());
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + header, out.begin())) << c.frame;
        EXPECT_EQ(out.back(), 0x3B) << c.frame;
        const GifLayout again = ReadGifLayout(out.data(), out.size());
        EXPECT_EQ(again.kind, GifKind::Still) << c.frame;
        EXPECT_EQ(again.imageCount, 1) << c.frame;
        // Re-read as the first frame of a two-frame file, the copy keeps its fields.
        Bytes twice(out.begin(), out.end() - 1);
        twice.insert(twice.end(), out.begin() + static_cast<std::ptrdiff_t>(header), out.end());
        const GifLayout pair = ReadGifLayout(twice.data(), twice.size());
        ASSERT_EQ(pair.frames.size(), 2u) << c.frame;
        EXPECT_EQ(pair.frames[0].delay, c.delay) << c.frame;
        EXPECT_EQ(pair.frames[0].left, frame.left) << c.frame;
        EXPECT_EQ(pair.frames[0].height, frame.height) << c.frame;
    }
}

// The caps bound what thousands of frames or a large screen can cost.
TEST(GifFrames, FramesStopAtTheCaps) {
    Gif many("89a", 1, 1, 0);
    for (int i = 0; i < kGifMaxFrames + 5; ++i) many.Control(0, 1).Image(0, 0, 1, 1);
    // One frame of 8192 x 8192 pixels is the whole pixel budget.
    Gif large("89a", 8192, 8192, 0);
    large.Image(0, 0, 1, 1).Image(0, 0, 1, 1).Image(0, 0, 1, 1);
    struct Case {
        const char* name;
        Bytes gif;
        int images;
        size_t frames;
    } cases[] = {
        {"thousands of frames", many.bytes(), kGifMaxFrames + 5, static_cast<size_t>(kGifMaxFrames)},
        {"pixel budget", large.bytes(), 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GifLayout layout = ReadGifLayout(c.gif.data(), c.gif.size());
        EXPECT_EQ(layout.kind, GifKind::Animated);
        EXPECT_EQ(layout.imageCount, c.images);
        EXPECT_EQ(layout.frames.size(), c.frames);
    }
}

}  // namespace
}  // namespace kq
