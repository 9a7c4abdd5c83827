// The room the copy step needs, worked out before it starts, so a full disk
// ends the run before anything is copied rather than in the middle of it.
//
// Every file the copy step would write counts its size on the volume of its
// destination: a file that replaces one already there counts only the
// difference (negative when it is smaller), a file kept by "keep existing",
// one of a deselected feature and one whose mask leaves this system out
// count nothing, and a web file counts nothing (its size is known only once
// it is fetched). A volume's total is never below zero.
//
// A destination's volume is its drive ("C:\") or its share
// ("\\server\share\"), compared without regard to case and written upper
// case; a path that is neither belongs to no volume and is not counted.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run/file_list.h"

namespace kq {

struct VolumeSpace {
    std::string volume;   // "C:\" or "\\SERVER\SHARE\"
    uint64_t needed = 0;  // bytes
    uint64_t free = 0;    // bytes, filled in by whoever asks the system
};

struct SpaceQuestions {
    std::string systemName;
    // True when the named feature is known and not to be installed.
    std::function<bool(const std::string&)> featureDeselected;
    // The size of file `index`'s packed copy; false when it is unknown.
    std::function<bool(int32_t index, uint64_t* size)> packedSize;
    // The size of the file at `path`; false when there is none.
    std::function<bool(const std::string& path, uint64_t* size)> existingSize;
    // Whether the folder is there, asked once a folder (may be empty): a
    // file in a folder that is not there is new without a look of its own,
    // which on a file system without case costs a search of the folders
    // above it.
    std::function<bool(const std::string& folder)> folderExists;
};

// "C:\" or "\\SERVER\SHARE\" for a path on it; "" for any other.
std::string VolumeRoot(const std::string& path);

// The bytes each volume needs, in order of its first file; volumes that need
// nothing are left out.
std::vector<VolumeSpace> SpaceNeeded(const FileList& files, const ExpandFn& expand, const SpaceQuestions& questions);

// "There is not enough free space on C:\ ...", with the room needed and
// the room free in the units a user reads and in bytes.
std::string NotEnoughSpaceMessage(const VolumeSpace& space);

// "1.5 MB", "640 KB", "12 bytes".
std::string ByteCountText(uint64_t bytes);

}  // namespace kq
