#include "presentation/report_table.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>

#include "platform/strings.h"

namespace tw::presentation {
namespace {

const std::string kEmpty;

}  // namespace

bool ReportTable::setLayout(int columns, int rows, int sortColumn) {
    title.clear();
    description.clear();
    xAxisTitle.clear();
    yAxisTitle.clear();
    dateLabelFormat.clear();
    graphStartTime.clear();
    graphStep.clear();
    if (columns < 0 || rows < 0) {
        clear();
        return false;
    }
    try {
        if (columns > columnCapacity_ || rows > rowCapacity_) {
            const int newColumns = std::max(columns, columnCapacity_);
            const int newRows = std::max(rows, rowCapacity_);
            const std::size_t c = static_cast<std::size_t>(newColumns);
            const std::size_t r = static_cast<std::size_t>(newRows);
            // Far more cells than any report can have (and than memory holds) is refused before
            // asking for them: some allocators end the process instead of failing.
            if (c != 0 && r > ReportTable::kMaxCells / c) throw std::bad_alloc();
            // Build the new storage first so a failure leaves nothing half-sized.
            std::vector<std::string> cells(r * c);
            std::vector<CellValue> values(r * c);
            std::vector<std::string> headers(c);
            std::vector<ColumnKind> kinds(c, ColumnKind::Text);
            std::vector<RowInfo> info(r);
            cells_.swap(cells);
            values_.swap(values);
            headers_.swap(headers);
            kinds_.swap(kinds);
            rowInfo_.swap(info);
            columnCapacity_ = newColumns;
            rowCapacity_ = newRows;
        }
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    columns_ = columns;
    rows_ = rows;
    sortColumn_ = sortColumn;
    for (int c = 0; c < columns_; ++c) {
        headers_[static_cast<std::size_t>(c)].clear();
        kinds_[static_cast<std::size_t>(c)] = ColumnKind::Text;
    }
    for (int r = 0; r < rows_; ++r) {
        rowInfo_[static_cast<std::size_t>(r)] = {};
        for (int c = 0; c < columns_; ++c) {
            at(r, c).clear();
            values_[index(r, c)] = {};
        }
    }
    return true;
}

void ReportTable::clear() {
    cells_ = {};
    values_ = {};
    headers_ = {};
    kinds_ = {};
    rowInfo_ = {};
    columnCapacity_ = rowCapacity_ = 0;
    columns_ = rows_ = 0;
    sortColumn_ = -1;
}

const std::string& ReportTable::header(int column) const {
    if (column < 0 || column >= columns_) return kEmpty;
    return headers_[static_cast<std::size_t>(column)];
}

const std::string& ReportTable::cell(int row, int column) const {
    if (!inRange(row, column)) return kEmpty;
    return cells_[index(row, column)];
}

CellValue ReportTable::value(int row, int column) const {
    if (!inRange(row, column)) return {};
    return values_[index(row, column)];
}

ColumnKind ReportTable::kind(int column) const {
    if (column < 0 || column >= columns_) return ColumnKind::Text;
    return kinds_[static_cast<std::size_t>(column)];
}

int ReportTable::indent(int row) const {
    return row >= 0 && row < rows_ ? rowInfo_[static_cast<std::size_t>(row)].indent : 0;
}

bool ReportTable::isChild(int row) const {
    return row >= 0 && row < rows_ && rowInfo_[static_cast<std::size_t>(row)].child != 0;
}

std::int64_t ReportTable::key(int row) const {
    return row >= 0 && row < rows_ ? rowInfo_[static_cast<std::size_t>(row)].key : 0;
}

void ReportTable::markRow(int row, int indent, bool child) {
    RowInfo& info = rowInfo_[static_cast<std::size_t>(row)];
    info.indent = indent;
    info.child = child ? 1 : 0;
}

void ReportTable::setText(int row, int column, std::string_view text, int indent, bool child) {
    if (!inRange(row, column)) return;
    try {
        at(row, column).assign(text);
    } catch (const std::bad_alloc&) {
        clear();
        return;
    }
    values_[index(row, column)] = {};
    markRow(row, indent, child);
}

void ReportTable::setValue(int row, int column, CellValue value) {
    // A text that failed for want of memory emptied the table: the check keeps this safe.
    if (inRange(row, column)) values_[index(row, column)] = value;
}

void ReportTable::setInteger(int row, int column, std::int64_t value, int indent, bool child) {
    if (!inRange(row, column)) return;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
    setText(row, column, buf, indent, child);
    setValue(row, column, CellValue::ofInteger(value));
}

void ReportTable::setCount(int row, int column, std::uint64_t value, int indent, bool child) {
    if (!inRange(row, column)) return;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(value));
    setText(row, column, buf, indent, child);
    setValue(row, column, CellValue::ofCount(value));
}

void ReportTable::setSmallInteger(int row, int column, std::int32_t value, int indent, bool child) {
    if (!inRange(row, column)) return;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(value));
    setText(row, column, buf, indent, child);
    setValue(row, column, CellValue::ofInteger(value));
}

void ReportTable::setPercentage(int row, int column, std::uint64_t value, std::uint64_t total,
                                int indent, bool child) {
    if (total == 0) {
        setText(row, column, "0%", indent, child);
        setValue(row, column, CellValue::ofPercentage(0.0));
        return;
    }
    // The share is taken from the integer value x 100; only a value too large for that falls
    // back to floating point rather than wrapping round.
    const double hundredfold = value <= std::numeric_limits<std::uint64_t>::max() / 100
                                   ? static_cast<double>(value * 100)
                                   : static_cast<double>(value) * 100.0;
    // Wide enough for any double in %f form.
    char buf[400];
    const double percent = hundredfold / static_cast<double>(total);
    std::snprintf(buf, sizeof buf, "%.2f%%", percent);
    setText(row, column, buf, indent, child);
    setValue(row, column, CellValue::ofPercentage(percent));
}

void ReportTable::setLabelValue(int row, std::string_view label, std::string_view value) {
    setText(row, 0, label);
    setText(row, 1, value);
}

void ReportTable::setKey(int row, std::int64_t key) {
    if (row >= 0 && row < rows_) rowInfo_[static_cast<std::size_t>(row)].key = key;
}

void ReportTable::setKinds(std::initializer_list<ColumnKind> kinds) {
    int c = 0;
    for (ColumnKind k : kinds) {
        if (c >= columns_) break;
        kinds_[static_cast<std::size_t>(c++)] = k;
    }
}

void ReportTable::setHeaderIds(std::initializer_list<int> textIds) {
    int c = 0;
    try {
        for (int id : textIds) {
            if (c >= columns_) break;
            headers_[static_cast<std::size_t>(c++)].assign(platform::text(id));
        }
    } catch (const std::bad_alloc&) {
        clear();
    }
}

void ReportTable::setHeaders(std::initializer_list<std::string_view> texts) {
    int c = 0;
    try {
        for (std::string_view t : texts) {
            if (c >= columns_) break;
            headers_[static_cast<std::size_t>(c++)].assign(t);
        }
    } catch (const std::bad_alloc&) {
        clear();
    }
}

}  // namespace tw::presentation
