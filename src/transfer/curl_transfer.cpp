#include "transfer/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "ingest/text_search.h"

namespace tw::transfer {
namespace {

// ---------------------------------------------------------------------------------------------
// Shared pieces

CURLcode globalInit() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result;
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// curl_slist_append gives back null on failure and leaves the list as it was.
bool append(Slist& list, const std::string& item) {
    curl_slist* grown = curl_slist_append(list.get(), item.c_str());
    if (!grown) return false;
    (void)list.release();
    list.reset(grown);
    return true;
}

struct SessionSettings {
    std::string agent{};
    std::string proxy{};
    CurlTimeouts timeouts{};
};

void setError(std::string* error, std::string text) {
    if (!error) return;
    try {
        *error = std::move(text);
    } catch (...) {
    }
}

void setErrorFromException(std::string* error) {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        setError(error, "Out of memory");
    } catch (const std::exception& e) {
        setError(error, e.what());
    } catch (...) {
        setError(error, "Unexpected failure");
    }
}

// Options every handle carries; curl_easy_reset() drops them, so they are applied again before
// every operation.
void applyCommon(CURL* h, const SessionSettings& s, char* errorBuffer) {
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    errorBuffer[0] = '\0';
    curl_easy_setopt(h, CURLOPT_USERAGENT, s.agent.c_str());
    // Set even when empty: "" turns off the http_proxy family of environment variables.
    curl_easy_setopt(h, CURLOPT_PROXY, s.proxy.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, s.timeouts.connectSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, s.timeouts.lowSpeedBytes);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, s.timeouts.lowSpeedSeconds);
    curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
}

std::string curlText(CURLcode code, const char* errorBuffer) {
    if (errorBuffer && errorBuffer[0]) return errorBuffer;
    return curl_easy_strerror(code);
}

// A host as it goes into a URL: IPv6 addresses in brackets.
std::string urlHost(const std::string& server) {
    if (server.find(':') != std::string::npos && server.front() != '[') return "[" + server + "]";
    return server;
}

// Only names that cannot change the meaning of the URL they are put into.
bool usableServer(const std::string& server) {
    if (server.empty()) return false;
    for (char c : server) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || c == '/' || c == '@' || c == '?' || c == '#' || c == '\\')
            return false;
    }
    return true;
}

bool hasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

struct Multi {
    CURLM* handle = nullptr;
    Multi() : handle(curl_multi_init()) {}
    ~Multi() {
        if (handle) curl_multi_cleanup(handle);
    }
    Multi(const Multi&) = delete;
    Multi& operator=(const Multi&) = delete;
};

// The longest wait for a socket before curl is given another turn. curl_easy_perform() waits up
// to a second, and curl 7.88 can sit out that whole second before it opens an FTP data
// connection; short turns keep each transfer from paying that.
constexpr int kPollMillis = 20;

// Runs one transfer on `multi` to its end. The connection stays in the multi handle's cache for
// the next transfer.
CURLcode runOnMulti(CURLM* multi, CURL* easy) {
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    for (bool done = false; !done;) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK && mc != CURLM_CALL_MULTI_PERFORM) {
            result = mc == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                result = msg->data.result;
                done = true;
            }
        }
        if (!done) curl_multi_poll(multi, nullptr, 0, kPollMillis, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Dates

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t utcSeconds(int year, int month, int day, int hour, int minute, int second) {
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

int yearOf(std::int64_t seconds) {
    // Civil year from days, the inverse of daysFromCivil.
    std::int64_t z = (seconds >= 0 ? seconds : seconds - 86399) / 86400 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

bool digitsOnly(std::string_view s) {
    if (s.empty()) return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view digits) {
    int v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return v;
}

std::optional<std::uint64_t> parseSize(std::string_view digits) {
    if (!digitsOnly(digits) || digits.size() > 19) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : digits) v = v * 10 + static_cast<std::uint64_t>(c - '0');
    return v;
}

bool validDate(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1970 || year >= 10000 || month < 1 || month > 12) return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days = month == 2 && !leap ? 28 : kDays[month - 1];
    return day >= 1 && day <= days && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
           second >= 0 && second <= 60;
}

int monthNumber(std::string_view name) {
    static constexpr const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                              "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() != 3) return 0;
    for (int i = 0; i < 12; ++i) {
        if (ingest::equalsIgnoringCase(name, kMonths[i])) return i + 1;
    }
    return 0;
}

struct Token {
    std::string_view text;
    std::size_t end;  // index just past the token in the line
};

std::vector<Token> tokens(std::string_view line, std::size_t most) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() < most) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        out.push_back({line.substr(start, i - start), i});
    }
    return out;
}

