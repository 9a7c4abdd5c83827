// The GIF block walk behind the animated picture control. The system's picture
// loader decodes only the first image of a GIF, so an animated GIF is cut
// here into stand-alone single-frame GIFs that the loader can take one by one.
//
// What a GIF looks like (all numbers little-endian):
//   0   "GIF" and a version; only "87a" and "89a" are read as GIF here,
//       anything else is left whole to the system's loader.
//   6   logical screen width (16 bits), 8 its height (16 bits)
//   10  flags: bit 7 set means a global colour table follows the 13-byte
//       screen descriptor, 3 * 2^((flags & 7) + 1) bytes long.
//   13 + table: a run of blocks, each told by its first byte (and label):
//       0x21 0x01  plain-text extension   15 bytes, then sub-blocks
//       0x21 0xF9  graphic control ext.   8 bytes: flags at +3 (disposal
//                                         method in bits 2-4), delay in
//                                         hundredths of a second at +4
//       0x21 0xFE  comment extension      2 bytes, then sub-blocks
//       0x21 0xFF  application extension  14 bytes, then sub-blocks
//       0x2C       image                  10-byte descriptor (left +1, top +3,
//                                         width +5, height +7, flags +9 with
//                                         a local table like the global one),
//                                         the local table, 1 code-size byte,
//                                         then sub-blocks
//       0x3B       trailer                1 byte (the walk goes on after it)
//   Any other byte (an extension with another label included) ends the walk.
//   Sub-blocks are a length byte and that many bytes, repeated, ended by a
//   zero length byte.
//
// The file is untrusted. A block that would run past the end of the data
// ends the walk and is not counted, so nothing here reads outside the data.
// An animated GIF yields at most kGifMaxFrames frames, the single-frame files
// together at most kGifMaxFrameBytes bytes, and the frames together at most
// kGifMaxFramePixels logical-screen pixels (every frame decodes to a picture
// as large as the logical screen); frames past a cap are dropped, so a file
// that lies about its size or holds thousands of frames plays a shortened
// animation, or fails when not even its first frame fits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kq {

constexpr int kGifMaxFrames = 1000;
constexpr size_t kGifMaxFrameBytes = 32u * 1024 * 1024;
constexpr uint64_t kGifMaxFramePixels = 64ull * 1024 * 1024;

// One image of an animated GIF, with the offsets of its blocks in the file.
struct GifFrame {
    size_t controlOffset = 0;  // its graphic control extension (8 bytes); 0 when none
    size_t imageOffset = 0;    // its image descriptor
    size_t imageLength = 0;    // descriptor, local table, code size and sub-blocks
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = -1;    // hundredths of a second; -1 without a graphic control extension
    int disposal = 0;  // 0 to 7
};

enum class GifKind {
    NotGif,     // not "GIF87a"/"GIF89a": hand the data whole to the picture loader
    NoImage,    // a GIF without a complete image: fails to load
    Still,      // one image: hand the data whole to the picture loader
    Animated,   // two or more images: play the frames
    TooLarge,   // two or more images, but not even the first fits the caps
};

struct GifLayout {
    GifKind kind = GifKind::NotGif;
    int width = 0;            // logical screen
    int height = 0;
    size_t headerLength = 0;  // 13 plus the global colour table
    int imageCount = 0;       // complete images the walk found
    std::vector<GifFrame> frames;  // filled for Animated only
};

GifLayout ReadGifLayout(const uint8_t* data, size_t size);

// How long a frame stays before the next, in milliseconds; 0 means the next
// frame follows at once (a frame without a graphic control extension). Delays
// of 0 to 4 hundredths are too fast to show and play at a tenth of a second.
unsigned GifFrameWaitMs(int delay);

// Size of the single-frame GIF of a frame: header and global table, the
// frame's graphic control extension, its image and a trailer.
size_t GifFrameFileSize(const GifLayout& layout, const GifFrame& frame);

// Writes that single-frame GIF into out, which holds GifFrameFileSize bytes.
// data and size are those the layout was read from.
void WriteGifFrameFile(const uint8_t* data, size_t size, const GifLayout& layout, const GifFrame& frame,
                       uint8_t* out);

}  // namespace kq
