#include "crypt/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypt_test_util.h"

using kq::CSHA;

namespace {

using kqtest::ToHex;

std::string Digest(const std::string& message) {
    CSHA sha;
    EXPECT_TRUE(sha.AddData(message.data(), int(message.size())).ok());
    uint8_t out[32];
    EXPECT_TRUE(sha.FinalDigest(out).ok());
    return ToHex(out, 32);
}

struct Vector {
    const char* message;
    const char* digest;
};

// FIPS 180-2 examples plus messages around the 55/56/64-byte padding edges
// (digests from an independent implementation).
const Vector kVectors[] = {
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"a", "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb"},
};

TEST(CshaTest, KnownAnswers) {
    for (const Vector& v : kVectors) EXPECT_EQ(Digest(v.message), v.digest) << v.message;
}

TEST(CshaTest, MillionAInOddPieces) {
    const std::string block(1000, 'a');
    CSHA sha;
    // Pieces of 1, 63, 64, 65 and larger, so every buffering path is taken.
    const int pieces[] = {1, 63, 64, 65, 1000 - 193};
    for (int round = 0; round < 1000; ++round) {
        int off = 0;
        for (int n : pieces) {
            ASSERT_TRUE(sha.AddData(block.data() + off, n).ok());
            off += n;
        }
        ASSERT_EQ(off, 1000);
    }
    uint8_t out[32];
    ASSERT_TRUE(sha.FinalDigest(out).ok());
    EXPECT_EQ(ToHex(out, 32), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(CshaTest, PaddingBoundaries) {
    // 55 bytes fit the length in one block, 56 need a second one.
    EXPECT_EQ(Digest(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Digest(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(Digest(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(CshaTest, AddDataRefusesNonPositiveLength) {
    const char* kText = "FileCrypt ERROR: in CSHA::AddData(), Data Length should be > 0!";
    const int lengths[] = {0, -1, -1000};
    for (int len : lengths) {
        CSHA sha;
        kq::Status st = sha.AddData("x", len);
        EXPECT_FALSE(st.ok());
        EXPECT_EQ(st.message(), kText) << len;
    }
}

TEST(CshaTest, EmptyMessageIsRefused) {
    CSHA sha;
    uint8_t out[32];
    kq::Status st = sha.FinalDigest(out);
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(st.message(), "FileCrypt ERROR: in CSHA::FinalDigest(), No data Added before call!");
    // A refused zero-length add does not count as data either.
    EXPECT_FALSE(sha.AddData("abc", 0).ok());
    EXPECT_FALSE(sha.FinalDigest(out).ok());
}

TEST(CshaTest, StateResetsAfterFinalDigest) {
    CSHA sha;
    uint8_t first[32], second[32];
    ASSERT_TRUE(sha.AddData("abc", 3).ok());
    ASSERT_TRUE(sha.FinalDigest(first).ok());
    // Nothing added since the digest: refused like a fresh object.
    EXPECT_FALSE(sha.FinalDigest(second).ok());
    ASSERT_TRUE(sha.AddData("abc", 3).ok());
    ASSERT_TRUE(sha.FinalDigest(second).ok());
    EXPECT_EQ(ToHex(first, 32), ToHex(second, 32));
}

}  // namespace