std::optional<FtpEntry> parseUnixLine(std::string_view line, std::int64_t now) {
    const auto tok = tokens(line, 12);
    if (tok.size() < 6) return std::nullopt;
    const std::string_view mode = tok[0].text;
    if (mode.size() < 10 || std::string_view("-dlbcps").find(mode[0]) == std::string_view::npos)
        return std::nullopt;
    // Owner and group columns vary (some servers leave the group out), so the date is found by
    // its shape: size, month name, day, then a time or a year.
    for (std::size_t i = 2; i + 2 < tok.size(); ++i) {
        const int month = monthNumber(tok[i].text);
        if (!month || !digitsOnly(tok[i - 1].text) || !digitsOnly(tok[i + 1].text)) continue;
        const std::string_view when = tok[i + 2].text;
        if (tok[i + 1].text.size() > 2) continue;
        const int day = number(tok[i + 1].text);
        int year = 0, hour = 0, minute = 0;
        bool hasYear = false;
        if (when.size() == 4 && digitsOnly(when)) {
            year = number(when);
            hasYear = true;
        } else if (when.size() == 5 && when[2] == ':' && digitsOnly(when.substr(0, 2)) &&
                   digitsOnly(when.substr(3))) {
            hour = number(when.substr(0, 2));
            minute = number(when.substr(3));
            year = yearOf(now);
        } else {
            continue;
        }
        if (!validDate(year, month, day, hour, minute, 0)) return std::nullopt;
        std::int64_t stamp = utcSeconds(year, month, day, hour, minute, 0);
        // "ls" shows a time instead of the year for the last six months: a date that would lie
        // ahead of now belongs to last year.
        if (!hasYear && stamp > now + 86400)
            stamp = utcSeconds(year - 1, month, day, hour, minute, 0);

        const std::size_t nameStart = tok[i + 2].end + 1;
        if (nameStart >= line.size()) return std::nullopt;
        std::string_view name = line.substr(nameStart);
        if (mode[0] == 'l') {
            const std::size_t arrow = name.find(" -> ");
            if (arrow != std::string_view::npos) name = name.substr(0, arrow);
        }
        if (name.empty()) return std::nullopt;
        FtpEntry e;
        e.name = std::string(name);
        e.directory = mode[0] == 'd';
        e.size = parseSize(tok[i - 1].text).value_or(0);
        e.lastWrite = stamp;
        return e;
    }
    return std::nullopt;
}

// "01-31-24  10:05PM       <DIR>          logs" or "01-31-2024  10:05AM  1234 ex240131.log".
std::optional<FtpEntry> parseDosLine(std::string_view line) {
    const auto tok = tokens(line, 3);
    if (tok.size() < 3) return std::nullopt;
    const std::string_view date = tok[0].text, time = tok[1].text, what = tok[2].text;
    if (!(date.size() == 8 || date.size() == 10) || date[2] != '-' || date[5] != '-')
        return std::nullopt;
    if (!digitsOnly(date.substr(0, 2)) || !digitsOnly(date.substr(3, 2)) ||
        !digitsOnly(date.substr(6)))
        return std::nullopt;
    int year = number(date.substr(6));
    if (date.size() == 8) year += year < 70 ? 2000 : 1900;
    const int month = number(date.substr(0, 2)), day = number(date.substr(3, 2));
    if (time.size() != 7 || time[2] != ':' || !digitsOnly(time.substr(0, 2)) ||
        !digitsOnly(time.substr(3, 2)))
        return std::nullopt;
    int hour = number(time.substr(0, 2));
    const int minute = number(time.substr(3, 2));
    const char half = static_cast<char>(ingest::foldUpper(static_cast<unsigned char>(time[5])));
    if ((half != 'A' && half != 'P') || (time[6] != 'M' && time[6] != 'm') || hour < 1 || hour > 12)
        return std::nullopt;
    hour = hour % 12 + (half == 'P' ? 12 : 0);
    if (!validDate(year, month, day, hour, minute, 0)) return std::nullopt;

    FtpEntry e;
    if (what == "<DIR>") {
        e.directory = true;
    } else if (const auto size = parseSize(what)) {
        e.size = *size;
    } else {
        return std::nullopt;
    }
    std::size_t nameStart = tok[2].end;
    while (nameStart < line.size() && (line[nameStart] == ' ' || line[nameStart] == '\t'))
        ++nameStart;
    if (nameStart >= line.size()) return std::nullopt;
    e.name = std::string(line.substr(nameStart));
    e.lastWrite = utcSeconds(year, month, day, hour, minute, 0);
    return e;
}

