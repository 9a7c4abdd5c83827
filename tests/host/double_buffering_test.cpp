#include "crypt/double_buffering.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "crypt_test_util.h"

using kq::CDoubleBuffering;

namespace {

std::string Bytes(size_t n, uint32_t seed) {
    const std::vector<uint8_t> v = kqtest::Pattern(n, seed);
    return std::string(v.begin(), v.end());
}

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

// A stream of `data`, read from its start.
File StreamOf(const std::string& data) {
    File f(std::tmpfile());
    if (f && !data.empty()) std::fwrite(data.data(), 1, data.size(), f.get());
    if (f) std::rewind(f.get());
    return f;
}

TEST(DoubleBufferingTest, InitRules) {
    struct Row {
        int size, dataLen;
        bool badStream;
        const char* text;  // null: accepted
    };
    const Row rows[] = {
        {1024, 384, false, nullptr},
        {1024, 512, false, nullptr},
        {2, 1, false, nullptr},
        {1023, 384, false, "CDoubleBuffering: m_iSize should be Even Number!"},
        {1024, 384, true, "CDoubleBuffering: Referenced File not Opened or in Bad State!"},
        // An odd size is reported before a bad stream.
        {7, 1, true, "CDoubleBuffering: m_iSize should be Even Number!"},
        {1024, 0, false, "CDoubleBuffering: Illegal Construction Data!"},
        {1024, -1, false, "CDoubleBuffering: Illegal Construction Data!"},
        {1024, 513, false, "CDoubleBuffering: Illegal Construction Data!"},
        {0, 1, false, "CDoubleBuffering: Illegal Construction Data!"},
        {-4, 1, false, "CDoubleBuffering: Illegal Construction Data!"},
    };
    for (const Row& row : rows) {
        File in = StreamOf(Bytes(100, 1));
        std::vector<char> buffer(row.size > 0 ? size_t(row.size) : 1);
        CDoubleBuffering reader;
        kq::Status st = reader.Init(row.badStream ? nullptr : in.get(), buffer.data(), row.size, row.dataLen);
        if (row.text == nullptr) {
            EXPECT_TRUE(st.ok()) << row.size << "/" << row.dataLen << ": " << st.message();
        } else {
            EXPECT_FALSE(st.ok()) << row.size << "/" << row.dataLen;
            EXPECT_EQ(st.message(), row.text);
        }
    }
}

TEST(DoubleBufferingTest, GetDataBounds) {
    struct Row {
        int len;
        int expected;  // -99: refused
    };
    // S = 64, D = 10, a 1000-byte stream.
    const Row rows[] = {{-1, 10}, {1, 1}, {32, 32}, {31, 31}, {0, -99}, {-2, -99}, {33, -99}, {1000, -99}};
    for (const Row& row : rows) {
        File in = StreamOf(Bytes(1000, 2));
        char buffer[64];
        char out[64];
        CDoubleBuffering reader;
        ASSERT_TRUE(reader.Init(in.get(), buffer, 64, 10).ok());
        int got = 77;
        kq::Status st = reader.GetData(out, row.len, &got);
        if (row.expected == -99) {
            EXPECT_FALSE(st.ok()) << row.len;
            EXPECT_EQ(st.message(), "CDoubleBuffering::GetData(): Illegal iDataLen!");
            EXPECT_EQ(got, 0);
        } else {
            EXPECT_TRUE(st.ok()) << row.len;
            EXPECT_EQ(got, row.expected) << row.len;
        }
    }
}

TEST(DoubleBufferingTest, GetDataBeforeInitIsRefused) {
    CDoubleBuffering reader;
    char out[8];
    int got = 5;
    EXPECT_FALSE(reader.GetData(out, 4, &got).ok());
    EXPECT_EQ(got, 0);
}

// Reads the whole stream with a cycle of request lengths and checks that the
// chunks are consecutive, exact, and that the end is reported as 0 from then on.
void ExpectExactCover(int size, int dataLen, size_t streamLen, const std::vector<int>& requests) {
    const std::string data = Bytes(streamLen, uint32_t(size * 31 + dataLen + streamLen));
    File in = StreamOf(data);
    std::vector<char> buffer(static_cast<size_t>(size));
    CDoubleBuffering reader;
    ASSERT_TRUE(reader.Init(in.get(), buffer.data(), size, dataLen).ok());
    std::string seen;
    std::vector<char> out(static_cast<size_t>(size / 2));
    for (size_t i = 0;; ++i) {
        const int ask = requests[i % requests.size()];
        const int want = ask == -1 ? dataLen : ask;
        int got = -5;
        ASSERT_TRUE(reader.GetData(out.data(), ask, &got).ok());
        const size_t left = data.size() - seen.size();
        ASSERT_EQ(size_t(got), left < size_t(want) ? left : size_t(want))
            << "S=" << size << " D=" << dataLen << " len=" << streamLen << " at " << seen.size();
        if (got == 0) break;
        seen.append(out.data(), size_t(got));
    }
    EXPECT_EQ(seen, data) << "S=" << size << " D=" << dataLen << " len=" << streamLen;
    int got = -5;
    ASSERT_TRUE(reader.GetData(out.data(), -1, &got).ok());
    EXPECT_EQ(got, 0);
}

TEST(DoubleBufferingTest, ChunksCoverTheStreamExactly) {
    struct Row {
        int size, dataLen;
        size_t streamLen;
    };
    const Row rows[] = {
        {1024, 384, 0},    {1024, 384, 1},    {1024, 384, 383},  {1024, 384, 384},  {1024, 384, 385},
        {1024, 384, 511},  {1024, 384, 512},  {1024, 384, 513},  {1024, 384, 768},  {1024, 384, 1024},
        {1024, 384, 1025}, {1024, 384, 1152}, {1024, 384, 5000}, {1024, 512, 4096}, {1024, 512, 4097},
        {2, 1, 0},         {2, 1, 7},         {10, 3, 100},      {10, 5, 101},      {64, 7, 1000},
    };
    for (const Row& row : rows) {
        ExpectExactCover(row.size, row.dataLen, row.streamLen, {-1});
        // Mixed request lengths, including a full half.
        ExpectExactCover(row.size, row.dataLen, row.streamLen, {1, row.size / 2, -1, 3 < row.size / 2 ? 3 : 1});
    }
}

TEST(DoubleBufferingTest, RefillsOnlyWhenARequestCrossesIntoTheOtherHalf) {
    const std::string data = Bytes(4000, 3);
    File in = StreamOf(data);
    char buffer[1024];
    char out[512];
    CDoubleBuffering reader;
    ASSERT_TRUE(reader.Init(in.get(), buffer, 1024, 384).ok());
    EXPECT_EQ(std::ftell(in.get()), 512);  // the first half, read at construction
    int got = 0;
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());  // bytes 0..383
    EXPECT_EQ(std::ftell(in.get()), 512);
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());  // 384..767 crosses into the second half
    EXPECT_EQ(std::ftell(in.get()), 1024);
    EXPECT_EQ(std::string(out, 384), data.substr(384, 384));
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());  // 768..1151 wraps to the first half
    EXPECT_EQ(std::ftell(in.get()), 1536);
    EXPECT_EQ(std::string(out, 384), data.substr(768, 384));
}

// A stream whose device fails after `left` bytes.
ssize_t FailingRead(void* cookie, char* buf, size_t size) {
    size_t& left = *static_cast<size_t*>(cookie);
    if (left == 0) return -1;
    const size_t n = size < left ? size : left;
    std::memset(buf, 'x', n);
    left -= n;
    return ssize_t(n);
}

TEST(DoubleBufferingTest, ReadErrorIsNotTakenForTheEnd) {
    size_t left = 600;
    File in(fopencookie(&left, "r", cookie_io_functions_t{FailingRead, nullptr, nullptr, nullptr}));
    ASSERT_TRUE(in);
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    char buffer[1024];
    char out[512];
    CDoubleBuffering reader;
    ASSERT_TRUE(reader.Init(in.get(), buffer, 1024, 384).ok());
    int got = 0;
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());
    EXPECT_EQ(got, 384);
    kq::Status st = reader.GetData(out, -1, &got);
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(st.message(), "CDoubleBuffering: Read Error on Referenced File!");
}

}  // namespace
