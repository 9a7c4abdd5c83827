// Whether a packaged .dll or .ocx replaces the one already installed.
//
// Both files' FileVersion strings are reduced to a number: every ',' becomes
// '.', the text is cut before its second '.', and what is left is read by its
// leading number. "5, 1, 2600" therefore reads as 5 (the blank after the
// first separator ends the number), "6.00.2900.5512" as 6.0 and "(null)",
// the text of a file without version information, as 0. The part after the
// dot is compared as a whole number, so 5.10 is above 5.9.
//
// The packaged file is copied only when its number is higher than the
// installed one's: an equal version is never copied again and a lower one
// never replaces a newer file already on the machine.
#pragma once
#include <cstdint>

namespace kq {

// The text of a file without version information.
constexpr char kNoFileVersion[] = "(null)";

struct VersionNumber {
    int32_t major = 0;
    int32_t minor = 0;
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

}  // namespace kq
