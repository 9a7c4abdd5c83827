// Whole files as bytes: the scripts, logs and texts the program reads or
// writes in one piece.
#pragma once
#include <string>

namespace kq {

// False when the file cannot be opened or read; `text` is then unspecified.
bool ReadWholeFile(const std::string& path, std::string& text);
// Replaces the file's content; false when it cannot be written.
bool WriteWholeFile(const std::string& path, const std::string& text);

}  // namespace kq
