#include "ingest/log_format.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <iterator>
#include <memory>
#include <string>

#include "ingest/log_time.h"
#include "ingest/text_search.h"

namespace tw::ingest {

const std::array<std::string_view, kW3cFieldCount> kW3cFieldNames = {
    "date",      "time",     "c-ip",           "cs-username", "cs-method", "cs-uri-stem",
    "sc-status", "sc-bytes", "cs(User-Agent)", "cs(Referer)", "s-ip"};

namespace {

using Byte = unsigned char;

inline Byte at(const char* p) {
    return static_cast<Byte>(*p);
}

// ---------------------------------------------------------------------------------------------
// Number conversion with C atoi semantics (leading blanks, optional sign, digits; anything else
// ends the number), allocation-free and bounded by the text.

std::int64_t toInt(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool neg = false;
    if (p < end && (*p == '-' || *p == '+')) neg = *p++ == '-';
    std::int64_t v = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (v < 100000000000000LL) v = v * 10 + (*p - '0');
        ++p;
    }
    return neg ? -v : v;
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::int32_t toStatus(const char* p, const char* end) {
    // Nearly every status is three digits that end the field; toInt reads them the same.
    if (end - p >= 3 && isDigit(p[0]) && isDigit(p[1]) && isDigit(p[2]) &&
        (end - p == 3 || !isDigit(p[3])))
        return (p[0] - '0') * 100 + (p[1] - '0') * 10 + (p[2] - '0');
    const std::int64_t v = toInt(p, end);
    return v > 2147483647 || v < -2147483647 ? 0 : static_cast<std::int32_t>(v);
}

// Bytes are read unsigned and 64-bit: one download of an ISO image is more than 2 GB. The
// field is its first blank-delimited word, after any leading blanks; "-" or nothing means 0.
// Anything else must be decimal digits that fit 64 bits: a count that wrapped, or one cut
// short by a stray byte, would put a wrong figure in every total it reaches.
bool toBytesCarefully(const char* p, const char* end, std::uint64_t& out);

// Inlined: a call cost as much as reading the usual four or five digits.
[[gnu::always_inline]] inline bool toBytes(const char* p, const char* end, std::uint64_t& out) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    // One pass for a word of at most 19 digits, which cannot overflow; anything else (a "-",
    // a stray byte, a longer count) takes the careful reading.
    {
        const char* d = p;
        const char* stop = end - p > 19 ? p + 19 : end;
        std::uint64_t v = 0;
        for (unsigned digit; d < stop && (digit = static_cast<unsigned>(*d - '0')) < 10; ++d)
            v = v * 10 + digit;
        if (d == end || *d == ' ' || *d == '\t') {
            out = v;
            return true;
        }
    }
    return toBytesCarefully(p, end, out);
}

bool toBytesCarefully(const char* p, const char* end, std::uint64_t& out) {
    const char* e = p;
    while (e < end && *e != ' ' && *e != '\t') ++e;
    out = 0;
    if (e == p || (e - p == 1 && *p == '-')) return true;
    std::uint64_t v = 0;
    for (; p < e; ++p) {
        if (*p < '0' || *p > '9') return false;
        const auto d = static_cast<std::uint64_t>(*p - '0');
        if (v > (UINT64_MAX - d) / 10) return false;
        v = v * 10 + d;
    }
    out = v;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Time

bool isLeapYear(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(std::int64_t year, int month0) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month0 == 1 && isLeapYear(year) ? 29 : kDays[month0];
}

// A date or time that no calendar holds is no time at all: rolling day 32 into the next month
// or hour 25 into the next day would count the line on a day it was never logged. A second of
// 60 is a leap second, which servers do write.
bool validClock(std::int64_t h, std::int64_t mi, std::int64_t s) {
    return h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 60;
}

// Sets the record's time from a four-digit year. A year the time frame cannot hold keeps the
// line, with the out-of-range marker. False when the date or time is outside its calendar.
bool setTime(LogRecord& rec, std::int64_t year, int month0, std::int64_t day, std::int64_t h,
             std::int64_t mi, std::int64_t s, const ReaderOptions& opt) {
    if (month0 < 0 || month0 > 11 || !validClock(h, mi, s)) return false;
    if (day < 1 || day > daysInMonth(year, month0)) return false;
    if (year < 1970 || year > 2039) {
        rec.time = kTimeYearOutOfRange;
        rec.hour = static_cast<std::int32_t>(floorMod(h + opt.timeOffsetHours, 24));
        rec.weekday = -1;
        return true;
    }
    rec.time = frameSeconds(year, month0 + 1, day, h, mi, s) +
               std::int64_t{3600} * opt.timeOffsetHours;
    rec.hour = hourOf(rec.time);
    rec.weekday = weekdayOf(rec.time);
    return true;
}

bool setNoTime(LogRecord& rec) {
    rec.time = kTimeUnusable;
    rec.hour = -1;
    rec.weekday = -1;
    return true;
}

bool usableText(const char* b, const char* e) {
    return e > b && e - b <= 100;
}

// The month of an English three-letter abbreviation in any letter case; -1 for anything else.
int monthFromName(const char* m, const char* e) {
    static constexpr std::string_view kNames[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                    "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (e - m < 3 || (e - m > 3 && m[3] != '/')) return -1;
    for (int i = 0; i < 12; ++i) {
        const std::string_view n = kNames[i];
        if (foldUpper(at(m)) == n[0] && foldUpper(at(m + 1)) == n[1] &&
            foldUpper(at(m + 2)) == n[2])
            return i;
    }
    return -1;
}

// Two-digit years are taken as 1970-2069; longer ones as written.
std::int64_t fullYear(std::int64_t year, const char* b, const char* e) {
    while (b < e && (*b == ' ' || *b == '\t')) ++b;
    const char* d = b;
    while (d < e && *d >= '0' && *d <= '9') ++d;
    if (d - b > 2) return year;
    return year < 70 ? 2000 + year : 1900 + year;
}

// day/Mon/year:hh:mm:ss zone
bool parseBracketedDate(const char* b, const char* e, LogRecord& rec, const ReaderOptions& opt) {
    if (!usableText(b, e)) return setNoTime(rec);
    const std::int64_t day = toInt(b, e);
    const char* m = std::find(b, e, '/');
    if (m < e) ++m;
    const int month = monthFromName(m, e);
    const char* y = std::find(m, e, '/');
    if (y < e) ++y;
    const char* c1 = std::find(y, e, ':');
    const std::int64_t year = toInt(y, c1);
    const char* c2 = c1 < e ? std::find(c1 + 1, e, ':') : e;
    const char* c3 = c2 < e ? std::find(c2 + 1, e, ':') : e;
    const std::int64_t h = c1 < e ? toInt(c1 + 1, e) : 0;
    const std::int64_t mi = c2 < e ? toInt(c2 + 1, e) : 0;
    const std::int64_t s = c3 < e ? toInt(c3 + 1, e) : 0;
    return setTime(rec, year, month, day, h, mi, s, opt);
}

bool isDigitAt(const char* b, int i) {
    return b[i] >= '0' && b[i] <= '9';
}

// The seconds of a date text that goes on as ":ss" after its 17th byte and then ends, or goes on
// with a byte that is no digit; 60 (never kept) for any other text.
int secondsAfterMinute(const char* b, const char* e) {
    if (e - b < 20 || e - b > 100 || b[17] != ':' || !isDigitAt(b, 18) || !isDigitAt(b, 19) ||
        (e - b > 20 && isDigitAt(b, 20)))
        return 60;
    return (b[18] - '0') * 10 + (b[19] - '0');
}

// Whether the first 17 bytes have the usual shape "dd/Mon/yyyy:hh:mm", so that they alone name
// the minute the full reading finds.
bool usualMinute(const char* b) {
    if (b[2] != '/' || b[6] != '/' || b[11] != ':' || b[14] != ':') return false;
    for (const int i : {0, 1, 7, 8, 9, 10, 12, 13, 15, 16})
        if (!isDigitAt(b, i)) return false;
    return true;
}

// Whether the 17 bytes at `b` are those at `kept`, in three loads a side rather than a call.
bool sameMinute(const char* b, const char* kept) {
    std::uint64_t x[2], y[2];
    std::memcpy(x, b, 16);
    std::memcpy(y, kept, 16);
    return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0 && b[16] == kept[16];
}

// Nearly every line falls in the minute of the line before it; for the usual shape the
// minute's time, hour and weekday are kept and only the seconds are read. Seconds within a
// minute move neither the hour nor the weekday. The kept bytes passed usualMinute() when they
// were kept, so a line that repeats them needs only its seconds checked.
bool bracketedDate(ReaderState& st, const char* b, const char* e, LogRecord& rec) {
    const int seconds = secondsAfterMinute(b, e);
    if (seconds < 60 && st.minuteKnown && st.minuteOffset == st.options.timeOffsetHours &&
        sameMinute(b, st.minute)) {
        rec.time = st.minuteTime + seconds;
        rec.hour = st.minuteHour;
        rec.weekday = st.minuteWeekday;
        return true;
    }
    // Another minute of the kept day: the kept minute passed the calendar checks, so only the
    // new clock needs checking, and the time moves by the clock's difference. An hour or a
    // minute out of range is left to the full reading, which refuses it.
    bool read = false;
    if (seconds < 60 && st.minuteKnown && st.minuteOffset == st.options.timeOffsetHours &&
        std::memcmp(b, st.minute, 11) == 0 && usualMinute(b)) {
        const auto two = [](const char* d) { return (d[0] - '0') * 10 + (d[1] - '0'); };
        const int h = two(b + 12), mi = two(b + 15);
        if (h <= 23 && mi <= 59) {
            rec.time = st.minuteTime +
                       std::int64_t{3600} * (h - two(st.minute + 12)) +
                       60 * (mi - two(st.minute + 15)) + seconds;
            rec.hour = hourOf(rec.time);
            rec.weekday = weekdayOf(rec.time);
            read = true;
        }
    }
    if (!read && !parseBracketedDate(b, e, rec, st.options)) return false;
    // A leap second and the time markers are left to the full reading every time.
    if (seconds < 60 && rec.time > 0 && usualMinute(b)) {
        std::memcpy(st.minute, b, 17);
        st.minuteTime = rec.time - seconds;
        st.minuteHour = rec.hour;
        st.minuteWeekday = rec.weekday;
        st.minuteOffset = st.options.timeOffsetHours;
        st.minuteKnown = true;
    }
    return true;
}

// hh:mm:ss
void parseClock(const char* b, const char* e, std::int64_t& h, std::int64_t& mi, std::int64_t& s) {
    h = toInt(b, e);
    const char* c1 = std::find(b, e, ':');
    mi = c1 < e ? toInt(c1 + 1, e) : 0;
    const char* c2 = c1 < e ? std::find(c1 + 1, e, ':') : e;
    s = c2 < e ? toInt(c2 + 1, e) : 0;
}

bool setNumericTime(LogRecord& rec, std::int64_t year, std::int64_t month1, std::int64_t day,
                    const char* tb, const char* te, const ReaderOptions& opt) {
    if (month1 < 1 || month1 > 12) return false;
    std::int64_t h, mi, s;
    parseClock(tb, te, h, mi, s);
    return setTime(rec, year, static_cast<int>(month1 - 1), day, h, mi, s, opt);
}

// month/day/year, or day.month.year with EuropeanFormat; the year has two digits or four.
bool parseNumericDate(const char* db, const char* de, const char* tb, const char* te,
                      LogRecord& rec, const ReaderOptions& opt) {
    if (!usableText(db, de) || !usableText(tb, te)) return setNoTime(rec);
    const char sep = opt.europeanFormat ? '.' : '/';
    const std::int64_t first = toInt(db, de);
    const char* s1 = std::find(db, de, sep);
    const std::int64_t second = s1 < de ? toInt(s1 + 1, de) : 0;
    const char* s2 = s1 < de ? std::find(s1 + 1, de, sep) : de;
    if (s2 >= de) return false;
    const std::int64_t year = fullYear(toInt(s2 + 1, de), s2 + 1, de);
    const std::int64_t month = opt.europeanFormat ? second : first;
    const std::int64_t day = opt.europeanFormat ? first : second;
    return setNumericTime(rec, year, month, day, tb, te, opt);
}

// year-month-day
bool parseIsoDate(const char* db, const char* de, const char* tb, const char* te, LogRecord& rec,
                  const ReaderOptions& opt) {
    if (!usableText(db, de) || !usableText(tb, te)) return setNoTime(rec);
    const std::int64_t year = fullYear(toInt(db, de), db, de);
    const char* s1 = std::find(db, de, '-');
    const std::int64_t month = s1 < de ? toInt(s1 + 1, de) : 0;
    const char* s2 = s1 < de ? std::find(s1 + 1, de, '-') : de;
    const std::int64_t day = s2 < de ? toInt(s2 + 1, de) : 0;
    return setNumericTime(rec, year, month, day, tb, te, opt);
}

// ---------------------------------------------------------------------------------------------
// Field scanning over one line [p, end).

// Whether [b, e) holds line bytes only. One branch-free pass, sixteen bytes a step where the
// processor has SSE2 (every x86-64 does); it lets the scans below look for their delimiter with
// memchr instead of testing every byte. The compiler's own vectorising of the byte loop costs
// three times as many instructions, for want of an unsigned byte comparison.
bool allLineBytes(const char* b, const char* e) {
    unsigned bad = 0;
    const char* p = b;
#if defined(__SSE2__)
    if (e - b >= 16) {
        const __m128i below = _mm_set1_epi8(0x1F);
        const __m128i del = _mm_set1_epi8(0x7F);
        __m128i found = _mm_setzero_si128();
        const auto check = [&](const char* q) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            // A byte at most 0x1F is its own minimum with 0x1F.
            found = _mm_or_si128(found, _mm_cmpeq_epi8(_mm_min_epu8(v, below), v));
            found = _mm_or_si128(found, _mm_cmpeq_epi8(v, del));
        };
        // Two blocks a step: the loop's own instructions were a third of the check.
        for (; e - p > 32; p += 32) {
            check(p);
            check(p + 16);
        }
        for (; e - p > 16; p += 16) check(p);
        // The last sixteen bytes of the line, overlapping what was checked: a byte-by-byte
        // tail cost more than the rest of the line.
        check(e - 16);
        return _mm_movemask_epi8(found) == 0;
    }
#endif
    for (; p < e; ++p) {
        const Byte c = at(p);
        bad |= static_cast<unsigned>(c < 0x20) | static_cast<unsigned>(c == 0x7F);
    }
    return bad == 0;
}

// The first `x` in [p, end), or end; `begin` is the start of the line p lies in. The fields
// of a line are short, so the call into the library's memchr cost more than the search; the
// last bytes of the line are read with one load that ends at the line's end and may reach
// back before p, never past the line.
[[gnu::always_inline]] inline const char* findInLine(const char* begin, const char* p,
                                                   const char* end, char x) {
#if defined(__SSE2__)
    const __m128i needle = _mm_set1_epi8(x);
    for (; end - p >= 16; p += 16) {
        const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), needle)));
        if (m != 0) return p + __builtin_ctz(m);
    }
    if (p >= end) return end;
    if (end - begin >= 16) {
        const auto skip = static_cast<unsigned>(16 - (end - p));
        const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)),
                               needle))) >>
                           skip;
        return m != 0 ? p + __builtin_ctz(m) : end;
    }
    while (p < end && *p != x) ++p;
    return p;
