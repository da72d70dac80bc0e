#include "engine/suffix_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using tw::engine::SuffixNames;

TEST(SuffixNames, ParseRules) {
    SuffixNames s;
    s.parse(
        "Germany\t.de\r\nFrance .fr\rSpain\t.es\n\n\r\n\r\rno dot here\nOld\t.ORG\r\n"
        "Organization\t.org\nUnited Kingdom\t.co.uk\n.arpa\nLast\t.LAST");
    EXPECT_EQ(s.size(), 7u);
    EXPECT_EQ(s.label(".de"), "Germany (.de)");
    EXPECT_EQ(s.label(".fr"), "France (.fr)");
    EXPECT_EQ(s.label(".es"), "Spain (.es)");
    // The later line wins, whatever case either spelt the suffix in.
    EXPECT_EQ(s.label(".org"), "Organization (.org)");
    // The first "." ends the name; the rest of the line is the suffix.
    EXPECT_EQ(s.label(".co.uk"), "United Kingdom (.co.uk)");
    EXPECT_EQ(s.find(".uk"), nullptr);
    ASSERT_NE(s.find(".arpa"), nullptr);
    EXPECT_EQ(*s.find(".arpa"), "");
    // The last line needs no line end, and its suffix is stored lowercased.
    EXPECT_EQ(s.label(".last"), "Last (.last)");
    EXPECT_EQ(s.find("no dot here"), nullptr);
}

TEST(SuffixNames, Labels) {
    SuffixNames s;
    s.parse("Germany\t.de\n.arpa\n");
    EXPECT_EQ(s.label(".de"), "Germany (.de)");
    EXPECT_EQ(s.label(".DE"), "Germany (.DE)");
    EXPECT_EQ(s.label(".xx"), ".xx");
    EXPECT_EQ(s.label(".arpa"), ".arpa");
    EXPECT_EQ(s.label(""), "");
}

TEST(SuffixNames, ShippedTable) {
    const std::string path = std::string(TALLYWEB_DATA_DIR) + "/suffixdata.dat";
    SuffixNames s;
    ASSERT_TRUE(s.load(path));
    EXPECT_GE(s.size(), 240u);
    // Every line is an entry of its own: no suffix given twice, none without a ".".
    std::ifstream f(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(f, line);) lines += line.empty() ? 0 : 1;
    EXPECT_EQ(s.size(), lines);
    EXPECT_EQ(s.label(".uk"), "United Kingdom (.uk)");
    EXPECT_EQ(s.label(".de"), "Germany (.de)");
    EXPECT_EQ(s.label(".com"), "Commercial (.com)");
    EXPECT_EQ(s.label(".vi"), "Virgin Islands, US (.vi)");
}

TEST(SuffixNames, MissingOrOversizedFileLeavesTableEmpty) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string missing = (dir / "tallyweb-no-such-suffixdata.dat").string();
    SuffixNames s;
    s.parse("Germany\t.de\n");
    EXPECT_FALSE(s.load(missing));
    EXPECT_EQ(s.size(), 0u);

    const std::string big = (dir / "tallyweb-suffixdata-big.dat").string();
    {
        std::ofstream out(big, std::ios::binary);
        out << "Germany\t.de\n" << std::string(SuffixNames::kMaxFileBytes, 'x');
    }
    EXPECT_FALSE(s.load(big));
    EXPECT_EQ(s.size(), 0u);
    std::filesystem::resize_file(big, 0);
    EXPECT_TRUE(s.load(big));
    EXPECT_EQ(s.size(), 0u);
    std::filesystem::remove(big);
}
