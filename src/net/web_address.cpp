#include "net/web_address.h"

#include "base/text.h"

namespace kq {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// Digits only, 1 to 65535; "0080" is 80.
bool ParsePort(std::string_view text, uint16_t& port) {
    if (text.empty()) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > 65535) return false;
    }
    if (value == 0) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool SplitWebAddress(std::string_view address, WebAddress& out) {
    WebAddress split;
    if (StartsWithNoCase(address, "https://")) {
        split.secure = true;
        split.port = 443;
        address.remove_prefix(8);
    } else if (StartsWithNoCase(address, "http://")) {
        address.remove_prefix(7);
    } else if (address.find("://") != std::string_view::npos) {
        return false;  // a scheme the transfer does not speak
    }

    const size_t slash = address.find('/');
    if (slash == std::string_view::npos) return false;
    std::string_view host = address.substr(0, slash);
    const size_t colon = host.rfind(':');
    if (colon != std::string_view::npos) {
        if (!ParsePort(host.substr(colon + 1), split.port)) return false;
        host = host.substr(0, colon);
    }
    if (host.empty() || host.size() > kMaxHostLength) return false;
    // A host with blanks or controls in it is no host; it would only make a
    // confusing lookup.
    for (char c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '\\' || c == '@') return false;
    }
    split.host.assign(host);
    split.path.assign(address.substr(slash));
    out = split;
    return true;
}

}  // namespace kq
