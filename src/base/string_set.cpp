#include "base/string_set.h"

#include <cstring>
#include <functional>

namespace kq {
namespace {

constexpr uint32_t kEmpty = 0xFFFFFFFFu;
constexpr size_t kBlockBytes = 1u << 16;
constexpr size_t kWordBytes = sizeof(uint32_t);

size_t HashOfText(std::string_view text) {
    return std::hash<std::string_view>()(text);
}

uint32_t WordAt(const char* at) {
    uint32_t word = 0;
    std::memcpy(&word, at, kWordBytes);
    return word;
}

// Where the folder part of `text` ends: after its last backslash.
size_t FolderEnd(std::string_view text) {
    const size_t slash = text.rfind('\\');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// FNV-1a, for HashedStringSet: its halves make the probes.
uint64_t Hash64(std::string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

}  // namespace

std::string_view CompactStringSet::FolderAt(uint32_t place) const {
    const char* at = m_blocks[place >> 16].data() + (place & 0xFFFFu);
    return std::string_view(at + kWordBytes, WordAt(at));
}

CompactStringSet::Stored CompactStringSet::At(uint32_t place) const {
    const char* at = m_blocks[place >> 16].data() + (place & 0xFFFFu);
    return Stored{WordAt(at), std::string_view(at + 2 * kWordBytes, WordAt(at + kWordBytes))};
}

size_t CompactStringSet::HashOf(uint32_t folder, std::string_view rest) const {
    return HashOfText(rest) ^ (size_t(folder) * 0x9E3779B1u);
}

size_t CompactStringSet::FolderSlotOf(std::string_view folder) const {
    const size_t mask = m_folderSlots.size() - 1;
    for (size_t slot = HashOfText(folder) & mask;; slot = (slot + 1) & mask) {
        if (m_folderSlots[slot] == kEmpty || FolderAt(m_folderSlots[slot]) == folder) return slot;
    }
}

size_t CompactStringSet::SlotOf(uint32_t folder, std::string_view rest) const {
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = HashOf(folder, rest) & mask;; slot = (slot + 1) & mask) {
        if (m_slots[slot] == kEmpty) return slot;
        const Stored stored = At(m_slots[slot]);
        if (stored.folder == folder && stored.rest == rest) return slot;
    }
}

uint32_t CompactStringSet::Store(std::string_view head, std::string_view text) {
    const size_t need = head.size() + kWordBytes + text.size();
    if (m_blocks.empty() || m_blocks.back().size() + need > m_blocks.back().capacity() ||
        m_blocks.back().size() >= kBlockBytes) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(need > kBlockBytes ? need : kBlockBytes);
    }
    std::string& block = m_blocks.back();
    const uint32_t place = uint32_t((m_blocks.size() - 1) << 16 | block.size());
    const uint32_t length = uint32_t(text.size());
    block.append(head.data(), head.size());
    block.append(reinterpret_cast<const char*>(&length), kWordBytes);
    block.append(text.data(), text.size());
    return place;
}

uint32_t CompactStringSet::FolderPlace(std::string_view folder) {
    if (folder.empty()) return kEmpty;
    if ((m_folderCount + 1) * 2 > m_folderSlots.size()) Grow(m_folderSlots, true);
    const size_t slot = FolderSlotOf(folder);
    if (m_folderSlots[slot] == kEmpty) {
        m_folderSlots[slot] = Store(std::string_view(), folder);
        ++m_folderCount;
    }
    return m_folderSlots[slot];
}

void CompactStringSet::Grow(std::vector<uint32_t>& slots, bool folders) {
    std::vector<uint32_t> old(slots.size() < 8 ? 16 : slots.size() * 2, kEmpty);
    old.swap(slots);
    const size_t mask = slots.size() - 1;
    for (uint32_t place : old) {
        if (place == kEmpty) continue;
        size_t slot = folders ? HashOfText(FolderAt(place)) & mask : HashOf(At(place).folder, At(place).rest) & mask;
        while (slots[slot] != kEmpty) slot = (slot + 1) & mask;
        slots[slot] = place;
    }
}

bool CompactStringSet::Insert(std::string_view text) {
    const size_t end = FolderEnd(text);
    const uint32_t folder = FolderPlace(text.substr(0, end));
    if ((m_count + 1) * 2 > m_slots.size()) Grow(m_slots, false);
    const size_t slot = SlotOf(folder, text.substr(end));
    if (m_slots[slot] != kEmpty) return false;
    char head[kWordBytes];
    std::memcpy(head, &folder, kWordBytes);
    m_slots[slot] = Store(std::string_view(head, kWordBytes), text.substr(end));
    ++m_count;
    return true;
}

bool CompactStringSet::Contains(std::string_view text) const {
    if (m_count == 0) return false;
    const size_t end = FolderEnd(text);
    uint32_t folder = kEmpty;
    if (end > 0) {
        if (m_folderCount == 0) return false;
        folder = m_folderSlots[FolderSlotOf(text.substr(0, end))];
        if (folder == kEmpty) return false;
    }
    return m_slots[SlotOf(folder, text.substr(end))] != kEmpty;
}

size_t CompactStringSet::Bytes() const {
    size_t bytes = (m_slots.capacity() + m_folderSlots.capacity()) * sizeof(uint32_t);
    for (const std::string& block : m_blocks) bytes += block.capacity();
    return bytes;
}

void CompactStringSet::Clear() {
    m_blocks = std::vector<std::string>();
    m_slots = std::vector<uint32_t>();
    m_folderSlots = std::vector<uint32_t>();
    m_count = 0;
    m_folderCount = 0;
}

void HashedStringSet::Insert(std::string_view text) {
    if (m_words.empty()) m_words.assign(kBits / 32, 0);
    const uint64_t hash = Hash64(text);
    const uint32_t step = uint32_t(hash >> 32) | 1;
    uint32_t bit = uint32_t(hash);
    for (int probe = 0; probe < kProbes; ++probe, bit += step) {
        const size_t at = bit & (kBits - 1);
        m_words[at / 32] |= uint32_t(1) << (at % 32);
    }
}

bool HashedStringSet::Contains(std::string_view text) const {
    if (m_words.empty()) return false;
    const uint64_t hash = Hash64(text);
    const uint32_t step = uint32_t(hash >> 32) | 1;
    uint32_t bit = uint32_t(hash);
    for (int probe = 0; probe < kProbes; ++probe, bit += step) {
        const size_t at = bit & (kBits - 1);
        if ((m_words[at / 32] & (uint32_t(1) << (at % 32))) == 0) return false;
    }
    return true;
}

}  // namespace kq
