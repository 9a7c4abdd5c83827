#include "record/xxh3_sum.h"

// Debian's xxHash, used header-only: nothing to link on any target.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace kq {

struct Xxh3Sum::State {
    XXH3_state_t xxh3;
};

Xxh3Sum::Xxh3Sum() : m_state(std::make_unique<State>()) {
    XXH3_64bits_reset(&m_state->xxh3);
}

Xxh3Sum::~Xxh3Sum() = default;

void Xxh3Sum::Add(const void* bytes, size_t length) {
    XXH3_64bits_update(&m_state->xxh3, bytes, length);
}

uint64_t Xxh3Sum::Finish() {
    const uint64_t sum = XXH3_64bits_digest(&m_state->xxh3);
    XXH3_64bits_reset(&m_state->xxh3);
    return sum;
}

}  // namespace kq
