// The report table views over real runs: sorting by column kind, Copy, Launch, the grouped
// referrer list and the message pane.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "presentation/launch_address.h"
#include "support/local_document.h"
#include "ui/list_view.h"
#include "ui/message_view.h"
#include "ui/tree_list_view.h"

namespace tw::ui {
namespace {

namespace fs = std::filesystem;

std::string line(const char* host, const char* day, const char* url, int status,
                 const char* referrer) {
    return std::string(host) + " - - [" + day + "/Oct/2020:13:55:36 +0000] \"GET " + url +
           " HTTP/1.0\" " + std::to_string(status) + " 100 \"" + referrer +
           "\" \"Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\"\n";
}

// 16 requests: hosts .1, .2 and .3 make 9, 5 and 2 of them; Sunday 13, Monday 2 and Saturday
// (the 10th) 1; one ends in a server error; /a.html is referred once from another site, /b.html
// once from a search for a phrase that reads like the fill step's text for a missing referrer.
std::string sampleLog() {
    std::string log = line("192.0.2.3", "10", "/a.html", 200, "http://ref.example/links.html");
    for (int i = 0; i < 9; ++i)
        log += line("192.0.2.1", "11", i % 2 ? "/b.html" : "/a.html", 200, "-");
    for (int i = 0; i < 4; ++i) log += line("192.0.2.2", "11", "/b.html", 200, "-");
    log += line("192.0.2.2", "12", "/cgi.pl", 500, "-");
    log += line("192.0.2.3", "12", "/b.html", 200, "http://www.google.com/search?q=No+referrer");
    return log;
}

struct Fixture : test::LocalDocumentParts {
    fs::path dir;
    std::unique_ptr<document::Document> doc;
    std::vector<std::string> opened;
    bool openSucceeds = true;

    Fixture() {
        char pattern[] = "/tmp/tallyweb-views-XXXXXX";
        dir = mkdtemp(pattern);
        settings.setDataFolder(dir.string());
        std::ofstream(dir / "a.log", std::ios::binary) << sampleLog();
        doc = std::make_unique<document::Document>(documentServices());
        config::ReportDefinition d;
        d.Name = "Views";
        d.Path = (dir / "a.log").string();
        d.File = 1;
        d.Domain = "example.com/";
        d.DefaultPage = "index.html";
        EXPECT_TRUE(doc->generate(d, ingest::RunMode::Unattended));
        prompter.clear();
    }
    ~Fixture() {
        doc.reset();
        fs::remove_all(dir);
    }
    PaneServices services() {
        return {prompter, [this](const std::string& a) {
                    opened.push_back(a);
                    return openSucceeds;
                }};
    }
    void select(const char* title) {
        const presentation::Handle h = doc->catalogue().findByTitle(title);
        ASSERT_NE(h, presentation::kNoHandle) << title;
        doc->select(h);
    }
};

std::vector<std::string> column(const QTreeWidget& list, int c) {
    std::vector<std::string> out;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        out.push_back(list.topLevelItem(i)->text(c).toStdString());
    return out;
}

void clickHeader(QTreeWidget& list, int section) {
    QHeaderView* header = list.header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void clickRow(QTreeWidget& list, int row) {
    const QRect r = list.visualItemRect(list.topLevelItem(row));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
}

template <class View>
void showSized(View& view) {
    view.resize(800, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
}

TEST(ListView, SortsByColumnKindWithReverseFlagsPerLoad) {
    Fixture f;
    ListView view(f.services());
    showSized(view);
    QTreeWidget& list = *view.widget();

    f.select("Domain Name");
    view.load(*f.doc);
    ASSERT_EQ(list.columnCount(), 4);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"192.0.2.1", "192.0.2.2", "192.0.2.3"}))
        << "loaded in the initial sort, by Hits";
    EXPECT_EQ(list.header()->sortIndicatorSection(), 1);
    for (int c = 0; c < 4; ++c) {
        EXPECT_GE(list.columnWidth(c), 30);
        EXPECT_LE(list.columnWidth(c), list.contentsRect().width() * 8 / 10);
    }

    clickHeader(list, 1);
    EXPECT_EQ(column(list, 1), (std::vector<std::string>{"9", "5", "2"}));
    const Qt::SortOrder normal = list.header()->sortIndicatorOrder();
    clickHeader(list, 1);
    EXPECT_EQ(column(list, 1), (std::vector<std::string>{"2", "5", "9"}));
    EXPECT_TRUE(view.reversed(1));
    EXPECT_NE(list.header()->sortIndicatorOrder(), normal) << "the mark shows the reversal";
    clickHeader(list, 0);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"192.0.2.1", "192.0.2.2", "192.0.2.3"}))
        << "another column sorts in its own normal order";
    EXPECT_EQ(view.lastSortedColumn(), 0);
    EXPECT_EQ(list.header()->sortIndicatorSection(), 0);
    EXPECT_EQ(list.header()->sortIndicatorOrder(), normal);

    // Weekday percentages sort by the weekday, not by their numbers.
    f.select("Most Popular Day of Week");
    view.load(*f.doc);
    EXPECT_FALSE(view.reversed(1)) << "a load clears the flags";
    EXPECT_EQ(column(list, 0).front(), "Sunday") << "most hits first";
    clickHeader(list, 2);
    EXPECT_EQ(column(list, 0),
              (std::vector<std::string>{"Saturday", "Friday", "Thursday", "Wednesday", "Tuesday",
                                        "Monday", "Sunday"}));

    // Number columns compare the integer the text starts with: 12.50% is 12, above 6.25%.
    f.select("Hits per Day");
    view.load(*f.doc);
    clickHeader(list, 2);
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"81.25%", "12.50%", "6.25%"}));
}

