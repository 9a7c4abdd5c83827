#include "base/safe_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
    std::string stored;
    bool safe;
    std::string name;  // what is created when safe
};

TEST(SafeLeafNameTest, KeepsOnlyTheLastComponentAndRefusesTheRest) {
    const NameCase cases[] = {
        {"F4_app.exe", true, "F4_app.exe"},
        {"sub\\dir\\file.txt", true, "file.txt"},
        {"..\\..\\evil.txt", true, "evil.txt"},
        {"C:\\evil.txt", true, "evil.txt"},
        {"C:evil.txt", true, "evil.txt"},
        {"/tmp/evil", true, "evil"},
        {"sub/../../evil", true, "evil"},
        {"\\\\server\\share\\evil.txt", true, "evil.txt"},
        {"\\\\?\\C:\\evil.txt", true, "evil.txt"},
        {"file.txt:stream", true, "stream"},
        {".hidden", true, ".hidden"},
        {"a..b", true, "a..b"},
        {"name with spaces.txt", true, "name with spaces.txt"},
        {"con.fig", false, ""},
        {"console.txt", true, "console.txt"},
        {"COM10", true, "COM10"},
        {"LPT", true, "LPT"},
        {"nullable", true, "nullable"},
        {"\xE9t\xE9.txt", true, "\xE9t\xE9.txt"},
        {std::string(255, 'n'), true, std::string(255, 'n')},
        // Refused.
        {"", false, ""},
        {"dir\\", false, ""},
        {"C:", false, ""},
        {"/", false, ""},
        {".", false, ""},
        {"..", false, ""},
        {"...", false, ""},
        {"sub\\..", false, ""},
        {" ", false, ""},
        {". .", false, ""},
        {"CON", false, ""},
        {"con", false, ""},
        {"NUL.txt", false, ""},
        {"nul.tar.gz", false, ""},
        {"con.a.b", false, ""},
        {"C:\\p\\aux.x.y", false, ""},
        {"nul .txt", false, ""},
        {"Aux", false, ""},
        {"PRN.log", false, ""},
        {"COM1", false, ""},
        {"com9.dat", false, ""},
        {"LPT1", false, ""},
        {"lpt0", false, ""},
        {"COM\xB9", false, ""},
        {"CONIN$", false, ""},
        {"conout$", false, ""},
        {"CLOCK$", false, ""},
        {"dir\\NUL", false, ""},
        {"a?b", false, ""},
        {"a*b", false, ""},
        {"a<b", false, ""},
        {"a>b", false, ""},
        {"a\"b", false, ""},
        {"a|b", false, ""},
        {"a\tb", false, ""},
        {"a\nb", false, ""},
        {std::string("a\0b", 3), false, ""},
        {std::string(256, 'n'), false, ""},
    };
    for (const NameCase& c : cases) {
        std::string name = "previous";
        EXPECT_EQ(kq::SafeLeafName(c.stored, &name), c.safe) << c.stored;
        EXPECT_EQ(name, c.name) << c.stored;
    }
}

TEST(SafeLeafNameTest, LastComponentCutsAtEverySeparatorKind) {
    EXPECT_EQ(kq::LastPathComponent("a\\b/c:d"), "d");
    EXPECT_EQ(kq::LastPathComponent("a:b\\c/d"), "d");
    EXPECT_EQ(kq::LastPathComponent("plain"), "plain");
    EXPECT_EQ(kq::LastPathComponent("end\\"), "");
    EXPECT_EQ(kq::LastPathComponent(""), "");
}

}  // namespace
