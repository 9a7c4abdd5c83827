// SHA-256 as published (FIPS 180-4): the hash behind the signature at the
// head of every encrypted package script.
#pragma once
#include <cstdint>

#include "base/status.h"

class CSHA {
public:
    static constexpr int kDigestSize = 32;

    CSHA() { Reset(); }

    // Feeds len bytes; len must be positive.
    kq::Status AddData(const void* data, int len);

    // Writes the 32-byte digest (big-endian words) and starts a fresh hash.
    // At least one AddData must have happened since the last digest.
    kq::Status FinalDigest(uint8_t out[kDigestSize]);

private:
    void Reset();
    void Compress(const uint8_t block[64]);

    uint32_t state_[8];
    uint64_t total_;      // bytes added so far
    uint8_t pending_[64]; // partial block
    int pendingLen_;
    bool added_;
};
