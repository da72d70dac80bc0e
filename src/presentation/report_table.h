#pragma once
// The grid of formatted texts that one report is turned into. Every view and every exporter
// reads only this table; the fill step is its one writer. One table per document, refilled for
// each report: its storage is kept and only grows, so walking all reports allocates little.
//
// Cell writers ignore cells outside the current layout, so a fill that follows a failed
// allocation (an empty table) simply writes nothing.
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

class ReportTable {
  public:
    // The most cells a layout may have (some two gigabytes of empty texts).
    static constexpr std::size_t kMaxCells = std::size_t{1} << 26;

    // Sets the column and row counts and the initial sort column (-1 none), emptying every
    // cell, header, row attribute and the seven report texts. Kinds start as Text. Storage is
    // reallocated only when the layout needs more columns or rows than held so far. Negative
    // counts, or storage that cannot be had, leave the table empty (0 x 0, sort -1) and give
    // false.
    bool setLayout(int columns, int rows, int sortColumn);
    // Empty table, storage released.
    void clear();

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int sortColumn() const { return sortColumn_; }
    int columnCapacity() const { return columnCapacity_; }
    int rowCapacity() const { return rowCapacity_; }

    // Out-of-range reads give an empty text, kind Text, indent 0, key 0.
    const std::string& header(int column) const;
    const std::string& cell(int row, int column) const;
    ColumnKind kind(int column) const;
    int indent(int row) const;
    bool isChild(int row) const;
    std::int64_t key(int row) const;

    // Each cell writer also sets the row's indent level and child flag.
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
    std::string& at(int row, int column) {
        return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columnCapacity_) +
                      static_cast<std::size_t>(column)];
    }

    int columnCapacity_ = 0;
    int rowCapacity_ = 0;
    int columns_ = 0;
    int rows_ = 0;
    int sortColumn_ = -1;
    std::vector<std::string> headers_;  // columnCapacity_
    std::vector<std::string> cells_;    // rowCapacity_ x columnCapacity_, row-major
    std::vector<ColumnKind> kinds_;     // columnCapacity_
    std::vector<RowInfo> rowInfo_;      // rowCapacity_
};

}  // namespace tw::presentation
