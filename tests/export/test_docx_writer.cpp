// The Word document writer: the package it writes opens as a zip with the parts Word needs,
// the XML is well-formed and nested as Word requires, and texts cannot break the markup.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "export/docx_writer.h"
#include "support/local_servers.h"

namespace tw::exporter {
namespace {

namespace fs = std::filesystem;

// The part's text, or "<missing>" when the package has no such part.
std::string zipPart(const fs::path& package, const char* name) {
    int error = 0;
    zip_t* archive = zip_open(package.string().c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) return "<no zip>";
    std::string text = "<missing>";
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive, name, 0, &stat) == 0) {
        if (zip_file_t* file = zip_fopen(archive, name, 0)) {
            text.assign(static_cast<std::size_t>(stat.size), '\0');
            const zip_int64_t read = zip_fread(file, text.data(), stat.size);
            if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size) text = "<short read>";
            zip_fclose(file);
        }
    }
    zip_close(archive);
    return text;
}

// Every XML part parses, every cell ends in a paragraph, the body does not end in a table and
// every hyperlink has an external relationship. "OK" on success, else what failed.
std::string checkWithPython(const fs::path& package) {
    const std::string script =
        "import sys,zipfile,xml.dom.minidom as m\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "docs={n:m.parseString(z.read(n)) for n in z.namelist()}\n"
        "d=docs['word/document.xml']\n"
        "el=lambda n:[c for c in n.childNodes if c.nodeType==1]\n"
        "for tc in d.getElementsByTagName('w:tc'):\n"
        "  assert el(tc)[-1].tagName=='w:p','cell not ending in w:p'\n"
        "body=el(d.getElementsByTagName('w:body')[0])\n"
        "assert body[-1].tagName=='w:sectPr' and body[-2].tagName=='w:p','body end'\n"
        "rels={r.getAttribute('Id'):r for r in "
        "docs['word/_rels/document.xml.rels'].getElementsByTagName('Relationship')}\n"
        "for h in d.getElementsByTagName('w:hyperlink'):\n"
        "  assert rels[h.getAttribute('r:id')].getAttribute('TargetMode')=='External'\n"
        "print('OK')\n";
    const fs::path scriptPath = package.parent_path() / "check.py";
    if (std::FILE* f = std::fopen(scriptPath.string().c_str(), "w")) {
        std::fputs(script.c_str(), f);
        std::fclose(f);
    }
    const std::string command =
        "/usr/bin/python3 '" + scriptPath.string() + "' '" + package.string() + "' 2>&1";
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        pclose(pipe);
    }
    fs::remove(scriptPath);
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

void writeCell(DocxWriter& w, std::string_view text) {
    w.beginCell();
    w.writeText(text);
    w.endCell();
}

TEST(Docx, WritesHeadingTablesAndLinkAsValidPackage) {
    test::ScratchDir dir;
    const fs::path target = dir.path() / "report.docx";
    DocxWriter w;
    ASSERT_TRUE(w.open(target.string()));
    w.setFontFace("Arial");
    w.alignment = kCenter;
    w.beginParagraph();
    w.setFontSize(7);
    w.writeText("www.example.com");
    w.lineBreak();
    w.endParagraph();
    w.sectionGap();
    // Invalid UTF-8 and a control character would make the part unreadable if passed on.
    w.alignment = kLeft;
    w.setFontSize(3);
    w.writeText("bad \x01\xff bytes, caf\xc3\xa9");
    w.tableBorder = 1;
    w.beginTable(2, 2, 0);
    w.beginRow();
    w.headerCell = true;
    w.noBackground = false;
    w.background = kDarkBlue;
    w.useDefaultColour = false;
    w.fontColour = kWhite;
    writeCell(w, "Item");
    writeCell(w, "Value");
    w.endRow();
    w.headerCell = false;
    w.useDefaultColour = true;
    w.background = kLightGrey;
    w.beginRow();
    writeCell(w, "<script>&");
    w.beginCell();
    w.indent();
    w.writeText("x");
    w.endCell();
    w.endRow();
    w.endTable();
    w.endParagraph();
    w.link("http://example.com/?a=1&b=2", "");
    ASSERT_TRUE(w.close());

    const std::string doc = zipPart(target, "word/document.xml");
    EXPECT_EQ(doc, w.documentXml());
    EXPECT_NE(zipPart(target, "[Content_Types].xml").find("/word/document.xml"), std::string::npos);
    EXPECT_NE(zipPart(target, "_rels/.rels").find("Target=\"word/document.xml\""),
              std::string::npos);
    EXPECT_NE(doc.find("<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:r><w:rPr><w:rFonts "
                       "w:ascii=\"Arial\""),
              std::string::npos);
    EXPECT_NE(doc.find("<w:sz w:val=\"72\"/>"), std::string::npos);
    EXPECT_EQ(count(doc, "<w:br w:type=\"page\"/>"), 1u);
    EXPECT_EQ(count(doc, "<w:gridCol "), 2u);
    EXPECT_EQ(count(doc, "<w:tr>"), 2u);
    EXPECT_NE(doc.find("<w:tr><w:trPr><w:tblHeader/></w:trPr>"), std::string::npos);
    EXPECT_EQ(count(doc, "<w:tblHeader/>"), 1u);
    EXPECT_EQ(count(doc, "w:fill=\"000099\""), 2u);
    EXPECT_EQ(count(doc, "w:fill=\"DDDDDD\""), 2u);
    EXPECT_NE(doc.find("<w:color w:val=\"FFFFFF\"/><w:sz w:val=\"24\"/>"), std::string::npos);
    EXPECT_NE(doc.find("w:val=\"single\" w:sz=\"6\""), std::string::npos);
    EXPECT_NE(doc.find("&lt;script&gt;&amp;"), std::string::npos);
    EXPECT_EQ(doc.find("<script>"), std::string::npos);
    EXPECT_NE(doc.find("bad \xef\xbf\xbd bytes, caf\xc3\xa9"), std::string::npos);
    EXPECT_NE(doc.find("<w:tab/></w:r><w:r>"), std::string::npos);
    EXPECT_NE(doc.find("<w:hyperlink r:id=\"rId2\""), std::string::npos);
    EXPECT_NE(zipPart(target, "word/_rels/document.xml.rels")
                  .find("Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
                        "2006/relationships/hyperlink\" Target=\"http://example.com/?a=1&amp;b=2\" "
                        "TargetMode=\"External\""),
              std::string::npos);
    if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no python3 for the XML check";
    EXPECT_EQ(checkWithPython(target), "OK");
}

