#include "presentation/graph_model.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "ingest/log_time.h"

namespace tw::presentation {
namespace {

// The integer a cell starts with, as the list view's number sort reads it; values beyond the
// signed range (byte counts are unsigned) are held at its end rather than wrapped.
std::int64_t leadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative || (i < text.size() && text[i] == '+')) ++i;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) overflow = true;
        if (!overflow) value = value * 10 + digit;
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (overflow || value > kMax)
        return negative ? std::numeric_limits<std::int64_t>::min()
                        : std::numeric_limits<std::int64_t>::max();
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

double number(const std::string& text) {
    double value = 0;
    const char* first = text.data();
    while (first < text.data() + text.size() && *first == ' ') ++first;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    (void)end;
    return ec == std::errc() && std::isfinite(value) ? value : 0.0;
}

// The six colon-separated fields of a start time or step text; false when it has another shape.
bool fields(const std::string& text, std::array<std::int64_t, 6>& out) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto [next, ec] = std::from_chars(p, end, out[i]);
        if (ec != std::errc() || out[i] < 0) return false;
        p = next;
        if (i + 1 < out.size()) {
            if (p == end || *p != ':') return false;
            ++p;
        }
    }
    return p == end;
}

// "YYYY:MM:DD:HH:MM:SS" as a day number with the time as its fraction.
bool startDay(const std::string& text, double& day) {
    std::array<std::int64_t, 6> f{};
    if (!fields(text, f) || f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31) return false;
    day = static_cast<double>(ingest::daysFromCivil(f[0], static_cast<int>(f[1]), f[2])) +
          static_cast<double>(f[3] * 3600 + f[4] * 60 + f[5]) / 86400.0;
    return true;
}

// A step "0000:MM:DD:HH:MM:SS" in days; months count 30 days, years 365.
bool stepDays(const std::string& text, double& days) {
    std::array<std::int64_t, 6> f{};
    if (!fields(text, f)) return false;
    days = static_cast<double>(f[0] * 365 + f[1] * 30 + f[2]) +
           static_cast<double>(f[3] * 3600 + f[4] * 60 + f[5]) / 86400.0;
    return true;
}

constexpr std::array<const char*, 12> kMonths{"January", "February", "March",     "April",
                                              "May",     "June",     "July",      "August",
                                              "September", "October", "November", "December"};

void pie(const ReportTable& t, GraphModel& g) {
    // The sum may pass the 64-bit range on counts near its end.
    long double total = 0;
    std::vector<std::int64_t> values;
    values.reserve(static_cast<std::size_t>(t.rows()));
    for (int r = 0; r < t.rows(); ++r) {
        values.push_back(leadingInteger(t.cell(r, 1)));
        total += static_cast<long double>(values.back());
    }
    for (int r = 0; r < t.rows(); ++r) {
        const std::int64_t v = values[static_cast<std::size_t>(r)];
        const double share =
            total != 0 ? static_cast<double>(static_cast<long double>(v) / total) : 0.0;
        char percent[64];
        std::snprintf(percent, sizeof percent, " (%.2f%%)", share * 100.0);
        g.ranked.push_back({t.cell(r, 0) + percent, v, share});
    }
    // Largest first; of equal values the earlier row stays ahead, as a selection sort that
    // swaps only on a strictly larger value leaves them.
    for (std::size_t i = 0; i < g.ranked.size(); ++i) {
        std::size_t best = i;
        for (std::size_t j = i + 1; j < g.ranked.size(); ++j)
            if (g.ranked[j].value > g.ranked[best].value) best = j;
        std::swap(g.ranked[i], g.ranked[best]);
    }
    std::size_t nonZero = 0;
    for (const PieSlice& s : g.ranked) nonZero += s.value != 0 ? 1 : 0;
    const std::size_t n = std::min(nonZero, kMaxPieSlices);
    g.slices.assign(g.ranked.begin(), g.ranked.begin() + static_cast<std::ptrdiff_t>(n));
}

void bars(const ReportTable& t, GraphModel& g) {
    for (int r = 0; r < t.rows(); ++r) {
        g.categories.push_back(t.cell(r, 0));
        g.y.push_back(number(t.cell(r, 1)));
        g.yMax = std::max(g.yMax, g.y.back());
    }
}

void timeLine(const ReportTable& t, GraphModel& g) {
    const bool days = t.kind(0) == ColumnKind::ByKeyOrdered;
    for (int r = 0; r < t.rows(); ++r) {
        g.x.push_back(days ? static_cast<double>(t.key(r))
                           : static_cast<double>(leadingInteger(t.cell(r, 0))));
        g.y.push_back(number(t.cell(r, 1)));
        g.yMax = std::max(g.yMax, g.y.back());
    }
    if (g.x.empty()) return;
    g.xMin = g.x.front();
    g.xMax = g.x.back();
    double start = 0, step = 0;
    if (t.dateLabelFormat.empty() || !startDay(t.graphStartTime, start)) return;
    if (!stepDays(t.graphStep, step) || step <= 0) step = std::max(1.0, g.xMax - start);
    // The labels name days only: ticks between midnights would repeat a day's name at a place
    // that is not that day.
    step = std::ceil(step - 1e-9);
    // A hundred ticks are more than any axis can label; a step that small is a fault of the
    // table, not a reason to write thousands of labels.
    for (int k = 0; k <= 100; ++k) {
        const double x = start + step * k;
        if (x > g.xMax + 1e-9) break;
        g.ticks.push_back({x, formatDateLabel(t.dateLabelFormat, x)});
    }
}

}  // namespace

std::string formatDateLabel(std::string_view format, double day) {
    const ingest::CivilTime c =
        ingest::civilFromFrame(static_cast<std::int64_t>(std::floor(day)) * 86400);
    const char* month = kMonths[static_cast<std::size_t>(c.month - 1)];
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        const char letter = format[i];
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == letter) ++run;
        char buf[32];
        buf[0] = '\0';
        const auto two = [&buf](int v) { std::snprintf(buf, sizeof buf, "%02d", v % 100); };
        if (letter == 'd') {
            if (run == 1)
                std::snprintf(buf, sizeof buf, "%d", c.day);
            else
                two(c.day);
        } else if (letter == 'm') {
            if (run == 1)
                std::snprintf(buf, sizeof buf, "%d", c.month);
            else if (run == 2)
                two(c.month);
            else if (run == 3)
                std::snprintf(buf, sizeof buf, "%.3s", month);
            else
                std::snprintf(buf, sizeof buf, "%s", month);
        } else if (letter == 'y') {
            if (run <= 2)
                two(((c.year % 100) + 100) % 100);
            else
                std::snprintf(buf, sizeof buf, "%d", c.year);
        } else {
            out.append(format.substr(i, run));
            i += run;
            continue;
        }
        out += buf;
        i += run;
    }
    return out;
}

GraphModel graphOf(const ReportTable& t) {
    GraphModel g;
    g.style = t.graphStyle;
    g.title = t.title;
    g.xAxisTitle = t.xAxisTitle;
    g.yAxisTitle = t.yAxisTitle;
    switch (t.graphStyle) {
        case GraphStyle::Pie:
            pie(t, g);
            break;
        case GraphStyle::Time:
            timeLine(t, g);
            break;
        case GraphStyle::Bars:
            bars(t, g);
            break;
    }
    return g;
}

}  // namespace tw::presentation
