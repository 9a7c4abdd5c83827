// Web addresses as the setup script writes them for downloads and web
// variables: "http://host/path", "https://host/path", "host:8080/path" or
// "http://host:8080/path". Addresses come from the untrusted setup script,
// so the split refuses what the transfer could not use (no host, a bad
// port, an overlong host, another scheme) instead of guessing.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kq {

// The longest host name a request takes (the system's own limit).
constexpr size_t kMaxHostLength = 255;
// The longest text fetched for a web variable; more is cut.
constexpr size_t kMaxFetchedText = 64 * 1024;

struct WebAddress {
    bool secure = false;  // "https://": the platform speaks TLS
    std::string host;
    uint16_t port = 80;   // 443 for "https://" unless the address names one
    std::string path;     // the object requested, starting with '/'
};

// Splits `address`: an optional scheme, "http://" or "https://" (any
// letter case; no scheme means HTTP); the host up to the first '/'; an
// optional ":port" (1 to 65535) at the host's end; the path from that '/'
// on. False, with `out` untouched, for another scheme ("ftp://"), a
// missing '/' after the host, an empty or overlong host, or a bad port.
bool SplitWebAddress(std::string_view address, WebAddress& out);

}  // namespace kq
