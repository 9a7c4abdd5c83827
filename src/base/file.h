// Whole files as bytes: the scripts, logs and texts the program reads or
// writes in one piece.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace kq {

// False when the file cannot be opened or read; `text` is then unspecified.
bool ReadWholeFile(const std::string& path, std::string& text);
// The same, a piece at a time, for a file that need not be held whole;
// false when it cannot be opened or read to its end.
bool ReadFileInPieces(const std::string& path, const std::function<void(std::string_view piece)>& take);
// A block of two pieces appended to the end of `file` (open for reading
// and writing) and flushed: a scratch file that holds what memory need not.
// `*at` is where the block starts; false when it cannot be written whole.
bool AppendBlock(std::FILE* file, std::string_view first, std::string_view second, long* at);
// Reads back the block at `at`: `firstBytes` into `first`, then
// `secondBytes` into `second`; false when it cannot be read whole.
bool ReadBlock(std::FILE* file, long at, void* first, size_t firstBytes, void* second, size_t secondBytes);
// Replaces the file's content; false when it cannot be written.
bool WriteWholeFile(const std::string& path, const std::string& text);
// Both paths name one existing file, however spelt ("a\b" and "A\B",
// "dir/./f" and "dir/f", a link): writing to one would change the other.
bool SameExistingFile(const std::string& a, const std::string& b);

}  // namespace kq
