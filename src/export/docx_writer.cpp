#include "export/docx_writer.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "export/utf8_text.h"

namespace tw::exporter {

namespace {

constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kXmlDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
// A4 with one-inch margins, in twentieths of a point: the width the table grid is cut from.
constexpr int kTextWidthTwips = 11906 - 2 * 1440;

// An operation may allocate; bad_alloc must not escape the library, and a document that lost
// part of its content must not be reported as written.
template <class F>
void guarded(bool opened, bool& failed, F&& operation) noexcept {
    if (!opened) return;
    try {
        std::forward<F>(operation)();
    } catch (...) {
        failed = true;
    }
}

std::string hexColour(std::uint32_t colour) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X", static_cast<unsigned>(colour & 0xFF),
                  static_cast<unsigned>((colour >> 8) & 0xFF),
                  static_cast<unsigned>((colour >> 16) & 0xFF));
    return buffer;
}

int paragraphAlign(int alignment) {
    return alignment == kCenter || alignment == kRight ? alignment : kLeft;
}

std::string paragraphXml(int align, std::string_view runs) {
    std::string xml = "<w:p>";
    if (align == kCenter) xml += "<w:pPr><w:jc w:val=\"center\"/></w:pPr>";
    if (align == kRight) xml += "<w:pPr><w:jc w:val=\"right\"/></w:pPr>";
    xml += runs;
    xml += "</w:p>";
    return xml;
}

// Tab and line feed survive escaping; in WordprocessingML they are elements, not characters.
std::string runContent(std::string_view escaped) {
    std::string xml;
    std::size_t start = 0;
    auto flush = [&](std::size_t end) {
        if (end > start) {
            xml += "<w:t xml:space=\"preserve\">";
            xml.append(escaped.substr(start, end - start));
            xml += "</w:t>";
        }
    };
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\t' && escaped[i] != '\n') continue;
        flush(i);
        xml += escaped[i] == '\t' ? "<w:tab/>" : "<w:br/>";
        start = i + 1;
    }
    flush(escaped.size());
    return xml;
}

struct Part {
    const char* name;
    std::string text;
};

// The zip is built in memory so that the file itself is written in one place we control.
// `reason` receives libzip's words for a failure.
bool zipParts(const std::vector<Part>& parts, std::string& out, std::string& reason) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (buffer == nullptr) reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    if (buffer == nullptr) return false;
    zip_error_init(&error);
    zip_t* archive = zip_open_from_source(buffer, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        zip_source_free(buffer);
        return false;
    }
    zip_source_keep(buffer);
    bool ok = true;
    for (const Part& part : parts) {
        zip_source_t* source = zip_source_buffer(archive, part.text.data(), part.text.size(), 0);
        if (source == nullptr) {
            reason = zip_strerror(archive);
            ok = false;
            break;
        }
        if (zip_file_add(archive, part.name, source, ZIP_FL_ENC_UTF_8) < 0) {
            reason = zip_strerror(archive);
            zip_source_free(source);
            ok = false;
            break;
        }
    }
    if (ok && zip_close(archive) != 0) {
        reason = zip_strerror(archive);
        ok = false;
    }
    if (!ok) {
        zip_discard(archive);
        zip_source_free(buffer);
        return false;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(buffer, &stat) != 0 || zip_source_open(buffer) != 0) {
        reason = zip_error_strerror(zip_source_error(buffer));
        zip_source_free(buffer);
        return false;
    }
    out.assign(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t read = zip_source_read(buffer, out.data(), stat.size);
    const bool whole = read >= 0 && static_cast<zip_uint64_t>(read) == stat.size;
    if (!whole) reason = zip_error_strerror(zip_source_error(buffer));
    zip_source_close(buffer);
    zip_source_free(buffer);
    return whole;
}

std::string contentTypes() {
    return std::string(kXmlDecl) +
           "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" "
           "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
           "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
           "<Override PartName=\"/word/styles.xml\" ContentType=\"application/"
           "vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
           "<Override PartName=\"/docProps/core.xml\" "
           "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
           "</Types>";
}

std::string packageRelationships() {
    return std::string(kXmlDecl) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
           "relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" +
           kRelNs +
           "/officeDocument\" Target=\"word/document.xml\"/>"
           "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/"
           "relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
           "</Relationships>";
}

