#include "crypt/double_buffering.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "crypt_test_util.h"

using kq::CDoubleBuffering;

namespace {

std::string Bytes(size_t n, uint32_t seed) {
    const std::vector<uint8_t> v = kqtest::Pattern(n, seed);
    return std::string(v.begin(), v.end());
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
        std::istringstream in(Bytes(100, 1));
        if (row.badStream) in.setstate(std::ios::failbit);
        std::vector<char> buffer(row.size > 0 ? size_t(row.size) : 1);
        CDoubleBuffering reader;
        kq::Status st = reader.Init(in, buffer.data(), row.size, row.dataLen);
        if (row.text == nullptr) {
            EXPECT_TRUE(st.ok()) << row.size << "/" << row.dataLen << ": " << st.message();
        } else {
            EXPECT_FALSE(st.ok()) << row.size << "/" << row.dataLen;
            EXPECT_EQ(st.message(), row.text);
        }
    }
}

TEST(DoubleBufferingTest, UnopenedFileIsBadState) {
    std::ifstream in("/nonexistent/kq/file");
    char buffer[16];
    CDoubleBuffering reader;
    kq::Status st = reader.Init(in, buffer, 16, 4);
    EXPECT_EQ(st.message(), "CDoubleBuffering: Referenced File not Opened or in Bad State!");
}

TEST(DoubleBufferingTest, GetDataBounds) {
    struct Row {
        int len;
        int expected;  // -99: refused
    };
    // S = 64, D = 10, a 1000-byte stream.
    const Row rows[] = {{-1, 10}, {1, 1}, {32, 32}, {31, 31}, {0, -99}, {-2, -99}, {33, -99}, {1000, -99}};
    for (const Row& row : rows) {
        std::istringstream in(Bytes(1000, 2));
        char buffer[64];
        char out[64];
        CDoubleBuffering reader;
        ASSERT_TRUE(reader.Init(in, buffer, 64, 10).ok());
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
    std::istringstream in(data);
    std::vector<char> buffer(static_cast<size_t>(size));
    CDoubleBuffering reader;
    ASSERT_TRUE(reader.Init(in, buffer.data(), size, dataLen).ok());
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
    std::istringstream in(data);
    char buffer[1024];
    char out[512];
    CDoubleBuffering reader;
    ASSERT_TRUE(reader.Init(in, buffer, 1024, 384).ok());
    EXPECT_EQ(in.tellg(), 512);  // the first half, read at construction
    int got = 0;
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());  // bytes 0..383
    EXPECT_EQ(in.tellg(), 512);
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());  // 384..767 crosses into the second half
    EXPECT_EQ(in.tellg(), 1024);
    EXPECT_EQ(std::string(out, 384), data.substr(384, 384));
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());  // 768..1151 wraps to the first half
    EXPECT_EQ(in.tellg(), 1536);
    EXPECT_EQ(std::string(out, 384), data.substr(768, 384));
}

// A stream whose device fails after some bytes.
class FailingBuf : public std::streambuf {
public:
    explicit FailingBuf(int goodBytes) : left_(goodBytes) {}

protected:
    int_type underflow() override {
        if (left_ <= 0) throw std::runtime_error("device error");
        --left_;
        ch_ = 'x';
        setg(&ch_, &ch_, &ch_ + 1);
        return traits_type::to_int_type(ch_);
    }

private:
    int left_;
    char ch_ = 0;
};

TEST(DoubleBufferingTest, ReadErrorIsNotTakenForTheEnd) {
    FailingBuf buf(600);
    std::istream in(&buf);
    char buffer[1024];
    char out[512];
    CDoubleBuffering reader;
    ASSERT_TRUE(reader.Init(in, buffer, 1024, 384).ok());
    int got = 0;
    ASSERT_TRUE(reader.GetData(out, -1, &got).ok());
    EXPECT_EQ(got, 384);
    kq::Status st = reader.GetData(out, -1, &got);
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(st.message(), "CDoubleBuffering: Read Error on Referenced File!");
}

}  // namespace
