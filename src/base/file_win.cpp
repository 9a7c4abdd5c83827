#include "base/file_win.h"

#include <windows.h>

namespace kq {

bool PathExists(const std::string& path) {
    return !path.empty() && ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& path) {
    DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CopyFileOver(const std::string& from, const std::string& to) {
    DWORD attributes = ::GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesA(to.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::string UniqueFileBeside(const std::string& path) {
    const size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) return std::string();
    char unique[MAX_PATH] = "";
    if (::GetTempFileNameA(path.substr(0, cut + 1).c_str(), "kq", 0, unique) == 0) return std::string();
    return unique;
}

}  // namespace kq
