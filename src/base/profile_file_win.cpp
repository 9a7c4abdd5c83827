#include "base/profile_file_win.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "base/ini_text.h"
#include "base/text.h"

namespace kq {
namespace {

// The older systems list at most this many characters of a section.
constexpr DWORD kLargestListing = 32767;

// Names a listing answers for as the string reader does: not empty (the
// reader treats those apart), ASCII only (the system folds the case of other
// letters by its own tables), and not like a comment (a listing leaves those
// lines out).
bool Listable(const std::string& name) {
    if (name.empty() || name[0] == ';') return false;
    for (unsigned char c : name) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::string ProfileFile::Read(const char* section, const char* key, size_t bufferSize) const {
    if (bufferSize == 0) return std::string();
    // A null name would ask the system for a list of names instead of a value.
    if (section == nullptr) section = "";
    if (key == nullptr) key = "";
    const std::string wantedSection = TrimProfileBlanks(section);
    const std::string wantedKey = TrimProfileBlanks(key);
    if (Listable(wantedSection) && Listable(wantedKey)) {
        const Section& listed = Listed(wantedSection);
        if (listed.whole) {
            auto found = listed.entries.find(AsciiLower(wantedKey));
            if (found == listed.entries.end()) return std::string();
            if (!found->second.ask) return ProfileValueInBuffer(found->second.value, bufferSize);
        }
    }
    return ReadOne(section, key, bufferSize);
}

const ProfileFile::Section& ProfileFile::Listed(const std::string& name) const {
    const std::string id = AsciiLower(name);
    auto known = m_sections.find(id);
    if (known != m_sections.end()) return known->second;
    Section& section = m_sections[id];
    std::vector<char> buffer;
    DWORD length = 0;
    for (DWORD size = 4096;; size = size * 2 > kLargestListing ? kLargestListing : size * 2) {
        buffer.assign(size, '\0');
        length = ::GetPrivateProfileSectionA(name.c_str(), buffer.data(), size, m_path.c_str());
        if (length + 2 < size) break;  // it all fitted
        if (size == kLargestListing) return section;
    }
    // "name=value" strings, each ending in a NUL; a line without '=' is a
    // name alone.
    for (const char* line = buffer.data(); line < buffer.data() + length && *line != '\0';
         line += std::strlen(line) + 1) {
        const char* equals = std::strchr(line, '=');
        const std::string rawName = equals != nullptr ? std::string(line, size_t(equals - line)) : std::string(line);
        Entry entry;
        if (equals != nullptr) entry.value = equals + 1;
        const std::string name = TrimProfileBlanks(rawName);
        entry.ask = name != rawName || TrimProfileBlanks(entry.value) != entry.value;
        // The first entry of a name is the one the string reader finds.
        section.entries.emplace(AsciiLower(name), std::move(entry));
    }
    section.whole = true;
    return section;
}

std::string ProfileFile::ReadOne(const char* section, const char* key, size_t bufferSize) const {
    if (bufferSize > MAXDWORD) bufferSize = MAXDWORD;
    std::vector<char> buffer(bufferSize, '\0');
    DWORD length = ::GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(buffer.size()),
                                              m_path.c_str());
    if (length >= buffer.size()) length = static_cast<DWORD>(buffer.size() - 1);
    return std::string(buffer.data(), length);
}

}  // namespace kq
