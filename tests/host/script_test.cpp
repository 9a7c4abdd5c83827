#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "run/script.h"

namespace kq {
namespace {

// Records the buffer size of every read, answering from an INI text.
class RecordingReader : public ProfileReader {
public:
    explicit RecordingReader(const std::string& text) : m_ini(text) {}
    std::string Read(const char* section, const char* key, size_t bufferSize) const override {
        sizes.push_back(bufferSize);
        return m_ini.Read(section, key, bufferSize);
    }
    mutable std::vector<size_t> sizes;

private:
    IniText m_ini;
};

TEST(Script, ValuesAndShortsUseTheirBufferSizes) {
    RecordingReader reader("[S]\r\nlong=" + std::string(300, 'v') + "\r\nTOTAL=2\r\nA1=x\r\n");
    Script script(reader);
    EXPECT_EQ(script.Value("S", "long"), std::string(254, 'v'));
    EXPECT_EQ(script.Short("S", "long"), std::string(99, 'v'));
    EXPECT_EQ(script.Total("S"), 2);
    EXPECT_EQ(script.Item("S", 'A', 1), "x");
    EXPECT_EQ(script.Item("S", 'A', 1, Script::kShortSize), "x");
    EXPECT_EQ(reader.sizes, (std::vector<size_t>{255, 100, 100, 255, 100}));
}

TEST(Script, TotalReadsLeadingDigitsAndNeverGoesNegative) {
    const struct { const char* line; int expected; } cases[] = {
        {"TOTAL=3", 3},         {"TOTAL=3 items", 3},  {"TOTAL= 12", 12}, {"TOTAL=", 0},
        {"TOTAL=abc", 0},       {"TOTAL=-4", 0},       {"TOTAL=0", 0},    {"OTHER=5", 0},
        {"TOTAL=10000", Script::kMaxListItems}, {"TOTAL=10001", Script::kMaxListItems},
        {"TOTAL=99999999999", Script::kMaxListItems},
    };
    for (const auto& c : cases) {
        IniText ini(std::string("[LIST]\r\n") + c.line + "\r\n");
        EXPECT_EQ(Script(ini).Total("LIST"), c.expected) << c.line;
    }
    IniText pages("[DIALOGLIST]\r\nTOTAL=1\r\nTOTAL1=7\r\n");
    EXPECT_EQ(Script(pages).Total("DIALOGLIST", "TOTAL1"), 7);
    EXPECT_EQ(Script(pages).Total("MISSING"), 0);
}

TEST(Script, ItemsMissingInTheMiddleReadEmpty) {
    IniText ini("[LIST]\r\nTOTAL=3\r\nA0=first\r\nB0=one\r\nA2=third\r\nB2=three\r\n");
    Script script(ini);
    ASSERT_EQ(script.Total("LIST"), 3);
    std::vector<std::string> names;
    for (int i = 0; i < script.Total("LIST"); ++i) names.push_back(script.Item("LIST", 'A', i) + "/" + script.Item("LIST", 'B', i));
    EXPECT_EQ(names, (std::vector<std::string>{"first/one", "/", "third/three"}));
}

TEST(Script, ItemKeys) {
    EXPECT_EQ(ItemKey('A', 0), "A0");
    EXPECT_EQ(ItemKey('B', 0), "B0");
    EXPECT_EQ(ItemKey('Q', 49), "Q49");
    EXPECT_EQ(ItemKey('C', 1600), "C1600");
}

TEST(Script, SwitchesCompareTheWholeValueWithCase) {
    const struct { const char* value; bool yes; bool notNo; } cases[] = {
        {"Yes", true, true},  {"yes", false, true}, {"YES", false, true}, {"Yes ", false, true},
        {"No", false, false}, {"no", false, true},  {"NO", false, true},  {"", false, true},
        {"1", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Script::IsYes(c.value), c.yes) << c.value;
        EXPECT_EQ(Script::IsNotNo(c.value), c.notNo) << c.value;
    }
}

TEST(Script, LeadingNumberFollowsTheCLibraryWithoutOverflow) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"255", 255},
        {"255abc", 255},
        {"0255", 255},
        {"  \t255", 255},
        {"+255", 255},
        {"-255", -255},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+-1", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"99999999999999999999", INT_MAX},
        {"1 2", 1},
        {"\t\r\n42", 42},
        {"- 5", 0},
        {"0x10", 0},
        {"3,4", 3},
        {"  17px", 17},
    };
    for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.expected) << c.text;
    EXPECT_EQ(LeadingNumber(static_cast<const char*>(nullptr)), 0);
}

}  // namespace
}  // namespace kq