std::string coreProperties(const std::string& title) {
    return std::string(kXmlDecl) +
           "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/"
           "metadata/core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
           "<dc:title>" +
           escapeDocxText(title) + "</dc:title></cp:coreProperties>";
}

std::string documentRelationships(const std::vector<std::string>& targets) {
    std::string xml = std::string(kXmlDecl) +
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                      "relationships\">"
                      "<Relationship Id=\"rId1\" Type=\"" +
                      kRelNs + "/styles\" Target=\"styles.xml\"/>";
    for (std::size_t i = 0; i < targets.size(); ++i) {
        xml += "<Relationship Id=\"rId" + std::to_string(i + 2) + "\" Type=\"" + kRelNs +
               "/hyperlink\" Target=\"" + escapeDocxText(targets[i]) +
               "\" TargetMode=\"External\"/>";
    }
    xml += "</Relationships>";
    return xml;
}

// Paragraphs without space after them, as in the HTML rendering, and the character style that
// hyperlinks are shown in.
std::string styles() {
    return std::string(kXmlDecl) + "<w:styles xmlns:w=\"" + kWordNs +
           "\"><w:docDefaults><w:rPrDefault><w:rPr>"
           "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:cs=\"Arial\" w:eastAsia=\"Arial\"/>"
           "<w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/></w:rPr></w:rPrDefault>"
           "<w:pPrDefault><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" "
           "w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>"
           "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
           "<w:name w:val=\"Normal\"/></w:style>"
           "<w:style w:type=\"character\" w:default=\"1\" w:styleId=\"DefaultParagraphFont\">"
           "<w:name w:val=\"Default Paragraph Font\"/></w:style>"
           "<w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\">"
           "<w:name w:val=\"Normal Table\"/><w:tblPr><w:tblInd w:w=\"0\" w:type=\"dxa\"/>"
           "<w:tblCellMar><w:top w:w=\"0\" w:type=\"dxa\"/><w:left w:w=\"108\" w:type=\"dxa\"/>"
           "<w:bottom w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/>"
           "</w:tblCellMar></w:tblPr></w:style>"
           "<w:style w:type=\"character\" w:styleId=\"Hyperlink\"><w:name w:val=\"Hyperlink\"/>"
           "<w:basedOn w:val=\"DefaultParagraphFont\"/><w:rPr><w:color w:val=\"0000FF\"/>"
           "<w:u w:val=\"single\"/></w:rPr></w:style></w:styles>";
}

}  // namespace

int docxFontPoints(int size) {
    switch (size) {
        case 1:
            return 8;
        case 2:
            return 10;
        case 3:
            return 12;
        case 4:
            return 14;
        case 5:
            return 18;
        case 6:
            return 24;
        case 7:
            return 36;
        default:
            return 12;
    }
}

std::string escapeDocxText(std::string_view text) {
    const std::string safe = xmlSafeText(text);
    std::string out;
    out.reserve(safe.size());
    for (const char c : safe) {
        if (const char* entity = markupEntity(c))
            out += entity;
        else
            out += c;
    }
    return out;
}

// --- nesting ---------------------------------------------------------------------------------

DocxWriter::Container& DocxWriter::target(Doc& doc) {
    if (doc.tables.empty()) return doc.body;
    ensureCell(doc);
    return doc.tables.back().rows.back().cells.back().content;
}

void DocxWriter::ensureCell(Doc& doc) {
    Table& table = doc.tables.back();
    if (!table.rowOpen) {
        table.rows.emplace_back();
        table.rowOpen = true;
    }
    Row& row = table.rows.back();
    if (!row.cellOpen) {
        row.cells.emplace_back();
        row.cellOpen = true;
    }
}

void DocxWriter::flushParagraph(Doc& doc) {
    if (!doc.paragraph.open) return;
    Container& container = target(doc);
    container.xml += paragraphXml(doc.paragraph.align, doc.paragraph.runs);
    container.hasParagraph = true;
    container.endsWithTable = false;
    doc.paragraph = Paragraph{};
}

void DocxWriter::ensureParagraph(Doc& doc) {
    if (doc.paragraph.open) return;
    target(doc);
    doc.paragraph.open = true;
    doc.paragraph.align =
        doc.tables.empty() ? doc.bodyAlign : doc.tables.back().rows.back().cells.back().align;
}

