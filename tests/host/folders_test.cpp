#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/folders.h"

namespace kq {
namespace {

TEST(Folders, TrailingBackslash) {
    const struct { const char* path; const char* expected; } cases[] = {
        {"C:\\TEMP", "C:\\TEMP\\"}, {"C:\\TEMP\\", "C:\\TEMP\\"}, {"", "\\"}, {"\\", "\\"}, {"C:", "C:\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithTrailingBackslash(c.path), c.expected) << c.path;
}

TEST(Folders, WithoutTrailingBackslash) {
    const struct { const char* path; const char* expected; } cases[] = {
        {"C:\\Docs\\", "C:\\Docs"}, {"C:\\Docs", "C:\\Docs"}, {"C:\\", "C:\\"}, {"\\", "\\"},
        {"", ""},                    {"C:\\Docs\\\\", "C:\\Docs\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithoutTrailingBackslash(c.path), c.expected) << c.path;
}

TEST(Folders, VolumeIsTheFirstTwoCharacters) {
    EXPECT_EQ(VolumeOf("C:\\WINDOWS"), "C:");
    EXPECT_EQ(VolumeOf("D:"), "D:");
    EXPECT_EQ(VolumeOf("C"), "C");
    EXPECT_EQ(VolumeOf(""), "");
}

TEST(Folders, WorkFolderName) {
    const struct { int h, m, s; uint64_t secret; const char* expected; } cases[] = {
        {14, 23, 5, 0x0123456789abcdefull, "kq142305-0123456789abcdef"},
        {0, 0, 0, 0, "kq000000-0000000000000000"},
        {23, 59, 59, ~0ull, "kq235959-ffffffffffffffff"},
        {9, 5, 1, 0xa00000001ull, "kq090501-0000000a00000001"},
        {-1, 60, 1000, 0x8000000000000000ull, "kq005959-8000000000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(WorkFolderName(c.h, c.m, c.s, c.secret), c.expected);
}

// Only what WorkFolderName and the suffixes after it make is taken for a
// working folder another run may have left.
TEST(Folders, IsWorkFolderName) {
    const struct {
        const char* name;
        bool is;
    } cases[] = {
        {"kq142305-0123456789abcdef", true},   {"kq142305-0123456789abcdef_12", true},
        {"kq142305-0123456789abcdef_", false}, {"kq142305-0123456789abcdef_1a", false},
        {"kq142305-0123456789ABCDEF", false},  {"kq142305-0123456789abcde", false},
        {"kq14230a-0123456789abcdef", false},  {"kq142305_0123456789abcdef", false},
        {"kx142305-0123456789abcdef", false},  {"kq142305-0123456789abcdef.lck", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWorkFolderName(c.name), c.is) << c.name;
}

TEST(Folders, NewFolderNameSkipsTakenNames) {
    const struct {
        std::vector<std::string> taken;
        std::string failing;  // creating this name fails outright
        const char* expected;
    } cases[] = {
        {{}, "", "kq142305"},
        {{"kq142305"}, "", "kq142305_1"},
        {{"kq142305", "kq142305_1", "kq142305_2"}, "", "kq142305_3"},
        {{"kq142305_1"}, "", "kq142305"},  // only the names tried in order matter
        {{}, "kq142305", ""},               // a real failure is not retried under another name
        {{"kq142305"}, "kq142305_1", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> tried;
        std::string made = MakeNewFolderName("kq142305", [&](const std::string& name) {
            tried.push_back(name);
            if (name == c.failing) return NewFolderResult::Failed;
            for (const std::string& t : c.taken)
                if (t == name) return NewFolderResult::Taken;
            return NewFolderResult::Created;
        });
        EXPECT_EQ(made, c.expected) << c.taken.size();
        EXPECT_EQ(tried.back(), made.empty() ? c.failing : made);
    }
    int attempts = 0;
    auto allTaken = [&](const std::string&) {
        ++attempts;
        return NewFolderResult::Taken;
    };
    EXPECT_EQ(MakeNewFolderName("kq000000", allTaken), "");
    EXPECT_EQ(attempts, kMaxWorkFolderAttempts) << "every name taken ends the search";
}

TEST(Folders, ThemeTargetDropsEveryMarker) {
    const struct { const char* theme; const char* name; const char* expected; } cases[] = {
        {"C:\\pkg\\theme\\", "^!logo.bmp", "C:\\pkg\\theme\\logo.bmp"},
        {"C:\\pkg\\theme\\", "^!a^!b.txt", "C:\\pkg\\theme\\ab.txt"},
        {"C:\\pkg\\theme\\", "^!", "C:\\pkg\\theme\\"},
        {"C:\\pkg\\theme\\", "^^!!x", "C:\\pkg\\theme\\^!x"},  // one pass only
        {"C:\\^!pkg\\theme\\", "^!x", "C:\\pkg\\theme\\x"},    // the folder's own marker goes too
        {"C:\\pkg\\theme\\", "plain.txt", "C:\\pkg\\theme\\plain.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(ThemeTargetPath(c.theme, c.name), c.expected) << c.name;
}

TEST(Folders, ShellFolderTableChoosesTheProfile) {
    // Every row fills a folder of its own.
    for (size_t i = 0; i < 12; ++i)
        for (size_t j = i + 1; j < 12; ++j) EXPECT_FALSE(kShellFolders[i].member == kShellFolders[j].member) << i << "," << j;

    // Eight folders have an all-users variant; shared documents, send-to,
    // fonts and personal are the same for both.
    int differing = 0;
    for (const ShellFolderRow& row : kShellFolders) differing += ShellFolderId(row, true) != ShellFolderId(row, false);
    EXPECT_EQ(differing, 8);
    EXPECT_TRUE(kShellFolders[0].member == &FolderValues::favorites);
    EXPECT_EQ(ShellFolderId(kShellFolders[0], true), 31);  // common favorites
    EXPECT_EQ(ShellFolderId(kShellFolders[0], false), 6);  // favorites
}

}  // namespace
}  // namespace kq
