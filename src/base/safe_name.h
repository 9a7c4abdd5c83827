// Turning a name that came from package data (a name stored in the cabinet,
// the last part of a download address) into one file name that can only
// ever land inside the folder it is created in.
#pragma once
#include <string>
#include <string_view>

namespace kq {

// A file-name component is at most this long on every file system we write to.
constexpr size_t kMaxLeafNameLength = 255;

// The part of `stored` after its last '\', '/' or ':'. A drive letter, an
// absolute path and every ".." climb are cut off with the folders before them.
std::string_view LastPathComponent(std::string_view stored);

// True when Windows opens a device instead of a file for `name` (one path
// component) in any folder, whatever extension follows it ("nul.txt" is NUL).
bool IsDeviceName(std::string_view name);

// True when `name` (one component, no separators) may be created as a file:
// not empty, not only dots and spaces (Windows strips those, leaving "" or
// the folder itself), no control characters or the characters < > " | ? *,
// not a device name such as CON, NUL, AUX, PRN, COM1 or LPT1 (with or without
// an extension), and not longer than kMaxLeafNameLength.
bool IsSafeLeafName(std::string_view name);

// LastPathComponent of `stored` when that is a safe leaf name; otherwise
// false and `*name` is left empty.
bool SafeLeafName(std::string_view stored, std::string* name);

}  // namespace kq
