// Arbitrary bytes as a picture file: the GIF walk must stay inside the data,
// keep its frames within the caps, and every frame file it writes must be a
// still GIF of exactly the size it announced.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "layout/gif_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy lets the address sanitizer catch a read one past the end.
    std::vector<uint8_t> file(data, data + size);
    const kq::GifLayout layout = kq::ReadGifLayout(file.data(), file.size());
    if (layout.frames.size() > static_cast<size_t>(kq::kGifMaxFrames)) __builtin_trap();
    if (layout.kind != kq::GifKind::Animated && !layout.frames.empty()) __builtin_trap();
    if (layout.kind == kq::GifKind::Animated && layout.frames.size() < 1) __builtin_trap();
    size_t total = 0;
    for (const kq::GifFrame& frame : layout.frames) {
        if (frame.disposal < 0 || frame.disposal > 7 || frame.delay < -1) __builtin_trap();
        const size_t bytes = kq::GifFrameFileSize(layout, frame);
        total += bytes;
        if (total > kq::kGifMaxFrameBytes) __builtin_trap();
        std::vector<uint8_t> out(bytes);
        kq::WriteGifFrameFile(file.data(), file.size(), layout, frame, out.data());
        const kq::GifLayout still = kq::ReadGifLayout(out.data(), out.size());
        if (still.kind != kq::GifKind::Still) __builtin_trap();
    }
    return 0;
}
