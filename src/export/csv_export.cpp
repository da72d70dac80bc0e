#include "export/csv_export.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "export/export_walk.h"
#include "export/report_writer.h"

namespace tw::exporter {
namespace {

std::string failedCsvText(std::string_view path, std::string_view reason) {
    return "The comma-delimited export could not be written to " + std::string(path) + ": " +
           std::string(reason) + ".";
}

}  // namespace

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

bool writeCsvFile(const presentation::ReportTable& table, const std::string& path,
                  std::string* reason) {
    // Written under a name of its own and renamed when whole: a failed write never leaves a
    // truncated file in place of an earlier export.
    const std::string partial = path + ".partial";
    int error = 0;
    try {
        const std::string text = csvText(table);
        std::FILE* file = std::fopen(partial.c_str(), "wb");
        if (file == nullptr) {
            if (reason != nullptr) *reason = systemReason(errno);
            return false;
        }
        const bool wrote = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (!wrote) error = errno;
        // A full disk may show only when the buffer is written out, here.
        const bool closed = std::fclose(file) == 0;
        if (!closed && error == 0) error = errno;
        if (wrote && closed) {
            if (std::rename(partial.c_str(), path.c_str()) == 0) return true;
            error = errno;
        }
        std::remove(partial.c_str());
        if (reason != nullptr) *reason = systemReason(error);
        return false;
    } catch (...) {
        std::remove(partial.c_str());
        if (reason != nullptr) *reason = "out of memory";
        return false;
    }
}

bool exportCsv(document::Document& doc, const std::string& directory, int* written,
               std::string* message) {
    int done = 0;
    if (written != nullptr) *written = 0;
    // A missing directory would fail every file alike: said once, for the directory.
    try {
        struct stat info {};
        int error = 0;
        if (::stat(directory.empty() ? "." : directory.c_str(), &info) != 0) {
            error = errno;
        } else if (!S_ISDIR(info.st_mode)) {
            error = ENOTDIR;
        }
        if (error != 0) {
            if (message != nullptr) *message = failedCsvText(directory, systemReason(error));
            return false;
        }
    } catch (...) {
        return false;  // out of memory for the message; the status still says it
    }
    int failed = 0;
    std::string firstPath, firstReason;
    try {
        exportWalk(doc, [&](const WalkItem& item) {
            const std::string path =
                joinExportPath(directory, csvFileName(item.title, item.parentIsTrackedFiles));
            std::string reason;
            if (writeCsvFile(doc.table(), path, &reason)) {
                ++done;
            } else if (++failed == 1) {
                firstPath = path;
                firstReason = reason;
            }
        });
    } catch (...) {
        if (failed++ == 0) {
            firstPath = directory;
            firstReason = "out of memory";
        }
    }
    if (written != nullptr) *written = done;
    if (failed == 0) return true;
    if (message != nullptr) {
        try {
            *message = failedCsvText(firstPath, firstReason);
            if (failed > 1)
                *message += " " + std::to_string(failed - 1) +
                            " other comma-delimited files could not be written either.";
        } catch (...) {
            // Out of memory: the status still says that the export failed.
        }
    }
    return false;
}

}  // namespace tw::exporter
