// Finding the machine's and the package's folders with the system's queries.
// The rules they follow (trailing backslashes, the shell-folder table, the
// theme file names, the working folder name) live in folders.h.
#pragma once
#include <string>

#include "run/folders.h"

namespace kq {

// The Windows folder and its volume, the temporary folder, the package folder
// (the current directory) and the system folder. Each query uses a
// 150-character buffer and asks again with the size the system names when a
// path is longer, so a long path is read whole instead of as garbage.
void DiscoverBaseFolders(FolderValues& out);

// The shell folders of the all-users profile or of the current user, the
// program-files and common-files folders from the registry (empty when the
// key cannot be opened with full access, which is also how a missing right
// to change the machine shows), and the user name. A shell folder the system
// does not provide is empty.
void DiscoverUserFolders(bool allUsers, FolderValues& out);

// When `themeFolder` does not exist yet: creates it and moves every "^!*.*"
// entry of `sourceFolder` into it under ThemeTargetPath. Nothing is moved
// when the theme folder exists; failures are ignored (read-only media).
void PrepareThemeFolder(const std::string& sourceFolder, const std::string& themeFolder);

// Creates a new, empty working folder in `tempFolder` (trailing backslash)
// named for the current local time, with a suffix when that name is taken,
// and returns its name ("kq142305", "kq142305_1"); empty when none could be
// created.
std::string CreateWorkFolderNow(const std::string& tempFolder);

// "RegisteredOrganization" of the local machine's Windows NT version key,
// opened with full access; empty when that fails or the value is missing.
std::string ReadCompanyName();


// True when the package keeps its files in "DiskImage1" instead of a cabinet
// (with or without the source folder's trailing backslash).
bool HasDiskImage(const std::string& sourceFolder);

}  // namespace kq
