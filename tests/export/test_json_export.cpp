// The JSON export: a valid document whatever the log holds, whose values are the numbers the
// report tables show as words; grouped rows keep their nesting; written whole to a file or
// alone to standard output.
#include "export/json_export.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/results.h"
#include "export/export_fixture.h"
#include "export/utf8_text.h"

namespace tw::exporter {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using presentation::CellValue;
using presentation::ColumnKind;
using presentation::ReportTable;
using presentation::ViewKind;
using test::readAll;
using test::TempDir;

const std::string kFffd = "\xEF\xBF\xBD";

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The program run with settings of its own; standard output and error go to files in `dir`.
int runCli(const TempDir& dir, const std::vector<std::string>& args) {
    std::string cmd = "TZ=UTC XDG_CONFIG_HOME=" + quoted((dir.path / "config").string()) +
                      " XDG_DATA_HOME=" + quoted((dir.path / "data").string()) + " " +
                      quoted(TALLYWEB_CLI);
    for (const std::string& a : args) cmd += " " + quoted(a);
    cmd += " >" + quoted((dir.path / "out").string()) + " 2>" + quoted((dir.path / "err").string());
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

bool pythonAccepts(const fs::path& file) {
    return std::system(("python3 -m json.tool " + quoted(file.string()) + " >/dev/null").c_str()) ==
           0;
}

const json& reportNamed(const json& doc, const std::string& entry) {
    for (const json& r : doc.at("reports"))
        if (r.at("path").back() == entry) return r;
    static const json none;
    ADD_FAILURE() << "no report " << entry;
    return none;
}

std::vector<std::vector<std::string>> tabRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        auto& row = rows.emplace_back();
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            row.push_back(line.substr(start, tab - start));
        row.push_back(line.substr(start));
    }
    return rows;
}

// The pages report of one run, as --report prints it and as the JSON holds it.
void expectPagesAgree(const json& doc, const std::string& printed, const std::string& log) {
    const auto lines = tabRows(printed);
    ASSERT_GT(lines.size(), 1u) << log;
    const json& pages = reportNamed(doc, "Most Requested Pages");
    ASSERT_EQ(pages.at("rows").size(), lines.size() - 1) << log;
    const json& columns = pages.at("columns");
    ASSERT_EQ(columns.size(), 3u);
    for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(columns[c].at("name"), lines[0][c]);
    EXPECT_EQ(columns[2].at("kind"), "bytes");
    for (std::size_t r = 1; r < lines.size(); ++r) {
        const json& row = pages.at("rows")[r - 1];
        ASSERT_EQ(lines[r].size(), 3u);
        EXPECT_EQ(row[0], utf8Text(lines[r][0])) << log << " row " << r;
        ASSERT_TRUE(row[1].is_number_integer() && row[2].is_number_integer()) << row.dump();
        EXPECT_EQ(std::to_string(row[1].get<std::uint64_t>()), lines[r][1]) << log;
        EXPECT_EQ(engine::byteAmountText(row[2].get<std::uint64_t>()), lines[r][2]) << log;
    }
}

