#include "base/ini_text.h"

#include <algorithm>
#include <cstring>

namespace kq {
namespace {

bool IsProfileBlank(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 0x09 && u <= 0x0d) || u == 0x1a || u == 0x20;
}

bool IsLineBreak(char c) {
    return c == '\n' || c == '\r';
}

void Trim(const char* text, size_t& begin, size_t& end) {
    while (begin < end && IsProfileBlank(text[begin])) ++begin;
    while (end > begin && IsProfileBlank(text[end - 1])) --end;
}

// The system keeps names and values as C strings, so a NUL ends them.
std::string UpToNul(const char* text, size_t begin, size_t end) {
    const void* nul = std::memchr(text + begin, '\0', end - begin);
    if (nul != nullptr) end = static_cast<size_t>(static_cast<const char*>(nul) - text);
    return std::string(text + begin, end - begin);
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& stored, const std::string& wanted) {
    if (stored.size() != wanted.size()) return false;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (FoldAscii(stored[i]) != FoldAscii(wanted[i])) return false;
    }
    return true;
}

std::string TrimmedName(const char* name) {
    if (name == nullptr) return std::string();
    size_t begin = 0;
    size_t end = std::strlen(name);
    Trim(name, begin, end);
    return std::string(name + begin, end - begin);
}

}  // namespace

std::string TrimProfileBlanks(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    Trim(text.data(), begin, end);
    return text.substr(begin, end - begin);
}

std::string ProfileValueInBuffer(const std::string& value, size_t bufferSize) {
    if (bufferSize == 0) return std::string();
    size_t begin = 0;
    size_t length = value.size();
    bool quoted = false;
    if (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
        quoted = true;
        begin = 1;
        length -= 1;  // the closing quote is still counted here
    }
    std::string out = value.substr(begin, std::min(length, bufferSize - 1));
    // The system removes the last character copied whenever the buffer could
    // hold the text with its closing quote minus one; when the buffer is one
    // short, that character is part of the text rather than the quote.
    if (quoted && bufferSize >= length && !out.empty()) out.pop_back();
    return out;
}

IniText::IniText(const std::string& text) {
    const char* data = text.data();
    size_t size = text.size();
    size_t pos = 0;
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) pos = 3;

    m_sections.emplace_back();  // entries before the first header
    while (pos < size) {
        size_t begin = pos;
        while (pos < size && !IsLineBreak(data[pos])) ++pos;
        size_t end = pos;
        while (pos < size && IsLineBreak(data[pos])) ++pos;

        Trim(data, begin, end);
        if (begin >= end) continue;

        if (data[begin] == '[') {
            size_t close = end;
            while (close > begin && data[close - 1] != ']') --close;
            if (close > begin) {
                size_t nameBegin = begin + 1;
                size_t nameEnd = close - 1;
                Trim(data, nameBegin, nameEnd);
                Section section;
                section.name = UpToNul(data, nameBegin, nameEnd);
                m_sections.push_back(std::move(section));
                continue;
            }
        }

        Entry entry;
        const void* equals = std::memchr(data + begin, '=', end - begin);
        if (equals != nullptr) {
            size_t nameEnd = static_cast<size_t>(static_cast<const char*>(equals) - data);
            size_t valueBegin = nameEnd + 1;
            size_t nameBegin = begin;
            Trim(data, nameBegin, nameEnd);
            size_t valueEnd = end;
            Trim(data, valueBegin, valueEnd);
            entry.name = UpToNul(data, nameBegin, nameEnd);
            entry.value = UpToNul(data, valueBegin, valueEnd);
            entry.hasValue = true;
        } else {
            entry.name = UpToNul(data, begin, end);
        }
        m_sections.back().entries.push_back(std::move(entry));
    }
}

std::string IniText::Read(const char* section, const char* key, size_t bufferSize) const {
    if (bufferSize == 0) return std::string();
    std::string wantedSection = TrimmedName(section);
    std::string wantedKey = TrimmedName(key);
    for (const Section& candidate : m_sections) {
        if (!SameName(candidate.name, wantedSection)) continue;
        // Only the first section of a name is searched, as the system does.
        for (const Entry& entry : candidate.entries) {
            if (SameName(entry.name, wantedKey)) {
                return entry.hasValue ? ProfileValueInBuffer(entry.value, bufferSize) : std::string();
            }
        }
        return std::string();
    }
    return std::string();
}

}  // namespace kq
