#include "checks/processor.h"

namespace kq {
namespace {

struct ModelName {
    uint16_t family;
    uint16_t model;
    const char* name;
};

// Family 15 is named by its extended family and model instead.
const ModelName kIntel[] = {
    {4, 0, "INTEL 486 DX-25/33"},
    {4, 1, "INTEL 486 DX-50"},
    {4, 2, "INTEL 486 SX"},
    {4, 3, "INTEL 486 DX2"},
    {4, 4, "INTEL 486 SL"},
    {4, 5, "INTEL 486 SX2"},
    {4, 7, "INTEL 486 DX2-WB"},
    {4, 8, "INTEL 486 DX4"},
    {4, 9, "INTEL 486 DX4-WB"},
    {5, 0, "INTEL Pentium 60/66 A-step"},
    {5, 1, "INTEL Pentium 60/66"},
    {5, 2, "INTEL Pentium 75-200"},
    {5, 3, "INTEL OverDrive PODP5V83"},
    {5, 4, "INTEL Pentium MMX"},
    {5, 7, "INTEL Mobile Pentium 75-200"},
    {5, 8, "INTEL Mobile Pentium MMX"},
    {6, 1, "INTEL Pentium Pro A-Step"},
    {6, 2, "INTEL Pentium Pro"},
    {6, 3, "INTEL Pentium II Klamath"},
    {6, 5, "INTEL Pentium II Deschutes"},
    {6, 6, "INTEL Celeron Mendocino"},
    {6, 7, "INTEL Pentium III Katmai"},
    {6, 8, "INTEL Pentium III Coppermine"},
    {6, 9, "INTEL Mobile Pentium III"},
    {6, 10, "INTEL Pentium III (0.18um)"},
    {6, 11, "INTEL Pentium III (0.13um)"},
};

const ModelName kAmd[] = {
    {4, 3, "AMD 486 DX2"},
    {4, 7, "AMD 486 DX2-WB"},
    {4, 8, "AMD 486 DX4"},
    {4, 9, "AMD 486 DX4-WB"},
    {4, 14, "AMD Am5x86-WT"},
    {4, 15, "AMD Am5x86-WB"},
    {5, 0, "AMD K5 SSA5"},
    {5, 1, "AMD K5"},
    {5, 2, "AMD K5"},
    {5, 3, "AMD K5"},
    {5, 6, "AMD K6"},
    {5, 7, "AMD K6"},
    {5, 8, "AMD K6-2"},
    {5, 9, "AMD K6-3"},
    {5, 13, "AMD K6-3+"},
    {6, 0, "AMD Athlon (25um)"},
    {6, 1, "AMD Athlon (25um)"},
    {6, 2, "AMD Athlon (18um)"},
    {6, 3, "AMD Duron"},
    {6, 4, "AMD Athlon Thunderbird"},
    {6, 6, "AMD Athlon Palamino"},
    {6, 7, "AMD Duron Morgan"},
    {6, 8, "AMD Athlon Thoroughbred"},
    {6, 10, "AMD Athlon Barton"},
};

constexpr char kUnknown[] = "unknown";

template <size_t N>
const char* Lookup(const ModelName (&table)[N], uint16_t family, uint16_t model) {
    for (const ModelName& row : table) {
        if (row.family == family && row.model == model) return row.name;
    }
    return kUnknown;
}

const char* IntelName(uint16_t family, uint16_t model, uint16_t extendedFamily, uint16_t extendedModel) {
    if (family == 7) return "INTEL Itanium";
    if (family != 15) return Lookup(kIntel, family, model);
    if (extendedFamily == 1) return "INTEL Itanium 2 (IA-64)";
    if (extendedFamily != 0) return kUnknown;
    switch (extendedModel) {
    case 0:
    case 1:
        return "INTEL Pentium IV (0.18 \xB5m)";
    case 2:
        return "INTEL Pentium IV (0.13 \xB5m)";
    case 3:
        return "INTEL Pentium IV (0.09 \xB5m)";
    default:
        return kUnknown;
    }
}

const char* AmdName(uint16_t family, uint16_t model, uint16_t extendedFamily, uint16_t extendedModel) {
    if (family != 15) return Lookup(kAmd, family, model);
    if (extendedFamily != 0) return kUnknown;
    if (extendedModel == 4) return "AMD Athlon 64";
    if (extendedModel == 5) return "AMD Athlon 64FX Operon";
    return kUnknown;
}

}  // namespace

std::string ProcessorName(const std::string& vendor, uint16_t family, uint16_t model, uint16_t extendedFamily,
                          uint16_t extendedModel) {
    if (vendor == "GenuineIntel") return IntelName(family, model, extendedFamily, extendedModel);
    if (vendor == "AuthenticAMD") return AmdName(family, model, extendedFamily, extendedModel);
    if (vendor == "CyrixInstead") return "Cyrix";
    if (vendor == "CentaurHauls") return "Centaur";
    return kUnknown;
}

void CProcessor::Decode(const CpuidAnswers& answers) {
    m_vendor.clear();
    for (uint32_t word : answers.vendor) {
        for (int shift = 0; shift < 32; shift += 8) m_vendor += static_cast<char>((word >> shift) & 0xFF);
    }
    const uint32_t signature = answers.signature;
    m_stepping = static_cast<uint16_t>(signature & 0xF);
    m_model = static_cast<uint16_t>((signature >> 4) & 0xF);
    m_family = static_cast<uint16_t>((signature >> 8) & 0xF);
    m_extendedFamily = m_family == 15 ? static_cast<uint16_t>((signature >> 20) & 0xFF) : 0;
    m_extendedModel = m_model == 15 ? static_cast<uint16_t>((signature >> 16) & 0xF) : 0;

    m_featureBits = 0;
    if (answers.features & (1u << 23)) m_featureBits |= kMmx;
    if (answers.features & (1u << 25)) m_featureBits |= kSse;
    if (answers.features & (1u << 26)) m_featureBits |= kSse2;
    if (answers.extendedFeatures & (1u << 31)) m_featureBits |= k3DNow;

    m_name = ProcessorName(m_vendor, m_family, m_model, m_extendedFamily, m_extendedModel).substr(0, kMaxNameLength);
}

}  // namespace kq