// The last reply line with a code, or null.
const std::string* lastReply(const std::vector<std::string>& replies, char firstDigitAtLeast) {
    for (auto it = replies.rbegin(); it != replies.rend(); ++it) {
        const std::string& r = *it;
        if (r.size() >= 4 && r[0] >= firstDigitAtLeast && r[0] <= '5' && r[1] >= '0' &&
            r[1] <= '9' && r[2] >= '0' && r[2] <= '9' && r[3] == ' ')
            return &r;
    }
    return nullptr;
}

// `257 "/some ""quoted"" dir" is the current directory`: the path, quotes undoubled.
std::optional<std::string> pathOfPwdReply(std::string_view reply) {
    if (reply.substr(0, 4) != "257 ") return std::nullopt;
    const std::size_t open = reply.find('"');
    if (open == std::string_view::npos) return std::nullopt;
    std::string path;
    for (std::size_t i = open + 1; i < reply.size(); ++i) {
        if (reply[i] == '"') {
            if (i + 1 < reply.size() && reply[i + 1] == '"') {
                path.push_back('"');
                ++i;
                continue;
            }
            if (path.empty()) return std::nullopt;
            return path;
        }
        path.push_back(reply[i]);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// FTP

class CurlFtpConnection final : public FtpConnection {
  public:
    CurlFtpConnection(SessionSettings settings, std::string base, std::string user,
                      std::string password, bool passive)
        : settings_(std::move(settings)),
          base_(std::move(base)),
          user_(std::move(user)),
          password_(std::move(password)),
          passive_(passive) {}

    bool login(std::string* error);

    std::optional<std::string> currentDirectory(std::string* error) override;
    bool changeDirectory(const std::string& path, std::string* error) override;
    bool list(std::string_view pattern, std::vector<FtpEntry>& out, std::string* error,
              const CancelCheck* cancel) override;
    bool get(const std::string& remoteName, const std::string& localPath, std::string* error,
             const CancelCheck* cancel) override;
    bool put(const std::string& localPath, const std::string& remoteName,
             std::string* error) override;

  private:
    // Ready for one operation on `url`; the handle keeps its live connection across resets.
    void prepare(const std::string& url, const CancelCheck* cancel);
    CURLcode perform();
    std::string failureText(CURLcode code) const;
    std::string absolute(std::string_view path) const;
    std::string urlFor(const std::string& absolutePath) const;
    std::string directoryUrl() const;
    CURLcode fetchListing(const char* command, std::string& text, const CancelCheck* cancel);

    static std::size_t onReply(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onListing(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onFileData(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onFileRead(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
        return size * count;
    }
    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    SessionSettings settings_;
    std::string base_;  // "ftp://server:port/"
    std::string user_, password_;
    bool passive_;
    Multi multi_;  // holds the control connection between operations
    EasyHandle easy_{};
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::vector<std::string> replies_;  // the server's reply lines of the running operation
    std::string current_;               // empty: the server never said where it put us
    bool mlsdRefused_ = false;

    // State of the running operation, for the callbacks.
    const CancelCheck* cancel_ = nullptr;
    bool cancelled_ = false;
    std::string* listing_ = nullptr;
    std::FILE* file_ = nullptr;
    int fileErrno_ = 0;
};

std::size_t CurlFtpConnection::onReply(char* data, std::size_t size, std::size_t count,
                                       void* self) {
    auto* c = static_cast<CurlFtpConnection*>(self);
    const std::size_t n = size * count;
    try {
        std::string_view line(data, n);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        c->replies_.emplace_back(line);
    } catch (...) {
        return 0;
    }
    return n;
}

std::size_t CurlFtpConnection::onListing(char* data, std::size_t size, std::size_t count,
                                         void* self) {
    auto* c = static_cast<CurlFtpConnection*>(self);
    const std::size_t n = size * count;
    try {
        c->listing_->append(data, n);
    } catch (...) {
        return 0;
    }
    return n;
}

std::size_t CurlFtpConnection::onFileData(char* data, std::size_t size, std::size_t count,
                                          void* self) {
    auto* c = static_cast<CurlFtpConnection*>(self);
    const std::size_t n = size * count;
    if (std::fwrite(data, 1, n, c->file_) != n) {
        c->fileErrno_ = errno;
        return 0;
    }
    return n;
}

std::size_t CurlFtpConnection::onFileRead(char* data, std::size_t size, std::size_t count,
                                          void* self) {
    auto* c = static_cast<CurlFtpConnection*>(self);
    const std::size_t n = std::fread(data, 1, size * count, c->file_);
    if (n == 0 && std::ferror(c->file_)) {
        c->fileErrno_ = errno;
        return CURL_READFUNC_ABORT;
    }
    return n;
}

int CurlFtpConnection::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* c = static_cast<CurlFtpConnection*>(self);
    if (c->cancel_ && c->cancel_->cancelled()) {
        c->cancelled_ = true;
        return 1;
    }
    return 0;
}

void CurlFtpConnection::prepare(const std::string& url, const CancelCheck* cancel) {
    CURL* h = easy_.get();
    curl_easy_reset(h);
    applyCommon(h, settings_, errorBuffer_);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERNAME, user_.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password_.c_str());
    // Commands carry full paths; curl never changes directory on its own.
    curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(h, CURLOPT_FTPPORT, passive_ ? nullptr : "-");
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, settings_.timeouts.replySeconds);
    curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, settings_.timeouts.connectSeconds * 1000L);
    if (!settings_.proxy.empty()) {
        // Through an HTTP proxy, FTP would turn into HTTP GETs without listings, directory
        // changes or uploads; a tunnel keeps it FTP.
        curl_easy_setopt(h, CURLOPT_HTTPPROXYTUNNEL, 1L);
    }
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CurlFtpConnection::onReply);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlFtpConnection::discard);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CurlFtpConnection::onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    replies_.clear();
    cancel_ = cancel;
    cancelled_ = false;
    listing_ = nullptr;
    file_ = nullptr;
    fileErrno_ = 0;
}

