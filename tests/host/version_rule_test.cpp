#include "engine/version_rule.h"

#include <gtest/gtest.h>

namespace {

struct ReduceCase {
    const char* text;
    int32_t major;
    int32_t minor;
};

TEST(ReduceVersionTextTest, CommasDotsAndLeadingNumber) {
    const ReduceCase cases[] = {
        {"5, 1, 2600", 5, 0},
        {"5, 1, 2600, 0", 5, 0},
        {"5,1,2600,0", 5, 1},
        {"(null)", 0, 0},
        {"", 0, 0},
        {"6.00.2900.5512 (xpsp.080413-2105)", 6, 0},
        {"6.1.7601.17514", 6, 1},
        {"5.10", 5, 10},
        {"5.9", 5, 9},
        {"5.01", 5, 1},
        {"5.", 5, 0},
        {"5", 5, 0},
        {".5", 0, 5},
        {"  7.3", 7, 3},
        {"+7.3", 7, 3},
        {"-1.5", -1, -5},
        {"-.5", 0, -5},
        {"v5.1", 0, 0},
        {"5 .1", 5, 0},
        {"5.1a.3", 5, 1},
        {"4294967296.4294967296", 2147483647, 2147483647},
        {"1e5.2", 1, 0},
        {"inf", 0, 0},
        {"nan", 0, 0},
        {"0x10.1", 0, 0},
        {"2.,3", 2, 0},
    };
    for (const ReduceCase& c : cases) {
        kq::VersionNumber n = kq::ReduceVersionText(c.text);
        EXPECT_EQ(n.major, c.major) << c.text;
        EXPECT_EQ(n.minor, c.minor) << c.text;
    }
    kq::VersionNumber none = kq::ReduceVersionText(nullptr);
    EXPECT_EQ(none.major, 0);
    EXPECT_EQ(none.minor, 0);
}

struct RuleCase {
    const char* packaged;
    const char* installed;
    bool copy;
};

TEST(PackagedVersionWinsTest, OnlyAHigherPackagedVersionIsCopied) {
    const RuleCase cases[] = {
        {"6.0", "5.0", true},
        {"5.0", "6.0", false},  // never downgrade
        {"5.0", "5.0", false},  // equal never copies
        {"5, 1, 2600", "5, 2, 3790", false},  // both read 5
        {"5.2", "5.1", true},
        {"5.10", "5.9", true},
        {"5.9", "5.10", false},
        {"5.1", "5.01", false},
        {"1.0", "(null)", true},
        {"(null)", "1.0", false},
        {"(null)", "(null)", false},
        {"", "(null)", false},
        {"0.1", "(null)", true},
        {"2147483647.0", "2147483647.0", false},
    };
    for (const RuleCase& c : cases) EXPECT_EQ(kq::PackagedVersionWins(c.packaged, c.installed), c.copy) << c.packaged << " vs " << c.installed;
}

struct AppliesCase {
    const char* path;
    bool applies;
};

TEST(VersionRuleAppliesTest, DllAndOcxByExtension) {
    const AppliesCase cases[] = {
        {"C:\\Windows\\System32\\mfc42.dll", true},
        {"C:\\x\\CONTROL.OCX", true},
        {"a.Dll", true},
        {"C:\\x\\readme.dll.txt", false},
        {"C:\\x\\a.dll2", false},
        {"C:\\x.dll\\a.exe", false},
        {"dll", false},
        {".dll", true},
        {"", false},
    };
    for (const AppliesCase& c : cases) EXPECT_EQ(kq::VersionRuleApplies(c.path), c.applies) << c.path;
    EXPECT_FALSE(kq::VersionRuleApplies(nullptr));
}

}  // namespace
