// Reading conventions of the setup script (setup.inf), shared by every part
// of the program that reads it:
//  - values are read with the profile reader and an empty default into one of
//    two buffer sizes: 255 characters for ordinary values, 100 for counts and
//    short switches; a longer value is cut to the buffer size less one;
//  - a list section holds its item count in "TOTAL" (leading decimal digits;
//    anything else, a missing key or a negative number means none);
//  - item i of a list keeps one key per column: the column letter followed by
//    i in decimal ("A0", "B0", ..., "A1");
//  - switches compare the whole value, case-sensitively: "Yes" turns a
//    switch on, or, for the switches that are on by default, "No" turns it
//    off.
#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "base/profile.h"
#include "base/text.h"  // LeadingNumber, which the script's numbers use

namespace kq {

// A view of the setup script; it borrows the reader, which must outlive it.
class Script {
public:
    // Buffer sizes of the two kinds of value, terminating NUL included.
    static constexpr size_t kValueSize = kProfileValueSize;
    static constexpr size_t kShortSize = 100;
    // No list of a real script comes near this; a damaged one may claim more.
    static constexpr int kMaxListItems = 10000;

    explicit Script(const ProfileReader& reader) : m_reader(&reader) {}

    // An ordinary value: at most 254 characters.
    std::string Value(const char* section, const char* key) const;
    // A count or short switch: at most 99 characters.
    std::string Short(const char* section, const char* key) const;
    // The number of items of a list section ("TOTAL"); 0 for none.
    int Total(const char* section) const;
    // A count kept under another key (a section with several lists).
    int Total(const char* section, const char* key) const;
    // Column `column` of item `index` (0-based) of a list section.
    std::string Item(const char* section, char column, int index, size_t bufferSize = kValueSize) const;

    // True only for exactly "Yes".
    static bool IsYes(const std::string& value);
    // False only for exactly "No" (empty, "no" and anything else are on).
    static bool IsNotNo(const std::string& value);

    const ProfileReader& Reader() const { return *m_reader; }

private:
    const ProfileReader* m_reader;
};

// "A0", "B12": the key of column `column` of item `index`.
std::string ItemKey(char column, int index);

// One text column of a list item: its letter and the member it fills.
template <typename Item>
struct ItemColumn {
    char column;
    std::string Item::*member;
};

// The first `total` items of list section `section`, each read column by
// column; the members no column names keep their defaults.
template <typename Item, size_t N>
std::vector<Item> ReadItems(const Script& script, const char* section, int total,
                            const ItemColumn<Item> (&columns)[N]) {
    std::vector<Item> items;
    for (int i = 0; i < total; ++i) {
        Item item;
        for (const ItemColumn<Item>& c : columns) item.*c.member = script.Item(section, c.column, i);
        items.push_back(std::move(item));
    }
    return items;
}

// Every item of list section `section` ("TOTAL" of them).
template <typename Item, size_t N>
std::vector<Item> ReadItems(const Script& script, const char* section, const ItemColumn<Item> (&columns)[N]) {
    return ReadItems(script, section, script.Total(section), columns);
}

}  // namespace kq
