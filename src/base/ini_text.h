// An INI document held in memory, read with the observable rules of the
// system's private-profile reader (GetPrivateProfileStringA as Wine 8
// implements it; the Win32 tests compare the two on awkward files).
//
// The text:
//  - Lines end at any run of CR and LF characters. Blanks (TAB, LF, VT, FF,
//    CR, SPACE and the DOS end-of-file mark 0x1A) are trimmed from both ends
//    of every line; lines left empty are skipped.
//  - A line starting with '[' that holds a ']' opens a section; its name is
//    the text between the '[' and the last ']', trimmed. Text after that ']'
//    is ignored. A '[' line without ']' is an ordinary line.
//  - Any other line is an entry: the name is the text before the first '='
//    (trimmed), the value the text after it (trimmed). A line without '=' is
//    an entry without value, which reads as "". Lines starting with ';' are
//    not special: they are entries like any other.
//  - Entries before the first section header belong to a section whose name
//    is empty.
//  - Names and values end at the first NUL byte: the zero padding that the
//    package decryption leaves at the end of a script ends the last value,
//    and trailing blanks before the padding stay in it.
//  - A UTF-8 byte-order mark at the start is skipped; the rest is read byte
//    for byte (the system would transcode non-ASCII UTF-8 text).
//
// Reading: names are compared without regard to ASCII case after trimming
// the requested names. Only the first section of a given name is searched,
// and in it only the first entry of a given name counts. A value enclosed in
// a matching pair of single or double quotes loses them; when the buffer is
// exactly one character too short for the quoted text, the reader also drops
// the last character of the text (as the system does).
#pragma once
#include <string>
#include <vector>

#include "base/profile.h"

namespace kq {

// A name or value without the blanks the reader trims from both ends.
std::string TrimProfileBlanks(const std::string& text);

// What the reader leaves in a buffer of `bufferSize` characters for the
// stored value `value` (a matching pair of quotes dropped, the text cut).
std::string ProfileValueInBuffer(const std::string& value, size_t bufferSize);

class IniText : public ProfileReader {
public:
    explicit IniText(const std::string& text);

    std::string Read(const char* section, const char* key, size_t bufferSize) const override;

private:
    struct Entry {
        std::string name;
        std::string value;
        bool hasValue = false;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    std::vector<Section> m_sections;
};

}  // namespace kq
