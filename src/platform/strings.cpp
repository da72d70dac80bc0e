#include "platform/strings.h"

#include <cstdarg>
#include <cstdio>

namespace tw::platform {
namespace {

struct Entry {
    int id;
    std::string_view text;
};

// Each number once; the order carries no meaning.
constexpr Entry kTable[] = {
    {32828, "Hits on Pages"},
    {32829, "Hits on Files"},
    {32830, "Hits on Images"},
    {32884,
     "The request was made at a time when the server could not process the request. (uncommon)"},
    {32885,
     "The request was made to a proxy server, and the proxy server requires a password for access. "
     "(uncommon)"},
    {32886, "The request matches multiple possible files, and could not be fulfilled. (uncommon)"},
    {32887,
     "Gone - The object requested is not available, but may be available on a temporary basis. "
     "(uncommon)"},
    {32888, "Length not provided by server (uncommon)"},
    {32889, "Request precondition failed (uncommon)"},
    {32890, "Request entity too large to be handled by server"},
    {32891,
     "Request-URI too large. If you see this often, it can indicate someone is trying to hack your "
     "site."},
    {32892, "Unsupported media type"},
    {32893, "Client HTTP version not supported by server"},
    {32894,
     "The server, while acting as a gateway or proxy, timed out while waiting for data from the "
     "upstream server."},
    {32773, "Opera"},
    {32824, "OSF1"},
    {32831, "You must specify filter text. Click 'Help' for more information on this filter."},
    {32833,
     "The beginning date/time specifies a later date than the ending date/time. Click 'Help' to "
     "read more about this filter."},
    {32834,
     "The beginning and ending date/times are equal. Click 'Help' to read more about this "
     "filter."},
    {32876, "IRIX"},
    {32900, "SunOS"},
    {32901, "HP-UX"},
    {61258, "Hits"},
    {61259, "Total Data Transferred"},
    {61260, "Unique IP Addresses"},
    {61261, "Total Visiting Users"},
    {61262, "Time Period"},
    {61263, "Average Hits per User"},
    {61264, "Average Users per Day"},
    {61265, "Average Data Transferred per Day"},
    {61266, "Hits cached by Client"},
    {61267, "Report generated on"},
    {61268, "Incomplete downloads/file requests"},
    {61269, "Log spans a period of"},
    {61270, "Total failed requests"},
    {61271, "Average Data Transferred per User"},
    {61272, "Average Hits per Day"},
    {61273, "Average Data Transferred per Hit"},
    {61274, "Each user has visited approximately"},
    {61302, "IE 3.x"},
    {61303, "IE 4.x"},
    {61304, "Navigator 2.x"},
    {61305, "Navigator 3.x"},
    {61306, "Navigator 4.x"},
    {61307, "NCSA Mosaic"},
    {61308, "Lynx"},
    {61309, "Other"},
    {61310, "IE 2.x"},
    {61311, "IE 5.x"},
    {61312, "Browser"},
    {61313, "Operating System"},
    {61314, "Windows 3.1"},
    {61315, "Windows 95"},
    {61316, "Windows 98"},
    {61317, "Windows NT"},
    {61318, "Windows CE"},
    {61320, "Macintosh"},
    {61321, "OS/2"},
    {61322, "Other"},
    {61323, "Linux"},
    {61324, "WebTV"},
    {61386, "%.2f times"},
    {61387, "%d days"},
    {61392, " to "},
    {61393, "Navigator 5.x"},
    {61411, "%.2f gigabytes"},
    {61412, "%.2f megabytes"},
    {61413, "%.2f kilobytes"},
    {61414, "%.2f bytes"},
    {61415, "Only partial content delivered (requested file not completely downloaded)"},
    {61416, "Permanent URL relocation"},
    {61417, "Temporary URL relocation"},
    {61418, "Page redirected"},
    {61419, "Temporary relocation method and URL"},
    {61420, "Document not modified (cached by client)"},
    {61421, "Bad request (syntax)"},
    {61422, "URL not found"},
    {61423, "Incomplete/Undefined transmission"},
    {61424, "Unauthorized access (requires authentication)"},
    {61425, "Access forbidden (payment required)"},
    {61426, "Forbidden"},
    {61427, "Method not Allowed"},
    {61428, "Request Timeout"},
    {61429, "Internal server error"},
    {61430, "Server functionality not implemented"},
    {61431, "Bad gateway"},
    {61432, "Service unavailable"},
    {61433, "Page does not contain any information"},
    {61434, "Created"},
    {61435, "Accepted"},
    {61436, "Partial Information"},
    {61437, "Unrecognized error code"},
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
    {sid::LinesRejected, " %llu log lines could not be read and were not counted."},
    {sid::OneLineRejected, " %llu log line could not be read and was not counted."},
    {sid::RejectedLogLines, "Rejected log lines"},
    {sid::RobotHits, "Hits by robots"},
    {sid::RobotHitsLeftOut, "%llu (not counted)"},
    {sid::ClientsNotSaved,
     "This report was saved by an earlier version of Tallyweb, which did not keep browser "
     "families, operating systems, devices and robots. Generate the report again to see them."},
    {sid::ClientRulesMissing,
     "Tallyweb could not read the rules that tell browsers, operating systems, devices and "
     "robots apart: %s\n\nInstall the uap-core package, or put its regexes.yaml in the data "
     "folder, and generate the report again."},
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
    {sid::LookingUp, "Looking up %s..."},
    {sid::NeedLogLocation, "You must specify the location of the log file."},
    {sid::NeedUsername, "You must specify a username."},
    {sid::InvalidLogUrl, "The URL you typed was invalid. Make sure that it begins with 'http://'."},
    {sid::NeedLogFile, "You must specify a log file to analyze."},
    {sid::NeedLogDirectory,
     "Please specify the directory that contains the log files you wish to analyze."},
    {sid::NeedWildcard,
     "Please specifiy a wildcard that will identify a set of log files. For help on creating a "
     "wildcard, click 'Wildcard Help'."},
    {sid::NeedDomain,
     "You must specify your local domain name.\n\nFor a site at its own host, type the domain "
     "alone, for example: www.example.com\nFor a site in a user directory of a provider's host, "
     "type the host and the directory, for example: members.example.net/~jsmith"},
    {sid::NeedDefaultPage,
     "You must specify the default page on your web server. It is most likely 'index.html'."},
    {sid::NeedReportName, "Please specify a name for the current Tallyweb report."},
    {sid::NeedFtpSite,
     "Please enter the name of the FTP site that contains your web server log files. Tallyweb "
     "will connect to this server and download your log files."},
    {sid::NeedFtpUsername,
     "Please enter the username you will use to log into the FTP site. If your FTP site allows "
     "anonymous logins, type 'anonymous' for your username and leave the password field blank."},
    {sid::NeedPassword, "Please enter the password that corresponds to your username."},
    {sid::ZeroTreeDepth,
     "You cannot specify a tree depth of zero (no pages will be parsed). If you do not want a "
     "tree view of your web site, leave the selected web site location field blank."},
    {sid::RootMissing, "The root page you specified does not exist."},
    {sid::InvalidRootUrl,
     "The URL you typed was invalid. Make sure that it begins with 'http://'."},
    {sid::NeedTrackedEntry, "You must specify a file or directory to track."},
    {sid::AutoReportNotFound,
     "The specified AUTOREPORT was not found. Make sure you type the report name exactly as it "
     "appears in the Report List dialog. The AUTOREPORT format is as follows:\n\t Tallyweb.exe "
     "/AUTOREPORT \"Report Name\".\n\nTallyweb will now operate normally."},
    {sid::NoReportSelected,
     "You must select a report before pressing the 'Generate Reports' button."},
    {sid::SaveReportListQuestion,
     "Even though you have pressed Cancel and no reports will be generated, would you like to "
     "save any changes you have made to the report list?"},
    {sid::FtpDirectoryError,
     "There was an error opening the following directory on your FTP site: \n\t%s\n\nYou "
     "should edit the report and make sure that this directory is valid. Note that this "
     "directory must be fully qualified (i.e. /users/ftp/domain/logs/, not logs/)."},
    {sid::ChangingDirectory, "Changing directory..."},
    {sid::ConnectingFtp, "Connecting to FTP server..."},
    {sid::ConnectingWeb, "Connecting to web server..."},
    {sid::ClosingSession, "Closing session..."},
    {sid::DecompressError,
     "There was an error decompressing the following file:\n\t%s\n\nThis error is most "
     "likely the result of Tallyweb trying to decompress a corrupt or nonexistent file. This "
     "error is especially likely to occur if you have canceled a FTP or Web download."},
    {sid::SavedFileTooOld,
     "A major change was made beginning in Tallyweb 2.5 to the format of saved .twb files. The "
     "current version of Tallyweb is incompatible with .twb files saved with pre-2.5 versions. "
     "To view a file saved by an older version, see the support pages at "
     "https://tallyweb.org/support/."},
    {sid::SavedFileFromFuture,
     "The file you have tried to load may either be corrupt, or may be from a future version of "
     "Tallyweb. Tallyweb can try to load the file, but some features may be missing. Would you "
     "like Tallyweb to try to load the file?"},
    {sid::SavedFileIncomplete,
     "The following saved report is incomplete or damaged, and Tallyweb cannot open it:\n\t%s"},
    {sid::OleInitFailed, "The OLE libraries could not be initialized; Tallyweb will now abort."},
    {sid::RootNotAPage,
     "The URL that you type must point directly to a page.\n\nAccepted: "
     "http://www.example.com/index.html\nRefused: http://www.example.com/"},
};

}  // namespace

std::vector<int> allTextIds() {
    std::vector<int> ids;
    for (const Entry& e : kTable) ids.push_back(e.id);
    return ids;
}

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
