// What the folder browser accepts as a destination folder, and the texts it
// shows when it refuses one. The dialog itself is folder_browser_win.h; the
// rules live here so they can be tested off Windows.
//
// A folder is written as a drive letter, ':' and '\', then folder names
// separated by single backslashes:
//   C:\                      a drive root (the only form that ends in '\')
//   D:\Apps\Northwind Notes  two levels below the root of D:
// Each folder name must be non-empty, must not begin or end with a space, a
// tab or '.', and must not contain any of  " * / : < > ? \ |  nor a control
// character. The whole path is at most kMaxFolderPath characters: the
// browser keeps no more, and cutting a longer one would silently pick a
// different folder from the one the user typed.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kq {

constexpr size_t kMaxFolderPath = 259;

// Why a path is refused; Valid when it is not.
enum class FolderSyntax {
    Valid,
    TooShort,           // fewer than three characters ("C:")
    NoDriveRoot,        // does not begin with a letter, ':' and '\'
    TooLong,            // more than kMaxFolderPath characters
    EmptyName,          // two backslashes in a row
    TrailingBackslash,  // "C:\Apps\": a backslash after a folder name
    BadEdge,            // a name begins or ends with a space, a tab or '.'
    BadCharacter,       // a name holds a forbidden character
};

FolderSyntax CheckFolderSyntax(const std::string& path);
inline bool IsValidFolderSyntax(const std::string& path) { return CheckFolderSyntax(path) == FolderSyntax::Valid; }

// "C:\" and the like.
bool IsDriveRoot(const std::string& path);

// The folders to make, from the drive root down, for a path that passed the
// syntax check: "C:\A\B" gives "C:\", "C:\A", "C:\A\B". Empty for a path
// that did not pass.
std::vector<std::string> FolderLevels(const std::string& path);

// The browser's three messages, filled with the path.
std::string FolderInvalidMessage(const std::string& path);
std::string FolderMissingQuestion(const std::string& path);
std::string FolderNotCreatedMessage(const std::string& path);

}  // namespace kq