#else
    (void)begin;
    const void* q = std::memchr(p, x, static_cast<std::size_t>(end - p));
    return q ? static_cast<const char*>(q) : end;
#endif
}

// The first `x` or `y` in [p, end), or end, read as findInLine() reads.
[[gnu::always_inline]] inline const char* findEitherInLine(const char* begin, const char* p,
                                                         const char* end, char x, char y) {
#if defined(__SSE2__)
    const __m128i nx = _mm_set1_epi8(x), ny = _mm_set1_epi8(y);
    const auto hits = [&](const char* q) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, nx), _mm_cmpeq_epi8(v, ny))));
    };
    for (; end - p >= 16; p += 16) {
        const unsigned m = hits(p);
        if (m != 0) return p + __builtin_ctz(m);
    }
    if (p >= end) return end;
    if (end - begin >= 16) {
        const unsigned m = hits(end - 16) >> static_cast<unsigned>(16 - (end - p));
        return m != 0 ? p + __builtin_ctz(m) : end;
    }
#else
    (void)begin;
#endif
    while (p < end && *p != x && *p != y) ++p;
    return p;
}

struct Cursor {
    const char* p;
    const char* end;
    // Set when the whole line holds line bytes only: a field byte is then any byte but " ".
    bool clean = false;

    // The start of the line; only set, and only needed, for a clean one.
    const char* begin = nullptr;

