#include "crypt/file_crypt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "crypt/sha256.h"
#include "crypt_test_util.h"

using kq::CFileCrypt;

namespace {

using kqtest::Hex;
using kqtest::ReadFile;
using kqtest::TempDir;
using kqtest::ToHex;
using kqtest::WriteFile;

const char kPlain40[] = "[APPINFO]\r\nName=Demo\r\nVersion=1.0\r\n\r\n123";

// The package file for kPlain40, made with an independent AES and SHA-256:
// signature, then three ECB blocks of the zero-padded text.
const char kPackage40[] =
    "fc0d0e20d1a04535931ba00a88172ff09c281ee63db43f765553388e07c2ae60"
    "3203f997acd53c8ed0121251907236a45538d1a4e3a77f53420a854d9578f502"
    "0a3d29e3c470aa3620914c11eeb6862d";

std::string Cannot(const std::string& path) { return "FileCrypt ERROR: File " + path + " cannot be Correctly Decrypted!"; }

class FileCryptTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kq::KeyForPackage(crypt_).ok()); }

    std::vector<uint8_t> Signature() {
        std::vector<uint8_t> sig(32);
        EXPECT_TRUE(crypt_.Signature(sig.data()).ok());
        return sig;
    }

    // A package file that `author` encrypted: the package key must not decrypt it.
    void ExpectRefusesFileOf(CFileCrypt& author) {
        const std::string plain = dir_.Path("p"), nsx = dir_.Path("p.nsx"), out = dir_.Path("p.out");
        WriteFile(plain, std::string(kPlain40));
        ASSERT_TRUE(author.EncryptFile(plain.c_str(), nsx.c_str()).ok());
        EXPECT_EQ(crypt_.DecryptFile(nsx.c_str(), out.c_str()).message(), Cannot(nsx));
    }

    CFileCrypt crypt_;
    TempDir dir_;
};

TEST_F(FileCryptTest, PackageSignatureIsTheDigestOfTheConfigurationText) {
    // "RIJNDAEL", the pass phrase repeated to 16 bytes, "16" "16" "0" "0".
    EXPECT_EQ(ToHex(Signature()), "fc0d0e20d1a04535931ba00a88172ff09c281ee63db43f765553388e07c2ae60");
}

TEST_F(FileCryptTest, EncryptsTheKnownPackageFile) {
    const std::string plain = dir_.Path("setup.inf"), nsx = dir_.Path("setup.nsx");
    WriteFile(plain, std::string(kPlain40));
    ASSERT_TRUE(crypt_.EncryptFile(plain.c_str(), nsx.c_str()).ok());
    const std::vector<uint8_t> out = ReadFile(nsx);
    EXPECT_EQ(out.size(), 32u + 48u);
    EXPECT_EQ(ToHex(out), kPackage40);
}

TEST_F(FileCryptTest, DecryptsTheKnownPackageFileWithItsPadding) {
    const std::string nsx = dir_.Path("data.nsx"), plain = dir_.Path("data.inf");
    WriteFile(nsx, Hex(kPackage40));
    kq::Status st = crypt_.DecryptFile(nsx.c_str(), plain.c_str());
    ASSERT_TRUE(st.ok()) << st.message();
    std::string expected(kPlain40);
    expected.append(8, '\0');
    const std::vector<uint8_t> out = ReadFile(plain);
    EXPECT_EQ(std::string(out.begin(), out.end()), expected);
}

