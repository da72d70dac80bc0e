#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "transfer/transfer.h"

namespace tw::transfer {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsLower(std::string_view text, std::string_view lowerWord) {
    if (text.size() != lowerWord.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (lower(text[i]) != lowerWord[i]) return false;
    return true;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// 1..65535 written in decimal digits only (no sign, no blanks).
std::optional<int> parsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return std::nullopt;
    return value;
}

// A server name may carry letters, digits and the few punctuation marks of host names (and
// bytes above 127 for international names). Anything else would change the meaning of the URL
// handed on to the client library, or of an FTP command.
bool plausibleHostName(std::string_view host) {
    if (host.empty()) return false;
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) continue;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) continue;
        if (c == '-' || c == '.' || c == '_' || c == '~' || c == '%') continue;
        return false;
    }
    return true;
}

bool plausibleIpv6(std::string_view inside) {
    // A zone ("fe80::1%eth0", written "%25eth0" in URLs) may follow the address.
    const std::string_view address = inside.substr(0, inside.find('%'));
    const std::string_view zone = inside.substr(address.size());
    if (address.find(':') == std::string_view::npos) return false;
    for (char c : address) {
        if (c == ':' || c == '.') continue;  // "." for an IPv4 tail, "::ffff:1.2.3.4"
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) continue;
        return false;
    }
    if (zone.size() == 1) return false;
    return plausibleHostName(zone.empty() ? std::string_view("x") : zone);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// User names and passwords in URLs escape their "@", ":" and "/" as %XX; a "%" not followed by
// two hex digits is kept as written.
std::string percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

struct HostPort {
    std::string host;
    std::optional<int> port;  // empty: none written
};

// "host", "host:port", "[v6]" or "[v6]:port". `emptyPortIsDefault`: "host:" stands for the
// default port (as URLs allow) rather than being an error.
std::optional<HostPort> parseHostPort(std::string_view text, bool emptyPortIsDefault) {
    HostPort result;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view inside = text.substr(1, close - 1);
        if (!plausibleIpv6(inside)) return std::nullopt;
        result.host = std::string(inside);
        rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') return std::nullopt;
    } else {
        const std::size_t colon = text.find(':');
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) != std::string_view::npos) {
            // Two or more colons without brackets: a bare IPv6 address, no port.
            if (!plausibleIpv6(text)) return std::nullopt;
            result.host = std::string(text);
            return result;
        }
        const std::string_view host = text.substr(0, colon);
        if (!plausibleHostName(host)) return std::nullopt;
        result.host = std::string(host);
        rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon);
    }
    if (rest.empty()) return result;
    rest.remove_prefix(1);  // the ':'
    if (rest.empty()) {
        if (!emptyPortIsDefault) return std::nullopt;
        return result;
    }
    result.port = parsePort(rest);
    if (!result.port) return std::nullopt;
    return result;
}

}  // namespace

std::optional<UrlParts> parseUrl(std::string_view text) {
    try {
        text = trimBlanks(text);
        const std::size_t sep = text.find("://");
        if (sep == std::string_view::npos) return std::nullopt;
        const std::string_view scheme = text.substr(0, sep);
        UrlParts parts;
        int defaultPort = 0;
        if (equalsLower(scheme, "http")) {
            parts.scheme = Scheme::Http;
            defaultPort = 80;
        } else if (equalsLower(scheme, "https")) {
            parts.scheme = Scheme::Https;
            defaultPort = 443;
        } else if (equalsLower(scheme, "ftp")) {
            parts.scheme = Scheme::Ftp;
            defaultPort = 21;
        } else {
            return std::nullopt;
        }
        std::string_view rest = text.substr(sep + 3);
        for (char c : rest) {
            // Blanks and control bytes cannot be sent in a request line or an FTP command.
            if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return std::nullopt;
        }
        const std::size_t end = rest.find_first_of("/?#");
        std::string_view authority = rest.substr(0, end);
        std::string_view tail =
            end == std::string_view::npos ? std::string_view{} : rest.substr(end);

        const std::size_t at = authority.rfind('@');
        if (at != std::string_view::npos) {
            const std::string_view userInfo = authority.substr(0, at);
            const std::size_t colon = userInfo.find(':');
            parts.user = percentDecode(userInfo.substr(0, colon));
            if (colon != std::string_view::npos)
                parts.password = percentDecode(userInfo.substr(colon + 1));
            authority = authority.substr(at + 1);
        }
        if (authority.empty()) return std::nullopt;
        const auto hostPort = parseHostPort(authority, true);
        if (!hostPort) return std::nullopt;
        parts.server = hostPort->host;
        parts.port = hostPort->port.value_or(defaultPort);

        // The fragment is the client's business and never goes to the server.
        tail = tail.substr(0, tail.find('#'));
        if (tail.empty()) {
            parts.objectPath = "/";
        } else if (tail.front() == '?') {
            parts.objectPath = "/" + std::string(tail);
        } else {
            parts.objectPath = std::string(tail);
        }
        return parts;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::pair<std::string, int>> splitHostPort(std::string_view text, int defaultPort) {
    try {
        text = trimBlanks(text);
        if (text.empty()) return std::nullopt;
        const auto hostPort = parseHostPort(text, false);
        if (!hostPort) return std::nullopt;
        return std::make_pair(hostPort->host, hostPort->port.value_or(defaultPort));
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace tw::transfer
