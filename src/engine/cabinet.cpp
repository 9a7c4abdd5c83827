#include "engine/cabinet.h"

namespace kq {

std::string CabinetPath(const char* sourceFolder) {
    std::string path(sourceFolder);
    if (!path.empty() && path.back() != '\\') path.push_back('\\');
    return path + kCabinetName;
}

uint32_t RestoredAttributes(int storedAttributes) {
    return static_cast<uint32_t>(storedAttributes) & (0x01u | 0x02u | 0x04u | 0x20u);
}

}  // namespace kq
