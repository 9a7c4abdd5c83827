#include "record/xxh3_sum.h"

// Debian's xxHash, used header-only: nothing to link on any target.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace kq {

#if defined(_WIN32) && defined(__i386__)
// xxh3_sse2_win.cpp: the same sum through the SSE2 unit, which a 32-bit
// build cannot take for granted; the state is this file's XXH3_state_t.
bool Sse2Xxh3Usable();
void Sse2Xxh3Update(void* state, const void* bytes, size_t length);
uint64_t Sse2Xxh3Digest(const void* state);
#endif

struct Xxh3Sum::State {
    XXH3_state_t xxh3;
};

Xxh3Sum::Xxh3Sum() : m_state(std::make_unique<State>()) {
    XXH3_64bits_reset(&m_state->xxh3);
}

Xxh3Sum::~Xxh3Sum() = default;

void Xxh3Sum::Add(const void* bytes, size_t length) {
#if defined(_WIN32) && defined(__i386__)
    if (Sse2Xxh3Usable()) {
        Sse2Xxh3Update(&m_state->xxh3, bytes, length);
        return;
    }
#endif
    XXH3_64bits_update(&m_state->xxh3, bytes, length);
}

uint64_t Xxh3Sum::Finish() {
#if defined(_WIN32) && defined(__i386__)
    const uint64_t sum = Sse2Xxh3Usable() ? Sse2Xxh3Digest(&m_state->xxh3) : XXH3_64bits_digest(&m_state->xxh3);
#else
    const uint64_t sum = XXH3_64bits_digest(&m_state->xxh3);
#endif
    XXH3_64bits_reset(&m_state->xxh3);
    return sum;
}

}  // namespace kq
