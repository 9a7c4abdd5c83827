#include "crypt/rijndael.h"

#include <cstring>

namespace kq {

namespace {

// S-boxes and the round tables are derived from GF(2^8) arithmetic once, so
// no hand-typed table can hide a wrong entry.
struct Tables {
    uint8_t sbox[256];
    uint8_t inv[256];
    uint32_t te[4][256];
    uint32_t td[4][256];

    Tables() {
        uint8_t exp[256], log[256];
        uint8_t x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[i] = x;
            log[x] = uint8_t(i);
            x = uint8_t(x ^ Xtime(x));  // multiply by the generator 3
        }
        exp[255] = exp[0];
        log[0] = 0;
        for (int v = 0; v < 256; ++v) {
            uint8_t invv = v == 0 ? 0 : exp[(255 - log[v]) % 255];
            uint8_t s = invv;
            uint8_t r = invv;
            for (int k = 0; k < 4; ++k) {
                r = uint8_t((r << 1) | (r >> 7));
                s ^= r;
            }
            s ^= 0x63;
            sbox[v] = s;
            inv[s] = uint8_t(v);
        }
        auto mul = [&](uint8_t a, uint8_t b) -> uint32_t {
            if (a == 0 || b == 0) return 0;
            return exp[(log[a] + log[b]) % 255];
        };
        for (int v = 0; v < 256; ++v) {
            uint8_t s = sbox[v];
            uint32_t e = (mul(s, 2) << 24) | (uint32_t(s) << 16) | (uint32_t(s) << 8) | mul(s, 3);
            uint8_t si = inv[v];
            uint32_t d = (mul(si, 14) << 24) | (mul(si, 9) << 16) | (mul(si, 13) << 8) | mul(si, 11);
            for (int k = 0; k < 4; ++k) {
                te[k][v] = k == 0 ? e : (e >> (8 * k)) | (e << (32 - 8 * k));
                td[k][v] = k == 0 ? d : (d >> (8 * k)) | (d << (32 - 8 * k));
            }
        }
    }

    static uint8_t Xtime(uint8_t a) { return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1b : 0)); }
};

const Tables& T() {
    static const Tables tables;
    return tables;
}

inline uint32_t Load(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void Store(uint32_t w, uint8_t* p) {
    p[0] = uint8_t(w >> 24);
    p[1] = uint8_t(w >> 16);
    p[2] = uint8_t(w >> 8);
    p[3] = uint8_t(w);
}

inline uint32_t SubWord(uint32_t w) {
    const uint8_t* s = T().sbox;
    return (uint32_t(s[w >> 24]) << 24) | (uint32_t(s[(w >> 16) & 0xff]) << 16) |
           (uint32_t(s[(w >> 8) & 0xff]) << 8) | uint32_t(s[w & 0xff]);
}

inline uint32_t InvMixColumn(uint32_t w) {
    // td[k][v] is built from inv[v], so indexing it with sbox[b] gives the
    // InvMixColumns contribution of byte b in row k.
    const Tables& t = T();
    return t.td[0][t.sbox[w >> 24]] ^ t.td[1][t.sbox[(w >> 16) & 0xff]] ^
           t.td[2][t.sbox[(w >> 8) & 0xff]] ^ t.td[3][t.sbox[w & 0xff]];
}

}  // namespace

