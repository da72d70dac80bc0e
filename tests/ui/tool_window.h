#pragma once
// The main window over a document of local logs with scripted answers and the real clock: the
// setting the review tools (screenshots, responsiveness) run the window in.
#include <string>

#include "document/document.h"
#include "platform/clock.h"
#include "support/local_document.h"
#include "transfer/curl_transfer.h"
#include "ui/main_window.h"

namespace tw::ui {

struct ToolWindow : test::LocalDocumentParts {
    platform::SystemClock realClock;
    transfer::CurlTransfer transfer;
    document::Document doc;
    MainWindow window;

    explicit ToolWindow(platform::ProgressDialog& shown)
        : doc(documentServices(&shown, &realClock)),
          window({doc, settings, prompter, transfer, [](const std::string&) { return true; }}) {}

    // A report over one local log, as a user would define it.
    static config::ReportDefinition definition(std::string name, std::string log,
                                               std::string domain) {
        config::ReportDefinition def;
        def.Name = std::move(name);
        def.Path = std::move(log);
        def.File = 1;
        def.Domain = std::move(domain);
        def.DefaultPage = "index.html";
        return def;
    }
};

}  // namespace tw::ui