// Word requires the last element of a cell to be a paragraph.
void DocxWriter::closeCell(Doc& doc) {
    flushParagraph(doc);
    Row& row = doc.tables.back().rows.back();
    Cell& cell = row.cells.back();
    if (!cell.content.hasParagraph || cell.content.endsWithTable) {
        cell.content.xml += paragraphXml(cell.align, "");
        cell.content.hasParagraph = true;
        cell.content.endsWithTable = false;
    }
    row.cellOpen = false;
}

void DocxWriter::closeRow(Doc& doc) {
    Table& table = doc.tables.back();
    if (!table.rowOpen) return;
    if (table.rows.back().cellOpen) closeCell(doc);
    table.rowOpen = false;
}

void DocxWriter::closeTable(Doc& doc) {
    closeRow(doc);
    Table table = std::move(doc.tables.back());
    doc.tables.pop_back();
    if (table.rows.empty()) table.rows.emplace_back();

    std::size_t columns = static_cast<std::size_t>(std::max(table.columns, 1));
    for (const Row& row : table.rows) columns = std::max(columns, row.cells.size());
    const int percent = table.widthPercent > 0 ? table.widthPercent : 100;
    const int gridWidth = std::max(1, kTextWidthTwips * percent / 100 / static_cast<int>(columns));
    const std::string cellWidth =
        "<w:tcW w:w=\"" + std::to_string(gridWidth) + "\" w:type=\"dxa\"/>";

    std::string xml = "<w:tbl><w:tblPr>";
    if (table.widthPercent > 0) {
        xml += "<w:tblW w:w=\"" + std::to_string(table.widthPercent * 50) + "\" w:type=\"pct\"/>";
    } else {
        xml += "<w:tblW w:w=\"0\" w:type=\"auto\"/>";
    }
    if (table.spacing > 0) {
        xml +=
            "<w:tblCellSpacing w:w=\"" + std::to_string(table.spacing * 15) + "\" w:type=\"dxa\"/>";
    }
    // The cell borders go with the outer ones, as a bordered HTML table draws them.
    const std::string border =
        table.border > 0
            ? "w:val=\"single\" w:sz=\"" + std::to_string(std::clamp(table.border * 6, 2, 96)) +
                  "\" w:space=\"0\" w:color=\"auto\"/>"
            : std::string("w:val=\"none\" w:sz=\"0\" w:space=\"0\" w:color=\"auto\"/>");
    xml += "<w:tblBorders>";
    for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"}) {
        xml += std::string("<w:") + side + " " + border;
    }
    xml += "</w:tblBorders>";
    const std::string margin = std::to_string(std::max(table.padding, 0) * 15);
    xml += "<w:tblCellMar>";
    for (const char* side : {"top", "left", "bottom", "right"}) {
        xml += std::string("<w:") + side + " w:w=\"" + margin + "\" w:type=\"dxa\"/>";
    }
    xml += "</w:tblCellMar></w:tblPr><w:tblGrid>";
    for (std::size_t i = 0; i < columns; ++i) {
        xml += "<w:gridCol w:w=\"" + std::to_string(gridWidth) + "\"/>";
    }
    xml += "</w:tblGrid>";
    for (const Row& row : table.rows) {
        xml += "<w:tr>";
        if (row.header) xml += "<w:trPr><w:tblHeader/></w:trPr>";
        for (const Cell& cell : row.cells) {
            xml += "<w:tc><w:tcPr>" + cellWidth;
            if (cell.shaded) {
                xml += "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"" + hexColour(cell.fill) +
                       "\"/>";
            }
            xml += "</w:tcPr>" + cell.content.xml + "</w:tc>";
        }
        for (std::size_t i = row.cells.size(); i < columns; ++i) {
            xml += "<w:tc><w:tcPr>" + cellWidth + "</w:tcPr><w:p/></w:tc>";
        }
        xml += "</w:tr>";
    }
    xml += "</w:tbl>";

    Container& container = target(doc);
    container.xml += xml;
    container.endsWithTable = true;
}

void DocxWriter::finish(Doc& doc) {
    while (!doc.tables.empty()) {
        flushParagraph(doc);
        closeTable(doc);
    }
    flushParagraph(doc);
    // Word will not open a body that ends in a table.
    if (doc.body.xml.empty() || doc.body.endsWithTable) doc.body.xml += "<w:p/>";
}

