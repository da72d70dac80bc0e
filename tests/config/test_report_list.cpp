// The Report List dialog's rows, selection and closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/report_list.h"
#include "config/report_store.h"
#include "platform/strings.h"
#include "support/fakes.h"

namespace tw::config {
namespace {

using platform::Answer;

ReportDefinition named(std::string name) {
    ReportDefinition d = ReportList::newDefinition();
    d.Name = std::move(name);
    return d;
}

std::vector<std::string> names(const ReportList& list) {
    std::vector<std::string> out;
    for (const ReportDefinition& d : list.rows()) out.push_back(d.Name);
    return out;
}

// Stores definitions of these names in this order, with a last selection.
void store(platform::MemorySettings& s, const std::vector<std::string>& stored, int lastSel) {
    std::vector<ReportDefinition> list;
    for (const std::string& n : stored) list.push_back(named(n));
    saveReportList(s, list);
    saveLastSelection(s, lastSel);
}

TEST(ReportList, OpenSortsWithoutRegardToCaseAndSelectsTheLastRow) {
    platform::MemorySettings s;
    store(s, {"daily", "Weekly", "alpha", "Daily", "beta"}, 2);
    ReportDefinition marked = loadReport(s, 0);
    marked.Path = "/first/";
    saveReport(s, 0, marked);  // tells the two namesakes apart

    ReportList list;
    list.open(s);
    EXPECT_EQ(names(list), (std::vector<std::string>{"alpha", "beta", "daily", "Daily", "Weekly"}));
    EXPECT_EQ(list.at(2).Path, "/first/");
    EXPECT_EQ(list.selection(), 2u);
    EXPECT_FALSE(list.modified());

    saveLastSelection(s, 5);
    list.open(s);
    EXPECT_FALSE(list.selection());
    saveLastSelection(s, -1);
    list.open(s);
    EXPECT_FALSE(list.selection());

    // Namesakes keep their stored order in a list long enough to leave the short-range sort.
    platform::MemorySettings many;
    std::vector<ReportDefinition> stored;
    for (int i = 0; i < 40; ++i) {
        ReportDefinition d = named(i % 3 == 0 ? "Zed" : (i % 2 ? "same" : "Same"));
        d.Path = std::to_string(i);
        stored.push_back(d);
    }
    saveReportList(many, stored);
    list.open(many);
    int previous = -1;
    for (std::size_t r = 0; r < list.size() && list.at(r).Name != "Zed"; ++r) {
        EXPECT_LT(previous, std::stoi(list.at(r).Path));
        previous = std::stoi(list.at(r).Path);
    }

    platform::MemorySettings empty;
    list.open(empty);
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.selection());
}

TEST(ReportList, AddedRowsStandAlphabeticallyAndAreSavedInThatOrder) {
    platform::MemorySettings s;
    test::FakePrompter prompter;
    ReportList list;
    list.open(s);
    EXPECT_EQ(list.add(named("beta")), 0u);
    EXPECT_TRUE(list.modified());
    EXPECT_EQ(list.add(named("Alpha")), 0u);
    EXPECT_EQ(list.add(named("alpha")), 1u);  // after its namesake
    EXPECT_EQ(list.selection(), 1u);

    ASSERT_TRUE(list.generate(prompter, s));
    EXPECT_EQ(s.getString("Report 0", "Name", ""), "Alpha");
    EXPECT_EQ(s.getString("Report 2", "Name", ""), "beta");
    EXPECT_EQ(s.getInt("", "ReportListDlgLastSel", -1), 1);
}

TEST(ReportList, EditAndCopy) {
    platform::MemorySettings s;
    store(s, {"Daily", "Monthly", "Weekly"}, 0);
    ReportList list;
    list.open(s);

    ReportDefinition changed = list.at(0);
    changed.Name = "Yearly";
    EXPECT_EQ(list.edit(0, changed), 2u);
    EXPECT_EQ(names(list), (std::vector<std::string>{"Monthly", "Weekly", "Yearly"}));
    EXPECT_EQ(list.selection(), 2u);
    EXPECT_TRUE(list.modified());
    EXPECT_FALSE(list.edit(3, changed));

    list.open(s);
    ReportDefinition daily = list.at(0);
    daily.trackFiles = {"/a"};
    daily.filters.resize(2);
    daily.Password = "pw";
    list.edit(0, daily);
    const auto first = list.copy(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(list.at(*first).Name, "Copy of Daily");
    const auto second = list.copy(*first);
    ASSERT_TRUE(second);
    ReportDefinition expected = daily;
    expected.Name = "Copy of Copy of Daily";
    EXPECT_EQ(list.at(*second), expected);
    EXPECT_EQ(names(list), (std::vector<std::string>{"Copy of Copy of Daily", "Copy of Daily",
                                                     "Daily", "Monthly", "Weekly"}));
    EXPECT_FALSE(list.copy(9));
}

TEST(ReportList, RemoveSelectsTheSameIndexOrTheLastRow) {
    platform::MemorySettings s;
    store(s, {"a", "b", "c", "d"}, 0);
    ReportList list;
    list.open(s);
    EXPECT_TRUE(list.remove(1));
    EXPECT_TRUE(list.modified());
    EXPECT_EQ(names(list), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(list.selection(), 1u);
    EXPECT_TRUE(list.remove(2));
    EXPECT_EQ(list.selection(), 1u);
    EXPECT_EQ(list.at(1).Name, "c");
    EXPECT_FALSE(list.remove(2));
    EXPECT_TRUE(list.remove(0));
    EXPECT_TRUE(list.remove(0));
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.selection());
}

TEST(ReportList, ColumnsAndCells) {
    EXPECT_EQ(ReportList::kHeadings[0], "Report Name");
    EXPECT_EQ(ReportList::kHeadings[4], "Path Analysis");
    ReportList list;
    ReportDefinition d = named("Site");
    d.Path = "/var/log/a.log;/var/log/b.log";
    list.add(d);
    d.Name = "Zed";
    d.filters.resize(1);
    d.EnableDNS = 1;
    d.Root = "/srv/www/index.html";
    list.add(d);

    const auto row = [&](std::size_t r) {
        std::vector<std::string> cells;
        for (int c = 0; c < ReportList::kColumns; ++c) cells.push_back(list.cell(r, c));
        return cells;
    };
    EXPECT_EQ(row(0), (std::vector<std::string>{"Site", d.Path, "No", "No", "No"}));
    EXPECT_EQ(row(1), (std::vector<std::string>{"Zed", d.Path, "Yes", "Yes", "Yes"}));
    EXPECT_EQ(list.cell(2, 0), "");
}

TEST(ReportList, GenerateNeedsASelection) {
    platform::MemorySettings s;
    store(s, {"a", "b"}, 7);
    test::FakePrompter prompter;
    ReportList list;
    list.open(s);
    s.setString("", "NumReports", "0");  // shows whether the list was saved
    EXPECT_FALSE(list.generate(prompter, s));
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{
                                    std::string(platform::text(platform::sid::NoReportSelected))});
    EXPECT_EQ(s.getString("", "NumReports", ""), "0");
    EXPECT_EQ(s.getInt("", "ReportListDlgLastSel", 0), 7);

    list.select(1);
    const auto chosen = list.generate(prompter, s);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->Name, "b");
    EXPECT_EQ(s.getString("", "NumReports", ""), "2");
    EXPECT_EQ(s.getInt("", "ReportListDlgLastSel", 0), 1);
}

