#include "engine/version_rule.h"

#include <cstring>
#include <limits>
#include <string>

#include "base/text.h"
#include "engine/file_list.h"

namespace kq {
namespace {

// Whole number from the digits at `text` (no sign, no blanks), held at the
// 32-bit limit.
int32_t Digits(const char* text) {
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    }
    return int32_t(value);
}

}  // namespace

bool operator<(const VersionNumber& a, const VersionNumber& b) {
    return a.major != b.major ? a.major < b.major : a.minor < b.minor;
}

bool operator==(const VersionNumber& a, const VersionNumber& b) {
    return a.major == b.major && a.minor == b.minor;
}

VersionNumber ReduceVersionText(const char* fileVersion) {
    VersionNumber number;
    if (fileVersion == nullptr) return number;
    std::string text(fileVersion);
    for (char& c : text) {
        if (c == ',') c = '.';
    }
    size_t firstDot = text.find('.');
    if (firstDot != std::string::npos) text = text.substr(0, text.find('.', firstDot + 1));

    number.major = LeadingInt(text);
    // The fraction belongs to the number only when the dot directly follows
    // the sign or the leading digits.
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return number;
    bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-') ++i;
    size_t digitsEnd = text.find_first_not_of("0123456789", i);
    if (digitsEnd == std::string::npos || text[digitsEnd] != '.') return number;
    number.minor = Digits(text.c_str() + digitsEnd + 1);
    if (negative) number.minor = -number.minor;
    return number;
}

bool VersionRuleApplies(const char* path) {
    if (path == nullptr) return false;
    std::string text(path);
    return EndsWithIgnoreCase(text, ".dll") || EndsWithIgnoreCase(text, ".ocx");
}

bool PackagedVersionWins(const char* packagedVersion, const char* installedVersion) {
    return ReduceVersionText(installedVersion) < ReduceVersionText(packagedVersion);
}

}  // namespace kq
