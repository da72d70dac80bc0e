#include "export/svg_chart.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string_view>

#include "export/html_writer.h"
#include "export/utf8_text.h"

namespace tw::exporter {
namespace {

using presentation::GraphModel;
using presentation::GraphStyle;

// The plot area of bars and time lines; the margins hold the value labels on the left, the
// category or date labels and the axis title below.
constexpr double kLeft = 78;
constexpr double kRight = 620;
constexpr double kTop = 48;
constexpr double kBottom = 286;

constexpr std::array<const char*, 8> kPalette{"#1F4E9E", "#E07B39", "#3A9A4B", "#C0392B",
                                              "#8E5BB5", "#8C6239", "#D45FA8", "#7F8C8D"};
constexpr std::string_view kEol = "\r\n";

// Fixed notation, trailing zeros dropped: "12.5", "3", never "1e+06" and never a comma, so
// the bytes do not depend on the locale or the library's shortest-form choices.
std::string num(double v, int decimals = 2) {
    if (!std::isfinite(v)) v = 0;
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return "0";
    std::string s(buffer, end);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

std::string text(std::string_view raw) {
    return escapeHtml(xmlSafeText(raw));
}

// At most `limit` characters, the cut marked; cut before escaping so that no entity and no
// UTF-8 sequence is split.
std::string shortened(std::string_view raw, std::size_t limit) {
    std::string clean = xmlSafeText(raw);
    std::size_t characters = 0;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if ((static_cast<unsigned char>(clean[i]) & 0xC0) == 0x80) continue;
        if (++characters > limit) {
            clean.resize(i);
            clean += "...";
            break;
        }
    }
    return escapeHtml(clean);
}

// A step of 1, 2 or 5 times a power of ten, the smallest such at least `raw`.
double niceStep(double raw) {
    if (!(raw > 0) || !std::isfinite(raw)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    const double nice = f <= 1 + 1e-9 ? 1 : f <= 2 + 1e-9 ? 2 : f <= 5 + 1e-9 ? 5 : 10;
    return nice * power;
}

class Picture {
  public:
    explicit Picture(const GraphModel& g) : g_(g) {}

    std::string draw() {
        out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kSvgWidth) +
                "\" height=\"" + num(kSvgHeight) + "\" viewBox=\"0 0 " + num(kSvgWidth) + " " +
                num(kSvgHeight) +
                "\" font-family=\"Arial, Helvetica, sans-serif\" font-size=\"11\">";
        out_ += kEol;
        out_ += "<title>" + text(g_.title) + "</title>";
        out_ += kEol;
        out_ += "<rect width=\"" + num(kSvgWidth) + "\" height=\"" + num(kSvgHeight) +
                "\" fill=\"#FFFFFF\" stroke=\"#CCCCCC\"/>";
        out_ += kEol;
        label(kSvgWidth / 2.0, 28, text(g_.title),
              " text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"");
        switch (g_.style) {
            case GraphStyle::Pie:
                pie();
                break;
            case GraphStyle::Bars:
                bars();
                break;
            case GraphStyle::Time:
                timeLine();
                break;
        }
        out_ += "</svg>";
        return std::move(out_);
    }

  private:
    // `escaped` is markup-safe already.
    void label(double x, double y, const std::string& escaped, std::string_view attributes = {}) {
        out_ += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\"";
        out_ += attributes;
        out_ += ">" + escaped + "</text>";
        out_ += kEol;
    }

    void line(double x1, double y1, double x2, double y2, std::string_view stroke) {
        out_ += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" +
                num(y2) + "\" stroke=\"";
        out_ += stroke;
        out_ += "\"/>";
        out_ += kEol;
    }

    void pie() {
        // The screen's pie divides the circle among the drawn slices, and so does this one;
        // the labels keep each row's share of every row.
        long double sum = 0;
        for (const presentation::PieSlice& s : g_.slices)
            sum += static_cast<long double>(std::max<std::int64_t>(s.value, 0));
        if (g_.slices.empty() || sum <= 0) {
            label(kSvgWidth / 2.0, kSvgHeight / 2.0, "No values to show.",
                  " text-anchor=\"middle\" fill=\"#666666\"");
            return;
        }
        constexpr double cx = 180, cy = 200, r = 135;
        double angle = -std::numbers::pi / 2;  // from twelve o'clock, clockwise
        for (std::size_t i = 0; i < g_.slices.size(); ++i) {
            const presentation::PieSlice& s = g_.slices[i];
            const double part = static_cast<double>(
                static_cast<long double>(std::max<std::int64_t>(s.value, 0)) / sum);
            const char* colour = kPalette[i % kPalette.size()];
            std::string d;
            if (part >= 1 - 1e-9) {
                // An arc from a point back to itself draws nothing: the whole circle takes
                // two halves.
                d = "M " + num(cx) + " " + num(cy - r) + " A " + num(r) + " " + num(r) + " 0 1 1 " +
                    num(cx) + " " + num(cy + r) + " A " + num(r) + " " + num(r) + " 0 1 1 " +
                    num(cx) + " " + num(cy - r) + " Z";
            } else {
                const double end = angle + part * 2 * std::numbers::pi;
                d = "M " + num(cx) + " " + num(cy) + " L " + num(cx + r * std::cos(angle)) + " " +
                    num(cy + r * std::sin(angle)) + " A " + num(r) + " " + num(r) + " 0 " +
                    (part > 0.5 ? "1" : "0") + " 1 " + num(cx + r * std::cos(end)) + " " +
                    num(cy + r * std::sin(end)) + " Z";
                angle = end;
            }
            out_ += "<path class=\"slice\" d=\"" + d + "\" fill=\"" + colour +
                    "\" stroke=\"#FFFFFF\"><title>" + text(s.label) + "</title></path>";
            out_ += kEol;
        }
        constexpr double legendX = 345, legendTop = 70, legendStep = 28;
        for (std::size_t i = 0; i < g_.slices.size(); ++i) {
            const double y = legendTop + legendStep * static_cast<double>(i);
            out_ += "<rect class=\"legend\" x=\"" + num(legendX) + "\" y=\"" + num(y - 10) +
                    "\" width=\"12\" height=\"12\" fill=\"" + kPalette[i % kPalette.size()] +
                    "\"/>";
            out_ += kEol;
            label(legendX + 20, y, shortened(g_.slices[i].label, 44));
        }
    }

    // The frame, the value scale with its grid and the two axis titles; returns the value at
    // the top of the scale.
    double axes() {
        double step = 1;
        double top = 4;
        if (g_.yMax > 0 && std::isfinite(g_.yMax)) {
            step = niceStep(g_.yMax / 4);
            // Hits and bytes are whole numbers: a scale of "0.5 hits" would only puzzle.
            const bool whole =
                std::all_of(g_.y.begin(), g_.y.end(), [](double v) { return v == std::floor(v); });
            if (whole) step = std::max(step, 1.0);
            top = step * std::ceil(g_.yMax / step - 1e-9);
        }
        const int lines = static_cast<int>(std::lround(top / step));
        for (int k = 0; k <= lines; ++k) {
            const double y = kBottom - (kBottom - kTop) * k / lines;
            if (k > 0) line(kLeft, y, kRight, y, "#E0E0E0");
            label(kLeft - 6, y + 4, num(step * k, 6), " text-anchor=\"end\" font-size=\"10\"");
        }
        line(kLeft, kTop, kLeft, kBottom, "#000000");
        line(kLeft, kBottom, kRight, kBottom, "#000000");
        if (!g_.xAxisTitle.empty())
            label((kLeft + kRight) / 2, kSvgHeight - 10, text(g_.xAxisTitle),
                  " text-anchor=\"middle\" font-weight=\"bold\"");
        if (!g_.yAxisTitle.empty()) {
            const double y = (kTop + kBottom) / 2;
            label(16, y, text(g_.yAxisTitle),
                  " text-anchor=\"middle\" font-weight=\"bold\" transform=\"rotate(-90 16 " +
                      num(y) + ")\"");
        }
        return top;
    }

    double valueY(double value, double top) const {
        const double v = std::clamp(value, 0.0, top);
        return kBottom - (kBottom - kTop) * v / top;
    }

    void bars() {
        const double top = axes();
        const std::size_t n = g_.categories.size();
        if (n == 0) return;
        const double slot = (kRight - kLeft) / static_cast<double>(n);
        // Many categories only fit their labels slanted.
        const bool slanted = n > 12;
        const auto fit = static_cast<std::size_t>(std::max(3.0, slot / 6.5));
        for (std::size_t i = 0; i < n; ++i) {
            const double value = i < g_.y.size() ? g_.y[i] : 0;
            const double x = kLeft + slot * static_cast<double>(i);
            const double y = valueY(value, top);
            out_ += "<rect class=\"bar\" x=\"" + num(x + slot * 0.15) + "\" y=\"" + num(y) +
                    "\" width=\"" + num(slot * 0.7) + "\" height=\"" + num(kBottom - y) +
                    "\" fill=\"" + kPalette[0] + "\"><title>" + text(g_.categories[i]) + ": " +
                    num(value, 6) + "</title></rect>";
            out_ += kEol;
            const double centre = x + slot / 2;
            if (slanted) {
                label(centre, kBottom + 12, shortened(g_.categories[i], 14),
                      " text-anchor=\"end\" font-size=\"9\" transform=\"rotate(-45 " + num(centre) +
                          " " + num(kBottom + 12) + ")\"");
            } else {
                label(centre, kBottom + 15, shortened(g_.categories[i], fit),
                      " text-anchor=\"middle\" font-size=\"10\"");
            }
        }
    }

    void timeLine() {
        const double top = axes();
        const std::size_t n = std::min(g_.x.size(), g_.y.size());
        if (n == 0) return;
        double low = g_.xMin;
        double high = g_.xMax;
        if (!(high > low)) {
            low -= 0.5;
            high += 0.5;
        }
        const auto px = [&](double x) {
            return kLeft + (kRight - kLeft) * (x - low) / (high - low);
        };
        std::string points;
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0) points += ' ';
            points += num(px(g_.x[i])) + "," + num(valueY(g_.y[i], top));
        }
        out_ += "<polyline class=\"line\" fill=\"none\" stroke=\"" + std::string(kPalette[0]) +
                "\" stroke-width=\"2\" points=\"" + points + "\"/>";
        out_ += kEol;
        if (n == 1) {
            // A line of one point has no length to show.
            out_ += "<circle cx=\"" + num(px(g_.x[0])) + "\" cy=\"" + num(valueY(g_.y[0], top)) +
                    "\" r=\"3\" fill=\"" + kPalette[0] + "\"/>";
            out_ += kEol;
        }
        if (g_.ticks.empty()) {
            for (int k = 0; k <= 4; ++k) {
                const double x = low + (high - low) * k / 4;
                line(px(x), kBottom, px(x), kBottom + 4, "#000000");
                label(px(x), kBottom + 16, num(x), " text-anchor=\"middle\" font-size=\"10\"");
            }
            return;
        }
        // Every tick is marked; about eight are labelled, so that the labels do not overlap.
        const std::size_t every = (g_.ticks.size() + 7) / 8;
        for (std::size_t i = 0; i < g_.ticks.size(); ++i) {
            const double x = px(g_.ticks[i].x);
            if (x < kLeft - 0.5 || x > kRight + 0.5) continue;
            line(x, kBottom, x, kBottom + 4, "#000000");
            if (i % every == 0)
                label(x, kBottom + 16, shortened(g_.ticks[i].label, 16),
                      " text-anchor=\"middle\" font-size=\"10\"");
        }
    }

    const GraphModel& g_;
    std::string out_;
};

}  // namespace

std::string svgChart(const GraphModel& graph) {
    return Picture(graph).draw();
}

}  // namespace tw::exporter