CURLcode CurlFtpConnection::perform() {
    const CURLcode code = runOnMulti(multi_.handle, easy_.get());
    cancel_ = nullptr;
    listing_ = nullptr;
    file_ = nullptr;
    return code;
}

std::string CurlFtpConnection::failureText(CURLcode code) const {
    if (cancelled_) return "The transfer was cancelled";
    std::string text = curlText(code, errorBuffer_);
    if (fileErrno_) text += ": " + std::string(std::strerror(fileErrno_));
    // curl says which step failed; the server's own words say why.
    if (const std::string* reply = lastReply(replies_, '4');
        reply && text.find(*reply) == std::string::npos)
        text += " (" + *reply + ")";
    return text;
}

std::string CurlFtpConnection::absolute(std::string_view path) const {
    if (!path.empty() && path.front() == '/') return std::string(path);
    if (current_.empty()) return std::string(path);
    std::string joined = current_;
    if (joined.back() != '/') joined.push_back('/');
    joined.append(path);
    return joined;
}

// The whole path escaped, its slashes too: curl decodes it before splitting it, and an escaped
// leading slash is what makes an FTP URL's path absolute.
std::string CurlFtpConnection::urlFor(const std::string& absolutePath) const {
    char* escaped =
        curl_easy_escape(easy_.get(), absolutePath.c_str(), static_cast<int>(absolutePath.size()));
    if (!escaped) throw std::bad_alloc();
    std::string url = base_;
    try {
        url += escaped;
    } catch (...) {
        curl_free(escaped);
        throw;
    }
    curl_free(escaped);
    return url;
}

std::string CurlFtpConnection::directoryUrl() const {
    if (current_.empty()) return base_;
    std::string dir = current_;
    if (dir.back() != '/') dir.push_back('/');
    return urlFor(dir);
}

bool CurlFtpConnection::login(std::string* error) {
    easy_.reset(curl_easy_init());
    if (!easy_ || !multi_.handle) {
        setError(error, "Could not create a transfer handle");
        return false;
    }
    prepare(base_, nullptr);
    curl_easy_setopt(easy_.get(), CURLOPT_NOBODY, 1L);
    const CURLcode code = perform();
    if (code != CURLE_OK) {
        setError(error, failureText(code));
        return false;
    }
    char* entry = nullptr;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry)
        current_ = entry;
    return true;
}

std::optional<std::string> CurlFtpConnection::currentDirectory(std::string* error) {
    try {
        if (current_.empty()) {
            setError(error, "The server did not tell its current directory");
            return std::nullopt;
        }
        return current_;
    } catch (...) {
        setErrorFromException(error);
        return std::nullopt;
    }
}

