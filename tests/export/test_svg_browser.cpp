// The HTML export with graphs as a real browser shows it: the page is drawn, every graph is an
// SVG element of the page, and no logged or hostile text turns into a script. Only file://
// addresses are opened and the browser's own network traffic is switched off.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "export/export_run.h"
#include "export/html_writer.h"
#include "export/svg_chart.h"
#include "export_fixture.h"
#include "transfer/curl_transfer.h"
#include "xml_check.h"

namespace tw::exporter {
namespace {

namespace fs = std::filesystem;
using test::occurrences;

bool haveChromium() {
    return std::system("command -v chromium >/dev/null 2>&1") == 0;
}

// One headless run with `mode` (--screenshot=... or --dump-dom); stdout and stderr to files.
int chromium(const fs::path& scratch, const std::string& mode, const fs::path& page,
             const fs::path& out, const fs::path& err) {
    const std::string command =
        "timeout 60 chromium --headless --no-sandbox --disable-gpu --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--disable-default-apps --disable-extensions --no-default-browser-check "
        "--user-data-dir='" +
        (scratch / "profile").string() +
        "' --enable-logging=stderr --v=0 --window-size=1200,3000 " + mode + " 'file://" +
        page.string() + "' >'" + out.string() + "' 2>'" + err.string() + "'";
    return std::system(command.c_str());
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

TEST(SvgBrowser, ChromiumDrawsTheGraphPagesAndRunsNoScript) {
    if (!haveChromium())
        GTEST_SKIP() << "no chromium on PATH (scripts/install-deps.sh installs it)";
    setenv("TZ", "UTC", 1);
    tzset();
    test::DocumentFixture f;
    const std::string script = "<script>alert(1)</script>";
    std::string log;
    for (int i = 0; i < 20; ++i)
        log +=
            test::logLine("10.0.0." + std::to_string(i % 5), "/p" + std::to_string(i % 3) + ".html",
                          i, "http://ref.example.com/" + script,
                          (i % 2 ? "Lynx/2.8 " : "Mozilla/4.0 ") + script + "\xff");
    document::Document& doc = f.analyse(log);
    ASSERT_TRUE(doc.reportPresent());
    transfer::CurlTransfer transfer;  // local files only: never used
    config::ExportSettings what;
    what.ExportExportType = kHtml;
    what.ExportServiceType = kLocalFile;
    what.ExportGraphs = 1;
    what.ExportLocation = (f.data.path / "charts.html").string();
    ASSERT_TRUE(
        runExport(doc, what, config::RunSettings{}, {f.prompter, transfer, {}}, false, 0).ok);
    const std::string page = test::readAll(what.ExportLocation);
    const std::size_t graphs = test::svgElements(page).size();
    ASSERT_GE(graphs, 4u);

    // Every style with hostile labels and titles, as the writer places them in a page.
    const fs::path hostile = f.data.path / "hostile.html";
    {
        presentation::GraphModel pie;
        pie.style = presentation::GraphStyle::Pie;
        pie.title = script;
        pie.slices = {{script + "\xc0\xaf (60.00%)", 3, 0.6}, {"ok (40.00%)", 2, 0.4}};
        presentation::GraphModel bars;
        bars.style = presentation::GraphStyle::Bars;
        bars.title = "bars";
        bars.xAxisTitle = script;
        bars.categories = {script, "b"};
        bars.y = {1, 2};
        bars.yMax = 2;
        presentation::GraphModel line;
        line.style = presentation::GraphStyle::Time;
        line.title = "line";
        line.x = {1, 2, 3};
        line.y = {3, 1, 2};
        line.xMin = 1;
        line.xMax = 3;
        line.yMax = 3;
        line.ticks = {{1, script}, {2, "two"}};
        HtmlWriter writer;
        ASSERT_TRUE(writer.open(hostile.string()));
        for (const presentation::GraphModel* g : {&pie, &bars, &line})
            writer.writeGraphic(svgChart(*g));
        ASSERT_TRUE(writer.close());
    }

    const fs::path shot = f.data.path / "shot.png";
    ASSERT_EQ(chromium(f.data.path, "--screenshot='" + shot.string() + "'", what.ExportLocation,
                       f.data.path / "shot.out", f.data.path / "shot.err"),
              0)
        << test::readAll((f.data.path / "shot.err").string());
    const std::string png = test::readAll(shot.string());
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(bigEndian(png, 16), 1200u);
    EXPECT_EQ(bigEndian(png, 20), 3000u);
    // An empty page of that size compresses to some 17 kB; the tables and graphs to far more.
    EXPECT_GT(png.size(), 60000u);

    for (const fs::path& file : {fs::path(what.ExportLocation), hostile}) {
        const fs::path dom = file.string() + ".dom";
        const fs::path err = file.string() + ".err";
        ASSERT_EQ(chromium(f.data.path, "--dump-dom", file, dom, err), 0)
            << test::readAll(err.string());
        const std::string tree = test::readAll(dom.string());
        const std::string messages = test::readAll(err.string());
        EXPECT_EQ(messages.find("Uncaught"), std::string::npos) << messages;
        EXPECT_EQ(tree.find("<script"), std::string::npos) << file;
        EXPECT_EQ(occurrences(tree, "<svg"), file == hostile ? 3u : graphs) << file;
        if (file == hostile) {
            // Parsed as text: the browser writes it back escaped, in the picture's texts.
            EXPECT_GE(occurrences(tree, "&lt;script&gt;alert(1)&lt;/script&gt;"), 4u) << tree;
            EXPECT_EQ(occurrences(tree, "class=\"slice\""), 2u);
            EXPECT_EQ(occurrences(tree, "class=\"bar\""), 2u);
            EXPECT_EQ(occurrences(tree, "<polyline"), 1u);
        }
    }
}

}  // namespace
}  // namespace tw::exporter