TEST(Docx, RepairsNestingTheCallerLeftOpen) {
    test::ScratchDir dir;
    const fs::path target = dir.path() / "open.docx";
    DocxWriter w;
    ASSERT_TRUE(w.open(target.string()));
    w.beginTable(1, 2, 50);
    w.beginRow();
    w.beginCell();
    w.endCell();
    w.writeText("typed between cells");
    w.beginTable(1, 1, 0);
    w.writeText("nested");
    ASSERT_TRUE(w.close());
    const std::string doc = zipPart(target, "word/document.xml");
    EXPECT_EQ(count(doc, "<w:tbl>"), 2u);
    EXPECT_EQ(count(doc, "</w:tbl>"), 2u);
    if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no python3 for the XML check";
    EXPECT_EQ(checkWithPython(target), "OK");
}

TEST(Docx, MissingDirectoryFailsAndLeavesNothing) {
    test::ScratchDir dir;
    const fs::path target = dir.path() / "absent" / "report.docx";
    DocxWriter w;
    ASSERT_TRUE(w.open(target.string()));
    w.writeText("text");
    EXPECT_FALSE(w.close());
    EXPECT_EQ(w.failure(), "No such file or directory");
    EXPECT_FALSE(fs::exists(target.parent_path()));
    EXPECT_TRUE(fs::is_empty(dir.path()));

    // The package is written in one piece at close: a full disk shows there, and nothing is
    // left in the target's place.
    const fs::path full = dir.path() / "full.docx";
    fs::create_symlink("/dev/full", full.string() + ".tmp-docx");
    DocxWriter filling;
    ASSERT_TRUE(filling.open(full.string()));
    filling.writeText("text");
    EXPECT_FALSE(filling.close());
    EXPECT_EQ(filling.failure(), "No space left on device");
    EXPECT_FALSE(fs::exists(full));

    DocxWriter unnamed;
    EXPECT_FALSE(unnamed.open(""));
    EXPECT_FALSE(unnamed.close());
    EXPECT_EQ(unnamed.failure(), "no file name was given");
}

}  // namespace
}  // namespace tw::exporter

#include "export/export_fixture.h"
#include "export/export_walk.h"

namespace tw::exporter {
namespace {

TEST(Docx, EveryReportStartsOnANewPage) {
    test::DocumentFixture f;
    document::Document& doc = f.analyse(test::logLine("192.0.2.1", "/a.html", 1) +
                                        test::logLine("192.0.2.2", "/b.html", 2));
    int sections = 0;
    exportWalk(doc, [&](const WalkItem&) { ++sections; });
    ASSERT_GT(sections, 5);
    DocxWriter writer;
    ASSERT_TRUE(exportDocument(doc, writer, f.data.file("r.docx", ""), 30, {}));
    const std::string xml = writer.documentXml();
    std::size_t breaks = 0;
    for (std::size_t at = 0; (at = xml.find("w:type=\"page\"", at)) != std::string::npos; ++at)
        ++breaks;
    EXPECT_EQ(breaks, static_cast<std::size_t>(sections)) << "one after the heading, then one "
                                                             "before every later report";
}

}  // namespace
}  // namespace tw::exporter
