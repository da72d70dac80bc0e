#pragma once
// Reverse lookups of client addresses, and the address reading that comes before one.
//
// A Resolver is shared by all analysis workers: up to 64 threads may be blocked inside
// reverseLookup() at the same time, so implementations must be thread-safe and must not
// serialise callers. reverseLookup() never throws; it returns the host name, or an empty string
// when there is none (no record, a timeout, any resolver error).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::platform {

class Resolver {
  public:
    virtual ~Resolver() = default;
    // Reverse lookup of an IPv4 address in network byte order (a.b.c.d -> bytes a,b,c,d).
    virtual std::string reverseLookup(const std::array<std::uint8_t, 4>& address) = 0;
};

// The operating system's resolver (getnameinfo, so /etc/hosts and DNS as nsswitch says).
class SystemResolver final : public Resolver {
  public:
    std::string reverseLookup(const std::array<std::uint8_t, 4>& address) override;
};

// The one text an address is counted, looked up and filtered under, so that every spelling of
// it is one host: a dotted quad as plain decimal ("001.002.003.004" is "1.2.3.4"; its parts are
// decimal whatever their leading zeros, so "010.0.0.1" is 10.0.0.1), IPv6 as inet_ntop prints it
// (lowercase, the longest run of zero groups as "::", an IPv4-mapped tail dotted). A zone
// ("%eth0") is kept as logged: a link-local address names a different machine on each link.
// An empty zone names no link and is dropped.
//
// Accepts a dotted quad of exactly four parts of one to three digits, each 0-255, and whatever
// inet_pton(AF_INET6) accepts; a zone may follow either. Writes the text to `out` and returns
// true for an address; returns false and leaves `out` untouched otherwise. `text` must not view
// `out`. Allocates only to grow `out`, so a reused buffer costs nothing per call.
bool canonicalAddress(std::string_view text, std::string& out);

// Reads exactly the forms inet_pton(AF_INET) accepts: four decimal parts separated by single
// dots, each 0-255, no leading zero in a part of more than one digit, nothing before, after or
// between. Fills `out` and returns true on success; leaves `out` untouched and returns false
// otherwise. Reads only the bytes of the view; it need not be NUL-terminated.
bool parseDottedQuad(std::string_view text, std::array<std::uint8_t, 4>& out);

}  // namespace tw::platform
