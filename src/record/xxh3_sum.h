// The record's fast checksum, XXH3 64-bit over bytes that pass by in
// pieces. Its own file so that it can be built for speed where the rest of
// the program is built for size: setup computes it over every byte it
// unpacks, removal over every byte it checks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/no_copy.h"

namespace kq {

class Xxh3Sum : private NoCopy {
public:
    Xxh3Sum();
    ~Xxh3Sum();
    void Add(const void* bytes, size_t length);
    // The checksum of everything added; the sum starts afresh.
    uint64_t Finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kq
