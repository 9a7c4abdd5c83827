// Whether a packaged .dll or .ocx replaces the one already installed.
//
// Both files' FileVersion strings are read as four numbers: the text is split
// at every '.' and ',' and each of the first four parts is read by its
// leading number (blanks before it allowed; a part that is no number, or is
// missing, reads 0). "5, 1, 2600" is therefore 5.1.2600.0, "6.00.2900.5512
// (xpsp...)" 6.0.2900.5512 and "(null)", the text of a file without version
// information, 0.0.0.0. The numbers are compared in order, each as a whole
// number, so 5.10 is above 5.9 and 1.2.4.0 above 1.2.3.0.
//
// The packaged file is copied only when its version is higher than the
// installed one's: an equal version is never copied again and a lower one
// never replaces a newer file already on the machine. A packaged file that
// is missing is a failed copy, not a version that is not newer.
#pragma once
#include <cstdint>

namespace kq {

// The text of a file without version information.
constexpr char kNoFileVersion[] = "(null)";

struct VersionNumber {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t build = 0;
    int32_t revision = 0;
};

bool operator<(const VersionNumber& a, const VersionNumber& b);
bool operator==(const VersionNumber& a, const VersionNumber& b);

VersionNumber ReduceVersionText(const char* fileVersion);

// True when `path` names a .dll or .ocx (any letter case), the files the
// version rule applies to. Give it the destination or the record's file
// name: packed sources may carry a suffix ("F3_a.dll2" after content
// expansion).
bool VersionRuleApplies(const char* path);

// The decision for an existing destination: copy only when the packaged
// version is higher.
bool PackagedVersionWins(const char* packagedVersion, const char* installedVersion);

// The whole decision for an existing destination: true when the installed
// file stays as it is. Never true when the packaged file is not there
// (`packagedPresent` false): the copy is then attempted and fails as any
// missing file does.
bool InstalledFileKept(bool packagedPresent, const char* packagedVersion, const char* installedVersion);

}  // namespace kq