std::string DocxWriter::renderDocument(Doc doc) {
    finish(doc);
    return std::string(kXmlDecl) + "<w:document xmlns:w=\"" + kWordNs + "\" xmlns:r=\"" + kRelNs +
           "\"><w:body>" + doc.body.xml +
           "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
           "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" w:header=\"708\" "
           "w:footer=\"708\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>";
}

// --- runs ------------------------------------------------------------------------------------

// Every run carries its full formatting, so the writer's font-changed bookkeeping is not needed.
std::string DocxWriter::runProperties(bool forLink) const {
    std::string xml = "<w:rPr>";
    if (forLink) xml += "<w:rStyle w:val=\"Hyperlink\"/>";
    if (!fontFace_.empty()) {
        const std::string face = escapeDocxText(fontFace_);
        xml += "<w:rFonts w:ascii=\"" + face + "\" w:hAnsi=\"" + face + "\" w:cs=\"" + face +
               "\" w:eastAsia=\"" + face + "\"/>";
    }
    if (bold) xml += "<w:b/><w:bCs/>";
    if (italic) xml += "<w:i/><w:iCs/>";
    if (!forLink) {
        xml += "<w:color w:val=\"" +
               (useDefaultColour ? std::string("auto") : hexColour(fontColour)) + "\"/>";
    }
    const std::string halfPoints = std::to_string(docxFontPoints(fontSize_) * 2);
    xml += "<w:sz w:val=\"" + halfPoints + "\"/><w:szCs w:val=\"" + halfPoints + "\"/>";
    if (underline) xml += "<w:u w:val=\"single\"/>";
    xml += "</w:rPr>";
    return xml;
}

void DocxWriter::addRun(std::string_view content, bool forLink) {
    doc_.paragraph.runs += "<w:r>" + runProperties(forLink) + std::string(content) + "</w:r>";
}

// --- operations ------------------------------------------------------------------------------

bool DocxWriter::open(const std::string& path) {
    clearFailure();
    if (path.empty()) {
        noteFailure("no file name was given");
        return false;
    }
    try {
        path_ = path;
        doc_ = Doc{};
        doc_.bodyAlign = paragraphAlign(alignment);
    } catch (...) {
        noteFailure("out of memory");
        return false;
    }
    opened_ = true;
    failed_ = false;
    return true;
}

bool DocxWriter::close() {
    if (!opened_) {
        noteFailure("the file was never opened");
        return false;
    }
    opened_ = false;
    // The operations fail only for want of memory (see guarded()).
    if (failed_) {
        noteFailure("out of memory");
        return false;
    }
    try {
        return writePackage(renderDocument(doc_));
    } catch (...) {
        noteFailure("out of memory");
        return false;
    }
}

std::string DocxWriter::documentXml() const {
    try {
        return renderDocument(doc_);
    } catch (...) {
        return {};
    }
}

void DocxWriter::beginReportSection() {
    if (pageHasContent_) sectionGap();
}

void DocxWriter::writeText(std::string_view text) {
    guarded(opened_, failed_, [&] {
        if (text.empty()) return;
        pageHasContent_ = true;
        ensureParagraph(doc_);
        addRun(runContent(escapeDocxText(text)), false);
    });
}

void DocxWriter::indent() {
    writeText("\t");
}

void DocxWriter::beginParagraph() {
    guarded(opened_, failed_, [&] {
        const int align = paragraphAlign(alignment);
        if (doc_.tables.empty()) {
            doc_.bodyAlign = align;
        } else {
            ensureCell(doc_);
            doc_.tables.back().rows.back().cells.back().align = align;
        }
        if (doc_.paragraph.open) doc_.paragraph.align = align;
    });
}

void DocxWriter::endParagraph() {
    guarded(opened_, failed_, [&] {
        ensureParagraph(doc_);
        const int align = doc_.paragraph.align;
        flushParagraph(doc_);
        target(doc_).xml += paragraphXml(align, "");
    });
}

void DocxWriter::lineBreak() {
    guarded(opened_, failed_, [&] {
        ensureParagraph(doc_);
        addRun("<w:br/>", false);
    });
}

