#pragma once
// The JSON export: the whole report as one JSON document, for programs rather than readers.
// Numbers are numbers, not the words the other exports show.
//
//   {"name": "Weekly", "domain": "www.example.org",
//    "period": {"earliest": "2020-10-10T13:55:36", "latest": "2020-10-11T08:00:00"},
//    "generated": "2023-11-14T22:13:00Z",
//    "reports": [
//     {"path": ["Access Statistics", "Most Requested Pages"], "title": "Most Requested Pages",
//      "description": "...", "message": null, "grouped": false,
//      "columns": [{"name": "Page Name", "kind": "text"}, {"name": "Hits", "kind": "integer"},
//                  {"name": "Bandwidth", "kind": "bytes"}],
//      "rows": [["/index.html", 12, 10240], ...]},
//     {"path": ["Referrer Information", "Individual Page Referrers"], ..., "grouped": true,
//      "rows": [{"values": ["/a.html", 3],
//                "children": [{"values": ["http://x.example/", 2], "children": []}, ...]}]},
//     {"path": ["Visitor Information", "Geographical Location"], "title": "Geographical Location",
//      "description": null, "message": "There were no items in this view", "grouped": false,
//      "columns": [], "rows": []}]}
//
// "name" and "domain" are the report definition's. "period" spans the dated records (null
// when there were none); "generated" is when the analysis ran, in UTC.
//
// "reports" holds every report of the report tree in the order of the other exports' walk;
// categories are not reports. "path" is the tree's texts from the top level down to the
// report's own entry; "title" the report's heading; "description" null for none. A report that
// shows a message instead of a table (or the hyperlink tree, which is a drawing) has that
// "message", no columns and no rows; the others have a null message.
//
// A row is an array of its values in column order. In a grouped report ("grouped": true, a
// parent row with its own rows indented below it) every row is instead an object: "values",
// that array, and "children", the rows indented below it, of the same form (levels past 16
// are kept at 16).
//
// Values and the column kinds that name them:
//   integer     a JSON integer: counts, status codes, the hour of the day (0 to 23)
//   bytes       a JSON integer, the number of bytes
//   percentage  a JSON number, 12.5 for 12.50%
//   time        "2020-10-10T13:55:36": the log's own wall-clock time, without a zone
//   date        "2020-10-10", a day in that same frame
//   text        a string, in valid UTF-8: a byte that starts no valid sequence becomes U+FFFD
// A cell of a numeric column that has no number ("-" for a time never seen) is its text. A
// column's kind is that of its values; "mixed" if they differ. Cells the report writes only as
// text are read back: a whole number in a column that sorts by number or key is an integer,
// and such a number followed by "%" a percentage. The General Statistics are all texts.
//
// Threads: the user-interface thread, with no run active (the walk refills the document's
// report table). Nothing throws.
#include <string>
#include <vector>

#include "document/document.h"
#include "presentation/report_rows.h"
#include "presentation/report_table.h"

namespace tw::exporter {

// Where a report stands in the tree and how it is shown.
struct JsonPlace {
    std::vector<std::string> path;  // the tree's texts from the top level down to the entry
    presentation::ViewKind view = presentation::ViewKind::Chart;
};

// One report as the text of its JSON object, on one line; empty only when memory ran out.
std::string reportJson(const presentation::ReportTable& table, const JsonPlace& place);

// Seconds since 1970 in the log's frame as "2020-10-10T13:55:36", or "2020-10-10" for a date;
// empty for a time the calendar cannot show.
std::string isoFrameTime(std::int64_t seconds, bool dateOnly);

// Writes the whole document to `path`, or to standard output when `path` is "-". A file is
// written under a name of its own beside it and renamed when whole, so a failed export leaves
// no partial file and an older file of that name intact; standard output gets whatever was
// written before a failure. False when no report is present or the document could not be
// written; `message` (optional) then names the place and the reason.
bool exportJson(document::Document& doc, const std::string& path, std::string* message = nullptr);

}  // namespace tw::exporter
