#pragma once
// One export of the open analysis: every report into one HTML or Word document, or one
// comma-delimited file per report, saved locally or uploaded to an FTP server.
//
// Threads: the user-interface thread, with no run active (the walk refills the document's
// report table report by report and restores the selection afterwards).
#include <functional>
#include <string>

#include "config/report_definition.h"
#include "config/run_settings.h"
#include "document/document.h"
#include "platform/prompts.h"
#include "transfer/transfer.h"

namespace tw::exporter {

enum ExportType : int { kWord = 0, kHtml = 1, kCommaDelimited = 2 };
enum ServiceType : int { kFtpUpload = 0, kLocalFile = 1 };

struct ExportServices {
    platform::Prompter& prompter;
    transfer::Transfer& transfer;
    // Opens a finished export with the desktop's default application; empty: nothing is opened.
    std::function<void(const std::string&)> open{};
};

struct ExportOutcome {
    bool ok = false;
    std::string address;  // the file, directory or FTP address written
};

// The location with the local time's strftime codes replaced ("site%m%d.html").
std::string expandLocation(const std::string& location, std::int64_t now);

// Interactive runs end with the completion question or message; automatic ones show only
// errors. Settings are read from `settings` (TruncateExport, PassiveFTP, ProxyServer, the
// global filters for the heading).
ExportOutcome runExport(document::Document& doc, const config::ExportSettings& what,
                        const config::RunSettings& settings, const ExportServices& services,
                        bool interactive, std::int64_t now);

// The automatic export after a generation, with the definition's own settings.
class AutomaticExport final : public document::ExportHandOff {
  public:
    AutomaticExport(const platform::SettingsProfile& settings, const platform::Clock& clock,
                    ExportServices services)
        : settings_(settings), clock_(clock), services_(std::move(services)) {}
    bool exportReport(document::Document& doc, const config::ExportSettings& what) override;
    const ExportOutcome& last() const { return last_; }

  private:
    const platform::SettingsProfile& settings_;
    const platform::Clock& clock_;
    ExportServices services_;
    ExportOutcome last_;
};

}  // namespace tw::exporter
