#include "platform/strings.h"

#include <cstdarg>
#include <cstdio>

namespace tw::platform {
namespace {

struct Entry {
    int id;
    std::string_view text;
};

// Kept sorted by number.
constexpr Entry kTable[] = {
    {sid::CancelConfirm, "Are you sure you want to cancel the analysis process?"},
    {sid::Canceling, "Canceling..."},
    {sid::Initializing, "Initializing..."},
    {sid::DecompressCancelled,
     "You have canceled the file decompression process. Would you like Tallyweb to process "
     "whatever log files (or portions of log files) were decompressed before canceling?"},
    {sid::UnexpectedFormat,
     "The following log file was in an unexpected format:\n\t%s\n\nPlease send the first 50 to "
     "100 lines of this log file to Corvane Software technical support, so that a future version "
     "of Tallyweb can read it. If you click Ok, Tallyweb will skip this log file and continue "
     "with the next one. If you click cancel, the entire log file analysis process will be "
     "aborted."},
    {sid::InsufficientFields,
     "The following log file did not contain sufficient information:\n\t%s\nYour IIS4.0 log "
     "file did not contain the bare minimum amount of of data required by Tallyweb. You should "
     "click 'Ok' and read the help topic that appears. If you click cancel, the entire log file "
     "analysis process will be aborted."},
    {sid::InvalidSpiderRoot,
     "The source directory for the hyperlink tree is invalid. When the site is to be analyzed "
     "over the Internet, the root page must be given as the full URL of your web site's root "
     "page (for example http://www.example.com/index.html).\n\nTallyweb will now abort the log "
     "file analysis process"},
    {sid::ErrorCaption, "Tallyweb Error"},
    {sid::Completed,
     "Tallyweb has completed analyzing your log files. It has processed over %.2f megabytes of "
     "log files in %.2f seconds, at a speed of %.2f megabytes per minute."},
    {sid::OpenError,
     "There was an error opening the following log file:\n\t%s\n\nThe log file most likely does "
     "not exist, and you should check the specified path. The log file could also be exclusively "
     "opened by another application (make sure that your web server is currently not running and "
     "you do not have the log file opened in any other program)."},
    {sid::DownloadCancelled,
     "You have canceled the file transfer process. Would you like Tallyweb to process whatever "
     "log files (or portions of log files) were downloaded before canceling?"},
    {sid::NoLogFiles,
     "Tallyweb could not find any log files to analyze. Please check the log file location of "
     "this report: the files may not exist, the folder may be empty, or every log file may be "
     "empty."},
    {sid::NothingAccepted,
     "Tallyweb could not find any valid log file entries in your log files. The log files may be "
     "in a format that Tallyweb does not support, or every entry was excluded by your filters."},
    {sid::NoLookupsYet, "No Reverse DNS lookups so far."},
};

}  // namespace

std::string_view text(int id) {
    for (const Entry& e : kTable)
        if (e.id == id) return e.text;
    return {};
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    }
    va_end(args);
    return out;
}

}  // namespace tw::platform
