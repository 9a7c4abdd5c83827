#include "checks/processor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct NameCase {
    const char* vendor;
    uint16_t family, model, extendedFamily, extendedModel;
    const char* name;
};

TEST(ProcessorNameTest, NamingTables) {
    const NameCase cases[] = {
        {"GenuineIntel", 4, 0, 0, 0, "INTEL 486 DX-25/33"},
        {"GenuineIntel", 4, 6, 0, 0, "unknown"},
        {"GenuineIntel", 4, 9, 0, 0, "INTEL 486 DX4-WB"},
        {"GenuineIntel", 5, 4, 0, 0, "INTEL Pentium MMX"},
        {"GenuineIntel", 5, 8, 0, 0, "INTEL Mobile Pentium MMX"},
        {"GenuineIntel", 6, 0, 0, 0, "unknown"},
        {"GenuineIntel", 6, 7, 0, 0, "INTEL Pentium III Katmai"},
        {"GenuineIntel", 6, 11, 0, 0, "INTEL Pentium III (0.13um)"},
        {"GenuineIntel", 6, 15, 0, 0, "unknown"},
        {"GenuineIntel", 7, 3, 0, 0, "INTEL Itanium"},
        {"GenuineIntel", 15, 0, 0, 0, "INTEL Pentium IV (0.18 \xB5m)"},
        {"GenuineIntel", 15, 15, 0, 1, "INTEL Pentium IV (0.18 \xB5m)"},
        {"GenuineIntel", 15, 15, 0, 2, "INTEL Pentium IV (0.13 \xB5m)"},
        {"GenuineIntel", 15, 15, 0, 3, "INTEL Pentium IV (0.09 \xB5m)"},
        {"GenuineIntel", 15, 15, 0, 4, "unknown"},
        {"GenuineIntel", 15, 15, 1, 9, "INTEL Itanium 2 (IA-64)"},
        {"GenuineIntel", 15, 0, 2, 0, "unknown"},
        {"AuthenticAMD", 4, 14, 0, 0, "AMD Am5x86-WT"},
        {"AuthenticAMD", 4, 0, 0, 0, "unknown"},
        {"AuthenticAMD", 5, 0, 0, 0, "AMD K5 SSA5"},
        {"AuthenticAMD", 5, 3, 0, 0, "AMD K5"},
        {"AuthenticAMD", 5, 4, 0, 0, "unknown"},
        {"AuthenticAMD", 5, 7, 0, 0, "AMD K6"},
        {"AuthenticAMD", 5, 13, 0, 0, "AMD K6-3+"},
        {"AuthenticAMD", 6, 1, 0, 0, "AMD Athlon (25um)"},
        {"AuthenticAMD", 6, 10, 0, 0, "AMD Athlon Barton"},
        {"AuthenticAMD", 6, 5, 0, 0, "unknown"},
        {"AuthenticAMD", 15, 15, 0, 4, "AMD Athlon 64"},
        {"AuthenticAMD", 15, 15, 0, 5, "AMD Athlon 64FX Operon"},
        {"AuthenticAMD", 15, 15, 1, 4, "unknown"},
        {"CyrixInstead", 5, 2, 0, 0, "Cyrix"},
        {"CentaurHauls", 6, 9, 0, 0, "Centaur"},
        {"genuineintel", 6, 7, 0, 0, "unknown"},
        {"", 6, 7, 0, 0, "unknown"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(kq::ProcessorName(c.vendor, c.family, c.model, c.extendedFamily, c.extendedModel), c.name)
            << c.vendor << " " << c.family << "/" << c.model << "/" << c.extendedFamily << "/" << c.extendedModel;
    }
    // The micro sign is the one Latin-1 byte, not UTF-8.
    std::string p4 = kq::ProcessorName("GenuineIntel", 15, 0, 0, 0);
    EXPECT_EQ(p4.size(), std::strlen("INTEL Pentium IV (0.18 m)") + 1);
    EXPECT_EQ(static_cast<unsigned char>(p4[p4.size() - 3]), 0xB5);
}

// The registers of leaf 0 as they spell a vendor.
void SetVendor(kq::CpuidAnswers& answers, const char* vendor) {
    std::memcpy(answers.vendor, vendor, 12);
}

struct DecodeCase {
    const char* vendor;
    uint32_t signature, features, extendedFeatures;
    uint16_t family, model, stepping, extendedFamily, extendedModel;
    bool mmx, sse, sse2, amd3dnow;
    const char* name;
};

TEST(ProcessorDecodeTest, SignatureAndFeatures) {
    const DecodeCase cases[] = {
        // Pentium III Katmai, stepping 3: MMX and SSE.
        {"GenuineIntel", 0x0673, (1u << 23) | (1u << 25), 0, 6, 7, 3, 0, 0, true, true, false, false,
         "INTEL Pentium III Katmai"},
        // A Pentium 4 whose model is 2: the extended model counts only for model 15.
        {"GenuineIntel", 0x00000F24, (1u << 23) | (1u << 25) | (1u << 26), 0, 15, 2, 4, 0, 0, true, true, true,
         false, "INTEL Pentium IV (0.18 \xB5m)"},
        {"GenuineIntel", 0x00020FF1, 0, 0, 15, 15, 1, 0, 2, false, false, false, false,
         "INTEL Pentium IV (0.13 \xB5m)"},
        // Extended family only for family 15.
        {"GenuineIntel", 0x00100F00, 0, 0, 15, 0, 0, 1, 0, false, false, false, false, "INTEL Itanium 2 (IA-64)"},
        {"GenuineIntel", 0x0FF706A7, 0, 0, 6, 10, 7, 0, 0, false, false, false, false, "INTEL Pentium III (0.18um)"},
        {"AuthenticAMD", 0x00040FF0, 1u << 23, 1u << 31, 15, 15, 0, 0, 4, true, false, false, true, "AMD Athlon 64"},
        {"AuthenticAMD", 0x06A0, 0, 0x7FFFFFFF, 6, 10, 0, 0, 0, false, false, false, false, "AMD Athlon Barton"},
    };
    for (const DecodeCase& c : cases) {
        kq::CpuidAnswers answers;
        SetVendor(answers, c.vendor);
        answers.signature = c.signature;
        answers.features = c.features;
        answers.extendedFeatures = c.extendedFeatures;
        kq::CProcessor processor;
        processor.Decode(answers);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(processor.Vendor(), c.vendor);
        EXPECT_EQ(processor.Family(), c.family);
        EXPECT_EQ(processor.Model(), c.model);
        EXPECT_EQ(processor.Stepping(), c.stepping);
        EXPECT_EQ(processor.ExtendedFamily(), c.extendedFamily);
        EXPECT_EQ(processor.ExtendedModel(), c.extendedModel);
        EXPECT_EQ(processor.HasMMX(), c.mmx);
        EXPECT_EQ(processor.HasSSE(), c.sse);
        EXPECT_EQ(processor.HasSSE2(), c.sse2);
        EXPECT_EQ(processor.Has3DNow(), c.amd3dnow);
        EXPECT_EQ(processor.Name(), c.name);
        EXPECT_EQ(processor.SpeedMHz(), 0u);
    }
}

}  // namespace
