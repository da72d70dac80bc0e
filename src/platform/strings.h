#pragma once
// Every numbered text the program shows, by its number. Texts with printf conversions are
// formatted by the caller with format().
#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

namespace sid {
inline constexpr int CancelConfirm = 32775;
inline constexpr int Canceling = 32818;
inline constexpr int Initializing = 32819;
inline constexpr int DecompressCancelled = 32883;
inline constexpr int UnexpectedFormat = 32897;
inline constexpr int InsufficientFields = 32898;
inline constexpr int InvalidSpiderRoot = 32905;
inline constexpr int ErrorCaption = 32906;
inline constexpr int Completed = 61394;
inline constexpr int LinesRejected = 61450;  // appended to Completed
inline constexpr int OneLineRejected = 61451;
inline constexpr int RejectedLogLines = 61275;  // General Statistics row
inline constexpr int RobotHits = 61276;          // General Statistics row
inline constexpr int RobotHitsLeftOut = 61277;   // its value when robots are not counted
inline constexpr int ClientRulesMissing = 61278;
inline constexpr int ClientsNotSaved = 61280;
inline constexpr int OpenError = 61395;
inline constexpr int DownloadCancelled = 61398;
inline constexpr int NoLogFiles = 61399;
inline constexpr int NothingAccepted = 61401;
inline constexpr int NoLookupsYet = 61403;
inline constexpr int LookingUp = 61438;
// Report list and report wizard.
inline constexpr int NeedLogLocation = 32793;
inline constexpr int NeedUsername = 32794;
inline constexpr int InvalidLogUrl = 32801;
inline constexpr int NeedLogFile = 32804;
inline constexpr int NeedLogDirectory = 32805;
inline constexpr int NeedWildcard = 32806;
inline constexpr int NeedDomain = 32807;
inline constexpr int NeedDefaultPage = 32808;
inline constexpr int NeedReportName = 32809;
inline constexpr int NeedFtpSite = 32810;
inline constexpr int NeedFtpUsername = 32811;
inline constexpr int NeedPassword = 32812;
inline constexpr int ZeroTreeDepth = 32814;
inline constexpr int RootMissing = 32815;
inline constexpr int InvalidRootUrl = 32816;
inline constexpr int NeedTrackedEntry = 32817;
inline constexpr int AutoReportNotFound = 32874;
inline constexpr int NoReportSelected = 61206;
inline constexpr int SaveReportListQuestion = 61207;
inline constexpr int OleInitFailed = 61222;
inline constexpr int RootNotAPage = 61439;
// Log retrieval and decompression.
inline constexpr int FtpDirectoryError = 61406;
inline constexpr int ChangingDirectory = 61407;
inline constexpr int ConnectingFtp = 61408;
inline constexpr int ConnectingWeb = 61409;
inline constexpr int ClosingSession = 61410;
inline constexpr int DecompressError = 32907;
// Saved reports.
inline constexpr int SavedFileTooOld = 32866;
inline constexpr int SavedFileFromFuture = 61402;
inline constexpr int SavedFileIncomplete = 61404;
}  // namespace sid

// Help topics opened from messages.
namespace help {
inline constexpr int Contents = 0;
inline constexpr int NothingAccepted = 135377;
inline constexpr int InsufficientFields = 135381;
inline constexpr int HyperlinkTreeIntro = 135383;
inline constexpr int LogFormats = 140001;
inline constexpr int CommandLine = 140002;
// The report wizard's pages, in the order they come.
inline constexpr int ReportWizardName = 140100;
inline constexpr int ReportWizardLocal = 140101;
inline constexpr int ReportWizardFtp = 140102;
inline constexpr int ReportWizardHttp = 140103;
inline constexpr int ReportWizardSite = 140104;
inline constexpr int ReportWizardDns = 140105;
inline constexpr int ReportWizardTracking = 140106;
inline constexpr int ReportWizardTree = 140107;
inline constexpr int ReportWizardFilters = 140108;
inline constexpr int ReportWizardExport = 140109;
// The filter wizard: its first page, then one topic per filter kind (FilterKind + kind).
inline constexpr int FilterWizard = 140199;
inline constexpr int FilterKind = 140200;
// The export wizard's pages and the destination dialog.
inline constexpr int ExportFormat = 140300;
inline constexpr int ExportHtml = 140301;
inline constexpr int ExportWord = 140302;
inline constexpr int ExportCsv = 140303;
inline constexpr int ExportDestination = 140304;
}  // namespace help