    bool atEnd() const { return p >= end; }

    [[gnu::always_inline]] const char* find(char x) const {
        return findInLine(begin, p, end, x);
    }

    // Field bytes up to the first other byte, which must be `delim` (stepped over) or, when
    // `endOk`, the end of the line.
    [[gnu::always_inline]] bool take(char delim, bool endOk, const char*& b, const char*& e) {
        b = p;
        if (clean)
            p = find(' ');
        else
            while (p < end && isFieldByte(at(p))) ++p;
        e = p;
        if (p >= end) return endOk;
        if (*p != delim) return false;
        ++p;
        return true;
    }
    // Line bytes up to `x`; p is left on `x`.
    [[gnu::always_inline]] bool skipTo(char x) {
        if (clean) {
            p = find(x);
            return p < end;
        }
        while (p < end && *p != x) {
            if (!isLineByte(at(p))) return false;
            ++p;
        }
        return p < end;
    }
    // Line bytes up to `x` into [b, e); p is left after `x`.
    [[gnu::always_inline]] bool collectTo(char x, const char*& b, const char*& e) {
        b = p;
        if (!skipTo(x)) return false;
        e = p++;
        return true;
    }
};

void assign(TextField& f, const char* b, const char* e) {
    f.assign(b, static_cast<std::size_t>(e - b));
}
// A field of a reader whose fields need no change after they are cut from the line.
void take(const ReaderState& st, TextField& f, const char* b, const char* e) {
    if (st.referToLine)
        f.refer(b, static_cast<std::size_t>(e - b));
    else
        assign(f, b, e);
}
void setDash(TextField& f) {
    f.assign("-", 1);
}

