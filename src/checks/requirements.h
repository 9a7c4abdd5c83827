// The product's minimum requirements from the setup script's SYSTEM section,
// checked against the machine before the wizard opens. The first check that
// fails names the message the user is shown (from the language file's REQ
// section, or a built-in default) before the program ends.
//
// SYSTEM keys, each read into a 100-character buffer (99 characters):
//   1        a text the processor's name must contain; "All Processors" for
//            any processor
//   2        megabytes of memory, "<n> MB"; "Any" for no check
//   3        "<width>x<height>" (lower-case x); "checkSCREEN" and
//            "Any resolution" for no check
//   4        colour depth: "256 colors" (8 bits per pixel), "65.636 colors"
//            (16), "24bit colors" (24), "32bit colors" (32); "Any colors"
//            and any other word never fail
//   os0-os6  "Yes" for each Windows version the product runs on: 98, 98 SE,
//            ME, NT 4, 2000, XP, Server 2003; all seven "Yes" means any
//            Windows, even one newer than the list, and so does a script
//            that writes none of the seven
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "checks/system_name.h"

namespace kq {

class ProfileReader;

constexpr int kOsFlagCount = 7;

struct SystemRequirements {
    std::string processor;
    std::string memory;
    std::string resolution;
    std::string colors;
    bool os[kOsFlagCount] = {};
    // False when none of the seven flags is written at all (a script without
    // a SYSTEM section): that restricts nothing, where seven written flags
    // none of which is "Yes" refuse every Windows.
    bool osWritten = false;
};

SystemRequirements ReadSystemRequirements(const ProfileReader& script);

// The facts the checks compare with; the processor is asked for only when
// the product names one (identifying it takes a second).
class MachineFacts {
public:
    virtual ~MachineFacts() = default;
    virtual OsVersion Version() const = 0;
    virtual uint64_t TotalPhysicalMemory() const = 0;  // bytes
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    virtual int BitsPerPixel() const = 0;
    // False when the processor cannot be identified.
    virtual bool ProcessorName(std::string& name) const = 0;
};

// The checks in the order they run; the numbers are the REQ keys of their
// messages.
enum class Requirement { kNone = -1, kOperatingSystem = 0, kColors = 1, kResolution = 2, kMemory = 3, kProcessor = 4 };

// True when `version` is the Windows version of flag `flag` (0 to 6). Build
// 2183 of 4.10 counts as both 98 and 98 SE.
bool OsFlagMatches(int flag, const OsVersion& version);
// "<n> MB" with every " MB" removed, as a decimal number.
int RequiredMegabytes(const std::string& value);
// Installed megabytes as the check counts them: whole MiB plus one, so a
// machine just short of 256 MiB (some is always reserved) still has "256".
uint32_t InstalledMegabytes(uint64_t totalBytes);
// Width and height of "<width>x<height>", split at the first "x". Without an
// "x" the width is 0 and the whole text is the height.
void ParseResolution(const std::string& value, int& width, int& height);
// Bits per pixel a colour word requires; 0 for an unknown word.
int RequiredBitsPerPixel(const std::string& word);

// Runs the checks: operating system, memory, resolution, colour depth,
// processor. The first that fails, or kNone.
Requirement FirstFailedRequirement(const SystemRequirements& requirements, const MachineFacts& machine);

// The message for a failed check: REQ key of the language file (254
// characters at most), or the built-in default when that is empty, then
// placeholder-expanded.
std::string RequirementMessage(Requirement failed, const ProfileReader& language,
                               const std::function<std::string(const std::string&)>& expand);

}  // namespace kq