// Texts without a number.
namespace txt {
inline constexpr std::string_view AppTitle = "Tallyweb";
inline constexpr std::string_view ConnectReminder =
    "If Tallyweb is to resolve numerical IP addresses to human-readable host names, you must be "
    "connected to the Internet.\n\nPlease connect to the Internet now. Choose Ok when you have "
    "established the connection, or choose Cancel to abort.";
inline constexpr std::string_view ApacheFiltersReminder =
    "If your log files are in the Apache two-file format, then you cannot use filters. This is a "
    "limitation in the structure of the log file format. All filters for this report will be "
    "disabled.";
inline constexpr std::string_view NoReferrerReminder =
    "Your web server log files did not contain any referrer information, so some reports could "
    "not be generated.";
inline constexpr std::string_view NoBytesReminder =
    "Your web server log files did not contain any information on the bandwidth (number of "
    "bytes) transmitted to and from your web server. While Tallyweb can operate without this "
    "data, all reports that deal with bandwidth will have incorrect data in them.";
inline constexpr std::string_view AnalyzingSite = "Analyzing the structure of your web site...";
inline constexpr std::string_view Analyzing = "Analyzing ";
inline constexpr std::string_view LastPercentNote = "\r\n(the last 1-2% may take longer to finish)";
inline constexpr std::string_view DoNotRemind = "&Do not remind me again";
inline constexpr std::string_view OutOfMemory = "Out of Memory";
inline constexpr std::string_view OutOfMemoryCaption = "Out of memory";
inline constexpr std::string_view NoExportLocation =
    "You did not specify an export location. You should either click the 'Export Options' button "
    "and select a location to export to, or uncheck 'Automatically Export Report'";
inline constexpr std::string_view DefaultReportName = "(Default Name)";
inline constexpr std::string_view NoCurrentReport = "No current report";
inline constexpr std::string_view NoErrorText = "There was an error retrieving the error message.";
inline constexpr std::string_view PreparingDownload = "Preparing to download...";
inline constexpr const char* DownloadingFile = "Downloading file %d of %d...";
inline constexpr std::string_view Transferred = "Transferred %d bytes of ";
inline constexpr std::string_view Decompressing = "Preprocessing log files: Decompressing ";
inline constexpr std::string_view LogDownloadAgent = "Tallyweb Tree Analyzer";
inline constexpr std::string_view SpiderAgent = "Tallyweb Web Analyzer";
inline constexpr std::string_view Parsing = "Parsing ";
inline constexpr std::string_view ErrorDownloading = "Error downloading ";
inline constexpr std::string_view FailedToOpenDocument = "Failed to open document.";
inline constexpr std::string_view FailedToSaveDocument = "Failed to save document.";
inline constexpr std::string_view SaveAsTitle = "Save As";
inline constexpr std::string_view SavedFileFilter = "Tallyweb Files (*.twb)";
inline constexpr std::string_view UploadAgent = "Tallyweb Uploader";
}  // namespace txt

// Every number of the table, for checks that each appears once.
std::vector<int> allTextIds();

// The text of a numbered string; empty for an unknown number.
std::string_view text(int id);

// printf-style formatting of a numbered text or any other format string.
// Numbered texts are NUL-terminated literals, so text(id).data() may be passed.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tw::platform
