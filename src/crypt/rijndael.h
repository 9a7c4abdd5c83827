// Rijndael block cipher with 128-, 192- and 256-bit blocks and keys; with a
// 128-bit block it is AES (FIPS-197). Table-driven; the caller owns the
// object and nothing is allocated.
#pragma once
#include <cstdint>

#include "base/status.h"

namespace kq {

class CRijndael {
public:
    static constexpr int kMaxBlockSize = 32;
    static constexpr int kMaxKeySize = 32;
    static constexpr int kMaxRounds = 14;

    // keyLen and blockSize in bytes: 16, 24 or 32 each. Expands the
    // encryption round keys and derives the decryption ones.
    Status Init(const uint8_t* key, int keyLen, int blockSize);

    // One block of BlockSize() bytes; in and out may be the same buffer.
    void EncryptBlock(const uint8_t* in, uint8_t* out) const;
    void DecryptBlock(const uint8_t* in, uint8_t* out) const;

    int BlockSize() const { return m_nb * 4; }
    int Rounds() const { return m_nr; }

private:
    static constexpr int kMaxWords = (kMaxRounds + 1) * (kMaxBlockSize / 4);

    int m_nb = 0;  // block size in 32-bit columns
    int m_nr = 0;
    // Column index of the source byte for rows 1..3 after ShiftRows, forward
    // and inverse, precomputed so the round loop has no modulo.
    int m_fwd[3][kMaxBlockSize / 4] = {};
    int m_inv[3][kMaxBlockSize / 4] = {};
    uint32_t m_ek[kMaxWords] = {};
    uint32_t m_dk[kMaxWords] = {};
};

}  // namespace kq
