// What the cabinet extraction reports and keeps, independent of the platform
// that runs it (the extraction itself is in cabinet_win.h).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/product.h"

namespace kq {

// The package's cabinet, in the source folder.
constexpr char kCabinetName[] = "file1.cab";

// Result codes of an extraction; anything but kCabinetOk ends the start-up.
enum CabinetResult : int {
    kCabinetOk = 0,
    kCabinetNoDecoder = 1,      // the decoder could not be created
    kCabinetCannotOpen = 2,     // the cabinet file could not be opened
    kCabinetNotCabinet = 3,     // the file is no cabinet
    kCabinetExtractFailed = 4,  // damaged cabinet, refused name or failed write
    kCabinetCannotRelease = 5,  // the decoder could not be released
};

// Progress of an extraction, called on the extracting thread: the number of
// files once the cabinet has been read, then the running count of files (1
// when the first file is started). Either may be left empty.
struct CabinetProgress {
    std::function<void(int fileCount)> setRange;
    std::function<void(int filesStarted)> setPosition;
};

// What a failed extraction tells the user: the result, and for a file that
// failed inside the cabinet its stored name and why.
struct CabinetFailure {
    // kPlanted: a file of the entry's name was in the working folder before
    // the extraction came to it, so someone else put it there.
    enum class Cause { kNone, kRefusedName, kDamaged, kCannotWrite, kPlanted };
    int result = kCabinetOk;
    Cause cause = Cause::kNone;
    std::string entry;  // the stored name; empty when no file was reached
};

// How the extraction of one entry ended. A failed or stopped extraction has
// deleted the file it began.
enum class EntryResult {
    kDone,
    kNotFound,     // no entry of that name, or the cabinet cannot be opened
    kCannotWrite,  // the target cannot be created or written
    kDamaged,      // the entry's data cannot be read back whole
    kStopped,      // asked to stop while writing
    kTaken,        // the target had to be new and something of its name was there
};

// "Merrowin can't unpack the product's files.\r\nFile: ...\r\nReason: ...".
std::string CabinetFailureMessage(const CabinetFailure& failure, const std::string& cabinetPath);

// The cabinet's path: the source folder (a backslash added when missing) and
// kCabinetName.
std::string CabinetPath(const char* sourceFolder);

// The stored attributes that are restored on an extracted file: read-only
// (0x01), hidden (0x02), system (0x04) and archive (0x20). The cabinet's
// "executable" and "name is UTF-8" bits are dropped.
uint32_t RestoredAttributes(int storedAttributes);

// Whether a folder of `next` bytes may be unpacked ahead into memory while
// buffers of `held` bytes exist (folders unpacked or being unpacked that the
// copy step has not passed, and spare ones): only within `budget`, so memory
// stays the same whatever the payload; but always when nothing is held, so
// the folder the copy step waits for is begun even when it alone is larger.
bool MayUnpackAhead(uint64_t held, uint64_t next, uint64_t budget);

}  // namespace kq
