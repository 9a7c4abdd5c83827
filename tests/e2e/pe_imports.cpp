#include "pe_imports.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>

namespace kq::e2e {
namespace {

class Reader {
public:
    explicit Reader(const std::string& file) : m_file(file) {}

    bool Has(uint64_t offset, uint64_t size) const { return offset <= m_file.size() && size <= m_file.size() - offset; }
    uint64_t Read(uint64_t offset, int size) const {
        if (!Has(offset, size)) return 0;
        uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(m_file[offset + i]);
        return value;
    }
    // The zero-ended text at `offset`; empty when it runs off the file.
    std::string Text(uint64_t offset) const {
        if (!Has(offset, 1)) return std::string();
        size_t end = m_file.find('\0', offset);
        return end == std::string::npos ? std::string() : m_file.substr(offset, end - offset);
    }

private:
    const std::string& m_file;
};

struct Section {
    uint64_t address, size, rawOffset, rawSize;
};

// The file offset of relative address `rva`; 0 when no section holds it.
uint64_t FileOffset(const std::vector<Section>& sections, uint64_t rva) {
    for (const Section& s : sections) {
        uint64_t span = std::max(s.size, s.rawSize);
        if (rva >= s.address && rva < s.address + span && rva - s.address < s.rawSize)
            return s.rawOffset + rva - s.address;
    }
    return 0;
}

}  // namespace

std::string Lower(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

PeImports ReadPeImports(const std::string& file) {
    PeImports result;
    Reader in(file);
    if (!in.Has(0, 0x40) || file.compare(0, 2, "MZ") != 0) {
        result.problem = "not a program (no MZ header)";
        return result;
    }
    uint64_t pe = in.Read(0x3C, 4);
    if (!in.Has(pe, 24) || file.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        result.problem = "no PE header";
        return result;
    }
    uint64_t sectionCount = in.Read(pe + 6, 2);
    uint64_t optionalSize = in.Read(pe + 20, 2);
    uint64_t optional = pe + 24;
    uint64_t magic = in.Read(optional, 2);
    if (magic != 0x10B && magic != 0x20B) {
        result.problem = "unknown optional header";
        return result;
    }
    bool wide = magic == 0x20B;
    uint64_t imageBase = wide ? in.Read(optional + 24, 8) : in.Read(optional + 28, 4);
    uint64_t directoryCount = in.Read(optional + (wide ? 108 : 92), 4);
    uint64_t directories = optional + (wide ? 112 : 96);
    uint64_t directoriesEnd = directories + 8 * std::min<uint64_t>(directoryCount, 16);
    if (!in.Has(optional, optionalSize) || directoriesEnd > optional + optionalSize) {
        result.problem = "optional header cut short";
        return result;
    }

    std::vector<Section> sections;
    uint64_t table = optional + optionalSize;
    if (!in.Has(table, sectionCount * 40)) {
        result.problem = "section table cut short";
        return result;
    }
    for (uint64_t i = 0; i < sectionCount; ++i) {
        uint64_t at = table + i * 40;
        sections.push_back({in.Read(at + 12, 4), in.Read(at + 8, 4), in.Read(at + 20, 4), in.Read(at + 16, 4)});
    }

    // Reads the names of the entries of directory `index`: `entrySize` bytes
    // each, the name's address at `nameAt`; ended by an entry of zeros.
    auto names = [&](uint64_t index, uint64_t entrySize, uint64_t nameAt, bool delayed,
                     std::vector<std::string>& out) -> bool {
        if (index >= directoryCount) return true;
        uint64_t rva = in.Read(directories + index * 8, 4);
        if (rva == 0) return true;
        uint64_t at = FileOffset(sections, rva);
        if (at == 0) return false;
        for (;; at += entrySize) {
            if (!in.Has(at, entrySize)) return false;
            if (file.compare(at, entrySize, std::string(entrySize, '\0')) == 0) return true;
            uint64_t name = in.Read(at + nameAt, 4);
            if (delayed && (in.Read(at, 4) & 1) == 0) name -= imageBase;  // an image address
            uint64_t offset = FileOffset(sections, name);
            std::string text = offset == 0 ? std::string() : in.Text(offset);
            if (text.empty()) return false;
            out.push_back(text);
        }
    };
    // Reads the first resource of every numbered type into result.resources.
    auto resources = [&]() -> bool {
        if (directoryCount <= 2) return true;
        uint64_t rva = in.Read(directories + 16, 4);
        if (rva == 0) return true;
        uint64_t root = FileOffset(sections, rva);
        if (root == 0 || !in.Has(root, 16)) return false;
        uint64_t named = in.Read(root + 12, 2);
        uint64_t numbered = in.Read(root + 14, 2);
        if (!in.Has(root, 16 + 8 * (named + numbered))) return false;
        for (uint64_t i = named; i < named + numbered; ++i) {
            uint64_t entry = root + 16 + 8 * i;
            uint64_t next = in.Read(entry + 4, 4);
            for (int level = 0; level < 2; ++level) {  // its first name, that name's first language
                uint64_t directory = root + (next & 0x7FFFFFFFu);
                if ((next & 0x80000000u) == 0 || !in.Has(directory, 24)) return false;
                if (in.Read(directory + 12, 2) + in.Read(directory + 14, 2) == 0) return false;
                next = in.Read(directory + 20, 4);
            }
            uint64_t leaf = root + next;
            if ((next & 0x80000000u) != 0 || !in.Has(leaf, 16)) return false;
            uint64_t data = FileOffset(sections, in.Read(leaf, 4));
            uint64_t size = in.Read(leaf + 4, 4);
            if (data == 0 || !in.Has(data, size)) return false;
            result.resources[static_cast<uint32_t>(in.Read(entry, 4))] = file.substr(data, size);
        }
        return true;
    };
    if (!names(1, 20, 12, false, result.imported)) result.problem = "import table cut short or outside the file";
    else if (!names(13, 32, 4, true, result.delayed)) result.problem = "delay-load table cut short or outside the file";
    else if (!resources()) result.problem = "resource table cut short or outside the file";
    return result;
}

std::vector<std::string> DllNamesIn(const std::string& file) {
    auto nameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
    };
    std::set<std::string> found;
    for (size_t at = file.find('.'); at != std::string::npos; at = file.find('.', at + 1)) {
        if (at + 4 > file.size() || Lower(file.substr(at, 4)) != ".dll") continue;
        if (at + 4 < file.size() && nameChar(file[at + 4])) continue;
        size_t start = at;
        while (start > 0 && nameChar(file[start - 1])) --start;
        if (start < at) found.insert(Lower(file.substr(start, at + 4 - start)));
    }
    return {found.begin(), found.end()};
}

const std::vector<std::string>& AllowedImports() {
    static const std::vector<std::string> names = {"kernel32.dll", "user32.dll", "gdi32.dll",   "advapi32.dll",
                                                   "shell32.dll",  "ole32.dll",  "oleaut32.dll", "comdlg32.dll",
                                                   "msvcrt.dll"};
    return names;
}

}  // namespace kq::e2e
