// The setup script and the other INI files of the package as setup.exe reads
// them: through the system's private-profile functions on the file itself.
#pragma once
#include <string>
#include <unordered_map>

#include "base/profile.h"

namespace kq {

// A section is read whole (GetPrivateProfileSectionA) the first time one of
// its values is asked for; its values are then given by the string reader's
// own rules (ini_text.h). Each call makes the system open the file again,
// and a page layout asks for over a hundred values. A reader serves one use
// of a file: a file written meanwhile is seen whole by the next reader.
class ProfileFile : public ProfileReader {
public:
    explicit ProfileFile(const char* path) : m_path(path != nullptr ? path : "") {}

    std::string Read(const char* section, const char* key, size_t bufferSize) const override;
    const std::string& Path() const { return m_path; }

private:
    struct Entry {
        std::string value;
        // Blanks at either end of the listed line: whether the string reader
        // would keep them is left to the string reader.
        bool ask = false;
    };
    struct Section {
        bool whole = false;  // false: too large for every system to list whole
        std::unordered_map<std::string, Entry> entries;  // by lower-case name, the first of each
    };
    const Section& Listed(const std::string& name) const;
    // One value through GetPrivateProfileStringA.
    std::string ReadOne(const char* section, const char* key, size_t bufferSize) const;

    std::string m_path;
    mutable std::unordered_map<std::string, Section> m_sections;  // by lower-case name
};

}  // namespace kq
