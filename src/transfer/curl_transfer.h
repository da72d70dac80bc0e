#pragma once
// The transfer interface over libcurl.
//
// - FTP: one control connection per FtpConnection (one easy handle, reused). Every command names
//   a full path built from the directory tracked here, so nothing depends on where the server
//   believes it is after a reconnect. Listings use MLSD and fall back to LIST (Unix "ls -l" or
//   DOS/IIS form) on servers that do not know it.
// - HTTP: requests run on a multi handle owned by their connection and are driven from
//   HttpRequest::read(); a transfer pauses while its reader falls behind, so a body is never held
//   in memory beyond a few hundred kilobytes.
// - An empty proxy means no proxy at all: the environment's proxy variables are not consulted,
//   the program's setting is the only one.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "transfer/transfer.h"

namespace tw::transfer {

// No wait is unbounded: a server that stops answering ends the operation with an error.
struct CurlTimeouts {
    long connectSeconds = 15;
    // A transfer that moves fewer than `lowSpeedBytes` per second for `lowSpeedSeconds` is given
    // up; so is an FTP command left without a reply for `replySeconds`.
    long lowSpeedBytes = 1;
    long lowSpeedSeconds = 60;
    long replySeconds = 60;
};

class CurlTransfer final : public Transfer {
  public:
    CurlTransfer() = default;
    explicit CurlTransfer(CurlTimeouts timeouts) : timeouts_(timeouts) {}
    std::unique_ptr<Session> open(const std::string& agent, const std::string& proxy,
                                  std::string* error) override;

  private:
    CurlTimeouts timeouts_{};
};

namespace detail {
// One line of an MLSD reply ("type=file;size=12;modify=20240101120000; name"). Empty for the
// directory's own entries (cdir, pdir) and for lines that are not entries.
std::optional<FtpEntry> parseMlsdLine(std::string_view line);
// One line of a LIST reply in the Unix "ls -l" form or the DOS/IIS form. Unix lines of recent
// files carry a time instead of a year; `now` (seconds since 1970) decides which year that is.
// Empty for lines that are not entries ("total 12").
std::optional<FtpEntry> parseListLine(std::string_view line, std::int64_t now);
}  // namespace detail

}  // namespace tw::transfer