bool CurlFtpConnection::changeDirectory(const std::string& path, std::string* error) {
    try {
        if (path.empty() || hasLineBreakOrNul(path)) {
            setError(error, "Not a directory name: \"" + path + "\"");
            return false;
        }
        const std::string target = absolute(path);
        // CWD proves the directory can be entered; PWD tells its name as the server spells it,
        // with any "." and ".." resolved. The "*" lets curl go on after a refused CWD: a failed
        // quote command would make it drop the control connection, and a refusal is routine.
        Slist commands;
        if (!append(commands, "*CWD " + target) || !append(commands, "PWD")) throw std::bad_alloc();
        prepare(base_, nullptr);
        curl_easy_setopt(easy_.get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy_.get(), CURLOPT_QUOTE, commands.get());
        const CURLcode code = perform();
        curl_easy_setopt(easy_.get(), CURLOPT_QUOTE, nullptr);
        if (code != CURLE_OK) {
            setError(error, failureText(code));
            return false;
        }
        // The last two final replies are those of CWD and PWD.
        std::vector<const std::string*> finals;
        for (const std::string& r : replies_) {
            if (r.size() >= 4 && r[0] >= '1' && r[0] <= '5' && r[3] == ' ') finals.push_back(&r);
        }
        if (finals.size() < 2) {
            setError(error, "The server gave no answer to the change of directory");
            return false;
        }
        const std::string& cwdReply = *finals[finals.size() - 2];
        if (cwdReply[0] != '2') {
            setError(error, "The server refused to change to " + target + ": " + cwdReply);
            return false;
        }
        if (auto named = pathOfPwdReply(*finals.back())) {
            current_ = std::move(*named);
        } else {
            current_ = target;
            while (current_.size() > 1 && current_.back() == '/') current_.pop_back();
        }
        return true;
    } catch (...) {
        setErrorFromException(error);
        return false;
    }
}

CURLcode CurlFtpConnection::fetchListing(const char* command, std::string& text,
                                         const CancelCheck* cancel) {
    text.clear();
    prepare(directoryUrl(), cancel);
    curl_easy_setopt(easy_.get(), CURLOPT_CUSTOMREQUEST, command);
    curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, &CurlFtpConnection::onListing);
    curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, this);
    listing_ = &text;
    return perform();
}

bool CurlFtpConnection::list(std::string_view pattern, std::vector<FtpEntry>& out,
                             std::string* error, const CancelCheck* cancel) {
    try {
        out.clear();
        std::string text;
        bool machineForm = false;
        CURLcode code = CURLE_OK;
        if (!mlsdRefused_) {
            code = fetchListing("MLSD", text, cancel);
            long reply = 0;
            curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &reply);
            const bool refused =
                code == CURLE_FTP_COULDNT_RETR_FILE || code == CURLE_REMOTE_FILE_NOT_FOUND;
            if (code == CURLE_OK) {
                machineForm = true;
            } else if (!refused || cancelled_) {
                setError(error, failureText(code));
                return false;
            } else if (reply == 500 || reply == 502 || reply == 504) {
                mlsdRefused_ = true;  // not understood: do not ask again on this connection
            }
        }
        if (!machineForm) {
            code = fetchListing(nullptr, text, cancel);
            if (code != CURLE_OK) {
                setError(error, failureText(code));
                return false;
            }
        }

        const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        std::string_view rest = text;
        while (!rest.empty()) {
            const std::size_t eol = rest.find('\n');
            std::string_view line = rest.substr(0, eol);
            rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.empty()) continue;
            auto entry =
                machineForm ? detail::parseMlsdLine(line) : detail::parseListLine(line, now);
            if (!entry || entry->name == "." || entry->name == "..") continue;
            if (!pattern.empty() && !ingest::wildcardMatch(pattern, entry->name)) continue;
            out.push_back(std::move(*entry));
        }
        return true;
    } catch (...) {
        setErrorFromException(error);
        return false;
    }
}

bool CurlFtpConnection::get(const std::string& remoteName, const std::string& localPath,
                            std::string* error, const CancelCheck* cancel) {
    std::FILE* f = nullptr;
    try {
        const std::string url = urlFor(absolute(remoteName));
        f = std::fopen(localPath.c_str(), "wb");
        if (!f) {
            setError(error, localPath + ": " + std::strerror(errno));
            return false;
        }
        prepare(url, cancel);
        curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, &CurlFtpConnection::onFileData);
        curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy_.get(), CURLOPT_TRANSFERTEXT, 0L);
        file_ = f;
        const CURLcode code = perform();
        const bool closed = std::fclose(f) == 0;
        if (!closed && !fileErrno_) fileErrno_ = errno;
        f = nullptr;
        if (code == CURLE_OK && closed) return true;
        setError(error, failureText(code));
    } catch (...) {
        setErrorFromException(error);
        if (f) std::fclose(f);
    }
    std::error_code ignored;
    std::filesystem::remove(localPath, ignored);
    return false;
}

