// Creating a directory together with its missing parents, the way the
// installation does it: try the full path, walk up one level for each
// "parent missing" answer, then back down creating each level. The number of
// create attempts for one path is bounded, which limits how many missing
// levels one call creates (five); a deeper path is left alone.
#pragma once
#include <functional>
#include <string>

namespace kq {

enum class CreateDirResult { Created, Exists, ParentMissing, Failed };

constexpr int kMaxCreateAttempts = 10;

// `create` makes one directory and says how it went. Returns true when the
// whole path exists afterwards. A trailing backslash is ignored.
bool CreateDirectoryPath(std::string path, const std::function<CreateDirResult(const std::string&)>& create);

}  // namespace kq
