// A set of strings kept compactly, for the many paths a run writes: the
// strings lie one after another in blocks of text, found through one table
// of their places, where a set of std::string would spend more memory on
// its nodes and their allocations than on the text itself. The part up to
// a string's last backslash (its folder, for a path) is kept once for all
// strings that share it.
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
    // The memory the set holds, in bytes.
    size_t Bytes() const;

private:
    // A string's place: its block times 65536 plus where it starts in the
    // block; kEmpty for a free slot or for no folder.
    struct Stored {
        uint32_t folder;
        std::string_view rest;
    };
    Stored At(uint32_t place) const;
    std::string_view FolderAt(uint32_t place) const;
    // The slot in `slots` that holds `text` (a folder, or a string whose
    // folder is at `folder`), or the empty one where it would go.
    size_t FolderSlotOf(std::string_view folder) const;
    size_t SlotOf(uint32_t folder, std::string_view rest) const;
    size_t HashOf(uint32_t folder, std::string_view rest) const;
    // The folder's place, stored when new.
    uint32_t FolderPlace(std::string_view folder);
    uint32_t Store(std::string_view head, std::string_view text);
    void Grow(std::vector<uint32_t>& slots, bool folders);

    // Each folder with its length in front of it (four bytes), each string
    // with its folder's place and the length of the rest in front of the
    // rest, in blocks; a string longer than a block has one of its own.
    std::vector<std::string> m_blocks;
    // Open addressing, at most half full: the strings, and the folders.
    std::vector<uint32_t> m_slots;
    std::vector<uint32_t> m_folderSlots;
    size_t m_count = 0;
    size_t m_folderCount = 0;
};

// A set that keeps no string, only bits its hashes set (a Bloom filter):
// 64 KB however many strings it holds, taken on the first Insert. Contains
// never says no for a string that was inserted, and may say yes for one
// that was not, the more often the more strings it holds (about one in two
// thousand with twenty thousand), so it serves where a yes only costs a
// closer look.
class HashedStringSet {
public:
    void Insert(std::string_view text);
    bool Contains(std::string_view text) const;

private:
    static constexpr size_t kBits = size_t(1) << 19;
    static constexpr int kProbes = 4;
    std::vector<uint32_t> m_words;
};

}  // namespace kq