Status CRijndael::Init(const uint8_t* key, int keyLen, int blockSize) {
    if (keyLen != 16 && keyLen != 24 && keyLen != 32) return Status::Error("Illegal Key Length!");
    if (blockSize != 16 && blockSize != 24 && blockSize != 32) return Status::Error("Illegal Block Size!");
    if (key == nullptr) return Status::Error("Illegal Key Length!");

    const int nk = keyLen / 4;
    m_nb = blockSize / 4;
    m_nr = (nk > m_nb ? nk : m_nb) + 6;

    // ShiftRows offsets for rows 1..3: 1,2,3 for 4 and 6 columns, 1,3,4 for 8.
    const int shift[3] = {1, m_nb == 8 ? 3 : 2, m_nb == 8 ? 4 : 3};
    for (int row = 0; row < 3; ++row) {
        for (int j = 0; j < m_nb; ++j) {
            m_fwd[row][j] = (j + shift[row]) % m_nb;
            m_inv[row][j] = (j - shift[row] + m_nb) % m_nb;
        }
    }

    const int words = m_nb * (m_nr + 1);
    for (int i = 0; i < nk; ++i) m_ek[i] = Load(key + 4 * i);
    uint8_t rcon = 1;
    for (int i = nk; i < words; ++i) {
        uint32_t temp = m_ek[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp << 8) | (temp >> 24)) ^ (uint32_t(rcon) << 24);
            rcon = uint8_t((rcon << 1) ^ ((rcon & 0x80) ? 0x1b : 0));
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        m_ek[i] = m_ek[i - nk] ^ temp;
    }

    // Equivalent inverse cipher: round keys in reverse order, the inner ones
    // passed through InvMixColumns so decryption uses the same round shape.
    for (int r = 0; r <= m_nr; ++r) {
        for (int j = 0; j < m_nb; ++j) {
            uint32_t w = m_ek[(m_nr - r) * m_nb + j];
            m_dk[r * m_nb + j] = (r == 0 || r == m_nr) ? w : InvMixColumn(w);
        }
    }
    return Status::Ok();
}

// AES-sized blocks (the package case) get straight-line rounds; the general
// loop below handles 24- and 32-byte blocks.
void CRijndael::EncryptBlock(const uint8_t* in, uint8_t* out) const {
    const Tables& t = T();
    if (m_nb == 4) {
        const uint32_t* rk = m_ek;
        uint32_t s0 = Load(in) ^ rk[0], s1 = Load(in + 4) ^ rk[1], s2 = Load(in + 8) ^ rk[2], s3 = Load(in + 12) ^ rk[3];
        for (int r = 1; r < m_nr; ++r) {
            rk += 4;
            const uint32_t n0 = t.te[0][s0 >> 24] ^ t.te[1][(s1 >> 16) & 0xff] ^ t.te[2][(s2 >> 8) & 0xff] ^ t.te[3][s3 & 0xff] ^ rk[0];
            const uint32_t n1 = t.te[0][s1 >> 24] ^ t.te[1][(s2 >> 16) & 0xff] ^ t.te[2][(s3 >> 8) & 0xff] ^ t.te[3][s0 & 0xff] ^ rk[1];
            const uint32_t n2 = t.te[0][s2 >> 24] ^ t.te[1][(s3 >> 16) & 0xff] ^ t.te[2][(s0 >> 8) & 0xff] ^ t.te[3][s1 & 0xff] ^ rk[2];
            const uint32_t n3 = t.te[0][s3 >> 24] ^ t.te[1][(s0 >> 16) & 0xff] ^ t.te[2][(s1 >> 8) & 0xff] ^ t.te[3][s2 & 0xff] ^ rk[3];
            s0 = n0;
            s1 = n1;
            s2 = n2;
            s3 = n3;
        }
        rk += 4;
        const uint8_t* sb = t.sbox;
        auto last = [sb](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
            return (uint32_t(sb[a >> 24]) << 24) | (uint32_t(sb[(b >> 16) & 0xff]) << 16) |
                   (uint32_t(sb[(c >> 8) & 0xff]) << 8) | uint32_t(sb[d & 0xff]);
        };
        Store(last(s0, s1, s2, s3) ^ rk[0], out);
        Store(last(s1, s2, s3, s0) ^ rk[1], out + 4);
        Store(last(s2, s3, s0, s1) ^ rk[2], out + 8);
        Store(last(s3, s0, s1, s2) ^ rk[3], out + 12);
        return;
    }
    uint32_t s[kMaxBlockSize / 4], n[kMaxBlockSize / 4];
    for (int j = 0; j < m_nb; ++j) s[j] = Load(in + 4 * j) ^ m_ek[j];
    const uint32_t* rk = m_ek + m_nb;
    for (int r = 1; r < m_nr; ++r, rk += m_nb) {
        for (int j = 0; j < m_nb; ++j) {
            n[j] = t.te[0][s[j] >> 24] ^ t.te[1][(s[m_fwd[0][j]] >> 16) & 0xff] ^
                   t.te[2][(s[m_fwd[1][j]] >> 8) & 0xff] ^ t.te[3][s[m_fwd[2][j]] & 0xff] ^ rk[j];
        }
        std::memcpy(s, n, sizeof(uint32_t) * size_t(m_nb));
    }
    for (int j = 0; j < m_nb; ++j) {
        uint32_t w = (uint32_t(t.sbox[s[j] >> 24]) << 24) | (uint32_t(t.sbox[(s[m_fwd[0][j]] >> 16) & 0xff]) << 16) |
                     (uint32_t(t.sbox[(s[m_fwd[1][j]] >> 8) & 0xff]) << 8) | uint32_t(t.sbox[s[m_fwd[2][j]] & 0xff]);
        Store(w ^ rk[j], out + 4 * j);
    }
}

