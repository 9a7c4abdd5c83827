#include "record/packed_fingerprints.h"

#include <algorithm>

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
    // Names and hashes take less than their lines.
    fingerprints.m_text.reserve(text.size());
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
        // No cabinet stores a name this long: no entry could be looked up by it.
        if (tab1 > 0xFFFF) continue;
        PackedFingerprints::Item item;
        item.at = uint32_t(fingerprints.m_text.size());
        item.size = uint32_t(fingerprint.size);
        item.nameLength = uint16_t(tab1);
        item.hashLength = uint16_t(fingerprint.hash.size());
        fingerprints.m_text += AsciiLower(line.substr(0, tab1));
        fingerprints.m_text += fingerprint.hash;
        fingerprints.m_items.push_back(item);
    }
    // By name, a name's lines in their order: the last one of each stays.
    auto& items = fingerprints.m_items;
    const auto byName = [&fingerprints](const PackedFingerprints::Item& a, const PackedFingerprints::Item& b) {
        return fingerprints.NameOf(a) < fingerprints.NameOf(b);
    };
    std::stable_sort(items.begin(), items.end(), byName);
    size_t kept = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + 1 < items.size() && fingerprints.NameOf(items[i]) == fingerprints.NameOf(items[i + 1])) continue;
        items[kept++] = items[i];
    }
    items.resize(kept);
    return fingerprints;
}

bool PackedFingerprints::Find(const std::string& name, FileFingerprint* fingerprint) const {
    const std::string lower = AsciiLower(name);
    auto found = std::lower_bound(m_items.begin(), m_items.end(), lower,
                                  [this](const Item& item, const std::string& key) { return NameOf(item) < key; });
    if (found == m_items.end() || NameOf(*found) != lower) return false;
    fingerprint->hash.assign(m_text, found->at + found->nameLength, found->hashLength);
    fingerprint->size = found->size;
    return true;
}

std::vector<std::pair<std::string, FileFingerprint>> PackedFingerprints::Entries() const {
    std::vector<std::pair<std::string, FileFingerprint>> entries;
    entries.reserve(m_items.size());
    for (const Item& item : m_items) {
        FileFingerprint fingerprint;
        fingerprint.hash.assign(m_text, item.at + item.nameLength, item.hashLength);
        fingerprint.size = item.size;
        entries.emplace_back(std::string(NameOf(item)), std::move(fingerprint));
    }
    return entries;
}

std::string PackedFingerprintsHeader() { return std::string(kHeader) + "\n"; }

std::string PackedFingerprintLine(const std::string& entry, const FileFingerprint& fingerprint) {
    return entry + "\t" + fingerprint.hash + "\t" + std::to_string(fingerprint.size) + "\n";
}

}  // namespace kq