TEST(ReportList, CancelAsksOnlyWhenModified) {
    platform::MemorySettings s;
    store(s, {"a"}, 0);
    ReportList list;
    {
        test::FakePrompter prompter;
        list.open(s);
        EXPECT_TRUE(list.cancel(prompter, s));
        EXPECT_TRUE(prompter.events().empty());
    }
    const std::string question(platform::text(platform::sid::SaveReportListQuestion));
    const auto cancelWith = [&](Answer answer, bool closes, const char* storedCount) {
        list.open(s);
        list.add(named("b"));
        test::FakePrompter prompter;
        prompter.queueAnswer(answer);
        EXPECT_EQ(list.cancel(prompter, s), closes);
        ASSERT_EQ(prompter.events().size(), 1u);
        EXPECT_EQ(prompter.events()[0].kind, test::FakePrompter::Kind::YesNoCancel);
        EXPECT_EQ(prompter.events()[0].text, question);
        EXPECT_EQ(s.getString("", "NumReports", ""), storedCount);
    };
    cancelWith(Answer::Cancel, false, "1");
    EXPECT_TRUE(list.modified());  // the dialog stays, with its changes
    cancelWith(Answer::No, true, "1");
    cancelWith(Answer::Yes, true, "2");
}

TEST(ReportList, RequestedReportIsFoundByItsLabelInAnyCase) {
    platform::MemorySettings s;
    store(s, {"Daily Stats", "Daily", "weekly"}, 0);
    ReportList list;
    list.open(s);
    EXPECT_EQ(list.findLabel("daily"), 0u);
    EXPECT_EQ(list.findLabel("WEEKLY"), 2u);
    EXPECT_FALSE(list.findLabel("Daily Stat"));
    EXPECT_FALSE(list.findLabel(""));

    test::FakePrompter prompter;
    EXPECT_FALSE(list.generateRequested("monthly", prompter, s));
    EXPECT_EQ(
        prompter.texts(),
        std::vector<std::string>{std::string(platform::text(platform::sid::AutoReportNotFound))});
    const auto chosen = list.generateRequested("DAILY STATS", prompter, s);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->Name, "Daily Stats");
    EXPECT_EQ(s.getInt("", "ReportListDlgLastSel", -1), 1);
}

TEST(ReportList, NewDefinitionHasTheNewReportDefaults) {
    const ReportDefinition d = ReportList::newDefinition();
    EXPECT_EQ(d.RecursionDepth, 3);
    EXPECT_EQ(d.Name, "");
    EXPECT_EQ(d.Local, 1);
    EXPECT_EQ(d.exportSettings.ExportExportType, 1);
}

}  // namespace
}  // namespace tw::config
