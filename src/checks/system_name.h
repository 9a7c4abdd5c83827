// The running Windows version by the short name the scripts use, and the two
// operating-system masks with which file items and program items restrict
// themselves to some of those versions.
#pragma once
#include <cstdint>
#include <string>

namespace kq {

// Platform ids of the version record.
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows = 1;  // 95, 98, ME
constexpr uint32_t kPlatformNt = 2;

// The fields of the platform's version record that the checks look at.
struct OsVersion {
    uint32_t platformId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    // On the 95 family the high 16 bits repeat major and minor; only the low
    // 16 bits are the build.
    uint32_t build = 0;
    std::string csdVersion;  // service-pack text; not part of the name
};

// One of "98", "98SE", "ME", "NT4", "2000", "XP", "NET", or "" for a version
// outside that list:
//   4.10 with build below 2183       98
//   4.10 with build 2183 or above    98SE
//   4.90                             ME
//   4.0 (either platform)            NT4
//   5.0                              2000
//   5.1 on the NT platform           XP
//   5.2 on the NT platform           NET
const char* SystemName(const OsVersion& version);

// File mask (8 bits): 0 and 255 mean every system, bit value 1 any system;
// 2, 4, 8, 16, 32, 64, 128 stand for 98, 98SE, ME, NT4, 2000, XP, NET. The
// file applies when bit 1 is set or the bit of `systemName` is.
bool FileMaskApplies(int32_t mask, const char* systemName);

// Program mask (7 bits): 64, 32, 16, 8, 4, 2, 1 stand for 98, 98SE, ME, NT4,
// 2000, XP, NET. The program runs when the bit of `systemName` is set, and
// always on a system outside the list (empty or unknown name); a mask of 0
// therefore skips it on every listed system.
bool ProgramMaskApplies(int32_t mask, const char* systemName);

}  // namespace kq
