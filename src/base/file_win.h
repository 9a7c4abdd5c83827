// What is at a path, by its attributes.
#pragma once
#include <string>

namespace kq {

// Something (a file or a folder) is there.
bool PathExists(const std::string& path);
// A file, not a folder, is there.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

}  // namespace kq
