// Folder creation and removal on the real file system.
#pragma once
#include <string>

#include "base/directories.h"

namespace kq {

// One CreateDirectoryA, reported the way CreateDirectoryPath wants it.
CreateDirResult CreateOneDirectory(const std::string& path);

// CreateDirectoryPath on the real file system.
bool CreateDirectoryPath(const std::string& path);

// Deletes `folder` (with or without a trailing backslash) with everything in
// it, read-only files included; a junction inside is removed as a link,
// never followed. A drive's root is refused. A process cannot delete the
// folder it stands in, so when the current directory lies inside it moves
// to `stepOutTo` first. True when the folder is gone.
bool DeleteFolderTree(const std::string& folder, const std::string& stepOutTo);

// Moves a file into place (replacing the target, copying across volumes) so
// that it ends with the permissions a copy would have had. A move within a
// volume keeps the file's own security, that of the temporary folder, which
// other users of the machine may not read; so on Windows 2000 and later the
// moved file's DACL is reset to inherit from its new folder. Where that
// cannot be done (NT 4, which has no inheritance to reset to) the file is
// copied into place instead and the original deleted; Windows 9x keeps no
// permissions and moves as it is, without MoveFileExA. False when the file
// is not in place. The system calls come from FileCalls().
bool MoveIntoPlace(const std::string& from, const std::string& to);

}  // namespace kq
