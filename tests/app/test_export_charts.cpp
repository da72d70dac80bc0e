// The headless program's HTML export with graphs: every picture in it is well-formed XML,
// there is one per graph report, in that report's section, and without them the page is the
// plain HTML export.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tw::app {
namespace {

namespace fs = std::filesystem;

struct Scratch {
    fs::path dir;
    Scratch() {
        char pattern[] = "/tmp/tallyweb-charts-XXXXXX";
        dir = mkdtemp(pattern);
        fs::create_directories(dir / "config");
    }
    ~Scratch() { fs::remove_all(dir); }
};

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The exit status of the program run with `args` and the settings of a folder of its own.
int runCli(const Scratch& s, const std::vector<std::string>& args) {
    std::string cmd = "TZ=UTC XDG_CONFIG_HOME=" + quoted((s.dir / "config").string()) +
                      " XDG_DATA_HOME=" + quoted((s.dir / "data").string()) + " " +
                      quoted(TALLYWEB_CLI);
    for (const std::string& a : args) cmd += " " + quoted(a);
    cmd += " >/dev/null 2>" + quoted((s.dir / "err").string());
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

bool parsesAsXml(const std::string& text, const fs::path& file) {
    std::ofstream(file, std::ios::binary) << text;
    const std::string cmd =
        "python3 -c 'import sys,xml.etree.ElementTree as E; E.parse(sys.argv[1])' " +
        quoted(file.string());
    return std::system(cmd.c_str()) == 0;
}

// The run time in the heading and in the General Statistics says when each export ran, which
// may be a minute apart.
std::string withoutRunTime(std::string page) {
    const std::size_t at = page.find("</b> on ");
    if (at != std::string::npos) page.erase(at + 8, page.find('\r', at) - (at + 8));
    const std::size_t row = page.find("Report generated on");
    const std::size_t cell = row == std::string::npos ? row : page.find("<td", row);
    const std::size_t value = cell == std::string::npos ? cell : page.find('>', cell);
    if (value != std::string::npos) page.erase(value + 1, page.find('<', value) - (value + 1));
    return page;
}

TEST(ExportCharts, EveryGraphReportHasOneWellFormedPictureBeforeItsTable) {
    Scratch s;
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    const fs::path charts = s.dir / "charts.html";
    const fs::path plain = s.dir / "plain.html";
    ASSERT_EQ(runCli(s, {"--export", "html-charts", charts.string(), log}), 0)
        << slurp(s.dir / "err");
    ASSERT_EQ(runCli(s, {"--export", "html", plain.string(), log}), 0) << slurp(s.dir / "err");
    const std::string page = slurp(charts);

    // The graph reports of this log (no names looked up, so no countries for the pie). Robots
    // and Crawlers is a plain list: it has no picture.
    const std::vector<std::string> graphReports = {"Browser",
                                                   "Visiting Operating Systems",
                                                   "Browser Families",
                                                   "Operating Systems",
                                                   "Devices",
                                                   "Hits over Time Period",
                                                   "Bandwidth Over Time Period",
                                                   "Most Popular Hour of Day",
                                                   "Most Popular Day of Week"};
    std::vector<std::string> titles;
    std::string stripped = page;
    int checked = 0;
    for (std::size_t at = page.find("<svg"); at != std::string::npos;
         at = page.find("<svg", at + 1)) {
        const std::size_t end = page.find("</svg>", at);
        ASSERT_NE(end, std::string::npos);
        const std::string svg = page.substr(at, end + 6 - at);
        EXPECT_TRUE(parsesAsXml(svg, s.dir / ("g" + std::to_string(++checked) + ".svg"))) << svg;
        const std::size_t t = svg.find("<title>") + 7;
        titles.push_back(svg.substr(t, svg.find("</title>") - t));
        // The title bar of the section it stands in.
        const std::size_t bar = page.rfind("color=\"#FFFFFF\">", at);
        ASSERT_NE(bar, std::string::npos);
        EXPECT_EQ(page.compare(bar + 16, titles.back().size(), titles.back()), 0) << titles.back();
        const std::string block = "\r\n" + svg + "<br>\r\n";
        stripped.erase(stripped.find(block), block.size());
    }
    EXPECT_EQ(titles, graphReports);
    EXPECT_TRUE(withoutRunTime(stripped) == withoutRunTime(slurp(plain)))
        << "the tables and texts are those of the plain export";
    EXPECT_GT(page.size(), slurp(plain).size());

    // The help names the format; an unknown one still lists every format.
    EXPECT_EQ(runCli(s, {"--export", "html-graphs", charts.string(), log}), 2);
    EXPECT_NE(slurp(s.dir / "err").find("(html, html-charts, csv, docx or json)"),
              std::string::npos);
}

}  // namespace
}  // namespace tw::app
