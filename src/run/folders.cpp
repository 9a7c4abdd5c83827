#include "run/folders.h"

#include <cstdio>

#include "base/product.h"
#include "run/placeholders.h"

namespace kq {

// Shell special-folder ids (CSIDL values), kept as numbers so this table can
// be tested off Windows. Some rows use the same id for both profiles.
const ShellFolderRow kShellFolders[12] = {
    {&FolderValues::favorites, 31, 6},         // common favorites / favorites
    {&FolderValues::sharedDocuments, 46, 46},  // common documents
    {&FolderValues::pictures, 54, 39},         // common pictures / my pictures
    {&FolderValues::programsMenu, 23, 2},      // common programs / programs
    {&FolderValues::music, 53, 13},            // common music / my music
    {&FolderValues::sendTo, 9, 9},             // send-to
    {&FolderValues::fonts, 20, 20},            // fonts
    {&FolderValues::appData, 35, 26},          // common application data / application data
    {&FolderValues::personal, 5, 5},           // personal
    {&FolderValues::startupMenu, 24, 7},       // common start-up / start-up
    {&FolderValues::startMenu, 22, 11},        // common start menu / start menu
    {&FolderValues::desktop, 25, 16},          // common desktop directory / desktop directory
};

std::string VolumeOf(const std::string& windowsFolder) {
    return windowsFolder.substr(0, 2);
}

std::string WorkFolderName(int hour, int minute, int second, uint64_t secret) {
    auto clamp = [](int value, int top) { return value < 0 ? 0 : (value > top ? top : value); };
    char name[32];
    std::snprintf(name, sizeof(name), "kq%02d%02d%02d-%08lx%08lx", clamp(hour, 23), clamp(minute, 59),
                  clamp(second, 59), static_cast<unsigned long>(secret >> 32),
                  static_cast<unsigned long>(secret & 0xffffffffu));
    return name;
}

bool IsWorkFolderName(const std::string& name) {
    constexpr size_t kBaseLength = 2 + 6 + 1 + 16;
    if (name.size() < kBaseLength || name.compare(0, 2, "kq") != 0 || name[8] != '-') return false;
    for (size_t i = 2; i < kBaseLength; ++i) {
        const char c = name[i];
        if (i == 8) continue;
        if (!(c >= '0' && c <= '9') && !(i > 8 && c >= 'a' && c <= 'f')) return false;
    }
    if (name.size() == kBaseLength) return true;
    if (name[kBaseLength] != '_' || name.size() == kBaseLength + 1) return false;
    return name.find_first_not_of("0123456789", kBaseLength + 1) == std::string::npos;
}

std::string PlantedFileMessage(const std::string& path) {
    return std::string(kProductName) +
           " stopped: its working folder holds a file that it did not make, and it will not use it.\r\nFile: " +
           path;
}

std::string MakeNewFolderName(const std::string& baseName,
                              const std::function<NewFolderResult(const std::string&)>& create) {
    for (int attempt = 0; attempt < kMaxWorkFolderAttempts; ++attempt) {
        std::string name = attempt == 0 ? baseName : baseName + "_" + std::to_string(attempt);
        switch (create(name)) {
        case NewFolderResult::Created: return name;
        case NewFolderResult::Taken: continue;
        case NewFolderResult::Failed: return std::string();
        }
    }
    return std::string();
}

std::string ThemeTargetPath(const std::string& themeFolder, const std::string& fileName) {
    std::string target = themeFolder + fileName;
    ReplaceAll(target, "^!", "");
    return target;
}

}  // namespace kq
