// Small GIF files built byte by byte for the Win32 tests of the animated
// picture and the splash, and the message pumping those tests wait with.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kq {
namespace test_gif {

using Bytes = std::string;

// Colour indexes of the 4-entry global table below.
constexpr int kRed = 1;
constexpr int kBlue = 2;

inline void Word(Bytes* out, int value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

// LZW data of `count` pixels of one colour with 2-bit codes. A clear code
// before every pixel keeps the codes 3 bits wide, which any decoder reads.
inline Bytes SolidPixels(int count, int index) {
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

inline Bytes Header(const char* version) {
    Bytes gif = std::string("GIF") + version;
    Word(&gif, 4);
    Word(&gif, 4);
    gif += std::string("\x81\0\0", 3);
    // White, red, blue, green.
    gif += std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00\xFF\x00\xFF\x00", 12);
    return gif;
}

inline Bytes Control(int disposal, int delay) {
    Bytes block("\x21\xF9\x04", 3);
    block.push_back(static_cast<char>(disposal << 2));
    Word(&block, delay);
    block += std::string("\0\0", 2);
    return block;
}

inline Bytes Image(int left, int top, int width, int height, int colour) {
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
inline Bytes TwoFrames(int delay) {
    return Header("89a") + Control(2, delay) + Image(0, 0, 4, 4, kRed) + Image(2, 2, 2, 2, kBlue) + ";";
}

inline std::string WriteTemp(const char* name, const Bytes& bytes) {
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
inline bool PumpUntil(Done done) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > 20000) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    }
    return true;
}

}  // namespace test_gif
}  // namespace kq
