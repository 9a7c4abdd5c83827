#include "checks/system_name.h"

#include <cstring>

namespace kq {
namespace {

// The listed systems in the order of the file mask's bits 1 to 7; the
// program mask numbers them the other way round, from bit 6 down to bit 0.
const char* const kSystems[] = {"98", "98SE", "ME", "NT4", "2000", "XP", "NET"};
constexpr int kSystemCount = sizeof(kSystems) / sizeof(kSystems[0]);

// Position of `name` in kSystems, or -1 when it is not a listed system.
int SystemIndex(const char* name) {
    if (name == nullptr) return -1;
    for (int i = 0; i < kSystemCount; ++i) {
        if (std::strcmp(name, kSystems[i]) == 0) return i;
    }
    return -1;
}

}  // namespace

const char* SystemName(const OsVersion& v) {
    const uint32_t build = v.build & 0xFFFF;
    if (v.major == 4 && v.minor == 10) return build < 2183 ? "98" : "98SE";
    if (v.major == 4 && v.minor == 90) return "ME";
    if (v.major == 4 && v.minor == 0) return "NT4";
    if (v.major == 5 && v.minor == 0) return "2000";
    if (v.platformId == kPlatformNt && v.major == 5 && v.minor == 1) return "XP";
    if (v.platformId == kPlatformNt && v.major == 5 && v.minor == 2) return "NET";
    return "";
}

bool FileMaskApplies(int32_t mask, const char* systemName) {
    if (mask == 0 || mask == 255) return true;
    const uint32_t bits = static_cast<uint32_t>(mask);
    if (bits & 1) return true;
    int index = SystemIndex(systemName);
    return index >= 0 && (bits & (2u << index)) != 0;
}

bool ProgramMaskApplies(int32_t mask, const char* systemName) {
    int index = SystemIndex(systemName);
    if (index < 0) return true;
    const uint32_t bits = static_cast<uint32_t>(mask);
    return (bits & (64u >> index)) != 0;
}

}  // namespace kq