std::int32_t methodFrom(Byte c) {
    return c == 'H' ? kMethodHead : c == 'P' ? kMethodPost : kMethodGet;
}

enum class Bracketed { Common, Combined, Loose };

// Records why a line was refused; returns 0, the readers' "no record".
std::size_t refuse(ReaderState& st, RejectReason why) {
    st.reject = why;
    return 0;
}

std::size_t readBracketed(ReaderState& st, const char* line, std::size_t n, LogRecord& rec,
                          Bracketed layout) {
    st.reject = RejectReason::Layout;
    Cursor c{line, line + n, allLineBytes(line, line + n), line};
    const char *hb, *he;
    if (!c.take(' ', false, hb, he)) return 0;
    if (layout == Bracketed::Loose) {
        const char *sb, *se;
        if (!c.take(' ', false, sb, se)) return 0;
        if (he == hb || *hb == '-') hb = sb, he = se;
    }
    const char *db, *de;
    if (!c.skipTo('[')) return 0;
    ++c.p;
    if (!c.collectTo(']', db, de)) return 0;
    if (!c.skipTo('"')) return 0;
    ++c.p;
    const std::int32_t method = c.atEnd() ? kMethodGet : methodFrom(at(c.p));
    // The URL's "/" must lie inside the request: a request of "-" (400 and 408 lines) would
    // otherwise take its URL from the referrer or the agent.
    while (c.p < c.end && *c.p != '/') {
        if (*c.p == '"' || !isLineByte(at(c.p))) return refuse(st, RejectReason::NoRequest);
        ++c.p;
    }
    if (c.atEnd()) return refuse(st, RejectReason::NoRequest);
    const char* ub = c.p;
    // The URL ends at a blank or at the quote that closes a request without a protocol; a
    // quote inside a request is escaped by the server, so a bare one is always the closing one.
    if (c.clean) {
        // Field bytes are all but the blank here: the URL ends at the first blank or quote.
        c.p = findEitherInLine(line, c.p, c.end, ' ', '"');
    } else {
        while (c.p < c.end && *c.p != '"' && isFieldByte(at(c.p))) ++c.p;
    }
    const char* ue = c.p;
    if (c.p < c.end && *c.p == '"') {
        ++c.p;
    } else {
        if (!c.skipTo('"')) return 0;
        ++c.p;
    }
    const char *sb, *se, *bb, *be;
    if (c.atEnd() || *c.p != ' ') return 0;
    ++c.p;
    if (layout == Bracketed::Common) {
        if (!c.take(' ', false, sb, se)) return 0;
        bb = c.p;
        be = c.end;
    } else {
        if (!c.take(' ', false, sb, se)) return 0;
        if (!c.take(' ', false, bb, be)) return 0;
        const char *rb, *re, *ab, *ae;
        if (!c.skipTo('"')) return 0;
        ++c.p;
        if (!c.collectTo('"', rb, re)) return 0;
        if (!c.skipTo('"')) return 0;
        ++c.p;
        if (!c.collectTo('"', ab, ae)) return 0;
        take(st, rec.referrer, rb, re);
        take(st, rec.agent, ab, ae);
    }
    if (!toBytes(bb, be, rec.bytes)) return refuse(st, RejectReason::Bytes);
    if (!bracketedDate(st, db, de, rec)) return refuse(st, RejectReason::Date);
    take(st, rec.host, hb, he);
    take(st, rec.url, ub, ue);
    setDash(rec.user);
    rec.method = method;
    rec.status = toStatus(sb, se);
    return n;
}