TEST_F(FileCryptTest, RoundTripsAcrossChunkSizes) {
    // Lengths around the 384-byte chunk and the 512-byte buffer half.
    const size_t lengths[] = {1, 15, 16, 17, 383, 384, 385, 512, 768, 1000, 5000, 70000};
    for (size_t n : lengths) {
        const std::vector<uint8_t> data = kqtest::Pattern(n, uint32_t(n));
        const std::string a = dir_.Path("a"), b = dir_.Path("b"), c = dir_.Path("c");
        WriteFile(a, data);
        ASSERT_TRUE(crypt_.EncryptFile(a.c_str(), b.c_str()).ok());
        const size_t padded = (n + 15) / 16 * 16;
        EXPECT_EQ(ReadFile(b).size(), 32 + padded) << n;
        ASSERT_TRUE(crypt_.DecryptFile(b.c_str(), c.c_str()).ok());
        std::vector<uint8_t> expected = data;
        expected.resize(padded, 0);
        EXPECT_EQ(ReadFile(c), expected) << n;
    }
}

TEST_F(FileCryptTest, EmptyPlaintextGivesSignatureOnly) {
    const std::string a = dir_.Path("a"), b = dir_.Path("b");
    WriteFile(a, std::string());
    ASSERT_TRUE(crypt_.EncryptFile(a.c_str(), b.c_str()).ok());
    EXPECT_EQ(ReadFile(b), Signature());
}

TEST_F(FileCryptTest, SignatureOnlyFileDecryptsToEmptyOutput) {
    const std::string nsx = dir_.Path("x.nsx"), out = dir_.Path("x.inf");
    WriteFile(nsx, Signature());
    WriteFile(out, std::string("old content"));
    ASSERT_TRUE(crypt_.DecryptFile(nsx.c_str(), out.c_str()).ok());
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(std::filesystem::file_size(out), 0u);
}

TEST_F(FileCryptTest, RaggedTailWritesTheFullChunksThenFails) {
    // 384 good bytes (one chunk) and 6 more after the signature.
    const std::vector<uint8_t> plain = kqtest::Pattern(384, 9);
    std::vector<uint8_t> cipher(384);
    ASSERT_TRUE(crypt_.Encrypt(plain.data(), cipher.data(), 384).ok());
    std::vector<uint8_t> file = Signature();
    file.insert(file.end(), cipher.begin(), cipher.end());
    file.insert(file.end(), 6, 0xab);
    const std::string nsx = dir_.Path("r.nsx"), out = dir_.Path("r.inf");
    WriteFile(nsx, file);
    kq::Status st = crypt_.DecryptFile(nsx.c_str(), out.c_str());
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(st.message(), "Illegal Block Size!");
    EXPECT_EQ(ReadFile(out), plain);
}

