#include "platform/resolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace tw::platform {

namespace {

// The host field of a log record holds at most this many bytes; a longer name would be cut
// there anyway, and cutting here keeps every consumer of the resolver inside that bound.
constexpr std::size_t kMaxHostLength = 9999;

}  // namespace

std::string SystemResolver::reverseLookup(const std::array<std::uint8_t, 4>& address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    // The bytes are already in network order, which is what s_addr holds.
    std::memcpy(&sa.sin_addr.s_addr, address.data(), address.size());

    char host[NI_MAXHOST];
    // NI_NAMEREQD: without it an address with no name would come back as its own digits, which
    // callers would mistake for a successful lookup.
    const int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host,
                                 sizeof host, nullptr, 0, NI_NAMEREQD);
    if (rc != 0) return {};
    try {
        return std::string(host, ::strnlen(host, std::min(sizeof host, kMaxHostLength)));
    } catch (...) {
        // Out of memory: the contract is "no exceptions", and no name is a valid answer.
        return {};
    }
}

bool parseDottedQuad(std::string_view text, std::array<std::uint8_t, 4>& out) {
    std::array<std::uint8_t, 4> parts{};
    std::size_t part = 0;
    unsigned value = 0;
    bool sawDigit = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (sawDigit && value == 0) return false;  // "00", "01": refused like inet_pton
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 255) return false;
            sawDigit = true;
        } else if (c == '.') {
            if (!sawDigit || part == 3) return false;
            parts[part++] = static_cast<std::uint8_t>(value);
            value = 0;
            sawDigit = false;
        } else {
            return false;
        }
    }
    if (!sawDigit || part != 3) return false;
    parts[3] = static_cast<std::uint8_t>(value);
    out = parts;
    return true;
}

}  // namespace tw::platform
