#pragma once
// The formatting operations an export document is written through, and the state they share.
// The export sequence (heading, filters, one section per report, footer) is written once
// against this class; the HTML and Word document writers implement it.
//
// Contract: one writer per export, used on one thread. open() may fail; every later operation
// then writes nothing (and fails nowhere). Whenever open() or close() returns false, failure()
// says why. Texts arrive as the program shows them; a writer escapes or encodes them as its
// format needs. Nothing throws.
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::exporter {

// Colours as red | green << 8 | blue << 16.
inline constexpr std::uint32_t rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b) << 16;
}
inline constexpr std::uint32_t kDarkBlue = rgb(0, 0, 153);
inline constexpr std::uint32_t kLightGrey = rgb(221, 221, 221);
inline constexpr std::uint32_t kWhite = rgb(255, 255, 255);
inline constexpr std::uint32_t kBlack = rgb(0, 0, 0);

// The entity that stands for a character markup gives a meaning to (both HTML and the XML of a
// Word document), or null for any other character.
inline const char* markupEntity(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return nullptr;
    }
}

enum Alignment : int { kLeft = 0, kCenter = 1, kRight = 2, kNoAlignment = 3 };

class ReportWriter {
  public:
    virtual ~ReportWriter() = default;

    // The state every operation reads. Size and face go through their setters: changing
    // either marks the font as changed.
    std::string documentTitle = "Default Page";
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool useDefaultColour = true;
    std::uint32_t fontColour = kBlack;
    int alignment = kNoAlignment;
    int tableBorder = 0;
    int cellSpacing = 0;
    int cellPadding = 0;
    bool noBackground = true;
    std::uint32_t background = kWhite;
    bool headerCell = false;

    void setFontSize(int size) {
        if (size != fontSize_) fontChanged_ = true;
        fontSize_ = size;
    }
    void setFontFace(std::string_view face) {
        if (face != fontFace_) fontChanged_ = true;
        fontFace_ = std::string(face);
    }
    int fontSize() const { return fontSize_; }
    const std::string& fontFace() const { return fontFace_; }

    // The operations, in their dispatch order.
    virtual bool open(const std::string& path) = 0;
    virtual bool close() = 0;  // false when the document could not be completed
    virtual void writeText(std::string_view text) = 0;
    virtual void indent() = 0;
    virtual void beginParagraph() = 0;
    virtual void endParagraph() = 0;
    virtual void lineBreak() = 0;
    virtual void sectionGap() = 0;
    virtual void beginTable(int rows, int columns, int widthPercent) = 0;
    virtual void endTable() = 0;
    virtual void beginRow() = 0;
    virtual void endRow() = 0;
    virtual void beginCell() = 0;
    virtual void endCell() = 0;
    // A link to "#" + name; the name itself when text is empty.
    virtual void anchor(std::string_view name, std::string_view text) = 0;
    // A hyperlink; the address itself when text is empty.
    virtual void link(std::string_view address, std::string_view text) = 0;

    // Called before each report's section. A paged document starts every report on a new
    // page; HTML has no pages and writes nothing.
    virtual void beginReportSection() {}

    // A numbered text of the program's table.
    void writeTextId(int id);

    // Why the document could not be written: the system's or the library's own words ("No
    // space left on device"); empty while nothing failed.
    const std::string& failure() const { return failure_; }
    // Keeps the first reason given: what fails after it is usually its consequence. Also for
    // the caller that drives the writer, when the failure is its own (out of memory).
    void noteFailure(std::string_view reason) noexcept;

  protected:
    void clearFailure() noexcept { failure_.clear(); }

    bool firstText_ = true;    // no font set in the output yet
    bool fontChanged_ = true;  // the font differs from the one last set in the output
    int fontSize_ = 3;         // 1 to 7
    std::string fontFace_;

  private:
    std::string failure_;
};

// The system's text for errno value `error` ("No such file or directory"), as the reasons of
// failure() are worded.
std::string systemReason(int error);

}  // namespace tw::exporter