TEST(JsonExport, SampleLogsGiveValidJsonWithTheRowsOfTheReport) {
    std::vector<std::string> logs = {std::string(TALLYWEB_DATA_DIR) +
                                     "/combined/elastic-examples_apache_logs.log"};
    for (const char* sample : {"/common/monitorware-twiki_access_log_2004-03.log",
                               "/combined/lnav_logfile_shop_access_log.0.log",
                               "/iis-w3c/mrsalmon1976-IISLogReader_LogFile.log"})
        if (fs::exists(std::string(TALLYWEB_SAMPLES_DIR) + sample))
            logs.push_back(std::string(TALLYWEB_SAMPLES_DIR) + sample);
    TempDir dir;
    const fs::path out = dir.path / "report.json";
    for (const std::string& log : logs) {
        ASSERT_EQ(runCli(dir, {"--export", "json", out.string(), "--report", "Most Requested Pages",
                               log}),
                  0)
            << readAll((dir.path / "err").string());
        EXPECT_TRUE(pythonAccepts(out)) << log;
        const json doc = json::parse(readAll(out.string()));
        expectPagesAgree(doc, readAll((dir.path / "out").string()), log);

        EXPECT_EQ(doc.at("name"), "Command line");
        const std::string earliest = doc.at("period").at("earliest");
        EXPECT_EQ(earliest.size(), 19u) << earliest;
        EXPECT_LE(earliest, doc.at("period").at("latest").get<std::string>());
        EXPECT_EQ(doc.at("generated").get<std::string>().back(), 'Z');
        // Every row has a value per column; a day is a date, a share a number.
        for (const json& report : doc.at("reports")) {
            if (report.at("grouped")) continue;
            for (const json& row : report.at("rows"))
                ASSERT_EQ(row.size(), report.at("columns").size()) << report.at("title");
        }
        const json& days = reportNamed(doc, "Hits per Day");
        ASSERT_FALSE(days.at("rows").empty());
        EXPECT_EQ(days.at("rows")[0][0].get<std::string>().size(), 10u);
        EXPECT_TRUE(days.at("rows")[0][2].is_number_float());
        // Not generated for a one-off run: present, with its message and no rows.
        const json& tree = reportNamed(doc, "Hyperlink Tree View");
        EXPECT_TRUE(tree.at("message").is_string());
        EXPECT_TRUE(tree.at("rows").empty());
        if (log == logs.front()) {
            // The robots' bytes and times are values, not the words the table shows.
            const json& robots = reportNamed(doc, "Robots and Crawlers");
            ASSERT_FALSE(robots.at("rows").empty());
            EXPECT_EQ(robots.at("columns")[2].at("kind"), "bytes");
            EXPECT_EQ(robots.at("columns")[3].at("kind"), "time");
            EXPECT_TRUE(robots.at("rows")[0][2].is_number_unsigned());
        }
    }
}

TEST(JsonExport, HostileLogTextsStayValidAndComeBackReplaced) {
    TempDir dir;
    const std::string big = "/big/" + std::string(10000, 'x') + ".html";
    auto line = [](const std::string& url, const std::string& referrer) {
        return "1.2.3.4 - - [10/Oct/2020:13:55:00 +0000] \"GET " + url + " HTTP/1.0\" 200 5 \"" +
               referrer + "\" \"Mozilla/4.0\"\n";
    };
    const std::string log = dir.file(
        "hostile.log", line("/plain.html", "http://a.example/") + line("/caf\xE9.html", "-") +
                           line("/over\xC0\xAF\xED\xA0\x80.html", "-") +
                           line("/b\\\\s\xC3\xA9%22.html", "-") + line(big, "-") +
                           line("/r.html", "http://o.example/d\\\\z\xFF\xC0\xAF"));
    const fs::path file = dir.path / "h.json";
    ASSERT_EQ(runCli(dir, {"--domain", "www.example.com", "--export", "json", file.string(),
                           "--report", "Most Requested Pages", log}),
              0);
    EXPECT_TRUE(pythonAccepts(file));
    const json doc = json::parse(readAll(file.string()));  // strict: rejects invalid UTF-8
    expectPagesAgree(doc, readAll((dir.path / "out").string()), log);

    std::vector<std::string> pages;
    for (const json& row : reportNamed(doc, "Most Requested Pages").at("rows"))
        pages.push_back(row[0]);
    for (const std::string& expected :
         {"/caf" + kFffd + ".html", "/over" + kFffd + kFffd + kFffd + kFffd + kFffd + ".html",
          std::string("/b\\\\s\xC3\xA9%22.html")})
        EXPECT_NE(std::find(pages.begin(), pages.end(), expected), pages.end()) << expected;
    // The reader shortens a page this long; what it keeps is there whole.
    EXPECT_TRUE(std::any_of(pages.begin(), pages.end(), [](const std::string& p) {
        return p.size() >= 10000 && p.rfind("/big/xxx", 0) == 0;
    }));
    std::vector<std::string> referrers;
    for (const json& row : reportNamed(doc, "Referring Pages").at("rows"))
        referrers.push_back(row[0]);
    const std::string referrer = "http://o.example/d\\\\z" + kFffd + kFffd + kFffd;
    EXPECT_NE(std::find(referrers.begin(), referrers.end(), referrer), referrers.end());

    // "-": the same document on standard output, and nothing else there.
    ASSERT_EQ(runCli(dir, {"--domain", "www.example.com", "--export", "json", "-", log}), 0);
    EXPECT_TRUE(pythonAccepts(dir.path / "out"));
    json fromStdout = json::parse(readAll((dir.path / "out").string()));
    json fromFile = doc;
    fromStdout.erase("generated");
    fromFile.erase("generated");
    EXPECT_TRUE(fromStdout == fromFile);
    EXPECT_NE(readAll((dir.path / "err").string()).find("Exported to standard output"),
              std::string::npos);
}

