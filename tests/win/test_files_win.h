// File helpers the Win32 tests share: whether a path exists, the user's
// temporary folder, a whole file read or written, a folder tree removed, a
// fresh folder made.
#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "win/directories_win.h"

namespace kq {

inline bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The user's temporary folder, with a trailing backslash.
inline std::string TempFolder() {
    char buffer[MAX_PATH];
    DWORD length = ::GetTempPathA(sizeof(buffer), buffer);
    std::string folder(buffer, length);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

// Removes `folder` (with or without a trailing backslash) and everything in
// it, read-only files included.
inline void RemoveTree(const std::string& folder) {
    DeleteFolderTree(folder, "C:\\");
}

// A fresh, empty folder of this process in the temporary folder, named
// `prefix` and the process id, with a trailing backslash, into `*folder`.
inline void MakeFreshTempFolder(const std::string& prefix, std::string* folder) {
    char temp[MAX_PATH];
    ASSERT_NE(::GetTempPathA(sizeof(temp), temp), 0u);
    *folder = std::string(temp) + prefix + std::to_string(::GetCurrentProcessId()) + "\\";
    RemoveTree(*folder);
    ASSERT_TRUE(::CreateDirectoryA(folder->c_str(), nullptr)) << *folder;
}

}  // namespace kq
