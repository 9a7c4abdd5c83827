#include "checks/requirements.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ini_text.h"

namespace {

using kq::IniText;
using kq::OsVersion;
using kq::Requirement;

OsVersion Os(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build) {
    OsVersion v;
    v.platformId = platform;
    v.major = major;
    v.minor = minor;
    v.build = build;
    return v;
}

const OsVersion kWin98 = Os(kq::kPlatformWindows, 4, 10, 1998);
const OsVersion kWin98Se = Os(kq::kPlatformWindows, 4, 10, 2222);
const OsVersion kWin98Boundary = Os(kq::kPlatformWindows, 4, 10, 0x040A0887);  // build 2183
const OsVersion kWinMe = Os(kq::kPlatformWindows, 4, 90, 3000);
const OsVersion kNt4 = Os(kq::kPlatformNt, 4, 0, 1381);
const OsVersion kWin2k = Os(kq::kPlatformNt, 5, 0, 2195);
const OsVersion kWinXp = Os(kq::kPlatformNt, 5, 1, 2600);
const OsVersion kWin2003 = Os(kq::kPlatformNt, 5, 2, 3790);
const OsVersion kVista = Os(kq::kPlatformNt, 6, 0, 6000);

// A machine with the given facts; counts how often the processor is asked.
class FakeMachine : public kq::MachineFacts {
public:
    OsVersion version = kWinXp;
    uint64_t memory = 512ull << 20;
    int width = 1024, height = 768, bits = 24;
    bool identified = true;
    std::string processor = "INTEL Pentium III Katmai";
    mutable int processorQueries = 0;

