#include "base/path_rules.h"

#include <cstring>

#include "base/safe_name.h"
#include "base/text.h"

namespace kq {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string_view> PathComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsPathSeparator(path[i])) {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

const char* AbsolutePathProblem(std::string_view path) {
    if (path.empty()) return "empty path";
    size_t rootParts = 0;
    std::string_view rest;
    if (path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
        path[1] == ':' && IsPathSeparator(path[2])) {
        rest = path.substr(3);
    } else if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
        // "\\?\" and "\\.\" reach devices and bypass the system's path
        // checks; only a share's path is taken.
        if (path.size() >= 3 && (path[2] == '?' || path[2] == '.')) return "device path";
        rest = path.substr(2);
        rootParts = 2;  // server and share
    } else {
        return "not an absolute path";
    }
    for (char c : rest) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::strchr("*?<>|\":", c) != nullptr) return "wildcard or reserved character";
    }
    std::vector<std::string_view> parts = PathComponents(rest);
    for (std::string_view part : parts) {
        if (part.find_first_not_of(". ") == std::string_view::npos) return "relative part in path";
        if (IsDeviceName(part)) return "device name";
    }
    if (parts.size() <= rootParts) return "a drive or share itself";
    return nullptr;
}

bool IsUsableProductCode(std::string_view productCode) {
    return IsSafeLeafName(productCode);
}

std::string_view SkipProgramName(std::string_view commandLine) {
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t close = commandLine.find('"', 1);
        i = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    }
    return TrimBlanks(commandLine.substr(i));
}

}  // namespace kq
