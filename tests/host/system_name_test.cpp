#include "checks/system_name.h"

#include <gtest/gtest.h>

namespace {

using kq::kPlatformNt;
using kq::kPlatformWin32s;
using kq::kPlatformWindows;
using kq::OsVersion;

struct NameCase {
    uint32_t platform, major, minor, build;
    const char* name;
};

TEST(SystemNameTest, EveryRowOfTheTable) {
    const NameCase cases[] = {
        // 98 and 98 SE split at build 2183, read from the low 16 bits only.
        {kPlatformWindows, 4, 10, 1998, "98"},
        {kPlatformWindows, 4, 10, 2182, "98"},
        {kPlatformWindows, 4, 10, 2183, "98SE"},
        {kPlatformWindows, 4, 10, 2222, "98SE"},
        {kPlatformWindows, 4, 10, 0x040A07CE, "98"},    // 4.10.1998 as the 95 family reports it
        {kPlatformWindows, 4, 10, 0x040A08AE, "98SE"},  // 4.10.2222
        {kPlatformWindows, 4, 10, 0x00010000, "98"},    // low word 0
        {kPlatformNt, 4, 10, 2183, "98SE"},             // the 98 rows do not look at the platform
        {kPlatformWindows, 4, 90, 3000, "ME"},
        {kPlatformNt, 4, 90, 0, "ME"},
        {kPlatformNt, 4, 0, 1381, "NT4"},
        {kPlatformWindows, 4, 0, 950, "NT4"},  // 95 shares 4.0 and is named the same
        {kPlatformWin32s, 4, 0, 0, "NT4"},
        {kPlatformNt, 5, 0, 2195, "2000"},
        {kPlatformWindows, 5, 0, 0, "2000"},
        {kPlatformNt, 5, 1, 2600, "XP"},
        {kPlatformWindows, 5, 1, 2600, ""},
        {kPlatformNt, 5, 2, 3790, "NET"},
        {kPlatformWin32s, 5, 2, 3790, ""},
        // Outside the list.
        {kPlatformNt, 6, 0, 6000, ""},
        {kPlatformNt, 6, 1, 7601, ""},
        {kPlatformNt, 10, 0, 19045, ""},
        {kPlatformNt, 5, 3, 0, ""},
        {kPlatformNt, 3, 51, 1057, ""},
        {kPlatformWindows, 4, 1, 0, ""},
        {kPlatformWin32s, 3, 10, 0, ""},
        {kPlatformNt, 0, 0, 0, ""},
        {7, 5, 1, 2600, ""},
    };
    for (const NameCase& c : cases) {
        OsVersion v;
        v.platformId = c.platform;
        v.major = c.major;
        v.minor = c.minor;
        v.build = c.build;
        EXPECT_STREQ(kq::SystemName(v), c.name) << c.platform << " " << c.major << "." << c.minor << "." << c.build;
    }
}

TEST(SystemNameTest, ServicePackTextDoesNotChangeTheName) {
    OsVersion v;
    v.platformId = kPlatformWindows;
    v.major = 4;
    v.minor = 10;
    v.build = 1998;
    v.csdVersion = " A ";
    EXPECT_STREQ(kq::SystemName(v), "98");
}

const char* const kNames[] = {"98", "98SE", "ME", "NT4", "2000", "XP", "NET"};

struct MaskCase {
    int32_t mask;
    // Whether the mask applies to each of kNames, then to "" and to an
    // unknown name.
    bool applies[9];
};

// Checks `applies` (a mask rule) against every row of `cases`.
template <size_t N>
void ExpectMaskRows(bool (*applies)(int32_t, const char*), const MaskCase (&cases)[N]) {
    for (const MaskCase& c : cases) {
        for (int i = 0; i < 7; ++i) EXPECT_EQ(applies(c.mask, kNames[i]), c.applies[i]) << c.mask << " " << kNames[i];
        EXPECT_EQ(applies(c.mask, ""), c.applies[7]) << c.mask << " empty";
        EXPECT_EQ(applies(c.mask, "Vista"), c.applies[8]) << c.mask << " unknown";
    }
}

TEST(FileMaskTest, BitsAndTheAllValues) {
    const MaskCase cases[] = {
        {0, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {255, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {1, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {2, {1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {4, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {8, {0, 0, 1, 0, 0, 0, 0, 0, 0}},
        {16, {0, 0, 0, 1, 0, 0, 0, 0, 0}},
        {32, {0, 0, 0, 0, 1, 0, 0, 0, 0}},
        {64, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
        {128, {0, 0, 0, 0, 0, 0, 1, 0, 0}},
        {96, {0, 0, 0, 0, 1, 1, 0, 0, 0}},
        {254, {1, 1, 1, 1, 1, 1, 1, 0, 0}},
        {3, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {256, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {256 + 64, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
        {-1, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {-2, {1, 1, 1, 1, 1, 1, 1, 0, 0}},
    };
    ExpectMaskRows(kq::FileMaskApplies, cases);
    EXPECT_TRUE(kq::FileMaskApplies(0, nullptr));
    EXPECT_FALSE(kq::FileMaskApplies(2, nullptr));
    EXPECT_FALSE(kq::FileMaskApplies(64, "xp"));  // names are exact
}

TEST(ProgramMaskTest, BitsInReverseOrderAndUnlistedSystemsAlwaysRun) {
    const MaskCase cases[] = {
        {0, {0, 0, 0, 0, 0, 0, 0, 1, 1}},
        {64, {1, 0, 0, 0, 0, 0, 0, 1, 1}},
        {32, {0, 1, 0, 0, 0, 0, 0, 1, 1}},
        {16, {0, 0, 1, 0, 0, 0, 0, 1, 1}},
        {8, {0, 0, 0, 1, 0, 0, 0, 1, 1}},
        {4, {0, 0, 0, 0, 1, 0, 0, 1, 1}},
        {2, {0, 0, 0, 0, 0, 1, 0, 1, 1}},
        {1, {0, 0, 0, 0, 0, 0, 1, 1, 1}},
        {127, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {6, {0, 0, 0, 0, 1, 1, 0, 1, 1}},
        {128, {0, 0, 0, 0, 0, 0, 0, 1, 1}},
        {255, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {-1, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
    };
    ExpectMaskRows(kq::ProgramMaskApplies, cases);
    EXPECT_TRUE(kq::ProgramMaskApplies(0, nullptr));
}

TEST(MasksTest, SystemNamesFromTheTableFeedTheMasks) {
    OsVersion xp;
    xp.platformId = kPlatformNt;
    xp.major = 5;
    xp.minor = 1;
    xp.build = 2600;
    EXPECT_TRUE(kq::FileMaskApplies(64, kq::SystemName(xp)));
    EXPECT_FALSE(kq::FileMaskApplies(128, kq::SystemName(xp)));
    EXPECT_TRUE(kq::ProgramMaskApplies(2, kq::SystemName(xp)));
    EXPECT_FALSE(kq::ProgramMaskApplies(1, kq::SystemName(xp)));
    OsVersion win7 = xp;
    win7.major = 6;
    EXPECT_FALSE(kq::FileMaskApplies(64, kq::SystemName(win7)));
    EXPECT_TRUE(kq::ProgramMaskApplies(0, kq::SystemName(win7)));
}

}  // namespace
