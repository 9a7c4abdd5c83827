#include "base/string_set.h"

#include <cstring>
#include <functional>

namespace kq {
namespace {

constexpr uint32_t kEmpty = 0xFFFFFFFFu;
constexpr size_t kBlockBytes = 1u << 16;
constexpr size_t kLengthBytes = sizeof(uint32_t);

size_t HashOf(std::string_view text) {
    return std::hash<std::string_view>()(text);
}

}  // namespace

std::string_view CompactStringSet::At(uint32_t place) const {
    const std::string& block = m_blocks[place >> 16];
    const char* at = block.data() + (place & 0xFFFFu);
    uint32_t length = 0;
    std::memcpy(&length, at, kLengthBytes);
    return std::string_view(at + kLengthBytes, length);
}

size_t CompactStringSet::SlotOf(std::string_view text) const {
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = HashOf(text) & mask;; slot = (slot + 1) & mask) {
        if (m_slots[slot] == kEmpty || At(m_slots[slot]) == text) return slot;
    }
}

uint32_t CompactStringSet::Store(std::string_view text) {
    const size_t need = kLengthBytes + text.size();
    if (m_blocks.empty() || m_blocks.back().size() + need > m_blocks.back().capacity() ||
        m_blocks.back().size() >= kBlockBytes) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(need > kBlockBytes ? need : kBlockBytes);
    }
    std::string& block = m_blocks.back();
    const uint32_t place = uint32_t((m_blocks.size() - 1) << 16 | block.size());
    const uint32_t length = uint32_t(text.size());
    block.append(reinterpret_cast<const char*>(&length), kLengthBytes);
    block.append(text.data(), text.size());
    return place;
}

void CompactStringSet::Grow() {
    std::vector<uint32_t> old(m_slots.size() < 8 ? 16 : m_slots.size() * 2, kEmpty);
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (uint32_t place : old) {
        if (place == kEmpty) continue;
        size_t slot = HashOf(At(place)) & mask;
        while (m_slots[slot] != kEmpty) slot = (slot + 1) & mask;
        m_slots[slot] = place;
    }
}

bool CompactStringSet::Insert(std::string_view text) {
    if ((m_count + 1) * 2 > m_slots.size()) Grow();
    const size_t slot = SlotOf(text);
    if (m_slots[slot] != kEmpty) return false;
    m_slots[slot] = Store(text);
    ++m_count;
    return true;
}

bool CompactStringSet::Contains(std::string_view text) const {
    return m_count != 0 && m_slots[SlotOf(text)] != kEmpty;
}

void CompactStringSet::Clear() {
    m_blocks = std::vector<std::string>();
    m_slots = std::vector<uint32_t>();
    m_count = 0;
}

}  // namespace kq
