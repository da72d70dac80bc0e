// Any bytes as log lines, under every format and any reader options: a reader must never read
// outside its line, must say why it refused one, and whatever it accepts must be a record the
// analysis can trust (texts within their buffers, a real calendar time or a marker, a URL that
// starts with "/").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "ingest/log_format.h"
#include "ingest/log_record.h"
#include "ingest/log_time.h"

namespace {

using namespace tw::ingest;

void check(bool ok) {
    if (!ok) std::abort();
}

void checkText(const TextField& f) {
    check(f.length >= 0 && f.length <= kFieldMax);
    check(f.text[f.length] == '\0');
}

constexpr int kFormats[] = {kFormatCommon,   kFormatCombined,  kFormatIisComma,
                            kFormatIisCommaExtended, kFormatW3c, kFormatLoose,
                            kFormatAgentLog, kFormatRefererLog};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    static auto rec = std::make_unique<LogRecord>();
    const int format = kFormats[data[0] % std::size(kFormats)];
    ReaderState st;
    st.options.europeanFormat = (data[1] & 1) != 0;
    st.options.timeOffsetHours = static_cast<int>(data[2] % 49) - 24;
    st.caps = {(data[3] & 1) != 0, (data[3] & 2) != 0, (data[3] & 4) != 0, (data[3] & 8) != 0};
    if (data[1] & 2)
        applyDirective(kFormatW3c,
                       "#Fields: date time c-ip cs-username cs-method cs-uri-stem sc-status "
                       "sc-bytes cs(User-Agent) cs(Referer) s-ip",
                       st);
    const std::string_view text(reinterpret_cast<const char*>(data) + 4, size - 4);

    W3cFieldMap map;
    const int detected = detectFormat(text, map, st.options);
    check(detected >= 0 && detected <= kFormatLoose);
    if (detected == kFormatW3c) check(map.usable);

    const LineReader reader = readerFor(format);
    check(reader != nullptr);
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t e = i;
        while (e < text.size() && text[e] != '\n' && text[e] != '\r') ++e;
        const std::string_view line = text.substr(i, e - i);
        i = e + 1;
        if (line.empty()) continue;
        if (line[0] == '#') {
            applyDirective(format, line, st);
            continue;
        }
        // A copy of exactly the line's size, so a read past its end is caught.
        std::unique_ptr<char[]> own(new char[line.size()]);
        std::memcpy(own.get(), line.data(), line.size());
        st.reject = RejectReason::None;
        const std::size_t used = reader(st, own.get(), line.size(), *rec);
        check(used <= line.size());
        if (used == 0) {
            check(st.reject != RejectReason::None);
            check(!rejectReasonText(st.reject).empty());
            continue;
        }
        checkText(rec->host);
        checkText(rec->url);
        checkText(rec->referrer);
        checkText(rec->agent);
        checkText(rec->user);
        checkText(rec->serverIp);
        if (format == kFormatAgentLog || format == kFormatRefererLog) continue;
        check(rec->url.length > 0 && rec->url.text[0] == '/');
        if (rec->dated()) {
            check(rec->hour >= 0 && rec->hour <= 23);
            check(rec->weekday >= 0 && rec->weekday <= 6);
            check(rec->hour == hourOf(rec->time) && rec->weekday == weekdayOf(rec->time));
            const CivilTime c = civilFromFrame(rec->time);
            // 1970..2039 as logged, moved by at most a day by the offset.
            check(c.year >= 1969 && c.year <= 2040);
        } else {
            check(rec->time == kTimeUnusable || rec->time == kTimeYearOutOfRange);
            check(rec->hour >= -1 && rec->hour <= 23);
        }
    }
    return 0;
}