TEST(ListView, CopyAndLaunch) {
    Fixture f;
    ListView view(f.services());
    showSized(view);
    QTreeWidget& list = *view.widget();

    f.select("Miscellaneous Errors");
    view.load(*f.doc);
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_FALSE(view.canCopy()) << "nothing selected yet";
    QGuiApplication::clipboard()->setText("before");
    view.copySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "before");
    clickRow(list, 0);
    ASSERT_TRUE(view.canCopy());
    view.copySelection();
    const presentation::ReportTable& t = f.doc->table();
    const std::string copied = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_EQ(copied, "500\t/cgi.pl\t1\t" + t.cell(0, 3) + "\r\n");
    EXPECT_FALSE(t.cell(0, 3).empty());

    // One selected row opens its address; without a selection the command arms or disarms.
    f.select("Most Requested Pages");
    view.load(*f.doc);
    const bool armed = view.launchArmed();
    view.launch();
    EXPECT_NE(view.launchArmed(), armed);
    view.launch();
    EXPECT_EQ(view.launchArmed(), armed);
    EXPECT_TRUE(f.opened.empty());
    ASSERT_EQ(column(list, 0), (std::vector<std::string>{"/b.html", "/a.html"}));
    clickRow(list, 1);
    view.launch();
    EXPECT_EQ(f.opened, std::vector<std::string>{"http://www.example.com/a.html"});
    EXPECT_EQ(view.launchArmed(), armed);

    // A row without a referrer opens nothing and says why.
    f.select("Search Engine Phrases");
    view.load(*f.doc);
    ASSERT_EQ(column(list, 0), std::vector<std::string>{"No referrer"});
    clickRow(list, 0);
    view.launch();
    EXPECT_EQ(f.opened.size(), 1u);
    EXPECT_EQ(f.prompter.texts(),
              std::vector<std::string>{std::string(presentation::kNoReferrerText)});

    f.prompter.clear();
    f.select("Most Requested Pages");
    view.load(*f.doc);
    clickRow(list, 1);
    f.openSucceeds = false;
    view.launch();
    EXPECT_EQ(f.prompter.texts(),
              std::vector<std::string>{std::string(presentation::kBrowserErrorText) +
                                       "\n\n\thttp://www.example.com/a.html"});
}

TEST(TreeListView, GroupsAndArmedClick) {
    Fixture f;
    TreeListView view(f.services());
    showSized(view);
    QTreeWidget& list = *view.widget();

    f.select("Individual Page Referrers");
    view.load(*f.doc);
    ASSERT_EQ(column(list, 0),
              (std::vector<std::string>{"/a.html", "http://ref.example/links.html", "/b.html",
                                        "http://www.google.com/search"}));
    for (int r = 0; r < list.topLevelItemCount(); ++r) {
        const QTreeWidgetItem& item = *list.topLevelItem(r);
        const bool group = item.text(0).startsWith('/');
        EXPECT_EQ(item.font(0).weight(), group ? QFont::DemiBold : QFont::Normal) << r;
        EXPECT_EQ(item.data(0, TreeListView::IndentRole).toInt(), group ? 0 : 1) << r;
    }
    EXPECT_FALSE(list.header()->sectionsClickable()) << "the grouped list keeps table order";
    EXPECT_FALSE(list.grab().isNull());

    // While armed, a click launches the clicked row and disarms; later clicks only select.
    if (view.launchArmed()) view.launch();
    view.launch();
    ASSERT_TRUE(view.launchArmed());
    clickRow(list, 1);
    EXPECT_EQ(f.opened, std::vector<std::string>{"http://ref.example/links.html"});
    EXPECT_FALSE(view.launchArmed());
    clickRow(list, 2);
    EXPECT_EQ(f.opened.size(), 1u);
    view.launch();
    EXPECT_EQ(f.opened.back(), "http://www.example.com/b.html") << "the selected row";

    view.copySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "/b.html\t1\r\n");
}

TEST(MessageView, ShowsTheMessageBelowTheBanner) {
    Fixture f;
    MessageView view;
    view.resize(600, 400);
    f.select("Visitor Information");
    ASSERT_FALSE(f.doc->table().message.empty());
    view.load(*f.doc);
    EXPECT_EQ(view.text().toStdString(), f.doc->table().message);

    // Text is drawn inside the middle 8/10 and not in the side margins.
    const QImage image = view.grab().toImage();
    const QColor text = view.palette().color(QPalette::WindowText);
    int inside = 0, margins = 0;
    for (int y = 64 + 400 / 10; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (QColor(image.pixel(x, y)) != text) continue;
            (x >= 60 && x < 540 ? inside : margins)++;
        }
    }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(margins, 0);
}

}  // namespace
}  // namespace tw::ui
