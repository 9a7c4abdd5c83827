#include "base/safe_name.h"

#include <cstring>

#include "base/text.h"

namespace kq {

bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    static const char* const kPlain[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kPlain) {
        if (EqualsIgnoreCase(base, device)) return true;
    }
    if (base.size() != 4) return false;
    if (!EqualsIgnoreCase(base.substr(0, 3), "COM") && !EqualsIgnoreCase(base.substr(0, 3), "LPT")) return false;
    // The port number may also be one of the superscript digits of the
    // Western code page, which Windows treats as the same device.
    unsigned char digit = static_cast<unsigned char>(base[3]);
    return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

std::string_view LastPathComponent(std::string_view stored) {
    size_t cut = stored.find_last_of("\\/:");
    return cut == std::string_view::npos ? stored : stored.substr(cut + 1);
}

bool IsSafeLeafName(std::string_view name) {
    if (name.empty() || name.size() > kMaxLeafNameLength) return false;
    if (name.find_first_not_of(". ") == std::string_view::npos) return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::strchr("<>\"|?*\\/:", c) != nullptr) return false;
    }
    return !IsDeviceName(name);
}

bool SafeLeafName(std::string_view stored, std::string* name) {
    name->clear();
    std::string_view leaf = LastPathComponent(stored);
    if (!IsSafeLeafName(leaf)) return false;
    name->assign(leaf);
    return true;
}

}  // namespace kq
