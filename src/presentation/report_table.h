#pragma once
// The grid of formatted texts that one report is turned into. Every view and every exporter
// reads only this table; the fill step is its one writer. One table per document, refilled for
// each report: its storage is kept and only grows, so walking all reports allocates little.
//
// Beside its text a cell may hold the value the text was made from, for readers that want the
// number rather than its wording (the JSON export). The number writers record it themselves;
// a fill that writes a number as words (byte amounts, dates) adds it with setValue(). A cell
// without one is read from its text.
//
// Cell writers ignore cells outside the current layout, so a fill that follows a failed
// allocation (an empty table) simply writes nothing.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tw::presentation {

// How a view sorts a column. ByKey and ByKeyOrdered sort alike (by row key, largest first);
// the two codes only tell byte amounts and weekday names from dates, hours and times.
enum class ColumnKind : std::int32_t {
    Integer = 0,       // by the decimal number the text starts with, largest first
    Text = 1,          // case-insensitively, A first
    ByKey = 2,         // by row key, largest first
    ByKeyOrdered = 3,  // by row key, largest first
};

enum class GraphStyle : std::int32_t {
    Bars = 0,  // over labelled categories
    Time = 1,  // over dates
    Pie = 2,
};

// What a cell's value is; None: the cell has only its text.
enum class ValueType : std::uint8_t {
    None,
    Integer,     // a signed whole number: integer()
    Count,       // an unsigned whole number: count()
    Bytes,       // an amount of bytes: count()
    Percentage,  // a share in percent, 12.5 for "12.50%": real()
    Time,        // a moment, seconds since 1970 in the log's frame: integer()
    Date,        // the day that starts at integer() seconds since 1970 in the log's frame
};

// One cell's value: a type and eight bytes, so that a value costs half of an empty text.
class CellValue {
  public:
    CellValue() = default;
    static CellValue ofInteger(std::int64_t v) { return {ValueType::Integer, bitsOf(v)}; }
    static CellValue ofCount(std::uint64_t v) { return {ValueType::Count, v}; }
    static CellValue ofBytes(std::uint64_t v) { return {ValueType::Bytes, v}; }
    static CellValue ofPercentage(double percent) {
        return {ValueType::Percentage, std::bit_cast<std::uint64_t>(percent)};
    }
    static CellValue ofTime(std::int64_t seconds) { return {ValueType::Time, bitsOf(seconds)}; }
    static CellValue ofDate(std::int64_t dayStart) { return {ValueType::Date, bitsOf(dayStart)}; }

    ValueType type() const { return type_; }
    // Each reader gives the value of the types it names above, and 0 for the others.
    std::int64_t integer() const {
        return type_ == ValueType::Integer || type_ == ValueType::Time || type_ == ValueType::Date
                   ? std::bit_cast<std::int64_t>(bits_)
                   : 0;
    }
    std::uint64_t count() const {
        return type_ == ValueType::Count || type_ == ValueType::Bytes ? bits_ : 0;
    }
    double real() const {
        return type_ == ValueType::Percentage ? std::bit_cast<double>(bits_) : 0.0;
    }

  private:
    CellValue(ValueType type, std::uint64_t bits) : type_(type), bits_(bits) {}
    static std::uint64_t bitsOf(std::int64_t v) { return std::bit_cast<std::uint64_t>(v); }
    ValueType type_ = ValueType::None;
    std::uint64_t bits_ = 0;
};

class ReportTable {
  public:
    // The most cells a layout may have (some three gigabytes of empty texts and values).
    static constexpr std::size_t kMaxCells = std::size_t{1} << 26;

    // Sets the column and row counts and the initial sort column (-1 none), emptying every
    // cell (text and value), header, row attribute and the seven report texts. Kinds start as Text.
    // Storage is reallocated only when the layout needs more columns or rows than held so far.
    // Negative counts, or storage that cannot be had, leave the table empty (0 x 0, sort -1) and
    // give false.
    bool setLayout(int columns, int rows, int sortColumn);
    // Empty table, storage released.
    void clear();

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int sortColumn() const { return sortColumn_; }
    int columnCapacity() const { return columnCapacity_; }
    int rowCapacity() const { return rowCapacity_; }

    // Out-of-range reads give an empty text, kind Text, indent 0, key 0, no value.
    const std::string& header(int column) const;
    const std::string& cell(int row, int column) const;
    CellValue value(int row, int column) const;
    ColumnKind kind(int column) const;
    int indent(int row) const;
    bool isChild(int row) const;
    std::int64_t key(int row) const;

    // Each cell writer also sets the row's indent level and child flag. setText() leaves the
    // cell without a value; the number writers record the number they format.
    void setText(int row, int column, std::string_view text, int indent = 0, bool child = false);
    // Signed decimal.
    void setInteger(int row, int column, std::int64_t value, int indent = 0, bool child = false);
    // Unsigned decimal: counts and byte amounts, whose top bit is no sign.
    void setCount(int row, int column, std::uint64_t value, int indent = 0, bool child = false);
    void setSmallInteger(int row, int column, std::int32_t value, int indent = 0,
                         bool child = false);
    // value x 100 / total as "12.50%"; a total of 0 gives "0%".
    void setPercentage(int row, int column, std::uint64_t value, std::uint64_t total,
                       int indent = 0, bool child = false);
    // Records the value a cell's text was made from, leaving the text and the row's marks
    // alone; after the text, which would drop it.
    void setValue(int row, int column, CellValue value);
    // Columns 0 and 1 of a two-column row.
    void setLabelValue(int row, std::string_view label, std::string_view value);
    void setKey(int row, std::int64_t key);
    // From column 0 on; extra codes beyond the column count are ignored.
    void setKinds(std::initializer_list<ColumnKind> kinds);
    // Headers from numbered texts, or literal texts, from column 0 on.
    void setHeaderIds(std::initializer_list<int> textIds);
    void setHeaders(std::initializer_list<std::string_view> texts);

    // The seven report texts, emptied by every setLayout(). The description "nothing" marks a
    // report without one.
    std::string title;
    std::string description;
    std::string xAxisTitle;
    std::string yAxisTitle;
    std::string dateLabelFormat;
    std::string graphStartTime;
    std::string graphStep;

    GraphStyle graphStyle = GraphStyle::Bars;
    // Shown instead of a table when a report cannot be shown.
    std::string message;
    // Help context of the current report; 0 none.
    int helpTopic = 0;

  private:
    struct RowInfo {
        std::int32_t indent = 0;
        std::int32_t child = 0;
        std::int64_t key = 0;
    };
    bool inRange(int row, int column) const {
        return row >= 0 && row < rows_ && column >= 0 && column < columns_;
    }
    void markRow(int row, int indent, bool child);
    std::size_t index(int row, int column) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columnCapacity_) +
               static_cast<std::size_t>(column);
    }
    std::string& at(int row, int column) { return cells_[index(row, column)]; }

    int columnCapacity_ = 0;
    int rowCapacity_ = 0;
    int columns_ = 0;
    int rows_ = 0;
    int sortColumn_ = -1;
    std::vector<std::string> headers_;  // columnCapacity_
    std::vector<std::string> cells_;    // rowCapacity_ x columnCapacity_, row-major
    std::vector<CellValue> values_;     // as cells_
    std::vector<ColumnKind> kinds_;     // columnCapacity_
    std::vector<RowInfo> rowInfo_;      // rowCapacity_
};

}  // namespace tw::presentation