TEST(JsonExport, FailuresAreStatusThreeAndLeaveNoPartialFile) {
    TempDir dir;
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    EXPECT_EQ(runCli(dir, {"--export", "json", "/nonexistent/dir/r.json", log}), 3);
    EXPECT_NE(
        readAll((dir.path / "err").string())
            .find("JSON export could not be written to /nonexistent/dir/r.json: No such file"),
        std::string::npos)
        << readAll((dir.path / "err").string());
    // A directory in the way: written in full beside it, then refused at the rename.
    const fs::path taken = dir.path / "taken";
    fs::create_directory(taken);
    EXPECT_EQ(runCli(dir, {"--export", "json", taken.string(), log}), 3);
    EXPECT_TRUE(fs::is_directory(taken));
    EXPECT_FALSE(fs::exists(taken.string() + ".partial"));
    // Standard output cannot hold both.
    EXPECT_EQ(runCli(dir, {"--export", "json", "-", "--report", "Browser", log}), 2);
}

TEST(JsonExport, GroupsNestByIndentAndWordedNumbersAreRead) {
    ReportTable t;
    ASSERT_TRUE(t.setLayout(4, 6, 0));
    t.title = "T \"q\" \\ \x01\x7F \xFF";
    t.description = "nothing";
    t.setHeaders({"Name\x01", "Count", "Seen", "Share"});
    t.setKinds(
        {ColumnKind::Text, ColumnKind::Integer, ColumnKind::ByKey, ColumnKind::ByKeyOrdered});
    const int indents[] = {0, 1, 2, 1, 0, 5};
    std::string everyByte;
    for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
    for (int r = 0; r < 6; ++r) {
        t.setText(r, 0, r == 0 ? everyByte : r == 4 ? "2024" : std::to_string(r), indents[r]);
        // Numbers written only as words, as a fill that records no value leaves them.
        t.setText(r, 1, std::to_string(10 * r), indents[r]);
        t.setText(r, 2, r == 3 ? "-" : "Oct 10", indents[r]);
        if (r != 3) t.setValue(r, 2, CellValue::ofTime(1602338136 + r));
        t.setText(r, 3, "12.50%", indents[r]);
    }
    const std::string text = reportJson(t, {{"Cat", "Entry"}, ViewKind::Chart});
    const json report = json::parse(text);
    EXPECT_EQ(report.at("title"), "T \"q\" \\ \x01\x7F " + kFffd);
    EXPECT_TRUE(report.at("description").is_null());
    EXPECT_TRUE(report.at("grouped"));
    std::vector<std::string> kinds;
    for (const json& c : report.at("columns")) kinds.push_back(c.at("kind"));
    EXPECT_EQ(kinds, (std::vector<std::string>{"text", "integer", "time", "percentage"}));
    EXPECT_EQ(report.at("columns")[0].at("name"), "Name\x01");

    // 0 { 1 { 2 }, 3 }, 4 { 5 }: a row indented deeper than the one before is its child.
    const json& rows = report.at("rows");
    ASSERT_EQ(rows.size(), 2u);
    std::string expectedFirst = everyByte.substr(0, 128);
    for (int b = 128; b < 256; ++b) expectedFirst += kFffd;
    EXPECT_EQ(rows[0].at("values")[0], expectedFirst);
    ASSERT_EQ(rows[0].at("children").size(), 2u);
    EXPECT_EQ(rows[0].at("children")[0].at("children")[0].at("values")[0], "2");
    const json& third = rows[0].at("children")[1].at("values");
    EXPECT_EQ(third, json::parse(R"(["3", 30, "-", 12.5])"));
    EXPECT_EQ(rows[1].at("values")[0], "2024") << "a text column is never read as a number";
    EXPECT_EQ(rows[1].at("values")[2], "2020-10-10T13:55:40");
    ASSERT_EQ(rows[1].at("children").size(), 1u);
    EXPECT_EQ(rows[1].at("children")[0].at("values")[1], 50);

    // A message replaces the table, whatever columns the table still has.
    const json message = json::parse(reportJson(t, {{"Entry"}, ViewKind::Message}));
    EXPECT_TRUE(message.at("columns").empty());
    EXPECT_TRUE(message.at("rows").empty());
    EXPECT_TRUE(message.at("message").is_string());
}

}  // namespace
}  // namespace tw::exporter
