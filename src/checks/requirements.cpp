#include "checks/requirements.h"

#include "base/profile.h"
#include "base/text.h"

namespace kq {
namespace {

constexpr char kSection[] = "SYSTEM";
constexpr size_t kRequirementSize = 100;

struct ColorWord {
    const char* word;
    int bitsPerPixel;
};
// "65.636" is how the scripts spell it.
const ColorWord kColorWords[] = {
    {"256 colors", 8},
    {"65.636 colors", 16},
    {"24bit colors", 24},
    {"32bit colors", 32},
};

const char* const kDefaultMessages[] = {
    "The operating system is not adequate for running <ProductName>.",
    "The color settings of your system are not adequate for running <ProductName>.",
    "The screen resolution is not adequate for running <ProductName>.",
    "The amount of RAM is not adequate for running <ProductName>.",
    "The processor is not adequate for running <ProductName>.",
};

bool OperatingSystemPasses(const SystemRequirements& requirements, const OsVersion& version) {
    bool all = true;
    for (bool allowed : requirements.os) all = all && allowed;
    if (all || !requirements.osWritten) return true;
    for (int flag = 0; flag < kOsFlagCount; ++flag) {
        if (requirements.os[flag] && OsFlagMatches(flag, version)) return true;
    }
    return false;
}

}  // namespace

SystemRequirements ReadSystemRequirements(const ProfileReader& script) {
    SystemRequirements requirements;
    requirements.processor = script.Read(kSection, "1", kRequirementSize);
    requirements.memory = script.Read(kSection, "2", kRequirementSize);
    requirements.resolution = script.Read(kSection, "3", kRequirementSize);
    requirements.colors = script.Read(kSection, "4", kRequirementSize);
    for (int flag = 0; flag < kOsFlagCount; ++flag) {
        std::string key = "os" + std::to_string(flag);
        std::string value = script.Read(kSection, key.c_str(), kRequirementSize);
        requirements.os[flag] = value == "Yes";
        if (!value.empty()) requirements.osWritten = true;
    }
    return requirements;
}

bool OsFlagMatches(int flag, const OsVersion& v) {
    const uint32_t build = v.build & 0xFFFF;
    const bool nt = v.platformId == kPlatformNt;
    switch (flag) {
    case 0: return v.major == 4 && v.minor == 10 && build <= 2183;
    case 1: return v.major == 4 && v.minor == 10 && build >= 2183;
    case 2: return v.major == 4 && v.minor == 90;
    case 3: return v.major == 4 && v.minor == 0;
    case 4: return v.major == 5 && v.minor == 0;
    case 5: return nt && v.major == 5 && v.minor == 1;
    case 6: return nt && v.major == 5 && v.minor == 2;
    default: return false;
    }
}

int RequiredMegabytes(const std::string& value) {
    std::string number = value;
    for (size_t at = number.find(" MB"); at != std::string::npos; at = number.find(" MB", at)) number.erase(at, 3);
    return LeadingNumber(number);
}

uint32_t InstalledMegabytes(uint64_t totalBytes) {
    return static_cast<uint32_t>(totalBytes / 1048576u) + 1;
}

void ParseResolution(const std::string& value, int& width, int& height) {
    size_t x = value.find('x');
    width = x == std::string::npos ? 0 : LeadingNumber(value.substr(0, x));
    height = LeadingNumber(x == std::string::npos ? value : value.substr(x + 1));
}

int RequiredBitsPerPixel(const std::string& word) {
    for (const ColorWord& row : kColorWords) {
        if (word == row.word) return row.bitsPerPixel;
    }
    return 0;
}

Requirement FirstFailedRequirement(const SystemRequirements& requirements, const MachineFacts& machine) {
    if (!OperatingSystemPasses(requirements, machine.Version())) return Requirement::kOperatingSystem;

    if (requirements.memory != "Any") {
        // Compared as 64-bit numbers: a negative requirement is always met.
        const int64_t required = RequiredMegabytes(requirements.memory);
        if (static_cast<int64_t>(InstalledMegabytes(machine.TotalPhysicalMemory())) < required)
            return Requirement::kMemory;
    }

    if (requirements.resolution != "checkSCREEN" && requirements.resolution != "Any resolution") {
        int width = 0, height = 0;
        ParseResolution(requirements.resolution, width, height);
        if (machine.ScreenWidth() < width || machine.ScreenHeight() < height) return Requirement::kResolution;
    }

    if (requirements.colors != "Any colors" && machine.BitsPerPixel() < RequiredBitsPerPixel(requirements.colors))
        return Requirement::kColors;

    // Every name contains the empty text: no need to spend the second that
    // identification takes.
    if (requirements.processor != "All Processors" && !requirements.processor.empty()) {
        std::string name;
        if (machine.ProcessorName(name) && name.find(requirements.processor) == std::string::npos)
            return Requirement::kProcessor;
    }
    return Requirement::kNone;
}

std::string RequirementMessage(Requirement failed, const ProfileReader& language,
                               const std::function<std::string(const std::string&)>& expand) {
    const int index = static_cast<int>(failed);
    if (index < 0 || index >= static_cast<int>(sizeof(kDefaultMessages) / sizeof(kDefaultMessages[0])))
        return std::string();
    std::string key = std::to_string(index);
    std::string message = language.Read("REQ", key.c_str(), kProfileValueSize);
    if (message.empty()) message = kDefaultMessages[index];
    return expand ? expand(message) : message;
}

}  // namespace kq
