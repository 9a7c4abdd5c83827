#include "base/directories.h"

namespace kq {

bool CreateDirectoryPath(std::string path, const std::function<CreateDirResult(const std::string&)>& create) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    if (path.empty()) return false;

    std::string current = path;
    for (int attempt = 0; attempt < kMaxCreateAttempts; ++attempt) {
        switch (create(current)) {
        case CreateDirResult::Created:
        case CreateDirResult::Exists: {
            if (current.size() == path.size()) return true;
            size_t next = path.find('\\', current.size() + 1);
            current = path.substr(0, next);
            break;
        }
        case CreateDirResult::ParentMissing: {
            size_t cut = current.rfind('\\');
            if (cut == std::string::npos || cut == 0) return false;
            current.resize(cut);
            break;
        }
        case CreateDirResult::Failed:
            return false;
        }
    }
    return false;
}

}  // namespace kq
