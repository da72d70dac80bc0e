#include "transfer/log_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "ingest/text_search.h"

namespace tw::transfer {

namespace fs = std::filesystem;

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

std::size_t lastSeparator(std::string_view path) {
    return path.find_last_of("/\\");
}

// Rewrites `text` into a format that strftime handles in a defined way: conversions it does
// not define (and a lone "%" at the end) are undefined behaviour in C and differ between C
// libraries, so they become a literal "%" followed by the text as written.
std::string safeTimeFormat(std::string_view text) {
    static constexpr std::string_view kPlain = "aAbBcCdDeFgGhHIjmMnprRStTuUVwWxXyYzZ%";
    static constexpr std::string_view kWithE = "cCxXyY";
    static constexpr std::string_view kWithO = "deHImMSuUVwWy";
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\0') continue;  // would end the format early
        if (c != '%') {
            out += c;
            continue;
        }
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const char after = i + 2 < text.size() ? text[i + 2] : '\0';
        if (next != '\0' && kPlain.find(next) != std::string_view::npos) {
            out += c;
            out += next;
            ++i;
        } else if ((next == 'E' && after != '\0' && kWithE.find(after) != std::string_view::npos) ||
                   (next == 'O' && after != '\0' && kWithO.find(after) != std::string_view::npos)) {
            out += c;
            out += next;
            out += after;
            i += 2;
        } else {
            out += "%%";
        }
    }
    return out;
}

// strftime returns 0 both for "did not fit" and for an empty result; a sentinel byte at the end
// makes every successful result non-empty, so 0 always means "grow the buffer".
std::string formatTime(std::string_view text, const std::tm& when) {
    std::string fmt = safeTimeFormat(text);
    fmt += '\x01';
    constexpr std::size_t kLimit = std::size_t{1} << 24;
    for (std::size_t size = fmt.size() * 4 + 256; size <= kLimit; size *= 2) {
        std::string buf(size, '\0');
        const std::size_t n = std::strftime(buf.data(), buf.size(), fmt.c_str(), &when);
        if (n > 0) {
            buf.resize(n - 1);
            return buf;
        }
    }
    return std::string(text);
}

// The atoi reading of the macro's number, bounded so the date arithmetic cannot overflow.
long backdayCount(std::string_view digits) {
    std::size_t i = 0;
    while (i < digits.size() && (digits[i] == ' ' || digits[i] == '\t')) ++i;
    bool negative = false;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) negative = digits[i++] == '-';
    long n = 0;
    constexpr long kMaxDays = 1000000;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i)
        n = std::min(kMaxDays, n * 10 + (digits[i] - '0'));
    return negative ? -n : n;
}

std::string trimmed(std::string_view s) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos) return {};
    const std::size_t e = s.find_last_not_of(kBlanks);
    return std::string(s.substr(b, e - b + 1));
}

class Expander {
  public:
    explicit Expander(std::vector<std::string>& out) : out_(out) {}

    void entry(const std::string& e) {
        if (e.empty()) return;
        const std::string pattern = namePart(e);
        if (pattern.find_first_of("*?") == std::string::npos) {
            concrete(e, false);
            return;
        }
        const std::string dir = directoryPart(e);
        for (const std::string& name : listing(dir.empty() ? std::string(".") : dir)) {
            if (ingest::wildcardMatch(pattern, name)) concrete(joinPath(dir, name), true);
        }
    }

