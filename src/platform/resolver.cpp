#include "platform/resolver.h"

#include <arpa/inet.h>
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

// The longest address text read, zone aside; the longest IPv6 spelling is 45 bytes.
constexpr std::size_t kMaxAddressText = 63;

// A dotted quad as loggers write it: leading zeros pad a part, they never make it octal.
// `padded` tells whether any part had one, so that the text is not already in plain form.
bool parsePaddedQuad(std::string_view text, std::array<std::uint8_t, 4>& out, bool& padded) {
    std::array<std::uint8_t, 4> parts{};
    std::size_t part = 0, digits = 0;
    unsigned value = 0;
    padded = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (digits > 0 && value == 0) padded = true;
            if (++digits > 3) return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        } else if (c == '.') {
            if (digits == 0 || value > 255 || part == 3) return false;
            parts[part++] = static_cast<std::uint8_t>(value);
            value = 0;
            digits = 0;
        } else {
            return false;
        }
    }
    if (digits == 0 || value > 255 || part != 3) return false;
    parts[3] = static_cast<std::uint8_t>(value);
    out = parts;
    return true;
}

}  // namespace

bool canonicalAddress(std::string_view text, std::string& out) {
    const std::size_t percent = text.find('%');
    const std::string_view bare = text.substr(0, percent);
    std::string_view zone =
        percent == std::string_view::npos ? std::string_view() : text.substr(percent);
    if (zone.size() == 1) zone = {};
    if (bare.empty() || bare.size() > kMaxAddressText) return false;
    // Most names hold a letter beyond "f", or hex letters without a ":"; settling those here
    // spares the copy and the parse on every record of a log of names.
    bool colon = false, hexLetter = false;
    for (const char ch : bare) {
        if (ch == ':') {
            colon = true;
        } else if ((ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F')) {
            hexLetter = true;
        } else if ((ch < '0' || ch > '9') && ch != '.') {
            return false;
        }
    }
    char printed[INET6_ADDRSTRLEN];
    if (!colon) {
        std::array<std::uint8_t, 4> quad;
        bool padded = false;
        if (hexLetter || !parsePaddedQuad(bare, quad, padded)) return false;
        // Most logged addresses are already plain: kept as they are, they cost no formatting.
        if (!padded) {
            out.assign(bare);
            out.append(zone);
            return true;
        }
        in_addr a{};
        std::memcpy(&a.s_addr, quad.data(), quad.size());
        if (::inet_ntop(AF_INET, &a, printed, sizeof printed) == nullptr) return false;
    } else {
        char terminated[kMaxAddressText + 1];
        std::memcpy(terminated, bare.data(), bare.size());
        terminated[bare.size()] = '\0';
        in6_addr a{};
        if (::inet_pton(AF_INET6, terminated, &a) != 1) return false;
        if (::inet_ntop(AF_INET6, &a, printed, sizeof printed) == nullptr) return false;
    }
    out.assign(printed);
    out.append(zone);
    return true;
}

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
