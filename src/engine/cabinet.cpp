#include "engine/cabinet.h"

#include "base/text.h"

namespace kq {

std::string CabinetPath(const char* sourceFolder) {
    return EndWithBackslash(sourceFolder) + kCabinetName;
}

uint32_t RestoredAttributes(int storedAttributes) {
    return static_cast<uint32_t>(storedAttributes) & (0x01u | 0x02u | 0x04u | 0x20u);
}

}  // namespace kq
