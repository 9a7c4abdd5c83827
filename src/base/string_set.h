// A set of strings kept compactly, for the many paths a run writes: the
// strings lie one after another in blocks of text, found through one table
// of their places, where a set of std::string would spend more memory on
// its nodes and their allocations than on the text itself.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kq {

class CompactStringSet {
public:
    // True when `text` was not in the set yet.
    bool Insert(std::string_view text);
    bool Contains(std::string_view text) const;
    size_t Size() const { return m_count; }
    void Clear();

private:
    // The slot that holds `text`, or the empty one where it would go.
    size_t SlotOf(std::string_view text) const;
    std::string_view At(uint32_t place) const;
    uint32_t Store(std::string_view text);
    void Grow();

    // Each string with its length in front of it (four bytes), in blocks;
    // a string longer than a block has one of its own.
    std::vector<std::string> m_blocks;
    // A string's place: its block times 65536 plus where it starts in the
    // block; kEmpty for a free slot. Open addressing, at most half full.
    std::vector<uint32_t> m_slots;
    size_t m_count = 0;
};

}  // namespace kq