void DocxWriter::sectionGap() {
    guarded(opened_, failed_, [&] {
        ensureParagraph(doc_);
        addRun("<w:br w:type=\"page\"/>", false);
        pageHasContent_ = false;
    });
}

void DocxWriter::beginTable(int /*rows*/, int columns, int widthPercent) {
    guarded(opened_, failed_, [&] {
        flushParagraph(doc_);
        if (!doc_.tables.empty()) ensureCell(doc_);
        Table table;
        table.columns = std::max(columns, 1);
        table.widthPercent = std::clamp(widthPercent, 0, 100);
        table.border = tableBorder;
        table.spacing = cellSpacing;
        table.padding = cellPadding;
        doc_.tables.push_back(std::move(table));
    });
}

void DocxWriter::endTable() {
    guarded(opened_, failed_, [&] {
        if (!doc_.tables.empty()) closeTable(doc_);
    });
}

void DocxWriter::beginRow() {
    guarded(opened_, failed_, [&] {
        if (doc_.tables.empty()) return;
        closeRow(doc_);
        doc_.tables.back().rows.emplace_back();
        doc_.tables.back().rowOpen = true;
    });
}

void DocxWriter::endRow() {
    guarded(opened_, failed_, [&] {
        if (!doc_.tables.empty()) closeRow(doc_);
    });
}

void DocxWriter::beginCell() {
    guarded(opened_, failed_, [&] {
        if (doc_.tables.empty()) return;
        Table& table = doc_.tables.back();
        if (table.rowOpen && table.rows.back().cellOpen) closeCell(doc_);
        if (!table.rowOpen) {
            table.rows.emplace_back();
            table.rowOpen = true;
        }
        Row& row = table.rows.back();
        Cell cell;
        // A heading cell without an alignment of its own is centred, as HTML shows <th>.
        cell.align = headerCell && alignment != kRight && alignment != kCenter
                         ? kCenter
                         : paragraphAlign(alignment);
        cell.shaded = !noBackground;
        cell.fill = background;
        if (headerCell) row.header = true;
        row.cells.push_back(std::move(cell));
        row.cellOpen = true;
    });
}

void DocxWriter::endCell() {
    guarded(opened_, failed_, [&] {
        if (doc_.tables.empty()) return;
        const Table& table = doc_.tables.back();
        if (table.rowOpen && table.rows.back().cellOpen) closeCell(doc_);
    });
}

void DocxWriter::anchor(std::string_view /*name*/, std::string_view /*text*/) {}

void DocxWriter::link(std::string_view address, std::string_view text) {
    if (address.empty()) {
        writeText(text);
        return;
    }
    guarded(opened_, failed_, [&] {
        ensureParagraph(doc_);
        doc_.linkTargets.emplace_back(address);
        const std::string id = "rId" + std::to_string(doc_.linkTargets.size() + 1);
        doc_.paragraph.runs += "<w:hyperlink r:id=\"" + id + "\" w:history=\"1\">";
        addRun(runContent(escapeDocxText(text.empty() ? address : text)), true);
        doc_.paragraph.runs += "</w:hyperlink>";
    });
}

// --- package ---------------------------------------------------------------------------------

bool DocxWriter::writePackage(const std::string& documentText) {
    std::vector<Part> parts;
    parts.push_back({"[Content_Types].xml", contentTypes()});
    parts.push_back({"_rels/.rels", packageRelationships()});
    parts.push_back({"docProps/core.xml", coreProperties(documentTitle)});
    parts.push_back({"word/document.xml", documentText});
    parts.push_back({"word/_rels/document.xml.rels", documentRelationships(doc_.linkTargets)});
    parts.push_back({"word/styles.xml", styles()});
    std::string bytes, reason;
    if (!zipParts(parts, bytes, reason)) {
        noteFailure("the document could not be packed: " + reason);
        return false;
    }

    const std::string temporary = path_ + ".tmp-docx";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        noteFailure(systemReason(errno));
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!written) noteFailure(systemReason(errno));
    // A full disk may show only when the buffer is written out, here.
    const bool closed = std::fclose(file) == 0;
    if (!closed) noteFailure(systemReason(errno));
    std::error_code error;
    if (written && closed) {
        std::filesystem::rename(temporary, path_, error);
        if (!error) return true;
        noteFailure(error.message());
    }
    std::filesystem::remove(temporary, error);
    return false;
}

}  // namespace tw::exporter
