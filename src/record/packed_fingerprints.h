// The fingerprints of a package's product files, as the package builder
// computed them from the files it packed: a support file in the cabinet, so
// the copy step can record what it wrote without hashing every byte again
// (the cabinet's own block checksums vouch that the bytes came out whole).
// Damage those checksums miss (a cabinet written without them, or changes
// that cancel out in them) leaves a file whose record does not match it:
// removal then takes it for one the user changed and keeps it.
//
// Format: single-byte text, lines ending in LF (a CR before it ignored). The
// first line is "KQF<TAB>1"; each further line is an entry's packed name
// (file_list.h: PackedEntryName), the hash of its bytes in a form of the
// record's FILE line (install_record.h) and its size in decimal, separated
// by TAB. The file comes from
// the package and is not trusted: a line that is not exactly that is passed
// over, and a file without the first line gives nothing. A fingerprint only
// counts when the size written matches it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "record/install_record.h"

namespace kq {

constexpr char kPackedFingerprintsName[] = "fingerprints.kqf";

// Entry name to its fingerprint (the last line of a name counts), kept
// compactly: a package of many files lists thousands, and a map would spend
// more on its nodes than on the text.
class PackedFingerprints {
public:
    size_t Size() const { return m_items.size(); }
    // The fingerprint of the entry `name`, found without case; false when
    // the list has none.
    bool Find(const std::string& name, FileFingerprint* fingerprint) const;
    // Every entry, by name: what a list written again from them must read
    // back as.
    std::vector<std::pair<std::string, FileFingerprint>> Entries() const;

private:
    friend PackedFingerprints ParsePackedFingerprints(const std::string& text);
    struct Item {
        uint32_t at;  // where the name starts in m_text; its hash follows it
        uint32_t size;
        uint16_t nameLength;
        uint16_t hashLength;
    };
    std::string_view NameOf(const Item& item) const {
        return std::string_view(m_text).substr(item.at, item.nameLength);
    }

    std::string m_text;         // each entry's name in lower case, then its hash
    std::vector<Item> m_items;  // by name
};

PackedFingerprints ParsePackedFingerprints(const std::string& text);

// The first line.
std::string PackedFingerprintsHeader();
// One entry's line, LF included.
std::string PackedFingerprintLine(const std::string& entry, const FileFingerprint& fingerprint);

}  // namespace kq