// A comma field: line bytes other than ",", ended by "," (stepped over) or, when endOk, the
// end of the line.
bool commaField(Cursor& c, bool endOk, const char*& b, const char*& e) {
    b = c.p;
    while (c.p < c.end && *c.p != ',') {
        if (!isLineByte(at(c.p))) return false;
        ++c.p;
    }
    e = c.p;
    if (c.atEnd()) return endOk;
    ++c.p;
    return true;
}

// IIS writes a blank after every comma; such fields start after it. Only a blank is dropped: a
// writer that omits the blank must not lose the first character of the value.
void dropLeadingByte(const char*& b, const char* e) {
    if (b < e && *b == ' ') ++b;
}

std::size_t readComma(ReaderState& st, const char* line, std::size_t n, LogRecord& rec,
                      bool extended) {
    st.reject = RejectReason::Layout;
    Cursor c{line, line + n};
    const char *b[11], *e[11];
    for (int i = 0; i < 11; ++i)
        if (!commaField(c, false, b[i], e[i])) return 0;
    // Skip to the URL's "/", across the method field.
    while (c.p < c.end && *c.p != '/') {
        if (!isLineByte(at(c.p))) return 0;
        ++c.p;
    }
    if (c.atEnd()) return refuse(st, RejectReason::NoRequest);
    const char *ub, *ue;
    if (!commaField(c, true, ub, ue)) return 0;
    const char* consumed = c.p;
    if (extended) {
        const char *rb, *re, *ab, *ae;
        if (!commaField(c, false, rb, re)) return 0;
        if (!commaField(c, true, ab, ae)) return 0;
        dropLeadingByte(rb, re);
        dropLeadingByte(ab, ae);
        take(st, rec.referrer, rb, re);
        take(st, rec.agent, ab, ae);
        consumed = c.p;
    } else {
        const char* sb = b[6];
        dropLeadingByte(sb, e[6]);
        take(st, rec.serverIp, sb, e[6]);
    }
    if (!toBytes(b[9], e[9], rec.bytes)) return refuse(st, RejectReason::Bytes);
    const char* db = b[2];
    const char* tb = b[3];
    dropLeadingByte(db, e[2]);
    dropLeadingByte(tb, e[3]);
    if (!parseNumericDate(db, e[2], tb, e[3], rec, st.options))
        return refuse(st, RejectReason::Date);
    take(st, rec.host, b[0], e[0]);
    take(st, rec.url, ub, ue);
    setDash(rec.user);
    rec.method = kMethodGet;
    rec.status = toStatus(b[10], e[10]);
    return static_cast<std::size_t>(consumed - line);
}

bool isRunToEndField(int f) {
    return f == kW3cStatus || f == kW3cBytes || f == kW3cUserAgent || f == kW3cReferer;
}

