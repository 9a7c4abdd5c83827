#include "crypt/file_crypt.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/file.h"
#include "crypt/double_buffering.h"
#include "crypt/sha256.h"

namespace kq {

namespace {

const char kNotInitialized[] = "FileCrypt ERROR: Encryption/Decryption Object not Initialized!";
const char kIllegalBlockSize[] = "Illegal Block Size!";

std::string CannotOpen(const char* path) { return std::string("FileCrypt ERROR: Cannot open File ") + path + "!"; }

std::string CannotWrite(const char* path) {
    return std::string("FileCrypt ERROR: Cannot write File ") + path + "!";
}

}  // namespace

CFileCrypt::OpenedFiles::~OpenedFiles() {
    if (in != nullptr) std::fclose(in);
    if (out != nullptr) std::fclose(out);
}

CFileCrypt::~CFileCrypt() {
    // Key material should not outlive the object in freed memory.
    volatile uint8_t* k = m_key;
    for (size_t i = 0; i < sizeof(m_key); ++i) k[i] = 0;
}

Status CFileCrypt::SetKey(const char* keyData, int keyDataLen, const uint8_t* chain, int keyLen, int blockSize,
                          int mode, int padding) {
    if (keyData == nullptr) return Status::Error("FileCrypt ERROR: No Key DataSpecified!");
    if (keyDataLen < 1) return Status::Error("FileCrypt ERROR: Key Data Length should be > 0!");
    if (keyLen != 16 && keyLen != 24 && keyLen != 32) return Status::Error("Illegal Key Length!");
    if (blockSize != 16 && blockSize != 24 && blockSize != 32) return Status::Error(kIllegalBlockSize);
    if (mode < kEcb || mode > kCfb) return Status::Error("FileCrypt ERROR: Illegal Operation Mode!");
    if (padding < kPadZeros || padding > kPadCount) return Status::Error("FileCrypt ERROR: Illegal Padding Mode!");

    uint8_t key[CRijndael::kMaxKeySize];
    for (int j = 0; j < keyLen; ++j) key[j] = static_cast<uint8_t>(keyData[j % keyDataLen]);
    Status st = m_cipher.Init(key, keyLen, blockSize);
    if (!st) return st;

    std::memcpy(m_key, key, size_t(keyLen));
    m_keyLen = keyLen;
    m_blockSize = blockSize;
    m_mode = mode;
    m_padding = padding;
    if (chain != nullptr) {
        std::memcpy(m_chain0, chain, size_t(blockSize));
    } else {
        std::memset(m_chain0, 0, sizeof(m_chain0));
    }
    ResetChain();
    m_initialized = true;
    return Status::Ok();
}

void CFileCrypt::ResetChain() {
    std::memcpy(m_chain, m_chain0, sizeof(m_chain));
}

Status CFileCrypt::Signature(uint8_t out[kSignatureSize]) {
    if (!m_initialized) return Status::Error(kNotInitialized);
    // "RIJNDAEL" + key + up to 4 two-digit numbers.
    uint8_t text[8 + CRijndael::kMaxKeySize + 8];
    std::memcpy(text, "RIJNDAEL", 8);
    std::memcpy(text + 8, m_key, size_t(m_keyLen));
    char numbers[16];
    const int numLen = std::snprintf(numbers, sizeof(numbers), "%d%d%d%d", m_blockSize, m_keyLen, m_mode, m_padding);
    std::memcpy(text + 8 + m_keyLen, numbers, size_t(numLen));
    // The whole text is hashed, key bytes of value zero included: a digest
    // cut at the first zero byte would let keys that differ only after it
    // share one signature, and a wrong key would then "decrypt" to garbage.
    CSHA sha;
    Status st = sha.AddData(text, 8 + m_keyLen + numLen);
    if (!st) return st;
    return sha.FinalDigest(out);
}

Status CFileCrypt::Encrypt(const uint8_t* in, uint8_t* out, int n) {
    return EachBlock(in, out, n, &CFileCrypt::EncryptOne);
}

Status CFileCrypt::Decrypt(const uint8_t* in, uint8_t* out, int n) {
    return EachBlock(in, out, n, &CFileCrypt::DecryptOne);
}

Status CFileCrypt::EachBlock(const uint8_t* in, uint8_t* out, int n,
                             void (CFileCrypt::*step)(const uint8_t*, uint8_t*)) {
    if (!m_initialized) return Status::Error(kNotInitialized);
    if (n <= 0 || n % m_blockSize != 0 || in == nullptr || out == nullptr) return Status::Error(kIllegalBlockSize);
    for (int off = 0; off < n; off += m_blockSize) (this->*step)(in + off, out + off);
    return Status::Ok();
}

void CFileCrypt::EncryptOne(const uint8_t* src, uint8_t* dst) {
    uint8_t tmp[CRijndael::kMaxBlockSize];
    switch (m_mode) {
    case kEcb:
        m_cipher.EncryptBlock(src, dst);
        break;
    case kCbc:
        for (int i = 0; i < m_blockSize; ++i) tmp[i] = src[i] ^ m_chain[i];
        m_cipher.EncryptBlock(tmp, dst);
        std::memcpy(m_chain, dst, size_t(m_blockSize));
        break;
    default:  // CFB over whole blocks
        m_cipher.EncryptBlock(m_chain, tmp);
        for (int i = 0; i < m_blockSize; ++i) dst[i] = src[i] ^ tmp[i];
        std::memcpy(m_chain, dst, size_t(m_blockSize));
        break;
    }
}

void CFileCrypt::DecryptOne(const uint8_t* src, uint8_t* dst) {
    if (m_mode == kEcb) {
        m_cipher.DecryptBlock(src, dst);
        return;
    }
    // Keep the ciphertext block first: in and out may be one buffer. It is
    // the next block's chain in both modes.
    uint8_t cipherBlock[CRijndael::kMaxBlockSize];
    std::memcpy(cipherBlock, src, size_t(m_blockSize));
    if (m_mode == kCbc) {
        m_cipher.DecryptBlock(cipherBlock, dst);
        for (int i = 0; i < m_blockSize; ++i) dst[i] ^= m_chain[i];
    } else {
        uint8_t tmp[CRijndael::kMaxBlockSize];
        m_cipher.EncryptBlock(m_chain, tmp);
        for (int i = 0; i < m_blockSize; ++i) dst[i] = cipherBlock[i] ^ tmp[i];
    }
    std::memcpy(m_chain, cipherBlock, size_t(m_blockSize));
}

Status CFileCrypt::CheckFiles(const char* inPath, const char* outPath) const {
    if (!m_initialized) return Status::Error(kNotInitialized);
    if (inPath == nullptr || outPath == nullptr) return Status::Error(CannotOpen(""));
    // Two spellings of one file pass a text comparison; opening the output
    // would then truncate the input.
    if (std::strcmp(inPath, outPath) == 0 || SameExistingFile(inPath, outPath)) {
        return Status::Error(std::string("FileCrypt ERROR: The same File for Input and Output ") + inPath + "!");
    }
    return Status::Ok();
}

Status CFileCrypt::OpenFiles(const char* inPath, const char* outPath, OpenedFiles& files) {
    Status st = CheckFiles(inPath, outPath);
    if (!st) return st;
    files.in = std::fopen(inPath, "rb");
    if (files.in == nullptr) return Status::Error(CannotOpen(inPath));
    files.out = std::fopen(outPath, "wb");
    if (files.out == nullptr) return Status::Error(CannotOpen(outPath));
    return Signature(files.signature);
}

Status CFileCrypt::EncryptFile(const char* inPath, const char* outPath) {
    OpenedFiles files;
    Status st = OpenFiles(inPath, outPath, files);
    if (!st) return st;
    std::fwrite(files.signature, 1, kSignatureSize, files.out);  // a failure shows at the close
    ResetChain();

    return TransformChunks(files, outPath, [this](uint8_t* chunk, int* length, uint8_t* result) {
        const int got = *length;
        if (got % m_blockSize != 0) {
            // kChunkSize is a multiple of every block size, so padding fits.
            const int padded = (got / m_blockSize + 1) * m_blockSize;
            const int count = padded - got;
            const uint8_t fill = m_padding == kPadZeros ? 0 : m_padding == kPadSpaces ? ' ' : uint8_t(count);
            std::memset(chunk + got, fill, size_t(count));
            *length = padded;
        }
        return Encrypt(chunk, result, *length);
    });
}

Status CFileCrypt::DecryptFile(const char* inPath, const char* outPath) {
    OpenedFiles files;
    Status st = OpenFiles(inPath, outPath, files);
    if (!st) return st;
    uint8_t found[kSignatureSize];
    if (std::fread(found, 1, kSignatureSize, files.in) != kSignatureSize ||
        std::memcmp(found, files.signature, kSignatureSize) != 0) {
        return Status::Error(std::string("FileCrypt ERROR: File ") + inPath + " cannot be Correctly Decrypted!");
    }
    ResetChain();

    // A ragged tail fails its step: the full chunks before it are written.
    return TransformChunks(files, outPath, [this](uint8_t* chunk, int* length, uint8_t* result) {
        return Decrypt(chunk, result, *length);
    });
}

Status CFileCrypt::TransformChunks(OpenedFiles& files, const char* outPath, const ChunkStep& step) {
    char readBuffer[kReadBufferSize];
    CDoubleBuffering reader;
    Status st = reader.Init(files.in, readBuffer, kReadBufferSize, kChunkSize);
    if (!st) return st;
    uint8_t chunk[kChunkSize];
    uint8_t result[kChunkSize];
    for (;;) {
        int got = 0;
        st = reader.GetData(reinterpret_cast<char*>(chunk), kChunkSize, &got);
        if (!st) return st;
        if (got == 0) break;
        st = step(chunk, &got, result);
        if (!st) return st;
        if (std::fwrite(result, 1, size_t(got), files.out) != size_t(got)) return Status::Error(CannotWrite(outPath));
    }
    std::FILE* out = files.out;
    files.out = nullptr;
    if (std::fclose(out) != 0) return Status::Error(CannotWrite(outPath));
    return Status::Ok();
}

Status KeyForPackage(CFileCrypt& crypt) {
    static const char kPassPhrase[] = ".w..ap.#.81967";
    const uint8_t chain[16] = {};
    return crypt.SetKey(kPassPhrase, 14, chain, 16, 16, CFileCrypt::kEcb, CFileCrypt::kPadZeros);
}

}  // namespace kq
