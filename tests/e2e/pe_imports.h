// What DLLs a Windows program names: its import tables, read from the file,
// and the DLL names written in it as text (how it names the DLLs it loads at
// run time). The tests of how setup.exe and kqexec.exe load DLLs take their
// lists from here, never by hand.
//
// A PE file: "MZ" header whose 32-bit value at 0x3C is the offset of "PE\0\0";
// then the 20-byte file header (section count at +2, optional header size at
// +16) and the optional header (magic 0x10B for 32-bit programs, 0x20B for
// 64-bit ones; the image base, the directory count and the data directories
// at offsets that differ between the two); then 40-byte section headers
// (virtual size +8, address +12, raw size +16, raw offset +20), which turn a
// relative address into a file offset. Directory 1 lists the imports
// (20-byte entries, name address at +12, ended by an all-zero entry),
// directory 13 the delay-loaded ones (32-byte entries, name at +4, an image
// address instead of a relative one when bit 0 of the attributes at +0 is clear).
// Directory 2 holds the resources: a tree three levels deep (type, name,
// language) of 16-byte directory headers, each followed by its 8-byte entries
// (the named ones, counted at +12, then the numbered ones, counted at +14;
// the number at +0 and at +4 the offset from the tree's start, with the top
// bit set for a directory one level down), ending in 16-byte data entries
// (the data's relative address at +0, its size at +4).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kq::e2e {

struct PeImports {
    std::vector<std::string> imported;  // the import table's DLL names, as written
    std::vector<std::string> delayed;   // the delay-load table's
    // The bytes of the first resource of each numbered type (24 the
    // manifest, 16 the version information).
    std::map<uint32_t, std::string> resources;
    std::string problem;                // empty when the file was read as a PE program
};

PeImports ReadPeImports(const std::string& file);

// The resource types read into PeImports::resources.
constexpr uint32_t kManifestResource = 24;
constexpr uint32_t kVersionResource = 16;

// Every run of name characters in `file` that ends in ".dll" (any case) and
// has a name before it, lower-cased, each once, sorted.
std::vector<std::string> DllNamesIn(const std::string& file);

// The DLLs that every supported Windows (98 to Server 2003) protects as known
// DLLs, so a copy beside the program is never used for them; the only ones a
// program's import table may name. msvcrt.dll, the C run-time the compiler's
// libraries call, is loaded by the system's own DLLs on every version.
const std::vector<std::string>& AllowedImports();

// `name` lower-cased.
std::string Lower(std::string name);

}  // namespace kq::e2e