bool CurlFtpConnection::put(const std::string& localPath, const std::string& remoteName,
                            std::string* error) {
    std::FILE* f = nullptr;
    try {
        const std::string url = urlFor(absolute(remoteName));
        std::error_code ec;
        const auto size = std::filesystem::file_size(localPath, ec);
        f = ec ? nullptr : std::fopen(localPath.c_str(), "rb");
        if (!f) {
            setError(error, localPath + ": " + (ec ? ec.message() : std::strerror(errno)));
            return false;
        }
        prepare(url, nullptr);
        curl_easy_setopt(easy_.get(), CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy_.get(), CURLOPT_READFUNCTION, &CurlFtpConnection::onFileRead);
        curl_easy_setopt(easy_.get(), CURLOPT_READDATA, this);
        curl_easy_setopt(easy_.get(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
        curl_easy_setopt(easy_.get(), CURLOPT_TRANSFERTEXT, 0L);
        file_ = f;
        const CURLcode code = perform();
        std::fclose(f);
        f = nullptr;
        if (code == CURLE_OK) return true;
        setError(error, failureText(code));
        return false;
    } catch (...) {
        setErrorFromException(error);
        if (f) std::fclose(f);
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// HTTP

// A body is read from the network only this far ahead of its reader.
constexpr std::size_t kReadAhead = 256 * 1024;

class CurlHttpRequest final : public HttpRequest {
  public:
    // The multi handle is shared so that a request outliving its connection stays safe.
    CurlHttpRequest(std::shared_ptr<Multi> multi, EasyHandle easy, Slist headers)
        : multi_(std::move(multi)), headers_(std::move(headers)), easy_(std::move(easy)) {}
    ~CurlHttpRequest() override {
        if (added_) curl_multi_remove_handle(multi_->handle, easy_.get());
    }
    CurlHttpRequest(const CurlHttpRequest&) = delete;
    CurlHttpRequest& operator=(const CurlHttpRequest&) = delete;

    char* errorBuffer() { return errorBuffer_; }
    // Sends the request and runs it until the final response's headers are in.
    bool start(std::string* error);

    int status() const override;
    std::optional<std::uint64_t> contentLength() const override;
    std::optional<std::int64_t> lastModified() const override;
    long read(char* buffer, std::size_t size, std::string* error) override;

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);

  private:
    // One round of the multi handle, without waiting.
    void step();
    // Until one of the connection's sockets has something, kPollMillis at most (curl's own
    // time-outs bound how often this can come round).
    void wait();
    void finish(CURLcode code) {
        done_ = true;
        result_ = code;
    }
    std::size_t buffered() const { return buffer_.size() - offset_; }

    std::shared_ptr<Multi> multi_;
    Slist headers_;  // in use by the handle until it is cleaned up, so destroyed after it
    EasyHandle easy_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::string multiError_;
    bool added_ = false;
    bool headersDone_ = false;  // the final response's headers (not a redirect's) are in
    bool sawLocation_ = false;
    bool done_ = false;
    bool paused_ = false;
    CURLcode result_ = CURLE_OK;
    std::string buffer_;
    std::size_t offset_ = 0;
};

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           ingest::equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::size_t CurlHttpRequest::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* r = static_cast<CurlHttpRequest*>(self);
    const std::size_t n = size * count;
    const std::string_view line(data, n);
    if (startsWithIgnoringCase(line, "HTTP/")) {
        r->sawLocation_ = false;
    } else if (startsWithIgnoringCase(line, "Location:")) {
        r->sawLocation_ = true;
    } else if (line == "\r\n" || line == "\n") {
        long code = 0;
        curl_easy_getinfo(r->easy_.get(), CURLINFO_RESPONSE_CODE, &code);
        // An interim response (100 Continue) or a redirect curl is about to follow is not the
        // answer the caller waits for.
        const bool interim = code >= 100 && code < 200;
        const bool followed = code >= 300 && code < 400 && r->sawLocation_;
        if (!interim && !followed) r->headersDone_ = true;
    }
    return n;
}

std::size_t CurlHttpRequest::onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* r = static_cast<CurlHttpRequest*>(self);
    const std::size_t n = size * count;
    r->headersDone_ = true;  // curl hands on only the final response's body
    if (r->buffered() >= kReadAhead) {
        // curl keeps these bytes and offers them again once the transfer is resumed.
        r->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    try {
        if (r->offset_ > 0 && r->offset_ >= r->buffer_.size() / 2) {
            r->buffer_.erase(0, r->offset_);
            r->offset_ = 0;
        }
        r->buffer_.append(data, n);
    } catch (...) {
        return 0;
    }
    return n;
}

void CurlHttpRequest::step() {
    int running = 0;
    const CURLMcode mc = curl_multi_perform(multi_->handle, &running);
    if (mc != CURLM_OK && mc != CURLM_CALL_MULTI_PERFORM) {
        multiError_ = curl_multi_strerror(mc);
        finish(CURLE_RECV_ERROR);
        return;
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_->handle, &left)) {
        if (msg->msg != CURLMSG_DONE) continue;
        // Requests of one connection share the multi handle; each finished one is told, not
        // only the one that happens to be reading.
        char* owner = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &owner);
        if (owner) reinterpret_cast<CurlHttpRequest*>(owner)->finish(msg->data.result);
    }
}

