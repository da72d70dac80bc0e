#pragma once
// What a document under test runs on when its logs are local files: scripted answers, a fake
// progress and clock, no network and no crawl. For targets that link the document library.
#include "document/document.h"
#include "ingest/run_services.h"
#include "platform/mapped_file.h"
#include "platform/settings.h"
#include "support/fakes.h"
#include "support/scripted_resolver.h"

namespace tw::test {

struct LocalDocumentParts {
    platform::MemorySettings settings;
    FakePrompter prompter;
    FakeProgressDialog progress;
    FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    ScriptedResolver resolver;

    // `shown` and `time`, when given, stand in for the fake progress and clock.
    document::DocumentServices documentServices(platform::ProgressDialog* shown = nullptr,
                                                platform::Clock* time = nullptr) {
        return {settings,
                prompter,
                shown ? *shown : progress,
                time ? *time : clock,
                files,
                sources,
                measure,
                spider,
                resolver};
    }
};

}  // namespace tw::test
