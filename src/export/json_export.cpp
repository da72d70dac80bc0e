#include "export/json_export.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <utility>

#include "export/export_walk.h"
#include "export/report_writer.h"
#include "export/utf8_text.h"

namespace tw::exporter {
namespace {

// Keys stay in the order they are written, which is the order the header documents.
using Json = nlohmann::ordered_json;
using presentation::CellValue;
using presentation::ColumnKind;
using presentation::ReportTable;
using presentation::ValueType;
using presentation::ViewKind;

constexpr int kDeepestLevel = 16;
constexpr std::string_view kDrawing =
    "The hyperlink tree view is a drawing; it has no rows to export.";

// Texts are made valid UTF-8 before they reach the library; its own replacement is only the
// second line of defence, and with it dump() cannot throw on a text.
std::string dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json text(std::string_view s) {
    return utf8Text(s);
}

Json timeValue(std::int64_t seconds, bool dateOnly) {
    const std::string iso = isoFrameTime(seconds, dateOnly);
    return iso.empty() ? Json() : Json(iso);
}

// A number the report wrote only as words; None when the text is no number.
CellValue parsedNumber(std::string_view s) {
    if (s.empty()) return {};
    const char* end = s.data() + s.size();
    std::int64_t signedValue = 0;
    auto r = std::from_chars(s.data(), end, signedValue);
    if (r.ec == std::errc() && r.ptr == end) return CellValue::ofInteger(signedValue);
    std::uint64_t unsignedValue = 0;
    r = std::from_chars(s.data(), end, unsignedValue);
    if (r.ec == std::errc() && r.ptr == end) return CellValue::ofCount(unsignedValue);
    if (s.size() > 1 && s.back() == '%') {
        double percent = 0;
        const auto p = std::from_chars(s.data(), end - 1, percent, std::chars_format::fixed);
        if (p.ec == std::errc() && p.ptr == end - 1 && std::isfinite(percent))
            return CellValue::ofPercentage(percent);
    }
    return {};
}

// The cell's value, read from its text when the fill recorded none. Text columns are never
// read as numbers: a page or a search phrase may well be "2024".
CellValue cellValue(const ReportTable& t, int row, int column) {
    const CellValue v = t.value(row, column);
    if (v.type() != ValueType::None || t.kind(column) == ColumnKind::Text) return v;
    return parsedNumber(t.cell(row, column));
}

Json jsonOf(const ReportTable& t, int row, int column, CellValue v) {
    switch (v.type()) {
        case ValueType::Integer:
            return v.integer();
        case ValueType::Count:
        case ValueType::Bytes:
            return v.count();
        case ValueType::Percentage:
            return v.real();
        case ValueType::Time:
            return timeValue(v.integer(), false);
        case ValueType::Date:
            return timeValue(v.integer(), true);
        case ValueType::None:
            break;
    }
    return text(t.cell(row, column));
}

const char* kindName(ValueType type) {
    switch (type) {
        case ValueType::Integer:
        case ValueType::Count:
            return "integer";
        case ValueType::Bytes:
            return "bytes";
        case ValueType::Percentage:
            return "percentage";
        case ValueType::Time:
            return "time";
        case ValueType::Date:
            return "date";
        case ValueType::None:
            break;
    }
    return "text";
}

Json columnsOf(const ReportTable& t) {
    Json columns = Json::array();
    for (int c = 0; c < t.columns(); ++c) {
        // Without rows only the sort order hints at what the column would hold.
        const char* kind = t.rows() == 0 && t.kind(c) == ColumnKind::Integer ? "integer" : "text";
        bool typed = false;
        for (int r = 0; r < t.rows(); ++r) {
            const CellValue v = cellValue(t, r, c);
            if (v.type() == ValueType::None) continue;
            const char* name = kindName(v.type());
            if (!typed) {
                kind = name;
                typed = true;
            } else if (std::string_view(kind) != name) {
                kind = "mixed";
                break;
            }
        }
        Json column = Json::object();
        column["name"] = text(t.header(c));
        column["kind"] = kind;
        columns.push_back(std::move(column));
    }
    return columns;
}

Json valuesOf(const ReportTable& t, int row) {
    Json values = Json::array();
    for (int c = 0; c < t.columns(); ++c) values.push_back(jsonOf(t, row, c, cellValue(t, row, c)));
    return values;
}

bool isGrouped(const ReportTable& t, ViewKind view) {
    if (view == ViewKind::TreeList) return true;
    for (int r = 0; r < t.rows(); ++r)
        if (t.indent(r) > 0 || t.isChild(r)) return true;
    return false;
}

// Each row becomes a child of the nearest row above it with a smaller indent. Rows still open
// wait on a stack rather than in recursion, so no table nests the writer out of its stack.
Json groupedRows(const ReportTable& t) {
    Json rows = Json::array();
    std::vector<std::pair<int, Json>> open;
    auto closeLast = [&] {
        Json done = std::move(open.back().second);
        open.pop_back();
        (open.empty() ? rows : open.back().second["children"]).push_back(std::move(done));
    };
    for (int r = 0; r < t.rows(); ++r) {
        const int level = std::clamp(t.indent(r), 0, kDeepestLevel);
        while (!open.empty() && open.back().first >= level) closeLast();
        Json row = Json::object();
        row["values"] = valuesOf(t, r);
        row["children"] = Json::array();
        open.emplace_back(level, std::move(row));
    }
    while (!open.empty()) closeLast();
    return rows;
}

std::vector<std::string> treePath(const presentation::Catalogue& catalogue,
                                  presentation::Handle h) {
    std::vector<std::string> path;
    // Parents come before their children, so the chain ends; the bound keeps a damaged
    // catalogue from looping all the same.
    for (const presentation::CatalogueEntry* e = catalogue.entry(h);
         e != nullptr && path.size() < catalogue.size(); e = catalogue.entry(e->parent))
        path.push_back(e->title);
    std::reverse(path.begin(), path.end());
    return path;
}

std::string headingJson(const document::Document& doc) {
    Json head = Json::object();
    head["name"] = text(doc.definition().Name);
    head["domain"] = text(doc.definition().Domain);
    Json period;  // null without a dated record
    if (const engine::Statistics* stats = doc.statistics();
        stats != nullptr && stats->counters.earliest != engine::kNoEarliest) {
        period = Json::object();
        period["earliest"] = timeValue(stats->counters.earliest, false);
        period["latest"] = timeValue(stats->counters.latest, false);
    }
    head["period"] = std::move(period);
    // The run's start is a moment of this machine's clock, not a log time: said in UTC.
    const std::string generated = isoFrameTime(doc.runStart(), false);
    head["generated"] = generated.empty() ? Json() : Json(generated + "Z");
    head["reports"] = Json::array();
    return dump(head);
}

// Writes the document to `out`; false with `error` (an errno value, or -1 for memory) when a
// write failed.
bool writeDocument(document::Document& doc, std::FILE* out, int& error) {
    bool failed = false;
    auto put = [&](std::string_view bytes) {
        if (failed) return;
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
            failed = true;
            error = errno;
        }
    };
    std::string head = headingJson(doc);
    // The reports go in one at a time as the walk fills them, between the empty array's
    // brackets, so no more than one report is ever held as JSON.
    head.resize(head.size() - 2);
    put(head);
    bool first = true;
    exportWalk(doc,
               [&](const WalkItem& item) {
                   if (failed) return;
                   const std::string report =
                       reportJson(doc.table(), {treePath(doc.catalogue(), item.handle), item.view});
                   if (report.empty()) {
                       failed = true;
                       error = -1;
                       return;
                   }
                   put(first ? "\n" : ",\n");
                   put(report);
                   first = false;
               },
               {.messages = true});
    put("\n]}\n");
    return !failed;
}

std::string failedJsonText(std::string_view place, int error) {
    return "The JSON export could not be written to " + std::string(place) + ": " +
           (error == -1 ? std::string("out of memory") : systemReason(error)) + ".";
}

}  // namespace