TEST_F(FileCryptTest, BadSignaturesAreRefusedAndLeaveAnEmptyOutput) {
    const std::vector<uint8_t> good = Hex(kPackage40);
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Row> rows;
    rows.push_back({"empty", {}});
    rows.push_back({"one byte", {good[0]}});
    rows.push_back({"31 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 31)});
    for (int pos : {0, 17, 31}) {
        std::vector<uint8_t> changed = good;
        changed[size_t(pos)] ^= 0x01;
        rows.push_back({"changed byte", changed});
    }
    for (const Row& row : rows) {
        const std::string nsx = dir_.Path("bad.nsx"), out = dir_.Path("bad.inf");
        WriteFile(nsx, row.bytes);
        WriteFile(out, std::string("previous"));
        kq::Status st = crypt_.DecryptFile(nsx.c_str(), out.c_str());
        EXPECT_FALSE(st.ok()) << row.name;
        EXPECT_EQ(st.message(), Cannot(nsx)) << row.name;
        EXPECT_TRUE(std::filesystem::exists(out)) << row.name;
        EXPECT_EQ(std::filesystem::file_size(out), 0u) << row.name;
    }
}

TEST_F(FileCryptTest, FileOfAnotherKeyIsRefused) {
    CFileCrypt other;
    ASSERT_TRUE(other.SetKey("another pass phrase", 19, nullptr, 16, 16, 0, 0).ok());
    ExpectRefusesFileOf(other);
}

TEST_F(FileCryptTest, OtherConfigurationOfTheSameKeyIsRefused) {
    // Same pass phrase, CBC instead of ECB: the signature covers the mode.
    CFileCrypt cbc;
    ASSERT_TRUE(cbc.SetKey(".w..ap.#.81967", 14, nullptr, 16, 16, 1, 0).ok());
    ExpectRefusesFileOf(cbc);
}

TEST_F(FileCryptTest, KeysDifferingAfterAZeroByteHaveDifferentSignatures) {
    const char keyA[] = {'a', 'b', '\0', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o'};
    const char keyB[] = {'a', 'b', '\0', 'X', 'Y', 'Z', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o'};
    CFileCrypt a, b;
    ASSERT_TRUE(a.SetKey(keyA, 16, nullptr, 16, 16, 0, 0).ok());
    ASSERT_TRUE(b.SetKey(keyB, 16, nullptr, 16, 16, 0, 0).ok());
    uint8_t sa[32], sb[32];
    ASSERT_TRUE(a.Signature(sa).ok());
    ASSERT_TRUE(b.Signature(sb).ok());
    EXPECT_NE(ToHex(sa, 32), ToHex(sb, 32));
}

TEST_F(FileCryptTest, SamePathIsRefusedBeforeOpeningAnything) {
    const std::string path = dir_.Path("never-created");
    for (int encrypt = 0; encrypt < 2; ++encrypt) {
        kq::Status st = encrypt ? crypt_.EncryptFile(path.c_str(), path.c_str())
                                : crypt_.DecryptFile(path.c_str(), path.c_str());
        EXPECT_FALSE(st.ok());
        EXPECT_EQ(st.message(), "FileCrypt ERROR: The same File for Input and Output " + path + "!");
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_F(FileCryptTest, SameFileUnderAnotherSpellingIsRefusedAndKept) {
    const std::string path = dir_.Path("s.nsx");
    const std::string other = (dir_.Root() / "." / "s.nsx").string();
    WriteFile(path, Hex(kPackage40));
    kq::Status st = crypt_.DecryptFile(path.c_str(), other.c_str());
    EXPECT_EQ(st.message(), "FileCrypt ERROR: The same File for Input and Output " + path + "!");
    EXPECT_EQ(ToHex(ReadFile(path)), kPackage40);
}

TEST_F(FileCryptTest, UnopenableFilesAreNamed) {
    const std::string missing = dir_.Path("missing.nsx");
    const std::string badOut = dir_.Path("no-such-dir/out.inf");
    const std::string out = dir_.Path("out.inf");
    EXPECT_EQ(crypt_.DecryptFile(missing.c_str(), out.c_str()).message(),
              "FileCrypt ERROR: Cannot open File " + missing + "!");
    EXPECT_FALSE(std::filesystem::exists(out));  // the input is opened first
    const std::string nsx = dir_.Path("ok.nsx");
    WriteFile(nsx, Hex(kPackage40));
    EXPECT_EQ(crypt_.DecryptFile(nsx.c_str(), badOut.c_str()).message(),
              "FileCrypt ERROR: Cannot open File " + badOut + "!");
    EXPECT_EQ(crypt_.EncryptFile(missing.c_str(), out.c_str()).message(),
              "FileCrypt ERROR: Cannot open File " + missing + "!");
}

TEST_F(FileCryptTest, WriteFailureIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const std::string nsx = dir_.Path("big.nsx"), plain = dir_.Path("big");
    WriteFile(plain, kqtest::Pattern(100000, 4));
    ASSERT_TRUE(crypt_.EncryptFile(plain.c_str(), nsx.c_str()).ok());
    EXPECT_EQ(crypt_.DecryptFile(nsx.c_str(), "/dev/full").message(), "FileCrypt ERROR: Cannot write File /dev/full!");
    EXPECT_EQ(crypt_.EncryptFile(plain.c_str(), "/dev/full").message(), "FileCrypt ERROR: Cannot write File /dev/full!");
}

TEST(FileCryptKeyTest, UninitialisedObjectRefusesEverything) {
    const char* kText = "FileCrypt ERROR: Encryption/Decryption Object not Initialized!";
    CFileCrypt crypt;
    uint8_t buf[32] = {};
    EXPECT_FALSE(crypt.Initialized());
    EXPECT_EQ(crypt.DecryptFile("a", "b").message(), kText);
    EXPECT_EQ(crypt.EncryptFile("a", "b").message(), kText);
    EXPECT_EQ(crypt.DecryptFile("a", "a").message(), kText);  // checked before the paths
    EXPECT_EQ(crypt.Encrypt(buf, buf, 16).message(), kText);
    EXPECT_EQ(crypt.Decrypt(buf, buf, 16).message(), kText);
    EXPECT_EQ(crypt.Signature(buf).message(), kText);
}

TEST(FileCryptKeyTest, SetKeyErrors) {
    struct Row {
        const char* keyData;
        int keyDataLen, keyLen, blockSize, mode, padding;
        const char* text;
    };
    const char* k = "key";
    const Row rows[] = {
        {nullptr, 3, 16, 16, 0, 0, "FileCrypt ERROR: No Key DataSpecified!"},
        {k, 0, 16, 16, 0, 0, "FileCrypt ERROR: Key Data Length should be > 0!"},
        {k, -5, 16, 16, 0, 0, "FileCrypt ERROR: Key Data Length should be > 0!"},
        {k, 3, 0, 16, 0, 0, "Illegal Key Length!"},
        {k, 3, 8, 16, 0, 0, "Illegal Key Length!"},
        {k, 3, 33, 16, 0, 0, "Illegal Key Length!"},
        {k, 3, 16, 12, 0, 0, "Illegal Block Size!"},
        {k, 3, 16, 64, 0, 0, "Illegal Block Size!"},
        {k, 3, 16, 16, -1, 0, "FileCrypt ERROR: Illegal Operation Mode!"},
        {k, 3, 16, 16, 3, 0, "FileCrypt ERROR: Illegal Operation Mode!"},
        {k, 3, 16, 16, 0, -1, "FileCrypt ERROR: Illegal Padding Mode!"},
        {k, 3, 16, 16, 0, 3, "FileCrypt ERROR: Illegal Padding Mode!"},
        // Checked in order: the first fault is the one reported.
        {k, 0, 8, 12, 9, 9, "FileCrypt ERROR: Key Data Length should be > 0!"},
        {k, 3, 16, 16, 5, 5, "FileCrypt ERROR: Illegal Operation Mode!"},
        {k, 3, 8, 12, 0, 0, "Illegal Key Length!"},
    };
    for (const Row& row : rows) {
        CFileCrypt crypt;
        kq::Status st = crypt.SetKey(row.keyData, row.keyDataLen, nullptr, row.keyLen, row.blockSize, row.mode,
                                     row.padding);
        EXPECT_FALSE(st.ok());
        EXPECT_EQ(st.message(), row.text) << row.keyDataLen << "," << row.keyLen << "," << row.blockSize << ","
                                          << row.mode << "," << row.padding;
        EXPECT_FALSE(crypt.Initialized());
    }
}

TEST(FileCryptKeyTest, FailedSetKeyKeepsThePreviousKey) {
    CFileCrypt crypt;
    ASSERT_TRUE(kq::KeyForPackage(crypt).ok());
    EXPECT_FALSE(crypt.SetKey("other", 5, nullptr, 16, 16, 7, 0).ok());
    uint8_t sig[32];
    ASSERT_TRUE(crypt.Signature(sig).ok());
    EXPECT_EQ(ToHex(sig, 32), "fc0d0e20d1a04535931ba00a88172ff09c281ee63db43f765553388e07c2ae60");
}

TEST(FileCryptKeyTest, BlockBufferLengthsMustBeWholeBlocks) {
    CFileCrypt crypt;
    ASSERT_TRUE(crypt.SetKey("k", 1, nullptr, 16, 24, 0, 0).ok());
    uint8_t buf[96] = {};
    for (int n : {0, -24, 16, 25, 47}) {
        EXPECT_EQ(crypt.Encrypt(buf, buf, n).message(), "Illegal Block Size!") << n;
        EXPECT_EQ(crypt.Decrypt(buf, buf, n).message(), "Illegal Block Size!") << n;
    }
    EXPECT_TRUE(crypt.Encrypt(buf, buf, 48).ok());
}

TEST(FileCryptKeyTest, ChainedModesMatchNistVectors) {
    // SP 800-38A F.2.1 (CBC) and F.3.13 (CFB128), AES-128.
    const std::vector<uint8_t> key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
    const std::vector<uint8_t> iv = Hex("000102030405060708090a0b0c0d0e0f");
    const std::vector<uint8_t> plain = Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    struct Row {
        int mode;
        const char* cipher;
    };
    const Row rows[] = {
        {1, "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
        {2, "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"},
    };
    for (const Row& row : rows) {
        CFileCrypt crypt;
        ASSERT_TRUE(crypt.SetKey(reinterpret_cast<const char*>(key.data()), 16, iv.data(), 16, 16, row.mode, 0).ok());
        std::vector<uint8_t> out(32);
        // Two calls: the chain carries over between them.
        ASSERT_TRUE(crypt.Encrypt(plain.data(), out.data(), 16).ok());
        ASSERT_TRUE(crypt.Encrypt(plain.data() + 16, out.data() + 16, 16).ok());
        EXPECT_EQ(ToHex(out), row.cipher) << row.mode;
        crypt.ResetChain();
        std::vector<uint8_t> back(32);
        ASSERT_TRUE(crypt.Decrypt(out.data(), back.data(), 32).ok());
        EXPECT_EQ(back, plain) << row.mode;
        // In place, after a reset.
        crypt.ResetChain();
        ASSERT_TRUE(crypt.Decrypt(out.data(), out.data(), 32).ok());
        EXPECT_EQ(out, plain) << row.mode;
    }
}

TEST(FileCryptKeyTest, PaddingModesAndBlockSizesThroughFiles) {
    struct Row {
        int blockSize, mode, padding;
        size_t plainLen;
        size_t padded;
        uint8_t fill;
    };
    const Row rows[] = {
        {16, 0, 0, 40, 48, 0},    {16, 0, 1, 40, 48, ' '},  {16, 0, 2, 40, 48, 8},   {24, 1, 2, 40, 48, 8},
        {32, 2, 2, 40, 64, 24},   {32, 1, 1, 40, 64, ' '},  {24, 2, 0, 400, 408, 0}, {32, 0, 2, 385, 416, 31},
        {16, 1, 2, 768, 768, 0},  {24, 0, 1, 1000, 1008, ' '},
    };
    TempDir dir;
    for (const Row& row : rows) {
        CFileCrypt crypt;
        const uint8_t chain[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
        ASSERT_TRUE(crypt.SetKey("pass phrase", 11, chain, 24, row.blockSize, row.mode, row.padding).ok());
        const std::vector<uint8_t> data = kqtest::Pattern(row.plainLen, 77);
        const std::string a = dir.Path("a"), b = dir.Path("b"), c = dir.Path("c");
        WriteFile(a, data);
        ASSERT_TRUE(crypt.EncryptFile(a.c_str(), b.c_str()).ok());
        EXPECT_EQ(ReadFile(b).size(), 32 + row.padded);
        ASSERT_TRUE(crypt.DecryptFile(b.c_str(), c.c_str()).ok());
        std::vector<uint8_t> expected = data;
        expected.resize(row.padded, row.fill);
        EXPECT_EQ(ReadFile(c), expected) << row.blockSize << "/" << row.mode << "/" << row.padding << "/"
                                         << row.plainLen;
    }
}

}  // namespace
