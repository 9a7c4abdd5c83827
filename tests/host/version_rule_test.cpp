#include "steps/version_rule.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct ReduceCase {
    const char* text;
    int32_t major, minor, build, revision;
};

TEST(ReduceVersionTextTest, FourPartsSeparatedByDotsOrCommas) {
    const ReduceCase cases[] = {
        {"5, 1, 2600", 5, 1, 2600, 0},
        {"5, 1, 2600, 0", 5, 1, 2600, 0},
        {"5,1,2600,7", 5, 1, 2600, 7},
        {"(null)", 0, 0, 0, 0},
        {"", 0, 0, 0, 0},
        {"6.00.2900.5512 (xpsp.080413-2105)", 6, 0, 2900, 5512},
        {"6.1.7601.17514", 6, 1, 7601, 17514},
        {"1.2.3.4.5", 1, 2, 3, 4},
        {"5.10", 5, 10, 0, 0},
        {"5.01", 5, 1, 0, 0},
        {"5.", 5, 0, 0, 0},
        {".5", 0, 5, 0, 0},
        {"  7.3", 7, 3, 0, 0},
        {"+7.3", 7, 3, 0, 0},
        {"-1.5", -1, 5, 0, 0},
        {"v5.1", 0, 1, 0, 0},
        {"5 .1", 5, 1, 0, 0},
        {"5.1a.3", 5, 1, 3, 0},
        {"4294967296.4294967296", 2147483647, 2147483647, 0, 0},
        {"0x10.1", 0, 1, 0, 0},
        {"2.,3", 2, 0, 3, 0},
    };
    for (const ReduceCase& c : cases) {
        kq::VersionNumber n = kq::ReduceVersionText(c.text);
        EXPECT_EQ(std::tie(n.major, n.minor, n.build, n.revision), std::tie(c.major, c.minor, c.build, c.revision))
            << c.text;
    }
    kq::VersionNumber none = kq::ReduceVersionText(nullptr);
    EXPECT_EQ(none.major + none.minor + none.build + none.revision, 0);
}

struct RuleCase {
    bool packagedPresent;
    const char* packaged;
    const char* installed;
    bool kept;
};

TEST(InstalledFileKeptTest, OnlyAHigherPresentPackagedVersionReplacesTheInstalledFile) {
    const RuleCase cases[] = {
        {true, "6.0", "5.0", false},
        {true, "5.0", "6.0", true},  // never downgrade
        {true, "5.0", "5.0", true},  // equal never copies
        {true, "5, 1, 2600", "5, 2, 3790", true},
        {true, "5, 2, 3790", "5, 1, 2600", false},
        {true, "1.2.3.0", "1.2.4.0", true},
        {true, "1.2.4.0", "1.2.3.0", false},
        {true, "1.2.3", "1.2.3.1", true},
        {true, "1.2.3.2", "1.2.3.1", false},
        {true, "5.10", "5.9", false},
        {true, "5.1", "5.01", true},
        {true, "1.0", "(null)", false},
        {true, "(null)", "1.0", true},
        {true, "(null)", "(null)", true},
        {true, "2147483647.0", "2147483647.0", true},
        // A packaged file that is not there is a failed copy, never a
        // version that is not newer.
        {false, "(null)", "1.0", false},
        {false, "(null)", "(null)", false},
    };
    for (const RuleCase& c : cases)
        EXPECT_EQ(kq::InstalledFileKept(c.packagedPresent, c.packaged, c.installed), c.kept)
            << c.packagedPresent << " " << c.packaged << " vs " << c.installed;
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
