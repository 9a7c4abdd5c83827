#include "layout/folder_browser.h"

#include <cstring>

namespace kq {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsEdgeCharacter(char c) { return c == ' ' || c == '\t' || c == '.'; }

bool IsForbidden(char c) {
    // A folder name cannot hold these on any of the systems the program runs
    // on; control characters would only fail later, at creation, with a
    // less helpful message.
    return static_cast<unsigned char>(c) < 0x20 || std::strchr("\"*/:<>?\\|", c) != nullptr;
}

FolderSyntax CheckName(const std::string& name) {
    if (name.empty()) return FolderSyntax::EmptyName;
    if (IsEdgeCharacter(name.front()) || IsEdgeCharacter(name.back())) return FolderSyntax::BadEdge;
    for (char c : name) {
        if (IsForbidden(c)) return FolderSyntax::BadCharacter;
    }
    return FolderSyntax::Valid;
}

std::string Framed(const char* before, const std::string& path, const char* after) {
    return std::string(before) + path + after;
}

}  // namespace

FolderSyntax CheckFolderSyntax(const std::string& path) {
    if (path.size() < 3) return FolderSyntax::TooShort;
    if (!IsAsciiLetter(path[0]) || path[1] != ':' || path[2] != '\\') return FolderSyntax::NoDriveRoot;
    if (path.size() > kMaxFolderPath) return FolderSyntax::TooLong;
    if (path.size() == 3) return FolderSyntax::Valid;

    size_t start = 3;
    for (;;) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) return CheckName(path.substr(start));
        if (end == path.size() - 1 && end > start) {
            // The name before it may itself be wrong; report that first.
            FolderSyntax name = CheckName(path.substr(start, end - start));
            return name != FolderSyntax::Valid ? name : FolderSyntax::TrailingBackslash;
        }
        FolderSyntax name = CheckName(path.substr(start, end - start));
        if (name != FolderSyntax::Valid) return name;
        start = end + 1;
    }
}

bool IsDriveRoot(const std::string& path) {
    return path.size() == 3 && IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

std::vector<std::string> FolderLevels(const std::string& path) {
    std::vector<std::string> levels;
    if (!IsValidFolderSyntax(path)) return levels;
    levels.push_back(path.substr(0, 3));
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        levels.push_back(path.substr(0, at));
    if (path.size() > 3) levels.push_back(path);
    return levels;
}

std::string FolderInvalidMessage(const std::string& path) {
    return Framed("The folder:\n\n", path, "\n\nis invalid. Please reenter.");
}

std::string FolderMissingQuestion(const std::string& path) {
    return Framed("The folder:\n\n", path, "\n\ndoes not exist. Do you want the folder to be created?");
}

std::string FolderNotCreatedMessage(const std::string& path) {
    return Framed("The folder:\n\n", path, "\n\ncan not be created. Please double check.");
}

}  // namespace kq