void CRijndael::DecryptBlock(const uint8_t* in, uint8_t* out) const {
    const Tables& t = T();
    if (m_nb == 4) {
        const uint32_t* rk = m_dk;
        uint32_t s0 = Load(in) ^ rk[0], s1 = Load(in + 4) ^ rk[1], s2 = Load(in + 8) ^ rk[2], s3 = Load(in + 12) ^ rk[3];
        for (int r = 1; r < m_nr; ++r) {
            rk += 4;
            const uint32_t n0 = t.td[0][s0 >> 24] ^ t.td[1][(s3 >> 16) & 0xff] ^ t.td[2][(s2 >> 8) & 0xff] ^ t.td[3][s1 & 0xff] ^ rk[0];
            const uint32_t n1 = t.td[0][s1 >> 24] ^ t.td[1][(s0 >> 16) & 0xff] ^ t.td[2][(s3 >> 8) & 0xff] ^ t.td[3][s2 & 0xff] ^ rk[1];
            const uint32_t n2 = t.td[0][s2 >> 24] ^ t.td[1][(s1 >> 16) & 0xff] ^ t.td[2][(s0 >> 8) & 0xff] ^ t.td[3][s3 & 0xff] ^ rk[2];
            const uint32_t n3 = t.td[0][s3 >> 24] ^ t.td[1][(s2 >> 16) & 0xff] ^ t.td[2][(s1 >> 8) & 0xff] ^ t.td[3][s0 & 0xff] ^ rk[3];
            s0 = n0;
            s1 = n1;
            s2 = n2;
            s3 = n3;
        }
        rk += 4;
        const uint8_t* ib = t.inv;
        auto last = [ib](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
            return (uint32_t(ib[a >> 24]) << 24) | (uint32_t(ib[(b >> 16) & 0xff]) << 16) |
                   (uint32_t(ib[(c >> 8) & 0xff]) << 8) | uint32_t(ib[d & 0xff]);
        };
        Store(last(s0, s3, s2, s1) ^ rk[0], out);
        Store(last(s1, s0, s3, s2) ^ rk[1], out + 4);
        Store(last(s2, s1, s0, s3) ^ rk[2], out + 8);
        Store(last(s3, s2, s1, s0) ^ rk[3], out + 12);
        return;
    }
    uint32_t s[kMaxBlockSize / 4], n[kMaxBlockSize / 4];
    for (int j = 0; j < m_nb; ++j) s[j] = Load(in + 4 * j) ^ m_dk[j];
    const uint32_t* rk = m_dk + m_nb;
    for (int r = 1; r < m_nr; ++r, rk += m_nb) {
        for (int j = 0; j < m_nb; ++j) {
            n[j] = t.td[0][s[j] >> 24] ^ t.td[1][(s[m_inv[0][j]] >> 16) & 0xff] ^
                   t.td[2][(s[m_inv[1][j]] >> 8) & 0xff] ^ t.td[3][s[m_inv[2][j]] & 0xff] ^ rk[j];
        }
        std::memcpy(s, n, sizeof(uint32_t) * size_t(m_nb));
    }
    for (int j = 0; j < m_nb; ++j) {
        uint32_t w = (uint32_t(t.inv[s[j] >> 24]) << 24) | (uint32_t(t.inv[(s[m_inv[0][j]] >> 16) & 0xff]) << 16) |
                     (uint32_t(t.inv[(s[m_inv[1][j]] >> 8) & 0xff]) << 8) | uint32_t(t.inv[s[m_inv[2][j]] & 0xff]);
        Store(w ^ rk[j], out + 4 * j);
    }
}

}  // namespace kq
