#pragma once
// The report writer for a Word document (.docx). There is no word processor to drive, so the
// WordprocessingML is built in memory as the operations arrive and packaged with libzip on
// close().
//
// Word rejects a file whose nesting is off (a cell without a paragraph, a run outside one), so
// the writer repairs the call sequence instead of trusting it: text outside a paragraph opens
// one, a table closes the paragraph it starts in, cells and rows open implicitly, and close()
// ends whatever is still open.
//
// The package is written under a temporary name beside the target and renamed into place, so a
// failed export never leaves a truncated file behind.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/report_writer.h"

namespace tw::exporter {

// Writer size 1 to 7 to points; anything else 12.
int docxFontPoints(int size);

// Texts as WordprocessingML character data: & < > " escaped, control characters other than
// tab and line feed dropped, invalid UTF-8 replaced by U+FFFD.
std::string escapeDocxText(std::string_view text);

class DocxWriter final : public ReportWriter {
  public:
    DocxWriter() = default;

    // Only remembers the path; false when it is empty. Creating the file is close()'s job.
    bool open(const std::string& path) override;
    // False when the writer was never opened or the package could not be written or renamed;
    // then failure() says why.
    bool close() override;
    void beginReportSection() override;
    void writeText(std::string_view text) override;
    void indent() override;
    void beginParagraph() override;
    void endParagraph() override;
    void lineBreak() override;
    void sectionGap() override;
    void beginTable(int rows, int columns, int widthPercent) override;
    void endTable() override;
    void beginRow() override;
    void endRow() override;
    void beginCell() override;
    void endCell() override;
    void anchor(std::string_view name, std::string_view text) override;
    void link(std::string_view address, std::string_view text) override;

    // word/document.xml as close() writes it, also before close() (open elements are ended in
    // the copy, not in the writer).
    std::string documentXml() const;

  private:
    bool pageHasContent_ = false;  // something was written since the last page break
    struct Container {
        std::string xml;
        bool endsWithTable = false;
        bool hasParagraph = false;
    };
    struct Cell {
        Container content;
        int align = kLeft;
        bool shaded = false;
        std::uint32_t fill = kWhite;
    };
    struct Row {
        std::vector<Cell> cells;
        bool header = false;
        bool cellOpen = false;
    };
    struct Table {
        int columns = 1;
        int widthPercent = 0;
        int border = 0;
        int spacing = 0;
        int padding = 0;
        std::vector<Row> rows;
        bool rowOpen = false;
    };
    struct Paragraph {
        bool open = false;
        int align = kLeft;
        std::string runs;
    };
    struct Doc {
        Container body;
        std::vector<Table> tables;
        Paragraph paragraph;
        int bodyAlign = kLeft;
        std::vector<std::string> linkTargets;  // relationship rId(i + 2)
    };

    static Container& target(Doc& doc);
    static void flushParagraph(Doc& doc);
    static void ensureParagraph(Doc& doc);
    static void ensureCell(Doc& doc);
    static void closeCell(Doc& doc);
    static void closeRow(Doc& doc);
    static void closeTable(Doc& doc);
    static void finish(Doc& doc);
    static std::string renderDocument(Doc doc);
    std::string runProperties(bool forLink) const;
    void addRun(std::string_view content, bool forLink);
    bool writePackage(const std::string& documentText);

    bool opened_ = false;
    bool failed_ = false;
    std::string path_;
    Doc doc_;
};

}  // namespace tw::exporter
