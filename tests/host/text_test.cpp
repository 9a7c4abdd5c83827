// The shared text rules: ASCII-only case folding and a folder's trailing
// backslash (WithTrailingBackslash and its inverse are in folders_test).
#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

#include "base/string_set.h"

namespace kq {
namespace {

TEST(Text, CaseFoldingIsAsciiOnly) {
    struct Case {
        const char* a;
        const char* b;
        bool equal, endsWith, contains;
    };
    const Case cases[] = {
        {"Notes.DLL", "notes.dll", true, true, true},
        {"readme.RTF.txt", ".rtf", false, false, true},
        {"COM1", "com1", true, true, true},
        {"\xC9t\xE9", "\xE9t\xE9", false, false, false},  // accented letters are not folded
        {"a", "", false, true, true},
        {"", "a", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " " << c.b;
        EXPECT_EQ(EndsWithIgnoreCase(c.a, c.b), c.endsWith) << c.a << " " << c.b;
        EXPECT_EQ(ContainsIgnoreCase(c.a, c.b), c.contains) << c.a << " " << c.b;
    }
    EXPECT_EQ(AsciiLower("Notes\xC9.TXT"), "notes\xC9.txt");
}

// Every string inserted is found; of as many others, hardly any is.
TEST(Text, HashedStringSetFindsWhatWasInserted) {
    HashedStringSet set;
    EXPECT_FALSE(set.Contains(""));
    auto path = [](int i) { return "c:\\program files\\product\\file" + std::to_string(i) + ".txt"; };
    for (int i = 0; i < 20000; ++i) set.Insert(path(i));
    set.Insert(path(7));
    for (int i = 0; i < 20000; ++i) ASSERT_TRUE(set.Contains(path(i))) << i;
    int others = 0;
    for (int i = 20000; i < 40000; ++i) others += set.Contains(path(i)) ? 1 : 0;
    EXPECT_LE(others, 20) << others;
    EXPECT_FALSE(set.Contains(""));
}

TEST(Text, CompactStringSetHoldsEachStringOnce) {
    CompactStringSet set;
    const std::string huge(70000, 'x');  // more than a block of text
    const struct {
        std::string text;
        bool inserted;
    } rows[] = {{"c:\\a\\one.txt", true},
                {"", true},
                {"c:\\a\\one.txt", false},
                {"C:\\A\\ONE.TXT", true},
                {huge, true},
                {"c:\\a\\one.tx", true},
                {huge, false},
                {std::string("a\0b", 3), true},
                {"a", true},
                {"c:\\b\\one.txt", true},
                {"c:\\a\\", true},
                {"c:\\a", true}};
    for (const auto& row : rows) EXPECT_EQ(set.Insert(row.text), row.inserted) << row.text.substr(0, 20);
    EXPECT_FALSE(set.Contains(std::string(69999, 'x')));
    // Enough to fill many blocks and grow the table many times over.
    for (int i = 0; i < 20000; ++i) set.Insert("c:\\program files\\product\\file" + std::to_string(i) + ".txt");
    for (const auto& row : rows) EXPECT_TRUE(set.Contains(row.text)) << row.text.substr(0, 20);
    EXPECT_TRUE(set.Contains("c:\\program files\\product\\file19999.txt"));
    EXPECT_FALSE(set.Contains("c:\\program files\\product\\file20000.txt"));
    EXPECT_EQ(set.Size(), 20010u);
    // A folder shared by many strings is kept once.
    EXPECT_LT(set.Bytes(), 20000u * 45);
    set.Clear();
    EXPECT_FALSE(set.Contains(""));
}

}  // namespace
}  // namespace kq
