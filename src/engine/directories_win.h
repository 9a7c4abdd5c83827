// Folder creation and removal on the real file system.
#pragma once
#include <string>

#include "engine/directories.h"

namespace kq {

// One CreateDirectoryA, reported the way CreateDirectoryPath wants it.
CreateDirResult CreateOneDirectory(const std::string& path);

// CreateDirectoryPath on the real file system.
bool CreateDirectoryPath(const std::string& path);

// Deletes `folder` with everything in it, without prompts. A process cannot
// delete the folder it stands in, so when the current directory lies inside
// it moves to `stepOutTo` first. Failures are not reported.
void DeleteFolderTree(const std::string& folder, const std::string& stepOutTo);

}  // namespace kq
