#pragma once
// The real services a document runs on, the same for both programs: files, clock, lookups,
// FTP and HTTP, the log retrieval, decompression, the site crawl and the automatic export,
// wired around the front end's own prompter and progress.
//
// Ownership: holds every service and the document; the settings, prompter and progress are
// the caller's and must outlive it. Threads: as the document (the user-interface thread).
#include <string>

#include "document/document.h"
#include "export/export_run.h"
#include "platform/clock.h"
#include "platform/mapped_file.h"
#include "platform/resolver.h"
#include "site/spider.h"
#include "transfer/curl_transfer.h"
#include "transfer/gzip_logs.h"
#include "transfer/log_retrieval.h"

namespace tw::app {

class ProgramServices {
  public:
    // `store` names the program's folders; `settings` is what the runs read (the store, or
    // one run's overrides laid over it). `sourceDataDir` as shippedSuffixFiles takes it.
    ProgramServices(platform::SettingsProfile& store, platform::SettingsProfile& settings,
                    platform::Prompter& prompter, platform::ProgressDialog& progress,
                    const std::string& sourceDataDir);
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    document::Document& document() { return document_; }
    transfer::Transfer& transfer() { return transfer_; }
    const platform::Clock& clock() const { return clock_; }
    // Prompter and transfer for an export the user asks for; no application opens the result.
    const exporter::ExportServices& exportServices() const { return exportServices_; }
    // Where the last automatic export went.
    const exporter::ExportOutcome& lastAutomaticExport() const { return automatic_.last(); }

  private:
    platform::SystemClock clock_;
    platform::PosixFileOpener files_;
    platform::SystemResolver resolver_;
    transfer::CurlTransfer transfer_;
    std::string downloads_;
    transfer::RemoteLogSources sources_;
    transfer::GzipPreprocessor gzip_;
    site::SiteSpider spider_;
    exporter::ExportServices exportServices_;
    exporter::AutomaticExport automatic_;
    document::Document document_;
};

}  // namespace tw::app
