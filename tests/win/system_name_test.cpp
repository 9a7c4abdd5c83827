// The system name of the running Windows comes from the same version record
// that the platform reports, read once.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "checks/system_name_win.h"

namespace {

TEST(RunningSystemNameTest, MatchesThePlatformsVersion) {
    const kq::OsVersion& version = kq::CurrentOsVersion();
    DWORD packed = GetVersion();
    EXPECT_EQ(version.major, DWORD(LOBYTE(LOWORD(packed))));
    EXPECT_EQ(version.minor, DWORD(HIBYTE(LOWORD(packed))));
    EXPECT_EQ(version.platformId, (packed & 0x80000000u) ? kq::kPlatformWindows : kq::kPlatformNt);
    if (version.platformId == kq::kPlatformNt) {
        EXPECT_EQ(version.build & 0xFFFF, DWORD(HIWORD(packed)));
    }

    EXPECT_STREQ(kq::SystemName(), kq::SystemName(version));
    // Read once: the same record every time.
    EXPECT_EQ(&kq::CurrentOsVersion(), &version);
    const char* listed[] = {"98", "98SE", "ME", "NT4", "2000", "XP", "NET", ""};
    bool known = false;
    for (const char* name : listed) known = known || std::strcmp(kq::SystemName(), name) == 0;
    EXPECT_TRUE(known) << kq::SystemName();
}

}  // namespace
