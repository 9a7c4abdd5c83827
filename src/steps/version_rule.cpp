#include "steps/version_rule.h"

#include <cstring>
#include <string>

#include "base/text.h"
#include "run/file_list.h"

namespace kq {
bool operator<(const VersionNumber& a, const VersionNumber& b) {
    if (a.major != b.major) return a.major < b.major;
    if (a.minor != b.minor) return a.minor < b.minor;
    if (a.build != b.build) return a.build < b.build;
    return a.revision < b.revision;
}

bool operator==(const VersionNumber& a, const VersionNumber& b) {
    return a.major == b.major && a.minor == b.minor && a.build == b.build && a.revision == b.revision;
}

VersionNumber ReduceVersionText(const char* fileVersion) {
    VersionNumber number;
    if (fileVersion == nullptr) return number;
    int32_t* parts[] = {&number.major, &number.minor, &number.build, &number.revision};
    std::string text(fileVersion);
    size_t start = 0;
    for (int32_t* part : parts) {
        size_t end = text.find_first_of(".,", start);
        *part = LeadingNumber(std::string_view(text).substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
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

bool InstalledFileKept(bool packagedPresent, const char* packagedVersion, const char* installedVersion) {
    return packagedPresent && !PackagedVersionWins(packagedVersion, installedVersion);
}

}  // namespace kq
