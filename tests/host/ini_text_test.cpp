// IniText against what the system's profile reader returns for the same text
// (the rows were taken from GetPrivateProfileStringA under Wine; the Win32
// compare test checks the two side by side).
#include <string>

#include <gtest/gtest.h>

#include "base/ini_text.h"

namespace kq {
namespace {

using namespace std::string_literals;

struct ReadCase {
    std::string text;
    const char* section;
    const char* key;
    size_t size;
    std::string expected;
};

const std::string kBasic =
    "[APPINFO]\r\na1=Product\r\n  a2  =  1.0  \r\na3=\"quoted\"\r\na4='single'\r\na5=\"unbal\r\na6=\"\r\n"
    "a7=\"\"\r\na8=\"a\"b\"\r\na9='x\"\r\nnoeq\r\n;comment=5\r\n=empty\r\nA1=second\r\nk=a=b\r\n"
    "my key = v\r\n[appinfo]\r\na1=dupsec\r\nz=onlyin2\r\n[ SP ]\r\nk=sp\r\n[tab]x\r\nk=tab\r\n"
    "[bad\r\nk2=bad\r\n[A]]\r\nk=bracket\r\n[]\r\nk=emptysec\r\n";

const ReadCase kCases[] = {
    {kBasic, "APPINFO", "a1", 255, "Product"},
    {kBasic, "APPINFO", "A1", 255, "Product"},  // first of two keys
    {kBasic, "  AppInfo ", " a1 ", 255, "Product"},
    {kBasic, "APPINFO", "a2", 255, "1.0"},
    {kBasic, "APPINFO", "a3", 255, "quoted"},
    {kBasic, "APPINFO", "a4", 255, "single"},
    {kBasic, "APPINFO", "a5", 255, "\"unbal"},
    {kBasic, "APPINFO", "a6", 255, "\""},
    {kBasic, "APPINFO", "a7", 255, ""},
    {kBasic, "APPINFO", "a8", 255, "a\"b"},
    {kBasic, "APPINFO", "a9", 255, "'x\""},
    {kBasic, "APPINFO", "noeq", 255, ""},
    {kBasic, "APPINFO", ";comment", 255, "5"},
    {kBasic, "APPINFO", "", 255, "empty"},
    {kBasic, "APPINFO", " ", 255, "empty"},
    {kBasic, "APPINFO", "k", 255, "a=b"},
    {kBasic, "APPINFO", "MY KEY", 255, "v"},
    {kBasic, "APPINFO", "z", 255, ""},  // only the first section of a name counts
    {kBasic, "APPINFO", "missing", 255, ""},
    {kBasic, "nosection", "a1", 255, ""},
    {kBasic, "SP", "k", 255, "sp"},
    {kBasic, "tab", "k", 255, "tab"},
    {kBasic, "tab", "k2", 255, "bad"},  // "[bad" opens no section
    {kBasic, "bad", "k2", 255, ""},
    {kBasic, "A]", "k", 255, "bracket"},
    {kBasic, "", "k", 255, ""},  // "[]" loses to the entries before any header
    {"k=pre\n[S]\nk=s\n", "", "k", 255, "pre"},
    {"k=pre\n[S]\nk=s\n", "S", "k", 255, "s"},
    // Cuts at the buffer size, and the quoted value one short of it.
    {kBasic, "APPINFO", "a1", 0, ""},
    {kBasic, "APPINFO", "a1", 1, ""},
    {kBasic, "APPINFO", "a1", 3, "Pr"},
    {kBasic, "APPINFO", "a3", 2, "q"},
    {kBasic, "APPINFO", "a3", 6, "quote"},
    {kBasic, "APPINFO", "a3", 7, "quote"},
    {kBasic, "APPINFO", "a3", 8, "quoted"},
    {kBasic, "APPINFO", "a7", 1, ""},
    // Line ends.
    {"[S]\nk=lf\n  [T]  \nk = t \n", "T", "k", 255, "t"},
    {"[S]\rk=cr\rj=2\r", "S", "j", 255, "2"},
    {"[S]\r\n\r\n\n\rk=mixed", "S", "k", 255, "mixed"},
    {"\xEF\xBB\xBF[S]\r\nk=bom\r\n", "S", "k", 255, "bom"},
    // Zero padding after the last line.
    {"[S]\r\nk=v\r\nq=\"abc\"  \0\0\0"s, "S", "q", 255, "\"abc\"  "},
    {"[S]\r\nk=v\r\nq=\"abc\"  \0\0\0"s, "S", "q", 3, "\"a"},
    {"[S]\nk=v  \0\0\0\0"s, "S", "k", 255, "v  "},
    {"[S]\nk=\"v\"\0\0\0\0\n"s, "S", "k", 255, "v"},
    {"[S]\nk=v\n\0\0[T]\nk=t\n"s, "T", "k", 255, ""},
    {"[S]\nk=v\n\0\0[T]\nk=t\n"s, "S", "k", 255, "v"},
    // Blanks are TAB..CR, SPACE and 0x1A; other control characters stay.
    {"[C]\nk=\t\x0b\x0c\x1a val \x1a\x0c\x0b\t\n", "C", "k", 255, "val"},
    {"[C]\nk=\x01val\x7f\n", "C", "k", 255, "\x01val\x7f"},
    // Only ASCII letters match without regard to case.
    {"[\xC9T\xC9]\r\nk\xE9=acc\r\n", "\xC9t\xC9", "k\xE9", 255, "acc"},
    {"[\xC9T\xC9]\r\nk\xE9=acc\r\n", "\xE9T\xE9", "k\xE9", 255, ""},
    {"[S]\r\nk=v", nullptr, "k", 255, ""},
    {"[S]\r\nk=v", "S", nullptr, 255, ""},
    {"", "S", "k", 255, ""},
};

TEST(IniText, ReadsLikeTheSystemProfileReader) {
    for (const ReadCase& c : kCases) {
        SCOPED_TRACE(std::string(c.section ? c.section : "(null)") + " / " + (c.key ? c.key : "(null)") + " / " +
                     std::to_string(c.size));
        EXPECT_EQ(IniText(c.text).Read(c.section, c.key, c.size), c.expected);
    }
}

TEST(IniText, LongValuesAreCutAtTheBuffer) {
    IniText ini("[L]\r\nk=" + std::string(300, 'x') + "\r\nk2=" + std::string(70000, 'y') + "\r\n");
    EXPECT_EQ(ini.Read("L", "k", 255), std::string(254, 'x'));
    EXPECT_EQ(ini.Read("L", "k", 100), std::string(99, 'x'));
    EXPECT_EQ(ini.Read("L", "k", 65535), std::string(300, 'x'));
    EXPECT_EQ(ini.Read("L", "k2", 65535), std::string(65534, 'y'));
    EXPECT_EQ(ini.Read("L", "k2", 100000), std::string(70000, 'y'));
}

}  // namespace
}  // namespace kq
