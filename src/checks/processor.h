// The processor record: the processor named from the vendor, family and model
// its identification instruction (CPUID) reports, its feature bits and its
// clock rate. The requirement check uses Identify and Name only.
//
// Naming works on the decoded fields alone (ProcessorName), so every row of
// the tables is reachable off the machine that has that processor.
#pragma once
#include <cstdint>
#include <string>

namespace kq {

// What the identification instruction answered: leaf 0 (highest leaf and the
// vendor in B, D, C), leaf 1 (signature in A, features in D) and, when leaf
// 0x80000000 reports it, leaf 0x80000001's extended features in D.
struct CpuidAnswers {
    uint32_t vendor[3] = {};  // registers B, D, C of leaf 0, in that order
    uint32_t signature = 0;
    uint32_t features = 0;
    uint32_t extendedFeatures = 0;
};

// The name for a vendor text and the decoded signature; "unknown" for a
// vendor or family and model the tables do not list. The Pentium IV names
// hold the micro sign as byte 0xB5, as the Windows Latin-1 code page has it.
std::string ProcessorName(const std::string& vendor, uint16_t family, uint16_t model, uint16_t extendedFamily,
                          uint16_t extendedModel);

class CProcessor {
public:
    // Reads the identification instruction, measures the clock and names the
    // processor; false (and the record left empty) when the processor has no
    // identification instruction. Defined for the Windows build only.
    bool Identify();
    // Fills the record from answers already read (Identify's portable half);
    // the clock is left as it is.
    void Decode(const CpuidAnswers& answers);
    // Counts time-stamp ticks over one second of the high-resolution counter.
    // Defined for the Windows build only.
    void MeasureClock();

    uint32_t SpeedMHz() const { return static_cast<uint32_t>(m_clocksPerSecond >> 20); }
    const std::string& Name() const { return m_name; }
    const std::string& Vendor() const { return m_vendor; }
    uint16_t Family() const { return m_family; }
    uint16_t Model() const { return m_model; }
    uint16_t Stepping() const { return m_stepping; }
    uint16_t ExtendedFamily() const { return m_extendedFamily; }
    uint16_t ExtendedModel() const { return m_extendedModel; }
    bool HasMMX() const { return (m_featureBits & kMmx) != 0; }
    bool Has3DNow() const { return (m_featureBits & k3DNow) != 0; }
    bool HasSSE() const { return (m_featureBits & kSse) != 0; }
    bool HasSSE2() const { return (m_featureBits & kSse2) != 0; }

private:
    enum : uint32_t { kMmx = 1, k3DNow = 2, kSse = 4, kSse2 = 8 };
    // The longest name of the tables fits; a longer one would be cut here.
    static constexpr size_t kMaxNameLength = 34;

    std::string m_vendor;  // 12 characters
    std::string m_name;
    uint64_t m_clocksPerSecond = 0;
    uint16_t m_family = 0;
    uint16_t m_model = 0;
    uint16_t m_stepping = 0;
    uint16_t m_extendedFamily = 0;
    uint16_t m_extendedModel = 0;
    uint32_t m_featureBits = 0;
};

}  // namespace kq