void CurlHttpRequest::wait() {
    curl_multi_poll(multi_->handle, nullptr, 0, kPollMillis, nullptr);
}

bool CurlHttpRequest::start(std::string* error) {
    if (curl_multi_add_handle(multi_->handle, easy_.get()) != CURLM_OK) {
        setError(error, "Could not start the request");
        return false;
    }
    added_ = true;
    step();
    while (!headersDone_ && !done_) {
        wait();
        step();
    }
    // Once the headers are in, a failure later in the same turn (a server hanging up mid-body)
    // belongs to the body: read() reports it after handing over what did arrive.
    if (!headersDone_ && result_ != CURLE_OK) {
        setError(error, multiError_.empty() ? curlText(result_, errorBuffer_) : multiError_);
        return false;
    }
    return true;
}

int CurlHttpRequest::status() const {
    long code = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
}

std::optional<std::uint64_t> CurlHttpRequest::contentLength() const {
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(length);
}

std::optional<std::int64_t> CurlHttpRequest::lastModified() const {
    curl_off_t stamp = -1;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_FILETIME_T, &stamp) != CURLE_OK || stamp < 0)
        return std::nullopt;
    return static_cast<std::int64_t>(stamp);
}

long CurlHttpRequest::read(char* buffer, std::size_t size, std::string* error) {
    try {
        if (size == 0) return 0;
        for (;;) {
            if (buffered() > 0) {
                const std::size_t n = std::min({size, buffered(), std::size_t{1} << 30});
                std::memcpy(buffer, buffer_.data() + offset_, n);
                offset_ += n;
                if (offset_ == buffer_.size()) {
                    buffer_.clear();
                    offset_ = 0;
                }
                return static_cast<long>(n);
            }
            if (done_) {
                if (result_ == CURLE_OK) return 0;
                setError(error,
                         multiError_.empty() ? curlText(result_, errorBuffer_) : multiError_);
                return -1;
            }
            if (paused_) {
                // Resuming may hand over the held bytes at once, from inside this call.
                paused_ = false;
                curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
            }
            step();
            if (buffered() == 0 && !done_ && !paused_) wait();
        }
    } catch (...) {
        setErrorFromException(error);
        return -1;
    }
}

// Bytes a request line cannot carry as they are; "%" stays, the caller's path may be escaped
// already.
std::string escapeObjectPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    if (path.empty() || path.front() != '/') out.push_back('/');
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f ||
            std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos) {
            out.push_back('%');
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

class CurlHttpConnection final : public HttpConnection {
  public:
    CurlHttpConnection(SessionSettings settings, std::string origin, std::optional<Login> login,
                       std::shared_ptr<Multi> multi)
        : settings_(std::move(settings)),
          origin_(std::move(origin)),
          login_(std::move(login)),
          multi_(std::move(multi)) {}

    std::unique_ptr<HttpRequest> get(const std::string& objectPath, std::string* error) override;
    void setLogin(std::optional<Login> login) override {
        try {
            login_ = std::move(login);
        } catch (...) {
            login_.reset();
        }
    }

  private:
    SessionSettings settings_;
    std::string origin_;  // "http://server:port"
    std::optional<Login> login_;
    std::shared_ptr<Multi> multi_;
};

std::unique_ptr<HttpRequest> CurlHttpConnection::get(const std::string& objectPath,
                                                     std::string* error) {
    try {
        EasyHandle easy(curl_easy_init());
        Slist headers;
        if (!easy || !append(headers, "Accept: *")) {
            setError(error, "Could not create a transfer handle");
            return nullptr;
        }
        CURL* h = easy.get();
        curl_slist* headerList = headers.get();
        // The handle and the header list must live as long as the transfer: the request keeps
        // both.
        auto request =
            std::make_unique<CurlHttpRequest>(multi_, std::move(easy), std::move(headers));
        applyCommon(h, settings_, request->errorBuffer());
        const std::string url = origin_ + escapeObjectPath(objectPath);
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList);
        if (login_) {
            curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(h, CURLOPT_USERNAME, login_->user.c_str());
            curl_easy_setopt(h, CURLOPT_PASSWORD, login_->password.c_str());
        }
        curl_easy_setopt(h, CURLOPT_FILETIME, 1L);
        // A proxy's answer to CONNECT would otherwise pass for the server's headers.
        curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CurlHttpRequest::onHeader);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, request.get());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlHttpRequest::onBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, request.get());
        curl_easy_setopt(h, CURLOPT_PRIVATE, reinterpret_cast<char*>(request.get()));
        if (!request->start(error)) return nullptr;
        return request;
    } catch (...) {
        setErrorFromException(error);
        return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Session

class CurlSession final : public Session {
  public:
    explicit CurlSession(SessionSettings settings) : settings_(std::move(settings)) {}

    std::unique_ptr<FtpConnection> connectFtp(const std::string& server, int port,
                                              const std::string& user, const std::string& password,
                                              bool passive, std::string* error) override {
        try {
            if (!usableServer(server) || port < 1 || port > 65535) {
                setError(error,
                         "Not a server name and port: " + server + ":" + std::to_string(port));
                return nullptr;
            }
            std::string base = "ftp://" + urlHost(server) + ":" + std::to_string(port) + "/";
            auto c = std::make_unique<CurlFtpConnection>(settings_, std::move(base), user, password,
                                                         passive);
            if (!c->login(error)) return nullptr;
            return c;
        } catch (...) {
            setErrorFromException(error);
            return nullptr;
        }
    }

    std::unique_ptr<HttpConnection> connectHttp(Scheme scheme, const std::string& server, int port,
                                                std::optional<Login> login,
                                                std::string* error) override {
        try {
            if (scheme != Scheme::Http && scheme != Scheme::Https) {
                setError(error, "Not an HTTP address");
                return nullptr;
            }
            if (!usableServer(server) || port < 1 || port > 65535) {
                setError(error,
                         "Not a server name and port: " + server + ":" + std::to_string(port));
                return nullptr;
            }
            auto multi = std::make_shared<Multi>();
            if (!multi->handle) {
                setError(error, "Could not create a transfer handle");
                return nullptr;
            }
            std::string origin = std::string(scheme == Scheme::Https ? "https" : "http") + "://" +
                                 urlHost(server) + ":" + std::to_string(port);
            return std::make_unique<CurlHttpConnection>(settings_, std::move(origin),
                                                        std::move(login), std::move(multi));
        } catch (...) {
            setErrorFromException(error);
            return nullptr;
        }
    }

  private:
    SessionSettings settings_;
};

}  // namespace

