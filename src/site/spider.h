#pragma once
// The site crawl that feeds the hyperlink tree: from the definition's root page it reads each
// page, takes its title and its on-site links, and follows them depth first down to the
// definition's depth. It reads the site's files on disk, or fetches the live site over HTTP
// into the report's download folder and reads the copies.
//
// Threads: crawl() runs on the analysis thread, before any log record. Prompts are raised from
// that thread while the progress dialog is shown.
//
// Files: the HTTP walk writes only inside the report's download folder; a link whose local
// path would leave it is not followed. The local walk never writes.
#include <string>

#include "ingest/run_services.h"
#include "platform/prompts.h"
#include "transfer/transfer.h"

namespace tw::site {

class SiteSpider final : public ingest::Spider {
  public:
    // `downloadBase` holds one download folder per report (named after the report), as log
    // downloads use. Every reference must outlive the spider.
    SiteSpider(transfer::Transfer& transfer, platform::Prompter& prompter,
               std::string downloadBase);

    ingest::SpiderOutcome crawl(const ingest::RunContext& context, platform::Progress& progress,
                                ingest::SitePageSink& pages) override;

  private:
    transfer::Transfer& transfer_;
    platform::Prompter& prompter_;
    std::string base_;
};

}  // namespace tw::site
