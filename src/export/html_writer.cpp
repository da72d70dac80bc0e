#include "export/html_writer.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tw::exporter {
namespace {

std::string colourText(std::uint32_t colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%.2X%.2X%.2X", colour & 0xFFu, (colour >> 8) & 0xFFu,
                  (colour >> 16) & 0xFFu);
    return buffer;
}

const char* alignmentWord(int alignment) {
    switch (alignment) {
        case kLeft:
            return "left";
        case kCenter:
            return "center";
        case kRight:
            return "right";
        case kNoAlignment:
            return "";
        default:
            return "ERROR";
    }
}

}  // namespace

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (const char* entity = markupEntity(c)) {
            out += entity;
        } else {
            out += c;
        }
    }
    return out;
}

HtmlWriter::~HtmlWriter() {
    abandon();
}

void HtmlWriter::abandon() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

void HtmlWriter::put(std::string_view bytes) {
    if (file_ == nullptr || failed_ || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        failed_ = true;
        noteFailure(systemReason(errno));
    }
}

bool HtmlWriter::open(const std::string& path) {
    abandon();
    failed_ = false;
    fontClosed_ = false;
    clearFailure();
    target_ = path;
    temporary_ = path + ".partial";
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (file_ == nullptr) {
        noteFailure(systemReason(errno));
        return false;
    }
    put("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">");
    put("<html>\r\n\r\n");
    put("<head>\r\n<title>" + escapeHtml(documentTitle) + "</title>\r\n</head>\r\n\r\n");
    put("<body bgcolor=\"#FFFFFF\" text=\"#000000\">");
    char buffer[96];
    std::snprintf(buffer, sizeof buffer,
                  "<basefont face=\"%s\" color=\"#000000\" size=\"%d\">\r\n\r\n", kBaseFontFace,
                  kBaseFontSize);
    put(buffer);
    return true;
}

bool HtmlWriter::close() {
    if (file_ == nullptr) {
        noteFailure("the file was never opened");
        return false;
    }
    put("</font>");
    put("\r\n\r\n</body>");
    put("\r\n\r\n</html>");
    // Buffered bytes meet a full disk only here, so the reason is taken at each step.
    const bool flushed = std::fflush(file_) == 0;
    if (!flushed) noteFailure(systemReason(errno));
    const bool closed = std::fclose(file_) == 0;
    if (!closed) noteFailure(systemReason(errno));
    file_ = nullptr;
    std::error_code error;
    if (failed_ || !flushed || !closed) {
        std::filesystem::remove(temporary_, error);
        return false;
    }
    std::filesystem::rename(temporary_, target_, error);
    if (error) {
        noteFailure(error.message());
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
        return false;
    }
    return true;
}

void HtmlWriter::writeMarkup(std::string_view markup) {
    if (bold) put("<b>");
    if (italic) put("<i>");
    if (underline) put("<u>");
    if (fontChanged_ || firstText_) {
        if (firstText_) {
            firstText_ = false;
        } else if (!fontClosed_) {
            put("</font>");
        }
        if (fontSize_ == kBaseFontSize && fontFace_ == kBaseFontFace) {
            fontChanged_ = false;
        } else {
            fontChanged_ = false;
            fontClosed_ = false;
            std::string tag = "<font";
            if (fontSize_ != kBaseFontSize) tag += " size=\"" + std::to_string(fontSize_) + "\"";
            if (!fontFace_.empty() && fontFace_ != kBaseFontFace)
                tag += " face=\"" + escapeHtml(fontFace_) + "\"";
            if (!useDefaultColour) tag += " color=\"" + colourText(fontColour) + "\"";
            tag += ">";
            put(tag);
        }
    }
    put(markup);
    if (underline) put("</u>");
    if (italic) put("</i>");
    if (bold) put("</b>");
}

void HtmlWriter::writeText(std::string_view text) {
    writeMarkup(escapeHtml(text));
}

void HtmlWriter::writeGraphic(std::string_view markup) {
    put("\r\n");
    put(markup);
    put("<br>\r\n");
}

void HtmlWriter::indent() {
    put("&nbsp;&nbsp;&nbsp; ");
}

void HtmlWriter::beginParagraph() {
    put("<p");
    if (alignment != kNoAlignment) put(std::string(" align=\"") + alignmentWord(alignment) + "\"");
    put(">\r\n");
}

void HtmlWriter::endParagraph() {
    put("\r\n&nbsp;</p>\r\n");
}

void HtmlWriter::lineBreak() {
    put("<br>");
}

void HtmlWriter::sectionGap() {
    put("\r\n\r\n<p>&nbsp;</p><p>&nbsp;</p>\r\n\r\n");
}

void HtmlWriter::beginTable(int /*rows*/, int /*columns*/, int widthPercent) {
    fontClosed_ = true;
    put("</font>");
    char buffer[128];
    std::snprintf(buffer, sizeof buffer,
                  "<table border=\"%d\" cellpadding=\"%d\" cellspacing=\"%d\"", tableBorder,
                  cellPadding, cellSpacing);
    put(buffer);
    if (widthPercent != 0) put(" width=\"" + std::to_string(widthPercent) + "%\"");
    put(">\r\n");
}

void HtmlWriter::endTable() {
    put("\r\n</table>");
}

void HtmlWriter::beginRow() {
    put("<tr>\r\n");
}

void HtmlWriter::endRow() {
    put("\r\n</tr>");
}

void HtmlWriter::beginCell() {
    fontChanged_ = true;
    put(headerCell ? "<th" : "<td");
    if (!noBackground) put(" bgcolor=\"" + colourText(background) + "\"");
    if (alignment != kLeft) put(std::string(" align=\"") + alignmentWord(alignment) + "\"");
    put(">\r\n");
}

void HtmlWriter::endCell() {
    fontClosed_ = true;
    if (fontChanged_) put("</font>");
    put("\r\n</td>");
}

void HtmlWriter::anchor(std::string_view name, std::string_view text) {
    const std::string shown = escapeHtml(text.empty() ? name : text);
    writeMarkup("<a href=\"#" + escapeHtml(name) + "\">" + shown + "</a>");
}

void HtmlWriter::link(std::string_view address, std::string_view text) {
    const std::string shown = escapeHtml(text.empty() ? address : text);
    writeMarkup("<a href=\"" + escapeHtml(address) + "\">" + shown + "</a>");
}

}  // namespace tw::exporter
