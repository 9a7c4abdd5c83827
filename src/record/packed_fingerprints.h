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
#include <unordered_map>

#include "record/install_record.h"

namespace kq {

constexpr char kPackedFingerprintsName[] = "fingerprints.kqf";

// Entry name, lower-case, to its fingerprint.
using PackedFingerprints = std::unordered_map<std::string, FileFingerprint>;

PackedFingerprints ParsePackedFingerprints(const std::string& text);

// The first line.
std::string PackedFingerprintsHeader();
// One entry's line, LF included.
std::string PackedFingerprintLine(const std::string& entry, const FileFingerprint& fingerprint);

}  // namespace kq