std::string isoFrameTime(std::int64_t seconds, bool dateOnly) {
    // Log times are read as UTC: the machine's zone must not move them.
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) return {};
    char buffer[64];
    const std::size_t n =
        std::strftime(buffer, sizeof buffer, dateOnly ? "%Y-%m-%d" : "%Y-%m-%dT%H:%M:%S", &tm);
    return std::string(buffer, n);
}

std::string reportJson(const ReportTable& table, const JsonPlace& place) {
    try {
        Json report = Json::object();
        Json path = Json::array();
        for (const std::string& p : place.path) path.push_back(text(p));
        report["path"] = std::move(path);
        const std::string_view fallbackTitle =
            place.path.empty() ? std::string_view() : std::string_view(place.path.back());
        report["title"] = text(table.title.empty() ? fallbackTitle : table.title);
        report["description"] = table.description.empty() || table.description == "nothing"
                                    ? Json()
                                    : text(table.description);
        const bool shown = place.view != ViewKind::Message && place.view != ViewKind::HyperlinkTree;
        if (!shown) {
            report["message"] =
                text(place.view == ViewKind::HyperlinkTree ? kDrawing : table.message);
            report["grouped"] = false;
            report["columns"] = Json::array();
            report["rows"] = Json::array();
            return dump(report);
        }
        report["message"] = nullptr;
        const bool grouped = isGrouped(table, place.view);
        report["grouped"] = grouped;
        report["columns"] = columnsOf(table);
        if (grouped) {
            report["rows"] = groupedRows(table);
        } else {
            Json rows = Json::array();
            for (int r = 0; r < table.rows(); ++r) rows.push_back(valuesOf(table, r));
            report["rows"] = std::move(rows);
        }
        return dump(report);
    } catch (...) {
        // Only memory can run out here: texts are valid UTF-8 and numbers finite.
        return {};
    }
}

bool exportJson(document::Document& doc, const std::string& path, std::string* message) {
    auto say = [&](const auto& makeText) {
        if (message == nullptr) return false;
        try {
            *message = makeText();
        } catch (...) {
            // Out of memory: the status still says that the export failed.
        }
        return false;
    };
    auto fail = [&](std::string_view place, int error) {
        return say([&] { return failedJsonText(place, error); });
    };
    if (!doc.reportPresent())
        return say([] { return std::string("There is no report to export."); });
    if (path == "-") {
        int error = 0;
        bool ok = false;
        try {
            ok = writeDocument(doc, stdout, error);
        } catch (...) {
            error = -1;
        }
        // Buffered output meets a closed pipe or a full disk only when it is flushed.
        if (std::fflush(stdout) != 0 && ok) {
            ok = false;
            error = errno;
        }
        return ok || fail("standard output", error);
    }

    // Written under a name of its own and renamed when whole, as the other exports are.
    const std::string partial = path + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr) return fail(path, errno);
    int error = 0;
    bool ok = false;
    try {
        ok = writeDocument(doc, file, error);
    } catch (...) {
        error = -1;
    }
    const bool closed = std::fclose(file) == 0;
    if (!closed && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(partial.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok) return true;
    std::remove(partial.c_str());
    return fail(path, error);
}

}  // namespace tw::exporter
