#pragma once
// Turns a report's log paths into local files: local paths expanded over directories and
// wildcards, remote logs fetched by FTP or HTTP into the report's download folder.
//
// Threads: resolve() is called on the user-interface thread. Downloads run on a transfer
// thread of their own under the progress dialog, which resolve() shows and which returns once
// the thread has completed it; the thread's last act is that completion, so resolve() never
// leaves a thread behind. Prompts (errors, a new password) are raised from the transfer thread
// while the dialog is shown.
//
// Files from servers are only ever written inside the download folder: a name sent by a server
// or taken from a URL that is not one plain path component is refused.
#include <cstdint>
#include <string>

#include "config/report_definition.h"
#include "config/run_settings.h"
#include "ingest/run_services.h"
#include "platform/clock.h"
#include "platform/progress.h"
#include "platform/prompts.h"
#include "transfer/transfer.h"

namespace tw::transfer {

// Fetches one object into `localPath` unless the local copy is already current (same size as
// the server says, and not older). True when the local file is complete or current. A 401 asks
// the prompter for a new login and tries again for as long as the user gives one. A cancel
// keeps the partial file (a later run then sees a size that differs and fetches it again).
bool downloadHttpObject(HttpConnection& connection, const std::string& server,
                        const std::string& objectPath, const std::string& localPath,
                        platform::Progress& progress, platform::Prompter& prompter,
                        std::string user = {});

class RemoteLogSources final : public ingest::LogSources {
  public:
    // `downloadBase` holds one download folder per report (named after the report). Every
    // reference must outlive this object.
    RemoteLogSources(Transfer& transfer, platform::ProgressDialog& progress,
                     platform::Prompter& prompter, const platform::Clock& clock,
                     std::string downloadBase);

    ingest::SourceResult resolve(const config::ReportDefinition& definition,
                                 const config::RunSettings& settings) override;

    // The folder the last remote fetch used (empty before one).
    const std::string& lastDownloadFolder() const { return folder_; }

  private:
    void retrieveFtp(Session& session, const config::ReportDefinition& def,
                     const config::RunSettings& settings, const std::vector<std::string>& entries,
                     std::vector<std::string>& files, std::vector<std::size_t>& groups);
    void retrieveHttp(Session& session, const config::ReportDefinition& def,
                      const std::vector<std::string>& entries, std::vector<std::string>& files);
    void fetchFtpDirectory(FtpConnection& ftp, const config::ReportDefinition& def,
                           std::string_view pattern, std::vector<std::string>& files);
    void showError(const std::string& error);

    Transfer& transfer_;
    platform::ProgressDialog& progress_;
    platform::Prompter& prompter_;
    const platform::Clock& clock_;
    std::string base_;
    std::string folder_;
};

}  // namespace tw::transfer