void deriveReaderMap(W3cFieldMap& map) {
    map.fieldAt.fill(-1);
    map.lastNeeded = -1;
    map.runsToEnd = -1;
    for (int f = 0; f < kW3cFieldCount; ++f) {
        const int p = map.pos[f];
        if (p <= 0) continue;
        map.fieldAt[static_cast<std::size_t>(p - 1)] = static_cast<std::int8_t>(f);
        map.lastNeeded = std::max(map.lastNeeded, p - 1);
        // Only a field that is the last one listed may hold blanks: any other would swallow
        // the fields after it.
        if (p == map.lastPos && isRunToEndField(f)) map.runsToEnd = p - 1;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

Capabilities capabilitiesFor(int format, const W3cFieldMap& map) {
    switch (format) {
        case kFormatCommon:
        case kFormatIisComma:
            return {true, false, false, false};
        case kFormatCombined:
        case kFormatIisCommaExtended:
        case kFormatLoose:
            return {true, true, true, false};
        case kFormatW3c:
            return {true, map.has(kW3cReferer), map.has(kW3cUserAgent), false};
        case kFormatAgentLog:
            return {false, false, true, false};
        case kFormatRefererLog:
            return {false, true, false, true};
        default:
            return {};
    }
}

int parseW3cFields(std::string_view directive, W3cFieldMap& map) {
    map.pos.fill(-1);
    map.lastPos = 0;
    map.usable = false;
    // Blanks at the end of the directive are harmless; blanks inside it must be single.
    while (!directive.empty() && directive.back() == ' ') directive.remove_suffix(1);
    int token = 0;
    std::size_t i = 0;
    while (i <= directive.size()) {
        const std::size_t j = std::min(directive.find(' ', i), directive.size());
        const std::string_view tok = directive.substr(i, j - i);
        if (tok.empty() || token >= kW3cMaxTokens) return kFormatW3cUnusable;
        for (unsigned char ch : tok)
            if (!isFieldByte(ch)) return kFormatW3cUnusable;
        if (token > 0) {
            for (int f = 0; f < kW3cFieldCount; ++f)
                if (tok == kW3cFieldNames[static_cast<std::size_t>(f)]) {
                    map.pos[f] = token;  // a name listed twice keeps its later position
                    break;
                }
        }
        map.lastPos = token;
        ++token;
        i = j + 1;
    }
    if (!map.has(kW3cTime) || !map.has(kW3cClientIp) || !map.has(kW3cUriStem) ||
        !map.has(kW3cStatus))
        return kFormatW3cMissingFields;
    deriveReaderMap(map);
    map.usable = true;
    return kFormatW3c;
}

namespace {

// Offset of `needle` at the start of a line within `text`, or npos.
std::size_t findAtLineStart(std::string_view text, std::string_view needle) {
    const Pattern pat(needle, Pattern::Case::Insensitive);
    std::size_t from = 0;
    while (from < text.size()) {
        const long hit = pat.find(text.substr(from));
        if (hit < 0) return std::string_view::npos;
        const std::size_t pos = from + static_cast<std::size_t>(hit);
        if (pos == 0 || text[pos - 1] == '\n' || text[pos - 1] == '\r') return pos;
        from = pos + 1;
    }
    return std::string_view::npos;
}

std::string_view lineFrom(std::string_view text, std::size_t pos) {
    std::size_t e = pos;
    while (e < text.size() && text[e] != '\r' && text[e] != '\n') ++e;
    return text.substr(pos, e - pos);
}

}  // namespace

namespace {

// The format the blank and comma counts of the window point to.
int countedFormat(std::string_view sniff) {
    std::size_t lines = 0, blanks = 0, commas = 0, i = 0;
    bool inside = false;
    while (i < sniff.size() && lines < 50) {
        const char ch = sniff[i];
        if (ch == '\r' || ch == '\n') {
            ++lines;
            inside = false;
            // Any two adjacent line-end bytes end one line, "\n\n" and "\r\r" as well as CRLF:
            // counting a blank line between records as a line of its own halves the blanks a
            // line, and a double-spaced common log would be taken for the loose layout, which
            // rejects every one of its lines.
            if (i + 1 < sniff.size() && (sniff[i + 1] == '\r' || sniff[i + 1] == '\n')) ++i;
        } else if (ch == '"') {
            inside = !inside;
        } else if (ch == '[') {
            inside = true;
        } else if (ch == ']') {
            inside = false;
        } else if (!inside && ch == ' ') {
            ++blanks;
        } else if (!inside && ch == ',') {
            ++commas;
        }
        ++i;
    }
    // A log of one line without a line end is still one line: without this its blanks would
    // count for nothing and its only record be rejected by the loose reader.
    if (lines == 0 && i > 0) lines = 1;
    const std::size_t blanksPerLine = lines ? blanks / lines : 0;
    const std::size_t commasPerLine = lines ? commas / lines : 0;
    if (lines > 0) {
        if (commasPerLine > 16) return kFormatIisCommaExtended;
        if (commasPerLine > 1) return kFormatIisComma;
    }
    if (blanksPerLine > 7) return kFormatCombined;
    if (blanksPerLine >= 5) return kFormatCommon;
    return kFormatLoose;
}

// Formats a vote may choose, richest first: a tie goes to the one that keeps more of the line
// (a combined line also reads as common, without its referrer and agent).
constexpr int kVoteFormats[] = {kFormatCombined, kFormatIisCommaExtended, kFormatLoose,
                                kFormatCommon, kFormatIisComma};

}  // namespace

int detectFormat(std::string_view sniff, W3cFieldMap& map, const ReaderOptions& options) {
    if (sniff.size() > 10000) sniff = sniff.substr(0, 10000);
    // A field directive means W3C whoever wrote it: the format defines every field by its place
    // in the directive, so it wins over the blank and comma counts below.
    const std::size_t fields = findAtLineStart(sniff, "#Fields: ");
    if (fields != std::string_view::npos) return parseW3cFields(lineFrom(sniff, fields), map);

    const int counted = countedFormat(sniff);
    // The lines of the window that could be records: not empty, not comments, and not an
    // unended last one, which the window may have cut.
    std::string_view text = sniff;
    const std::size_t lastEnd = text.find_last_of("\r\n");
    if (lastEnd != std::string_view::npos) text = text.substr(0, lastEnd);
    constexpr std::size_t kVoters = std::size(kVoteFormats);
    std::size_t accepted[kVoters] = {};
    std::size_t countedIndex = 0;
    for (std::size_t k = 0; k < kVoters; ++k)
        if (kVoteFormats[k] == counted) countedIndex = k;
    std::size_t candidates = 0;
    std::string readable;  // the lines some format reads, one a line
    auto rec = std::make_unique<LogRecord>();
    ReaderState st;
    st.options = options;
    bool blankOrComment = false;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t e = text.find_first_of("\r\n", i);
        if (e == std::string_view::npos) e = text.size();
        const std::string_view line = text.substr(i, e - i);
        i = e + 1;
        if (e < text.size() && text[e] == '\r' && i < text.size() && text[i] == '\n') ++i;
        if (line.empty() || line[0] == '#') {
            blankOrComment = true;
            continue;
        }
        ++candidates;
        bool any = false;
        for (std::size_t k = 0; k < kVoters; ++k)
            if (readerFor(kVoteFormats[k])(st, line.data(), line.size(), *rec) > 0) {
                ++accepted[k];
                any = true;
            }
        if (any) readable.append(line).push_back('\n');
    }
    // A clean file, every line of which reads under the format its counts point to, keeps
    // that format, as it always has. Blank and comment lines count as lines there, and so
    // distort the counts: a file holding any is judged as the others are.
    if (!blankOrComment && accepted[countedIndex] == candidates) return counted;
    // Otherwise the counts are taken again over the lines that read at all, and the format
    // they point to wins any tie: comma lines of the plain layout also read as the extended
    // one, which would take their last field for a referrer.
    const int recounted = countedFormat(readable);
    std::size_t best = 0;
    for (std::size_t k = 0; k < kVoters; ++k) {
        if (accepted[k] > accepted[best] ||
            (accepted[k] == accepted[best] && kVoteFormats[k] == recounted))
            best = k;
    }
    if (accepted[best] == 0) return counted;
    return kVoteFormats[best];
}

bool readW3cDate(std::string_view text, ReaderState& state) {
    const std::size_t pos = findAtLineStart(text, "#Date: ");
    if (pos == std::string_view::npos) return false;
    const std::string_view line = lineFrom(text, pos).substr(7);
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank == 0 || blank > sizeof(state.w3cDate) - 1)
        return false;
    std::memcpy(state.w3cDate, line.data(), blank);
    state.w3cDate[blank] = '\0';
    state.w3cDateLength = static_cast<int>(blank);
    return true;
}

