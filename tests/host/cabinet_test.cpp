#include "cabinet/cabinet.h"

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

TEST(UnpackAheadTest, WithinTheBudgetOrWhenNothingIsHeld) {
    constexpr uint64_t kMB = 1u << 20;
    const struct {
        uint64_t held, next;
        bool may;
    } cases[] = {
        {0, 4 * kMB, true},
        {4 * kMB, 4 * kMB, true},  // the budget's last byte
        {4 * kMB, 4 * kMB + 1, false},
        {8 * kMB, 1, false},
        {0, 20 * kMB, true},  // alone it may exceed the budget: the copy step waits for it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kq::MayUnpackAhead(c.held, c.next, 8 * kMB), c.may) << c.held << " + " << c.next;
    }
}

TEST(CabinetResultTest, CodesAreTheStartUpsNumbers) {
    EXPECT_EQ(kq::kCabinetOk, 0);
    EXPECT_EQ(kq::kCabinetNoDecoder, 1);
    EXPECT_EQ(kq::kCabinetCannotOpen, 2);
    EXPECT_EQ(kq::kCabinetNotCabinet, 3);
    EXPECT_EQ(kq::kCabinetExtractFailed, 4);
    EXPECT_EQ(kq::kCabinetCannotRelease, 5);
}

// A failed extraction names the file and the reason; a failure inside the
// cabinet names the stored entry and the cabinet it is in.
TEST(CabinetFailureTest, MessageNamesTheFileAndTheReason) {
    using kq::CabinetFailure;
    struct Case {
        int result;
        CabinetFailure::Cause cause;
        const char* entry;
        const char* file;
        const char* reason;
    };
    const Case cases[] = {
        {kq::kCabinetNoDecoder, CabinetFailure::Cause::kNone, "", "C:\\pkg\\file1.cab",
         "the cabinet decoder cannot be started"},
        {kq::kCabinetCannotOpen, CabinetFailure::Cause::kNone, "", "C:\\pkg\\file1.cab",
         "the file is missing or cannot be opened"},
        {kq::kCabinetNotCabinet, CabinetFailure::Cause::kNone, "", "C:\\pkg\\file1.cab", "the file is no cabinet"},
        {kq::kCabinetExtractFailed, CabinetFailure::Cause::kNone, "", "C:\\pkg\\file1.cab",
         "the cabinet is damaged"},
        {kq::kCabinetExtractFailed, CabinetFailure::Cause::kDamaged, "F3_app.exe", "F3_app.exe in C:\\pkg\\file1.cab",
         "the cabinet is damaged"},
        {kq::kCabinetExtractFailed, CabinetFailure::Cause::kRefusedName, "..\\x", "..\\x in C:\\pkg\\file1.cab",
         "its stored name is not a plain file name"},
        {kq::kCabinetExtractFailed, CabinetFailure::Cause::kCannotWrite, "F0_a.txt", "F0_a.txt in C:\\pkg\\file1.cab",
         "it cannot be written to the working folder"},
    };
    for (const Case& c : cases) {
        CabinetFailure failure;
        failure.result = c.result;
        failure.cause = c.cause;
        failure.entry = c.entry;
        const std::string message = kq::CabinetFailureMessage(failure, "C:\\pkg\\file1.cab");
        EXPECT_NE(message.find(std::string("File: ") + c.file + "\r\n"), std::string::npos) << message;
        EXPECT_NE(message.find(std::string("Reason: ") + c.reason), std::string::npos) << message;
    }
}

}  // namespace
