#include "steps/disk_space.h"

#include <cstdio>
#include <map>

#include "checks/system_name.h"

namespace kq {
namespace {

// The end of the share part of "\\server\share\...", or npos.
size_t ShareEnd(const std::string& path) {
    const size_t server = path.find('\\', 2);
    if (server == std::string::npos || server == 2) return std::string::npos;
    const size_t share = path.find('\\', server + 1);
    if (share == server + 1) return std::string::npos;
    return share == std::string::npos ? path.size() : share;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

std::string VolumeRoot(const std::string& path) {
    const bool letter = !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (letter && path.size() >= 3 && path[1] == ':' && path[2] == '\\') return Upper(path.substr(0, 3));
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        const size_t end = ShareEnd(path);
        if (end != std::string::npos) return Upper(path.substr(0, end)) + "\\";
    }
    return std::string();
}

std::vector<VolumeSpace> SpaceNeeded(const FileList& files, const ExpandFn& expand, const SpaceQuestions& questions) {
    std::vector<std::string> volumes;
    std::vector<int64_t> totals;
    std::map<std::string, bool> folders;
    auto inFolderThere = [&](const std::string& path) {
        if (!questions.folderExists) return true;
        const std::string folder = path.substr(0, path.find_last_of('\\'));
        auto known = folders.find(folder);
        if (known == folders.end()) known = folders.emplace(folder, questions.folderExists(folder)).first;
        return known->second;
    };
    for (size_t i = 0; i < files.files.size(); ++i) {
        const FileRecord& record = files.files[i];
        if (IsWebSource(record.sourcePath) || !FileMaskApplies(record.fileMask, questions.systemName.c_str())) continue;
        if (!record.feature.empty() && questions.featureDeselected && questions.featureDeselected(record.feature))
            continue;
        const std::string destination = DestinationPath(record, expand);
        const std::string volume = VolumeRoot(destination);
        uint64_t size = 0;
        if (volume.empty() || !questions.packedSize(static_cast<int32_t>(i), &size)) continue;
        uint64_t there = 0;
        const bool exists = inFolderThere(destination) && questions.existingSize(destination, &there);
        if (exists && DecodeFileOptions(record.options).keepExisting) continue;
        size_t at = 0;
        while (at < volumes.size() && volumes[at] != volume) ++at;
        if (at == volumes.size()) {
            volumes.push_back(volume);
            totals.push_back(0);
        }
        totals[at] += static_cast<int64_t>(size) - (exists ? static_cast<int64_t>(there) : 0);
    }
    std::vector<VolumeSpace> needs;
    for (size_t at = 0; at < volumes.size(); ++at) {
        if (totals[at] <= 0) continue;
        VolumeSpace space;
        space.volume = volumes[at];
        space.needed = static_cast<uint64_t>(totals[at]);
        needs.push_back(space);
    }
    return needs;
}

std::string ByteCountText(uint64_t bytes) {
    char text[48];
    if (bytes < 1024) {
        std::snprintf(text, sizeof(text), "%u bytes", static_cast<unsigned>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof(text), "%.1f KB", static_cast<double>(bytes) / 1024.0);
    } else if (bytes < uint64_t(1024) * 1024 * 1024) {
        std::snprintf(text, sizeof(text), "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof(text), "%.2f GB", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
    }
    return text;
}

std::string NotEnoughSpaceMessage(const VolumeSpace& space) {
    // The exact count too, for whoever compares it with what the system says.
    auto amount = [](uint64_t bytes) {
        return bytes < 1024 ? ByteCountText(bytes) : ByteCountText(bytes) + " (" + std::to_string(bytes) + " bytes)";
    };
    return "There is not enough free space on " + space.volume +
           " to install the files.\r\n\r\nNeeded: " + amount(space.needed) + "\r\nFree: " + amount(space.free);
}

}  // namespace kq
