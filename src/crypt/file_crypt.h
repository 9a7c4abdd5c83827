// The package cipher object and the encrypted script format (.nsx).
//
// An encrypted file is:
//   offset 0, 32 bytes   signature: SHA-256 of the configuration text
//                        "RIJNDAEL" + key bytes + block size + key length +
//                        mode + padding (the numbers in decimal, no separators)
//   offset 32, k bytes   the plaintext encrypted with Rijndael in the
//                        configured mode, k a multiple of the block size.
// There is no length field: the encrypting side pads only the last block (with
// the padding mode's bytes) and decryption writes every block, padding
// included. Packages use a 128-bit key and block, ECB, zero padding.
//
// Files are processed in 384-byte chunks through a 1024-byte double buffer,
// so memory use does not grow with the file size.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>

#include "base/status.h"
#include "crypt/rijndael.h"

namespace kq {

class CFileCrypt {
public:
    enum Mode { kEcb = 0, kCbc = 1, kCfb = 2 };
    enum Padding { kPadZeros = 0, kPadSpaces = 1, kPadCount = 2 };
    static constexpr int kSignatureSize = 32;
    static constexpr int kChunkSize = 384;  // 24 blocks of 16, 16 of 24, 12 of 32
    static constexpr int kReadBufferSize = 1024;

    CFileCrypt() = default;
    CFileCrypt(const CFileCrypt&) = delete;
    CFileCrypt& operator=(const CFileCrypt&) = delete;

    // The operations stay virtual and in this order: the object is handed
    // around as a table of operations.
    virtual ~CFileCrypt();
    // The signature of the current configuration.
    virtual Status Signature(uint8_t out[kSignatureSize]);
    // n bytes, a non-zero multiple of the block size; in and out may be equal.
    virtual Status Encrypt(const uint8_t* in, uint8_t* out, int n);
    virtual Status Decrypt(const uint8_t* in, uint8_t* out, int n);
    virtual Status EncryptFile(const char* inPath, const char* outPath);
    virtual Status DecryptFile(const char* inPath, const char* outPath);
    // Copies the initial chain block to the working chain block.
    virtual void ResetChain();

    // keyData is repeated cyclically to fill keyLen key bytes. chain holds
    // blockSize bytes (null means all zeros); ECB does not use it. On error
    // the object keeps its previous configuration.
    Status SetKey(const char* keyData, int keyDataLen, const uint8_t* chain, int keyLen, int blockSize, int mode,
                  int padding);

    bool Initialized() const { return m_initialized; }
    int BlockSize() const { return m_blockSize; }

private:
    // The checks of Encrypt and Decrypt, then `step` on each block in turn.
    Status EachBlock(const uint8_t* in, uint8_t* out, int n, void (CFileCrypt::*step)(const uint8_t*, uint8_t*));
    // One block in the chaining mode; the chain moves on.
    void EncryptOne(const uint8_t* src, uint8_t* dst);
    void DecryptOne(const uint8_t* src, uint8_t* dst);
    Status CheckFiles(const char* inPath, const char* outPath) const;
    // C streams rather than iostreams, which would bring the whole locale
    // library into the program.
    struct OpenedFiles {
        OpenedFiles() = default;
        OpenedFiles(const OpenedFiles&) = delete;
        OpenedFiles& operator=(const OpenedFiles&) = delete;
        ~OpenedFiles();
        std::FILE* in = nullptr;
        std::FILE* out = nullptr;
        uint8_t signature[kSignatureSize];  // of the key; it heads the encrypted file
    };
    // The checks every file operation starts with, then both files opened
    // (the output truncated) and the key's signature.
    Status OpenFiles(const char* inPath, const char* outPath, OpenedFiles& files);
    // Reads `in` to its end in chunks of kChunkSize (the last may be
    // shorter); `step` turns each into `result`, setting `length` to the
    // bytes to write, which go to the output (named `outPath` in messages),
    // then closed. A failed step ends the run: the chunks before it are
    // written.
    using ChunkStep = std::function<Status(uint8_t* chunk, int* length, uint8_t* result)>;
    Status TransformChunks(OpenedFiles& files, const char* outPath, const ChunkStep& step);

    bool m_initialized = false;
    int m_blockSize = 0;
    int m_keyLen = 0;
    int m_mode = 0;
    int m_padding = 0;
    uint8_t m_key[CRijndael::kMaxKeySize] = {};
    CRijndael m_cipher;
    uint8_t m_chain0[CRijndael::kMaxBlockSize] = {};
    uint8_t m_chain[CRijndael::kMaxBlockSize] = {};
};

// Keys the cipher the way every package is encrypted: the built-in pass
// phrase, 128-bit key and block, ECB, zero padding.
Status KeyForPackage(CFileCrypt& crypt);

}  // namespace kq