void applyDirective(int format, std::string_view line, ReaderState& state) {
    if (format != kFormatW3c) return;
    // Concatenated daily logs and restarted servers repeat their header, sometimes with another
    // field list: each directive governs the lines after it.
    const auto startsWith = [&](std::string_view prefix) {
        return line.size() >= prefix.size() &&
               findText(line.substr(0, prefix.size()), prefix, Pattern::Case::Insensitive) == 0;
    };
    if (startsWith("#Fields: ")) {
        parseW3cFields(line, state.w3c);
        state.caps = capabilitiesFor(kFormatW3c, state.w3c);
        state.sawW3cHeader = true;
        state.lastW3cHeaderHadBytes = state.w3c.has(kW3cBytes);
    } else if (startsWith("#Date: ")) {
        readW3cDate(line, state);
    }
}

std::size_t readCommonLine(ReaderState& st, const char* l, std::size_t n, LogRecord& r) {
    return readBracketed(st, l, n, r, Bracketed::Common);
}
std::size_t readCombinedLine(ReaderState& st, const char* l, std::size_t n, LogRecord& r) {
    return readBracketed(st, l, n, r, Bracketed::Combined);
}
std::size_t readLooseLine(ReaderState& st, const char* l, std::size_t n, LogRecord& r) {
    return readBracketed(st, l, n, r, Bracketed::Loose);
}
std::size_t readIisCommaLine(ReaderState& st, const char* l, std::size_t n, LogRecord& r) {
    return readComma(st, l, n, r, false);
}
std::size_t readIisCommaExtendedLine(ReaderState& st, const char* l, std::size_t n, LogRecord& r) {
    return readComma(st, l, n, r, true);
}

