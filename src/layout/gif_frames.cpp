#include "layout/gif_frames.h"

#include <cassert>
#include <cstring>

namespace kq {
namespace {

constexpr size_t kScreenDescriptorEnd = 13;
constexpr size_t kControlLength = 8;

unsigned Word(const uint8_t* at) { return static_cast<unsigned>(at[0]) | (static_cast<unsigned>(at[1]) << 8); }

size_t ColourTableLength(uint8_t flags) {
    if ((flags & 0x80u) == 0) return 0;
    return 3u * (size_t{1} << ((flags & 7u) + 1));
}

// Length of the sub-blocks starting at pos, terminator included; 0 when they
// run past the end (a complete run is at least the one terminator byte).
size_t SubBlocksLength(const uint8_t* data, size_t size, size_t pos) {
    size_t at = pos;
    while (at < size) {
        size_t length = data[at];
        if (length == 0) return at + 1 - pos;
        // Compared against what is left, so no sum can overflow.
        if (length >= size - at) return 0;
        at += 1 + length;
    }
    return 0;
}

// Length of the block at pos with a fixed part of `fixed` bytes and sub-blocks
// after it; 0 when it does not fit in the data.
size_t BlockWithSubBlocks(const uint8_t* data, size_t size, size_t pos, size_t fixed) {
    if (fixed > size - pos) return 0;
    size_t rest = SubBlocksLength(data, size, pos + fixed);
    return rest == 0 ? 0 : fixed + rest;
}

}  // namespace

GifLayout ReadGifLayout(const uint8_t* data, size_t size) {
    GifLayout layout;
    if (data == nullptr || size < 6 || std::memcmp(data, "GIF", 3) != 0) return layout;
    if (std::memcmp(data + 3, "87a", 3) != 0 && std::memcmp(data + 3, "89a", 3) != 0) return layout;
    layout.kind = GifKind::NoImage;
    if (size < kScreenDescriptorEnd) return layout;
    layout.width = static_cast<int>(Word(data + 6));
    layout.height = static_cast<int>(Word(data + 8));
    layout.headerLength = kScreenDescriptorEnd + ColourTableLength(data[10]);
    if (layout.headerLength > size) return layout;

    const uint64_t screenPixels = static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height);
    size_t pos = layout.headerLength;
    size_t pendingControl = 0;
    size_t frameBytes = 0;
    uint64_t framePixels = 0;
    bool capped = false;
    while (pos < size) {
        size_t length = 0;
        const uint8_t first = data[pos];
        if (first == 0x21) {
            if (size - pos < 2) break;
            switch (data[pos + 1]) {
                case 0x01: length = BlockWithSubBlocks(data, size, pos, 15); break;
                case 0xF9: length = kControlLength <= size - pos ? kControlLength : 0; break;
                case 0xFE: length = BlockWithSubBlocks(data, size, pos, 2); break;
                case 0xFF: length = BlockWithSubBlocks(data, size, pos, 14); break;
                default: break;
            }
            if (length == 0) break;
            if (data[pos + 1] == 0xF9) pendingControl = pos;
        } else if (first == 0x2C) {
            if (size - pos < 10) break;
            const size_t fixed = 10 + ColourTableLength(data[pos + 9]) + 1;
            length = BlockWithSubBlocks(data, size, pos, fixed);
            if (length == 0) break;
            ++layout.imageCount;
            GifFrame frame;
            frame.controlOffset = pendingControl;
            frame.imageOffset = pos;
            frame.imageLength = length;
            frame.left = static_cast<int>(Word(data + pos + 1));
            frame.top = static_cast<int>(Word(data + pos + 3));
            frame.width = static_cast<int>(Word(data + pos + 5));
            frame.height = static_cast<int>(Word(data + pos + 7));
            if (pendingControl != 0) {
                frame.delay = static_cast<int>(Word(data + pendingControl + 4));
                frame.disposal = (data[pendingControl + 3] >> 2) & 7;
            }
            pendingControl = 0;
            // Frames are kept only while under every cap; the count of images
            // goes on so that a capped animation still reads as animated.
            const size_t bytes = GifFrameFileSize(layout, frame);
            if (!capped && static_cast<int>(layout.frames.size()) < kGifMaxFrames &&
                bytes <= kGifMaxFrameBytes - frameBytes && screenPixels <= kGifMaxFramePixels - framePixels) {
                layout.frames.push_back(frame);
                frameBytes += bytes;
                framePixels += screenPixels;
            } else {
                capped = true;
            }
        } else if (first == 0x3B) {
            length = 1;
        } else {
            break;
        }
        pos += length;
    }

    if (layout.imageCount == 0) {
        layout.frames.clear();
    } else if (layout.imageCount == 1) {
        layout.kind = GifKind::Still;
        layout.frames.clear();
    } else {
        layout.kind = layout.frames.empty() ? GifKind::TooLarge : GifKind::Animated;
    }
    return layout;
}

unsigned GifFrameWaitMs(int delay) {
    if (delay < 0) return 0;
    return delay > 4 ? static_cast<unsigned>(delay) * 10 : 100;
}

size_t GifFrameFileSize(const GifLayout& layout, const GifFrame& frame) {
    return layout.headerLength + (frame.controlOffset != 0 ? kControlLength : 0) + frame.imageLength + 1;
}

void WriteGifFrameFile(const uint8_t* data, size_t size, const GifLayout& layout, const GifFrame& frame,
                       uint8_t* out) {
    // The layout was read from these bytes, so every offset is inside them.
    assert(frame.imageOffset + frame.imageLength <= size);
    (void)size;
    std::memcpy(out, data, layout.headerLength);
    out += layout.headerLength;
    if (frame.controlOffset != 0) {
        std::memcpy(out, data + frame.controlOffset, kControlLength);
        out += kControlLength;
    }
    std::memcpy(out, data + frame.imageOffset, frame.imageLength);
    out[frame.imageLength] = 0x3B;
}

}  // namespace kq
