#include "document/document.h"

#include <filesystem>

#include "platform/strings.h"

namespace tw::document {

Document::Document(DocumentServices services)
    : s_(std::move(services)),
      engine_(std::make_shared<engine::StatisticsEngine>()),
      run_({s_.settings, s_.prompter, s_.progress, s_.clock, s_.files, s_.sources, s_.decompressor,
            s_.spider, engine_}) {
    engine_->useReverseDns(hostCache_, s_.resolver, &s_.progress);
    loadDataFiles();
}

// Only a run with lookups can have changed the cache; others leave the file alone.
Document::~Document() {
    if (lookupsMade_) saveHostCache();
}

std::string Document::dataFile(const char* name) const {
    const std::string folder = s_.settings.dataFolder();
    return folder.empty() ? std::string() : (std::filesystem::path(folder) / name).string();
}

void Document::loadDataFiles() {
    // A damaged cache keeps what it could read: the lookups it lost are simply made again.
    if (const std::string cache = dataFile(engine::HostNameCache::kFileName); !cache.empty())
        hostCache_.load(cache);

    std::vector<std::string> candidates;
    if (const std::string own = dataFile(engine::SuffixNames::kFileName); !own.empty())
        candidates.push_back(own);
    candidates.insert(candidates.end(), s_.suffixFiles.begin(), s_.suffixFiles.end());
    for (const std::string& file : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec) && suffixNames_.load(file)) break;
    }
}

bool Document::saveHostCache() const {
    const std::string cache = dataFile(engine::HostNameCache::kFileName);
    return cache.empty() || hostCache_.save(cache);
}

const ingest::RunSummary& Document::lastRun() const {
    return run_.summary();
}

const engine::Statistics* Document::statistics() const {
    return reportPresent_ ? &engine_->statistics() : nullptr;
}

const engine::Results* Document::results() const {
    return reportPresent_ ? &engine_->results() : nullptr;
}

bool Document::generate(const config::ReportDefinition& definition, ingest::RunMode mode) {
    definition_ = definition;
    exportPending_ = definition.Export != 0;
    autoExport_ = AutoExport::NotAsked;
    interactive_ = mode == ingest::RunMode::Interactive;
    if (definition.EnableDNS) lookupsMade_ = true;
    // The run drops the previous statistics first, so the old tree must go with them.
    catalogue_.clear();
    table_.setLayout(0, 0, -1);
    selected_ = presentation::kNoHandle;
    reportPresent_ = false;

    if (!run_.generate(definition_, mode)) {
        title_ = platform::txt::NoCurrentReport;
        exportPending_ = false;
        return false;
    }
    reportPresent_ = true;
    modified_ = true;
    title_ = definition_.Name;

    catalogue_.build(engine_->statistics().counters, definition_);
    select(catalogue_.initialSelection());

    if (exportPending_) {
        exportPending_ = false;
        if (!s_.exporter)
            autoExport_ = AutoExport::Unavailable;
        else
            autoExport_ = s_.exporter->exportReport(*this, definition_.exportSettings)
                              ? AutoExport::Done
                              : AutoExport::Failed;
    }
    return true;
}

presentation::FillResult Document::select(presentation::Handle entry, SelectOptions options) {
    const presentation::AnalysisData analysis{engine_->statistics(), engine_->results(),
                                              engine_->runStart()};
    presentation::FillContext context;
    context.analysis = reportPresent_ ? &analysis : nullptr;
    context.suffixNames = &suffixNames_;
    context.definition = &definition_;
    context.chartMode = catalogue_.chartMode();
    context.exportWalk = options.exportWalk;
    context.printWalk = options.printWalk;
    // Reminders are for someone at the screen.
    if (interactive_) {
        context.prompter = &s_.prompter;
        context.settings = &s_.settings;
    }
    lastFill_ = presentation::fillReport(catalogue_, entry, context, table_);
    selected_ = entry;
    return lastFill_;
}

}  // namespace tw::document
