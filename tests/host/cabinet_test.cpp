#include "engine/cabinet.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* source;
    const char* path;
};

TEST(CabinetPathTest, SourceFolderAndCabinetName) {
    const PathCase cases[] = {
        {"D:\\pkg\\", "D:\\pkg\\file1.cab"},
        {"D:\\pkg", "D:\\pkg\\file1.cab"},
        {"\\\\server\\share\\", "\\\\server\\share\\file1.cab"},
        {"", "file1.cab"},
    };
    for (const PathCase& c : cases) EXPECT_EQ(kq::CabinetPath(c.source), c.path) << c.source;
}

struct AttributeCase {
    int stored;
    uint32_t restored;
};

TEST(RestoredAttributesTest, KeepsReadOnlyHiddenSystemArchive) {
    const AttributeCase cases[] = {
        {0x00, 0x00}, {0x01, 0x01}, {0x02, 0x02}, {0x04, 0x04}, {0x20, 0x20},
        {0x27, 0x27},
        {0x40, 0x00},   // executable
        {0x80, 0x00},   // name is UTF-8
        {0x10, 0x00},   // directory: never restored on a file
        {0x08, 0x00},   // volume label
        {0xFF, 0x27},
        {-1, 0x27},
    };
    for (const AttributeCase& c : cases) EXPECT_EQ(kq::RestoredAttributes(c.stored), c.restored) << c.stored;
}

TEST(CabinetResultTest, CodesAreTheStartUpsNumbers) {
    EXPECT_EQ(kq::kCabinetOk, 0);
    EXPECT_EQ(kq::kCabinetNoDecoder, 1);
    EXPECT_EQ(kq::kCabinetCannotOpen, 2);
    EXPECT_EQ(kq::kCabinetNotCabinet, 3);
    EXPECT_EQ(kq::kCabinetExtractFailed, 4);
    EXPECT_EQ(kq::kCabinetCannotRelease, 5);
}

}  // namespace
