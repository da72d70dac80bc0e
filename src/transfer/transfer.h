#pragma once
// The program's only way to FTP and HTTP servers: sessions, FTP connections with listings and
// binary transfers, HTTP GET requests read as a stream, and URL parsing.
//
// Contract:
// - Nothing here throws. Every operation that can fail returns false, an empty optional or a
//   null pointer and, when `error` is given, fills it with the library's own text of what went
//   wrong (callers show it as it stands).
// - A session and everything opened from it belong to one thread (the transfer job's); objects
//   must be destroyed before the session that made them.
// - Times are seconds since 1970 (UTC); 0 or an empty optional means unknown.
// - Sizes are 64-bit.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::transfer {

enum class Scheme { Http, Https, Ftp, Other };

struct UrlParts {
    Scheme scheme = Scheme::Other;
    std::string server{};
    int port = 0;                  // the URL's port, or the scheme's default
    std::string objectPath = "/";  // from the first "/" after the server on, query included
    std::string user{};            // from "user:password@" when the URL carries one
    std::string password{};
};

// Reads http, https and ftp URLs (any case), an optional "user:password@", an optional
// ":port" (1-65535), and bracketed IPv6 servers. Empty for anything else, for a missing server,
// and for other schemes.
std::optional<UrlParts> parseUrl(std::string_view text);

// "host" or "host:port" (a Sitename or an FTP export location): the server and its port,
// `defaultPort` without one; empty for an empty host or a bad port.
std::optional<std::pair<std::string, int>> splitHostPort(std::string_view text, int defaultPort);

struct FtpEntry {
    std::string name{};  // as the server sent it; callers must not trust it as a path
    bool directory = false;
    std::uint64_t size = 0;
    std::int64_t lastWrite = 0;
};

// Lets a long operation be abandoned; polled between chunks. Must be cheap and thread-safe.
class CancelCheck {
  public:
    virtual ~CancelCheck() = default;
    virtual bool cancelled() const = 0;
};

class FtpConnection {
  public:
    virtual ~FtpConnection() = default;
    // The directory the server put the login in (or the one changed to since).
    virtual std::optional<std::string> currentDirectory(std::string* error) = 0;
    // Relative paths are taken from the current directory; fails when the server refuses it.
    virtual bool changeDirectory(const std::string& path, std::string* error) = 0;
    // The entries of the current directory whose names match `pattern` ("*" and "?", empty
    // for all), always read anew from the server. "." and ".." are never listed.
    virtual bool list(std::string_view pattern, std::vector<FtpEntry>& out, std::string* error,
                      const CancelCheck* cancel = nullptr) = 0;
    // Binary get of a file of the current directory into `localPath` (replaced). A cancel or a
    // failure removes the partial local file.
    virtual bool get(const std::string& remoteName, const std::string& localPath,
                     std::string* error, const CancelCheck* cancel = nullptr) = 0;
    // Binary put of `localPath` as `remoteName` in the current directory.
    virtual bool put(const std::string& localPath, const std::string& remoteName,
                     std::string* error) = 0;
};

class HttpRequest {
  public:
    virtual ~HttpRequest() = default;
    virtual int status() const = 0;
    virtual std::optional<std::uint64_t> contentLength() const = 0;
    virtual std::optional<std::int64_t> lastModified() const = 0;
    // Up to `size` bytes of the body: the count read, 0 at its end, -1 on an error.
    virtual long read(char* buffer, std::size_t size, std::string* error) = 0;
};

struct Login {
    std::string user{};
    std::string password{};
};

class HttpConnection {
  public:
    virtual ~HttpConnection() = default;
    // Sends a GET for `objectPath` ("Accept: *" unless the caller adds its own) and returns once
    // the status and headers are in; the body is then read through the request. Null on a
    // transport failure (not on an HTTP error status, which the request reports).
    virtual std::unique_ptr<HttpRequest> get(const std::string& objectPath, std::string* error) = 0;
    // The login sent with later requests (after a 401 and a new password).
    virtual void setLogin(std::optional<Login> login) = 0;
};

class Session {
  public:
    virtual ~Session() = default;
    virtual std::unique_ptr<FtpConnection> connectFtp(const std::string& server, int port,
                                                      const std::string& user,
                                                      const std::string& password, bool passive,
                                                      std::string* error) = 0;
    virtual std::unique_ptr<HttpConnection> connectHttp(Scheme scheme, const std::string& server,
                                                        int port, std::optional<Login> login,
                                                        std::string* error) = 0;
};

// Opens sessions; the seam between the program and the client library.
class Transfer {
  public:
    virtual ~Transfer() = default;
    // `agent` is the User-Agent sent; `proxy` the ProxyServer setting, passed through as it
    // stands (empty: none).
    virtual std::unique_ptr<Session> open(const std::string& agent, const std::string& proxy,
                                          std::string* error) = 0;
};

}  // namespace tw::transfer
