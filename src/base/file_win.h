// What is at a path, by its attributes.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

namespace kq {

// Something (a file or a folder) is there.
bool PathExists(const std::string& path);
// A file, not a folder, is there.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Copies `from` to `to`, replacing a file already there even when it is
// read-only.
bool CopyFileOver(const std::string& from, const std::string& to);

// A new empty file with a unique name in the folder of `path`, so that a
// rename to `path` stays on one volume; "" when `path` names no folder or
// the file cannot be made.
std::string UniqueFileBeside(const std::string& path);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using ScratchFile = std::unique_ptr<std::FILE, FileCloser>;

// A new file in `folder` to write and read back, which the system deletes
// when it is closed, or when the process ends without closing it; empty
// when none can be made.
ScratchFile OpenScratchFile(const std::string& folder);

}  // namespace kq
