#include "record/packed_fingerprints.h"

#include "base/text.h"

namespace kq {
namespace {

constexpr char kHeader[] = "KQF\t1";
// A size beyond any cabinet's (its folders hold less than 2 GB each, its
// files less than 4 GB) is no size the copy step could meet.
constexpr uint64_t kLargestSize = 0xFFFFFFFFull;

bool ParseSize(const std::string& text, uint64_t* size) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > kLargestSize) return false;
    *size = value;
    return true;
}

}  // namespace

PackedFingerprints ParsePackedFingerprints(const std::string& text) {
    PackedFingerprints fingerprints;
    size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            if (line != kHeader) return fingerprints;
            first = false;
            continue;
        }
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos || line.find('\t', tab2 + 1) != std::string::npos || tab1 == 0) continue;
        FileFingerprint fingerprint;
        fingerprint.hash = line.substr(tab1 + 1, tab2 - tab1 - 1);
        if (!IsRecordHash(fingerprint.hash)) continue;
        if (!ParseSize(line.substr(tab2 + 1), &fingerprint.size)) continue;
        fingerprints[AsciiLower(line.substr(0, tab1))] = fingerprint;
    }
    return fingerprints;
}

std::string PackedFingerprintsHeader() { return std::string(kHeader) + "\n"; }

std::string PackedFingerprintLine(const std::string& entry, const FileFingerprint& fingerprint) {
    return entry + "\t" + fingerprint.hash + "\t" + std::to_string(fingerprint.size) + "\n";
}

}  // namespace kq