    OsVersion Version() const override { return version; }
    uint64_t TotalPhysicalMemory() const override { return memory; }
    int ScreenWidth() const override { return width; }
    int ScreenHeight() const override { return height; }
    int BitsPerPixel() const override { return bits; }
    bool ProcessorName(std::string& name) const override {
        ++processorQueries;
        name = processor;
        return identified;
    }
};

// A SYSTEM section that checks nothing, with `extra` lines after it (later
// duplicates do not count, so the extra lines come first).
std::string System(const std::string& extra) {
    return "[SYSTEM]\n" + extra +
           "1=All Processors\n2=Any\n3=checkSCREEN\n4=Any colors\n"
           "os0=Yes\nos1=Yes\nos2=Yes\nos3=Yes\nos4=Yes\nos5=Yes\nos6=Yes\n";
}

// Only the listed flags "Yes".
std::string OnlyOs(const std::string& flags) {
    std::string lines;
    for (int i = 0; i < kq::kOsFlagCount; ++i) {
        std::string key = "os" + std::to_string(i);
        lines += key + "=" + (flags.find(std::to_string(i)) != std::string::npos ? "Yes" : "No") + "\n";
    }
    return lines;
}

struct CheckCase {
    const char* label;
    std::string extra;       // SYSTEM lines
    FakeMachine machine;     // facts
    Requirement expected;
};

FakeMachine With(void (*change)(FakeMachine&)) {
    FakeMachine m;
    change(m);
    return m;
}

TEST(RequirementsTest, ChecksInOrder) {
    const CheckCase cases[] = {
        {"nothing checked", "", FakeMachine(), Requirement::kNone},
        {"all seven flags: even a later Windows", "", With([](FakeMachine& m) { m.version = kVista; }),
         Requirement::kNone},
        {"xp and 2003 on 2003", OnlyOs("56"), With([](FakeMachine& m) { m.version = kWin2003; }), Requirement::kNone},
        {"xp and 2003 on xp", OnlyOs("56"), FakeMachine(), Requirement::kNone},
        {"xp and 2003 on 2000", OnlyOs("56"), With([](FakeMachine& m) { m.version = kWin2k; }),
         Requirement::kOperatingSystem},
        {"six flags on a later Windows", OnlyOs("012345"), With([](FakeMachine& m) { m.version = kVista; }),
         Requirement::kOperatingSystem},
        {"98 only on 98", OnlyOs("0"), With([](FakeMachine& m) { m.version = kWin98; }), Requirement::kNone},
        {"98 only on build 2183", OnlyOs("0"), With([](FakeMachine& m) { m.version = kWin98Boundary; }),
         Requirement::kNone},
        {"98 SE only on build 2183", OnlyOs("1"), With([](FakeMachine& m) { m.version = kWin98Boundary; }),
         Requirement::kNone},
        {"98 only on 98 SE", OnlyOs("0"), With([](FakeMachine& m) { m.version = kWin98Se; }),
         Requirement::kOperatingSystem},
        {"ME only on ME", OnlyOs("2"), With([](FakeMachine& m) { m.version = kWinMe; }), Requirement::kNone},
        {"NT 4 only on NT 4", OnlyOs("3"), With([](FakeMachine& m) { m.version = kNt4; }), Requirement::kNone},
        {"NT 4 only on xp", OnlyOs("3"), FakeMachine(), Requirement::kOperatingSystem},
        {"seven flags, none Yes", OnlyOs(""), FakeMachine(), Requirement::kOperatingSystem},
        // Memory: whole MiB plus one.
        {"256 MB on 256 MiB less a page", "2=256 MB\n",
         With([](FakeMachine& m) { m.memory = (256ull << 20) - 4096; }), Requirement::kNone},
        {"257 MB on 256 MiB less a page", "2=257 MB\n",
         With([](FakeMachine& m) { m.memory = (256ull << 20) - 4096; }), Requirement::kMemory},
        {"257 MB on 256 MiB", "2=257 MB\n", With([](FakeMachine& m) { m.memory = 256ull << 20; }),
         Requirement::kNone},
        {"memory without a number", "2=lots\n", FakeMachine(), Requirement::kNone},
        {"huge memory", "2=99999999999 MB\n", FakeMachine(), Requirement::kMemory},
        // Resolution.
        {"800x600 on 1024x768", "3=800x600\n", FakeMachine(), Requirement::kNone},
        {"800x600 on 800x480", "3=800x600\n", With([](FakeMachine& m) { m.height = 480; }),
         Requirement::kResolution},
        {"1025x768 on 1024x768", "3=1025x768\n", FakeMachine(), Requirement::kResolution},
        {"1024x769 on 1024x768", "3=1024x769\n", FakeMachine(), Requirement::kResolution},
        {"Any resolution", "3=Any resolution\n", With([](FakeMachine& m) { m.width = 1; }), Requirement::kNone},
        // Colour depth.
        {"24 bit on 24", "4=24bit colors\n", FakeMachine(), Requirement::kNone},
        {"32 bit on 24", "4=32bit colors\n", FakeMachine(), Requirement::kColors},
        {"65.636 on 8", "4=65.636 colors\n", With([](FakeMachine& m) { m.bits = 8; }), Requirement::kColors},
        {"256 on 8", "4=256 colors\n", With([](FakeMachine& m) { m.bits = 8; }), Requirement::kNone},
        {"unknown word on 1 bit", "4=65536 colors\n", With([](FakeMachine& m) { m.bits = 1; }), Requirement::kNone},
        // Processor: case-sensitive substring; unidentified passes.
        {"Pentium on Pentium III", "1=Pentium\n", FakeMachine(), Requirement::kNone},
        {"pentium on Pentium III", "1=pentium\n", FakeMachine(), Requirement::kProcessor},
        {"Pentium on Athlon Barton", "1=Pentium\n",
         With([](FakeMachine& m) { m.processor = "AMD Athlon Barton"; }), Requirement::kProcessor},
        {"Pentium, not identified", "1=Pentium\n", With([](FakeMachine& m) { m.identified = false; }),
         Requirement::kNone},
        // The first failure in the check order wins.
        {"every check fails", OnlyOs("0") + "1=Athlon\n2=99999 MB\n3=2000x2000\n4=32bit colors\n", FakeMachine(),
         Requirement::kOperatingSystem},
        {"memory before resolution", "1=Athlon\n2=99999 MB\n3=2000x2000\n4=32bit colors\n", FakeMachine(),
         Requirement::kMemory},
        {"resolution before colours", "1=Athlon\n3=2000x2000\n4=32bit colors\n", FakeMachine(),
         Requirement::kResolution},
        {"colours before processor", "1=Athlon\n4=32bit colors\n", FakeMachine(), Requirement::kColors},
    };
    for (const CheckCase& c : cases) {
        kq::SystemRequirements requirements = kq::ReadSystemRequirements(IniText(System(c.extra)));
        EXPECT_EQ(kq::FirstFailedRequirement(requirements, c.machine), c.expected) << c.label;
    }
}

// A script without a SYSTEM section restricts nothing; one whose flags are
// written but none "Yes" runs nowhere.
TEST(RequirementsTest, UnwrittenSectionChecksNothing) {
    struct Case {
        const char* script;
        OsVersion version;
        Requirement expected;
    };
    const Case cases[] = {
        {"", kVista, Requirement::kNone},
        {"", kWin98, Requirement::kNone},
        {"[SYSTEM]\nos3=No\n", kNt4, Requirement::kOperatingSystem},
        {"[SYSTEM]\nos3=yes\n", kNt4, Requirement::kOperatingSystem},
        {"[SYSTEM]\nos3=Yes\n", kNt4, Requirement::kNone},
    };
    for (const Case& c : cases) {
        FakeMachine machine;
        machine.version = c.version;
        EXPECT_EQ(kq::FirstFailedRequirement(kq::ReadSystemRequirements(IniText(c.script)), machine), c.expected)
            << c.script;
        EXPECT_EQ(machine.processorQueries, 0) << c.script;
    }
}

TEST(RequirementsTest, ProcessorIdentifiedOnlyWhenNamed) {
    FakeMachine machine;
    kq::FirstFailedRequirement(kq::ReadSystemRequirements(IniText(System(""))), machine);
    EXPECT_EQ(machine.processorQueries, 0);
    kq::FirstFailedRequirement(kq::ReadSystemRequirements(IniText(System("1=INTEL\n"))), machine);
    EXPECT_EQ(machine.processorQueries, 1);
}

struct ParseCase {
    const char* value;
    int first;
    int second;
};

TEST(RequirementsTest, ValueParsing) {
    const ParseCase resolutions[] = {
        {"800x600", 800, 600},
        {"1024 x 768", 1024, 768},
        {"800X600", 0, 800},  // upper-case X does not split
        {"640", 0, 640},
        {"x480", 0, 480},
        {"800x", 800, 0},
        {"1x2x3", 1, 2},
        {"", 0, 0},
    };
    for (const ParseCase& c : resolutions) {
        int width = -1, height = -1;
        kq::ParseResolution(c.value, width, height);
        EXPECT_EQ(width, c.first) << c.value;
        EXPECT_EQ(height, c.second) << c.value;
    }

    const ParseCase megabytes[] = {
        {"256 MB", 256, 0}, {"1 MB MB", 1, 0}, {"2 MB56", 256, 0}, {"64MB", 64, 0}, {"Any", 0, 0}, {"-5 MB", -5, 0},
    };
    for (const ParseCase& c : megabytes) EXPECT_EQ(kq::RequiredMegabytes(c.value), c.first) << c.value;

    const ParseCase colours[] = {
        {"256 colors", 8, 0},   {"65.636 colors", 16, 0}, {"24bit colors", 24, 0},
        {"32bit colors", 32, 0}, {"32bit Colors", 0, 0},  {"Any colors", 0, 0},
    };
    for (const ParseCase& c : colours) EXPECT_EQ(kq::RequiredBitsPerPixel(c.value), c.first) << c.value;

    EXPECT_EQ(kq::InstalledMegabytes(0), 1u);
    EXPECT_EQ(kq::InstalledMegabytes((256ull << 20) - 1), 256u);
    EXPECT_EQ(kq::InstalledMegabytes(256ull << 20), 257u);
}

TEST(RequirementsTest, ValuesAreCutAtTheirBuffer) {
    std::string longName(150, 'P');
    kq::SystemRequirements r = kq::ReadSystemRequirements(IniText("[SYSTEM]\n1=" + longName + "\nos0=Yes\n"));
    EXPECT_EQ(r.processor, longName.substr(0, 99));
    EXPECT_TRUE(r.os[0]);
    EXPECT_FALSE(r.os[1]);
}

struct MessageCase {
    Requirement failed;
    const char* language;
    const char* message;
};

TEST(RequirementsTest, MessagesFromTheLanguageFileOrDefaults) {
    const MessageCase cases[] = {
        {Requirement::kOperatingSystem, "", "The operating system is not adequate for running Tool 1.0."},
        {Requirement::kColors, "", "The color settings of your system are not adequate for running Tool 1.0."},
        {Requirement::kResolution, "", "The screen resolution is not adequate for running Tool 1.0."},
        {Requirement::kMemory, "", "The amount of RAM is not adequate for running Tool 1.0."},
        {Requirement::kProcessor, "", "The processor is not adequate for running Tool 1.0."},
        {Requirement::kMemory, "[REQ]\n3=More memory for <ProductName>, please.\n2=x\n",
         "More memory for Tool 1.0, please."},
        {Requirement::kMemory, "[REQ]\n3=\n", "The amount of RAM is not adequate for running Tool 1.0."},
        {Requirement::kProcessor, "[REQ]\n4=%s%n%s\n", "%s%n%s"},  // passed on as text, never as a format
        {Requirement::kNone, "[REQ]\n-1=x\n", ""},
    };
    auto expand = [](std::string text) {
        for (size_t at; (at = text.find("<ProductName>")) != std::string::npos;) text.replace(at, 13, "Tool 1.0");
        return text;
    };
    for (const MessageCase& c : cases)
        EXPECT_EQ(kq::RequirementMessage(c.failed, IniText(c.language), expand), c.message) << c.language;
}

}  // namespace
