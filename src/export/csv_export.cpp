#include "export/csv_export.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "export/export_walk.h"

namespace tw::exporter {

std::string csvFileName(std::string_view title, bool parentIsTrackedFiles) {
    std::string raw = parentIsTrackedFiles ? "Tracking " : "";
    raw += title;
    raw += ".csv";
    std::string name;
    name.reserve(raw.size());
    for (const char c : raw) {
        if (std::string_view("#%*/;?\\").find(c) == std::string_view::npos) name += c;
    }
    return name;
}

std::string joinExportPath(std::string_view directory, std::string_view name) {
    if (directory.empty()) return std::string(name);
    std::string joined(directory);
    if (name.empty() || name.front() != '/') joined += '/';
    joined += name;
    std::string out;
    out.reserve(joined.size());
    for (const char c : joined) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    return out;
}

std::string csvText(const presentation::ReportTable& table) {
    std::string out;
    for (int c = 0; c < table.columns(); ++c) {
        if (c > 0) out += ',';
        out += table.header(c);
    }
    for (int r = 0; r < table.rows(); ++r) {
        out += "\r\n";
        for (int c = 0; c < table.columns(); ++c) {
            if (c > 0) out += ',';
            out += '"';
            for (const char ch : table.cell(r, c)) {
                if (ch == '"') out += '"';
                out += ch;
            }
            out += '"';
        }
    }
    out += "\r\n";
    return out;
}

bool writeCsvFile(const presentation::ReportTable& table, const std::string& path) {
    // Written under a name of its own and renamed when whole: a failed write never leaves a
    // truncated file in place of an earlier export.
    const std::string partial = path + ".partial";
    try {
        const std::string text = csvText(table);
        std::FILE* file = std::fopen(partial.c_str(), "wb");
        if (file == nullptr) return false;
        const bool wrote = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        const bool closed = std::fclose(file) == 0;
        if (wrote && closed && std::rename(partial.c_str(), path.c_str()) == 0) return true;
        std::remove(partial.c_str());
        return false;
    } catch (...) {
        std::remove(partial.c_str());
        return false;
    }
}

bool exportCsv(document::Document& doc, const std::string& directory, int* written) {
    int done = 0;
    bool ok = true;
    try {
        exportWalk(doc, [&](const WalkItem& item) {
            const std::string path =
                joinExportPath(directory, csvFileName(item.title, item.parentIsTrackedFiles));
            if (writeCsvFile(doc.table(), path)) {
                ++done;
            } else {
                ok = false;
            }
        });
    } catch (...) {
        ok = false;
    }
    if (written != nullptr) *written = done;
    return ok;
}

}  // namespace tw::exporter
