#pragma once
// The report writer for one HTML 4.0 file. Texts handed in are escaped (& < > ") so that
// logged URLs, referrers or agents cannot inject markup; the writer's own markup is fixed.
//
// The document is written under a temporary name beside the target and renamed into place by
// close(), so a failed or abandoned export leaves any earlier file untouched.
#include <cstdio>
#include <string>
#include <string_view>

#include "export/report_writer.h"

namespace tw::exporter {

// "&amp;", "&lt;", "&gt;" and "&quot;" for the four characters that HTML gives meaning to.
std::string escapeHtml(std::string_view text);

class HtmlWriter final : public ReportWriter {
  public:
    static constexpr int kBaseFontSize = 3;
    static constexpr const char* kBaseFontFace = "Arial";

    HtmlWriter() = default;
    ~HtmlWriter() override;
    HtmlWriter(const HtmlWriter&) = delete;
    HtmlWriter& operator=(const HtmlWriter&) = delete;

    bool open(const std::string& path) override;
    // False when the file was never opened, a write failed or it could not be renamed; then
    // failure() says why.
    bool close() override;
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

    // Markup the caller made safe itself (a graph's SVG), written as it is, followed by a
    // line break so that what comes after starts below it.
    void writeGraphic(std::string_view markup);

  private:
    // The font and style handling of write text around markup that is already safe.
    void writeMarkup(std::string_view markup);
    void put(std::string_view bytes);
    void abandon();

    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temporary_;
    bool failed_ = false;
    bool fontClosed_ = false;
};

}  // namespace tw::exporter
