#include "config/report_list.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "config/report_store.h"
#include "platform/strings.h"

namespace tw::config {
namespace {

unsigned char folded(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool lessIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return folded(x) < folded(y); });
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return folded(x) == folded(y);
           });
}

bool nameLess(const ReportDefinition& a, const ReportDefinition& b) {
    return lessIgnoringCase(a.Name, b.Name);
}

const char* yesNo(bool yes) {
    return yes ? "Yes" : "No";
}

}  // namespace

void ReportList::open(const platform::SettingsProfile& profile) {
    rows_ = loadReportList(profile);
    std::stable_sort(rows_.begin(), rows_.end(), nameLess);
    selected_.reset();
    const int last = loadLastSelection(profile);
    if (last >= 0) select(static_cast<std::size_t>(last));
    modified_ = false;
}

std::string ReportList::cell(std::size_t row, int column) const {
    if (row >= rows_.size()) return {};
    const ReportDefinition& d = rows_[row];
    switch (column) {
        case kColumnName:
            return d.Name;
        case kColumnLogFiles:
            return d.Path;
        case kColumnFilters:
            return yesNo(!d.filters.empty());
        case kColumnDns:
            return yesNo(d.EnableDNS != 0);
        case kColumnPaths:
            return yesNo(!d.Root.empty());
        default:
            return {};
    }
}

void ReportList::select(std::optional<std::size_t> row) {
    if (row && *row < rows_.size())
        selected_ = row;
    else
        selected_.reset();
}

std::size_t ReportList::insertSorted(ReportDefinition def) {
    // After every equal name, so that a newcomer does not jump ahead of a namesake.
    const auto at = std::upper_bound(rows_.begin(), rows_.end(), def, nameLess);
    const auto row = static_cast<std::size_t>(std::distance(rows_.begin(), at));
    rows_.insert(at, std::move(def));
    return row;
}

std::size_t ReportList::add(ReportDefinition def) {
    const std::size_t row = insertSorted(std::move(def));
    selected_ = row;
    modified_ = true;
    return row;
}

std::optional<std::size_t> ReportList::edit(std::size_t row, ReportDefinition def) {
    if (row >= rows_.size()) return std::nullopt;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    return add(std::move(def));
}

std::optional<std::size_t> ReportList::copy(std::size_t row) {
    if (row >= rows_.size()) return std::nullopt;
    ReportDefinition duplicate = rows_[row];
    duplicate.Name = "Copy of " + duplicate.Name;
    return add(std::move(duplicate));
}

bool ReportList::remove(std::size_t row) {
    if (row >= rows_.size()) return false;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    if (rows_.empty())
        selected_.reset();
    else
        selected_ = std::min(row, rows_.size() - 1);
    modified_ = true;
    return true;
}

std::optional<std::size_t> ReportList::findLabel(std::string_view label) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (equalIgnoringCase(rows_[i].Name, label)) return i;
    return std::nullopt;
}

std::optional<ReportDefinition> ReportList::generate(platform::Prompter& prompter,
                                                     platform::SettingsProfile& profile) {
    if (!selected_) {
        prompter.message(platform::text(platform::sid::NoReportSelected), platform::Icon::Warning);
        return std::nullopt;
    }
    ReportDefinition chosen = rows_[*selected_];
    saveReportList(profile, rows_);
    saveLastSelection(profile, static_cast<int>(*selected_));
    modified_ = false;
    return chosen;
}

std::optional<ReportDefinition> ReportList::generateRequested(std::string_view name,
                                                              platform::Prompter& prompter,
                                                              platform::SettingsProfile& profile) {
    const std::optional<std::size_t> row = findLabel(name);
    if (!row) {
        prompter.message(platform::text(platform::sid::AutoReportNotFound),
                         platform::Icon::Warning);
        return std::nullopt;
    }
    selected_ = row;
    return generate(prompter, profile);
}

bool ReportList::cancel(platform::Prompter& prompter, platform::SettingsProfile& profile) {
    if (!modified_) return true;
    switch (prompter.askYesNoCancel(platform::text(platform::sid::SaveReportListQuestion),
                                    platform::Icon::Warning)) {
        case platform::Answer::Yes:
            saveReportList(profile, rows_);
            modified_ = false;
            return true;
        case platform::Answer::No:
            return true;
        default:
            return false;
    }
}

}  // namespace tw::config
