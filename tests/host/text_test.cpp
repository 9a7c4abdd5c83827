// The shared text rules: ASCII-only case folding and a folder's trailing
// backslash (WithTrailingBackslash and its inverse are in folders_test).
#include "base/text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kq