  private:
    // A listed name is a real entry of the file system: it is never read as a wildcard again,
    // or a file named "a*" would match itself for ever.
    void concrete(const std::string& path, bool listed) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            // Missing, or a dangling link: the run's open error tells the user which.
            out_.push_back(path);
        } else if (S_ISDIR(st.st_mode)) {
            directory(path, st);
        } else if (S_ISREG(st.st_mode) || !listed) {
            out_.push_back(path);
        }
    }

    void directory(const std::string& path, const struct stat& st) {
        const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
        if (ancestors_.size() >= kMaxDepth ||
            std::find(ancestors_.begin(), ancestors_.end(), id) != ancestors_.end())
            return;
        ancestors_.push_back(id);
        for (const std::string& name : listing(path)) concrete(joinPath(path, name), true);
        ancestors_.pop_back();
    }

    static std::vector<std::string> listing(const std::string& dir) {
        std::vector<std::string> names;
        std::error_code ec;
        fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (!name.empty() && name[0] != '.') names.push_back(std::move(name));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static constexpr std::size_t kMaxDepth = 64;
    std::vector<std::string>& out_;
    std::vector<std::pair<dev_t, ino_t>> ancestors_;
};

}  // namespace

std::vector<std::string> expandLogPaths(std::string_view text, const platform::Clock& clock) {
    std::string paths(text);
    long backDays = 0;
    constexpr std::string_view kMacro = "%BACKDAY";
    const std::size_t macro = paths.find(kMacro);
    if (macro != std::string::npos) {
        const std::size_t close = paths.find('%', macro + kMacro.size());
        if (close != std::string::npos) {
            const std::size_t digits = macro + kMacro.size();
            backDays = backdayCount(std::string_view(paths).substr(digits, close - digits));
            paths.erase(macro, close - macro + 1);
        }
    }

    ::tzset();
    const std::time_t now = static_cast<std::time_t>(clock.nowSeconds());
    std::tm when{};
    std::string formatted;
    if (::localtime_r(&now, &when) != nullptr) {
        if (backDays != 0) {
            // Calendar days, not 86400-second steps: across a daylight-saving change those would
            // land an hour off and, near midnight, on the wrong date.
            when.tm_mday -= static_cast<int>(backDays);
            when.tm_isdst = -1;
            std::tm normalised = when;
            if (std::mktime(&normalised) != static_cast<std::time_t>(-1)) when = normalised;
        }
        formatted = formatTime(paths, when);
    } else {
        formatted = paths;
    }

    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= formatted.size()) {
        std::size_t end = formatted.find(';', start);
        if (end == std::string::npos) end = formatted.size();
        std::string entry = trimmed(std::string_view(formatted).substr(start, end - start));
        if (!entry.empty()) entries.push_back(std::move(entry));
        start = end + 1;
    }
    return entries;
}

std::vector<std::string> expandLocalEntries(const std::vector<std::string>& entries,
                                            std::vector<std::size_t>* groups) {
    std::vector<std::string> files;
    Expander expander(files);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        expander.entry(entries[k]);
        if (groups) groups->resize(files.size(), k);
    }
    return files;
}

std::string programDirectory() {
    std::string buf(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) {
            buf.resize(static_cast<std::size_t>(n));
            return directoryPart(buf);
        }
        if (buf.size() >= 65536) return {};
        buf.resize(buf.size() * 2);
    }
}

std::string directoryPart(std::string_view path) {
    const std::size_t sep = lastSeparator(path);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string namePart(std::string_view path) {
    const std::size_t sep = lastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string joinPath(std::string_view first, std::string_view second) {
    if (first.empty()) return std::string(second);
    while (!first.empty() && isSeparator(first.back())) first.remove_suffix(1);
    while (!second.empty() && isSeparator(second.front())) second.remove_prefix(1);
    std::string out;
    out.reserve(first.size() + 1 + second.size());
    out.append(first);
    out += '/';
    out.append(second);
    return out;
}

std::string stripLeadingSeparator(std::string_view path) {
    if (!path.empty() && isSeparator(path.front())) path.remove_prefix(1);
    return std::string(path);
}

std::string unifySeparators(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string folderSafeName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c != '\0' && std::string_view("#%*/;?\\").find(c) == std::string_view::npos) out += c;
    }
    return out;
}

bool safeComponent(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool makeDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

std::string downloadFolder(std::string_view base, std::string_view reportName) {
    const std::string safe = folderSafeName(reportName);
    if (safe.empty() || safe == "." || safe == "..") return std::string(base);
    return joinPath(base, safe);
}

}  // namespace tw::transfer
