// SHA-256 as published (FIPS 180-4): the hash behind the signature at the
// head of every encrypted package script.
#pragma once
#include <cstdint>

#include "base/status.h"

namespace kq {

class CSHA {
public:
    static constexpr int kDigestSize = 32;

    CSHA() { Reset(); }

    // Feeds len bytes; len must be positive.
    Status AddData(const void* data, int len);

    // Writes the 32-byte digest (big-endian words) and starts a fresh hash.
    // At least one AddData must have happened since the last digest.
    Status FinalDigest(uint8_t out[kDigestSize]);

private:
    void Reset();
    void Compress(const uint8_t block[64]);

    uint32_t m_state[8];
    uint64_t m_total;       // bytes added so far
    uint8_t m_pending[64];  // partial block
    int m_pendingLen;
    bool m_added;
};

}  // namespace kq
