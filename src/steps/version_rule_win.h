// Reading the FileVersion string of a file's version resource.
#pragma once
#include <string>

namespace kq {

// At most this many characters of a FileVersion string are kept.
constexpr size_t kMaxFileVersionLength = 250;

// The FileVersion string of `path` in the language and code page its
// translation table names (or the user's default language with Unicode code
// page when the table is missing); kNoFileVersion ("(null)") for a file
// without version information, a missing file or one that cannot be read.
std::string FileVersionText(const char* path);

}  // namespace kq
