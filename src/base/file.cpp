#include "base/file.h"

#include <cstdio>
#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kq {

namespace {

// C streams rather than iostreams: iostreams bring the whole locale library
// into the programs, most of their size.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    return ReadFileInPieces(path, [&text](std::string_view piece) { text.append(piece); });
}

bool ReadFileInPieces(const std::string& path, const std::function<void(std::string_view piece)>& take) {
    FilePtr in(std::fopen(path.c_str(), "rb"));
    if (!in) return false;
    char buffer[16384];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), in.get())) > 0) take(std::string_view(buffer, got));
    return std::ferror(in.get()) == 0;
}

bool AppendBlock(std::FILE* file, std::string_view first, std::string_view second, long* at) {
    auto write = [file](std::string_view piece) {
        return piece.empty() || std::fwrite(piece.data(), 1, piece.size(), file) == piece.size();
    };
    *at = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    return *at >= 0 && write(first) && write(second) && std::fflush(file) == 0;
}

bool ReadBlock(std::FILE* file, long at, void* first, size_t firstBytes, void* second, size_t secondBytes) {
    auto read = [file](void* bytes, size_t count) { return count == 0 || std::fread(bytes, 1, count, file) == count; };
    return std::fseek(file, at, SEEK_SET) == 0 && read(first, firstBytes) && read(second, secondBytes);
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

#ifndef _WIN32
// The Windows build has its own, by volume and file index (file_win.cpp).
bool SameExistingFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
#endif

}  // namespace kq