std::unique_ptr<Session> CurlTransfer::open(const std::string& agent, const std::string& proxy,
                                            std::string* error) {
    try {
        const CURLcode init = globalInit();
        if (init != CURLE_OK) {
            setError(error, curl_easy_strerror(init));
            return nullptr;
        }
        SessionSettings settings;
        settings.agent = agent;
        settings.proxy = proxy;
        settings.timeouts = timeouts_;
        return std::make_unique<CurlSession>(std::move(settings));
    } catch (...) {
        setErrorFromException(error);
        return nullptr;
    }
}

namespace detail {

std::optional<FtpEntry> parseMlsdLine(std::string_view line) {
    try {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos || space + 1 >= line.size()) return std::nullopt;
        std::string_view facts = line.substr(0, space);
        FtpEntry e;
        e.name = std::string(line.substr(space + 1));
        while (!facts.empty()) {
            const std::size_t semi = facts.find(';');
            const std::string_view fact = facts.substr(0, semi);
            facts = semi == std::string_view::npos ? std::string_view{} : facts.substr(semi + 1);
            const std::size_t eq = fact.find('=');
            if (eq == std::string_view::npos) continue;
            const std::string_view key = fact.substr(0, eq), value = fact.substr(eq + 1);
            if (ingest::equalsIgnoringCase(key, "type")) {
                if (ingest::equalsIgnoringCase(value, "cdir") ||
                    ingest::equalsIgnoringCase(value, "pdir"))
                    return std::nullopt;
                e.directory = ingest::equalsIgnoringCase(value, "dir");
            } else if (ingest::equalsIgnoringCase(key, "size")) {
                e.size = parseSize(value).value_or(0);
            } else if (ingest::equalsIgnoringCase(key, "modify")) {
                // YYYYMMDDHHMMSS, perhaps with fractions of a second; always UTC.
                const std::string_view t = value.substr(0, 14);
                if (t.size() != 14 || !digitsOnly(t)) continue;
                const int y = number(t.substr(0, 4)), mo = number(t.substr(4, 2)),
                          d = number(t.substr(6, 2)), h = number(t.substr(8, 2)),
                          mi = number(t.substr(10, 2)), s = number(t.substr(12, 2));
                if (validDate(y, mo, d, h, mi, s)) e.lastWrite = utcSeconds(y, mo, d, h, mi, s);
            }
        }
        return e;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<FtpEntry> parseListLine(std::string_view line, std::int64_t now) {
    try {
        if (line.empty()) return std::nullopt;
        if (line[0] >= '0' && line[0] <= '9') return parseDosLine(line);
        return parseUnixLine(line, now);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace detail

}  // namespace tw::transfer