std::size_t readW3cLine(ReaderState& st, const char* line, std::size_t n, LogRecord& rec) {
    const W3cFieldMap& map = st.w3c;
    if (!map.usable) return refuse(st, RejectReason::NoFieldMap);
    st.reject = RejectReason::Layout;
    Cursor c{line, line + n};
    const char* fb[kW3cFieldCount] = {};
    const char* fe[kW3cFieldCount] = {};
    for (int k = 0; k <= map.lastNeeded; ++k) {
        const char *b, *e;
        if (c.atEnd()) return 0;  // the line lacks a field the reader needs
        if (k == map.runsToEnd) {
            b = c.p;
            while (c.p < c.end && isLineByte(at(c.p))) ++c.p;
            e = c.p;
            // A count cut short by a control byte is no count: "1\0" "00" is not 1.
            if (c.p < c.end && map.fieldAt[static_cast<std::size_t>(k)] == kW3cBytes)
                return refuse(st, RejectReason::Bytes);
        } else if (!c.take(' ', true, b, e)) {
            return 0;
        }
        const int f = map.fieldAt[static_cast<std::size_t>(k)];
        if (f >= 0) fb[f] = b, fe[f] = e;
    }
    // The URL starts at the stem's first "/"; a stem without one is no web request.
    const char* ub = std::find(fb[kW3cUriStem], fe[kW3cUriStem], '/');
    if (ub == fe[kW3cUriStem]) return refuse(st, RejectReason::NoRequest);
    if (map.has(kW3cBytes)) {
        if (!toBytes(fb[kW3cBytes], fe[kW3cBytes], rec.bytes))
            return refuse(st, RejectReason::Bytes);
    } else {
        rec.bytes = 0;
    }
    const bool dated =
        map.has(kW3cDate)
            ? parseIsoDate(fb[kW3cDate], fe[kW3cDate], fb[kW3cTime], fe[kW3cTime], rec, st.options)
            : parseIsoDate(st.w3cDate, st.w3cDate + st.w3cDateLength, fb[kW3cTime],
                           fe[kW3cTime], rec, st.options);
    if (!dated) return refuse(st, RejectReason::Date);

    assign(rec.host, fb[kW3cClientIp], fe[kW3cClientIp]);
    assign(rec.url, ub, fe[kW3cUriStem]);
    if (map.has(kW3cUserName))
        assign(rec.user, fb[kW3cUserName], fe[kW3cUserName]);
    else
        setDash(rec.user);
    if (map.has(kW3cServerIp))
        assign(rec.serverIp, fb[kW3cServerIp], fe[kW3cServerIp]);
    else
        setDash(rec.serverIp);
    rec.method = map.has(kW3cMethod) && fb[kW3cMethod] < fe[kW3cMethod]
                     ? methodFrom(at(fb[kW3cMethod]))
                     : kMethodGet;
    rec.status = toStatus(fb[kW3cStatus], fe[kW3cStatus]);
    if (map.has(kW3cUserAgent)) {
        assign(rec.agent, fb[kW3cUserAgent], fe[kW3cUserAgent]);
        std::replace(rec.agent.text, rec.agent.text + rec.agent.length, '+', ' ');
    } else {
        rec.agent.assign("", 0);
    }
    if (map.has(kW3cReferer))
        assign(rec.referrer, fb[kW3cReferer], fe[kW3cReferer]);
    else
        rec.referrer.assign("", 0);
    return n;
}

std::size_t readAgentLine(ReaderState& st, const char* line, std::size_t n, LogRecord& rec) {
    st.reject = RejectReason::Layout;
    std::size_t e = 0;
    while (e < n && isLineByte(static_cast<Byte>(line[e]))) ++e;
    if (e == 0) return 0;
    rec.agent.assign(line, e);
    return e;
}

std::size_t readRefererLine(ReaderState& st, const char* line, std::size_t n, LogRecord& rec) {
    st.reject = RejectReason::Layout;
    Cursor c{line, line + n};
    const char *rb, *re, *ab, *ae;
    if (!c.take(' ', false, rb, re)) return 0;
    if (!c.take(' ', false, ab, ae)) return 0;
    const char* ub = c.p;
    while (c.p < c.end && isLineByte(at(c.p))) ++c.p;
    assign(rec.referrer, rb, re);
    assign(rec.url, ub, c.p);
    return static_cast<std::size_t>(c.p - line);
}

LineReader readerFor(int format) {
    switch (format) {
        case kFormatCommon:
            return readCommonLine;
        case kFormatCombined:
            return readCombinedLine;
        case kFormatIisComma:
            return readIisCommaLine;
        case kFormatIisCommaExtended:
            return readIisCommaExtendedLine;
        case kFormatW3c:
            return readW3cLine;
        case kFormatLoose:
            return readLooseLine;
        case kFormatAgentLog:
            return readAgentLine;
        case kFormatRefererLog:
            return readRefererLine;
        default:
            return nullptr;
    }
}

std::string_view rejectReasonText(RejectReason why) {
    switch (why) {
        case RejectReason::None:
            return "accepted";
        case RejectReason::Layout:
            return "the fields do not follow the log's layout";
        case RejectReason::NoRequest:
            return "the request holds no URL";
        case RejectReason::Date:
            return "the date or time does not exist";
        case RejectReason::Bytes:
            return "the byte count is not a number of at most 64 bits";
        case RejectReason::NoFieldMap:
            return "no usable #Fields directive comes before the line";
    }
    return "unknown";
}

std::string companionFileName(std::string_view accessPath, std::string_view word) {
    // Only the file name is searched: a folder called "access" must not be renamed.
    const std::size_t slash = accessPath.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t hit = accessPath.find("access", nameStart);
    if (hit == std::string_view::npos) return {};
    std::string out;
    out.reserve(accessPath.size() + word.size());
    out.append(accessPath.substr(0, hit)).append(word).append(accessPath.substr(hit + 6));
    if (out.size() > 500) return {};
    return out;
}

}  // namespace tw::ingest
