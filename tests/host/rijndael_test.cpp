#include "crypt/rijndael.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypt_test_util.h"

using kq::CRijndael;

namespace {

using kqtest::Hex;
using kqtest::ToHex;

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// FIPS-197 appendices B and C (AES), and the published Rijndael vectors for
// 192- and 256-bit blocks (key and text prefixes of one sequence).
const Vector kVectors[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
     "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "00112233445566778899aabbccddeeff",
     "8ea2b7ca516745bfeafc49904b496089"},
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e03707344a4093822299f31d",
     "b24d275489e82bb8f7375e0d5fcdb1f481757c538b65148a"},
    {"2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da5", "3243f6a8885a308d313198a2e03707344a4093822299f31d",
     "725ae43b5f3161de806a7c93e0bca93c967ec1ae1b71e1cf"},
    {"2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d", "0ebacf199e3315c2e34b24fcc7c46ef4388aa475d66c194c"},
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19"},
    {"2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da5",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "5d7101727bb25781bf6715b0e6955282b9610e23a43c2eb062699f0ebf5887b2"},
    {"2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
};

TEST(RijndaelTest, KnownAnswersBothDirections) {
    for (const Vector& v : kVectors) {
        const std::vector<uint8_t> key = Hex(v.key), plain = Hex(v.plain);
        CRijndael r;
        ASSERT_TRUE(r.Init(key.data(), int(key.size()), int(plain.size())).ok());
        std::vector<uint8_t> out(plain.size());
        r.EncryptBlock(plain.data(), out.data());
        EXPECT_EQ(ToHex(out), v.cipher) << v.key << " / " << v.plain;
        const std::vector<uint8_t> cipher = Hex(v.cipher);
        r.DecryptBlock(cipher.data(), out.data());
        EXPECT_EQ(ToHex(out), v.plain) << v.key << " / " << v.cipher;
    }
}

TEST(RijndaelTest, InPlaceBlocks) {
    const std::vector<uint8_t> key = Hex("000102030405060708090a0b0c0d0e0f");
    std::vector<uint8_t> block = Hex("00112233445566778899aabbccddeeff");
    CRijndael r;
    ASSERT_TRUE(r.Init(key.data(), 16, 16).ok());
    r.EncryptBlock(block.data(), block.data());
    EXPECT_EQ(ToHex(block), "69c4e0d86a7b0430d8cdb78070b4c55a");
    r.DecryptBlock(block.data(), block.data());
    EXPECT_EQ(ToHex(block), "00112233445566778899aabbccddeeff");
}

TEST(RijndaelTest, RoundsFollowTheLargerSize) {
    struct Row {
        int key, block, rounds;
    };
    const Row rows[] = {{16, 16, 10}, {24, 16, 12}, {32, 16, 14}, {16, 24, 12}, {24, 24, 12},
                        {32, 24, 14}, {16, 32, 14}, {24, 32, 14}, {32, 32, 14}};
    const std::vector<uint8_t> key(32, 7);
    for (const Row& row : rows) {
        CRijndael r;
        ASSERT_TRUE(r.Init(key.data(), row.key, row.block).ok());
        EXPECT_EQ(r.Rounds(), row.rounds) << row.key << "/" << row.block;
        EXPECT_EQ(r.BlockSize(), row.block);
    }
}

TEST(RijndaelTest, RefusesOtherSizes) {
    const std::vector<uint8_t> key(40, 1);
    struct Row {
        int key, block;
        const char* text;
    };
    const Row rows[] = {{0, 16, "Illegal Key Length!"},  {15, 16, "Illegal Key Length!"},
                        {20, 16, "Illegal Key Length!"}, {40, 16, "Illegal Key Length!"},
                        {-16, 16, "Illegal Key Length!"}, {16, 0, "Illegal Block Size!"},
                        {16, 8, "Illegal Block Size!"},  {16, 20, "Illegal Block Size!"},
                        {16, 64, "Illegal Block Size!"}};
    for (const Row& row : rows) {
        CRijndael r;
        kq::Status st = r.Init(key.data(), row.key, row.block);
        EXPECT_FALSE(st.ok());
        EXPECT_EQ(st.message(), row.text) << row.key << "/" << row.block;
    }
}

}  // namespace
