#include "ingest/analysis_run.h"

#include <algorithm>
#include <map>
#include <thread>

#include "platform/strings.h"

namespace tw::ingest {

using platform::Answer;
using platform::Icon;
namespace sid = platform::sid;
namespace txt = platform::txt;

// Shows a one-time notice unless its box was ticked before; stores the box when closed with OK.
// Returns false when the user chose Cancel.
bool AnalysisRun::notice(const char* setting, std::string_view text, bool okCancel, int help) {
    if (s_.settings.getInt("", setting, 0) != 0) return true;
    const platform::NoticeResult r = s_.prompter.notice(text, okCancel, help);
    if (r.answer == Answer::Cancel) return false;
    if (r.doNotRemind) s_.settings.setInt("", setting, 1);
    return true;
}

bool AnalysisRun::generate(const config::ReportDefinition& def, RunMode mode) {
    summary_ = {};
    spiderFailed_ = false;
    s_.engine->clear();
    s_.progress.cancelFlag().clear();

    if (def.EnableDNS && !notice(config::reminder::DnsInternet, txt::ConnectReminder, true))
        return false;

    const config::RunSettings settings = config::RunSettings::read(s_.settings);
    const std::int64_t startTime = s_.clock.nowSeconds();
    std::string domain = def.Domain;
    if (!domain.empty() && domain.back() == '/') domain.pop_back();

    SourceResult sources = s_.sources.resolve(def, settings);
    if (def.Local != 1 && sources.cancelled &&
        s_.prompter.askYesNo(platform::text(sid::DownloadCancelled), Icon::Warning) != Answer::Yes)
        return false;
    if (sources.files.empty()) {
        s_.prompter.message(platform::text(sid::NoLogFiles), Icon::Error);
        return false;
    }

    PreparedFiles files = s_.decompressor.prepare(sources.files);
    // However the run ends from here on, the copies made for it are not read again.
    struct Finish {
        Decompressor& d;
        ~Finish() { d.finish(); }
    } finish{s_.decompressor};
    if (files.cancelled && s_.prompter.askYesNo(platform::text(sid::DecompressCancelled),
                                                Icon::Warning) != Answer::Yes)
        return false;
    // Going on with what was prepared: the cancel that ended the preparing must not end the
    // analysis as well.
    s_.progress.cancelFlag().clear();
    summary_.totalBytes = files.totalBytes;
    summary_.fileCount = files.files.size();
    if (files.totalBytes == 0) {
        s_.prompter.message(platform::text(sid::NoLogFiles), Icon::Error);
        return false;
    }

    orderOldestFirst(sources, settings, files);
    std::vector<std::string> shownNames;
    for (std::size_t i = 0; i < files.files.size(); ++i) {
        const std::size_t origin = files.origins.size() == files.files.size() ? files.origins[i] : i;
        shownNames.push_back(origin < sources.files.size() ? sources.files[origin] : files.files[i]);
    }

    const RunContext context{def, settings, startTime, domain};
    s_.engine->prepare(files.totalBytes, context);
    runThreads_ = threads_ > 0 ? threads_
                  : settings.MultithreadMultiple != 0
                      ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                      : 1;
    runThreads_ = std::clamp(runThreads_, 1, 64);

    RecordPipeline pipeline(s_.engine, s_.files, s_.progress);
    pipeline.setStretchBytes(stretchBytes_);
    pipeline.readerState().options = readerOptions(settings);
    pipeline.setRejectedSink(rejectedSink_);

    const std::int64_t startMs = s_.clock.monotonicMillis();
    std::thread worker([&] { analysisThread(context, files, shownNames, pipeline); });
    s_.progress.exec(def.EnableDNS ? platform::ProgressDialog::Layout::WithLookupStatus
                                   : platform::ProgressDialog::Layout::Plain);
    // The thread's last act was to complete the dialog, so this join is immediate.
    worker.join();
    summary_.pipeline = pipeline.stats();
    summary_.cancelled = s_.progress.cancelled();

    // A failed or cancelled crawl produces no report at all.
    if (spiderFailed_) return false;
    // Out of memory ends the reading, once; what was analysed is still finalised and shown.
    summary_.exhausted = s_.engine->exhausted();
    if (summary_.exhausted)
        s_.prompter.messageWithCaption(txt::OutOfMemory, txt::OutOfMemoryCaption, Icon::Error);
    if (s_.engine->acceptedCount() == 0) {
        s_.prompter.message(platform::text(sid::NothingAccepted), Icon::Error,
                            platform::help::NothingAccepted);
        return false;
    }

    s_.engine->noteLineCounts(summary_.pipeline.records, summary_.pipeline.rejected);
    s_.engine->finalise();
    const std::int64_t elapsedMs = s_.clock.monotonicMillis() - startMs;
    // A run faster than the clock's resolution still gets a finite speed.
    summary_.seconds = static_cast<double>(elapsedMs < 1 ? 1 : elapsedMs) * 0.001;
    summary_.megabytes = static_cast<double>(files.totalBytes) / 1048576.0;
    summary_.speed = static_cast<double>(files.totalBytes) * 60.0 / (summary_.seconds * 1000000.0);
    summary_.completionText =
        platform::format(platform::text(sid::Completed).data(), summary_.megabytes,
                         summary_.seconds, summary_.speed);
    if (summary_.pipeline.rejected > 0)
        summary_.completionText += platform::format(
            platform::text(summary_.pipeline.rejected == 1 ? sid::OneLineRejected
                                                           : sid::LinesRejected)
                .data(),
            static_cast<unsigned long long>(summary_.pipeline.rejected));

    if (mode == RunMode::Interactive) {
        if (def.ApacheTwoFileFormat && !def.filters.empty())
            notice(config::reminder::ApacheFilters, txt::ApacheFiltersReminder, false);
        if (!summary_.cancelled) notice(config::reminder::Speed, summary_.completionText, false);
        if (!s_.engine->referrerSeen())
            notice(config::reminder::Referrer, txt::NoReferrerReminder, false, 1);
        const ReaderState& rs = pipeline.readerState();
        if (rs.sawW3cHeader && !rs.lastW3cHeaderHadBytes)
            notice(config::reminder::Bytes, txt::NoBytesReminder, false);
    }

    s_.engine->release();
    summary_.produced = true;
    return true;
}

// Used when the engine keeps no site pages: the crawl still runs and can still fail.
class DiscardPages final : public SitePageSink {
  public:
    bool addPage(std::string_view, std::string_view,
                 const std::vector<std::string_view>&) override {
        return true;
    }
};

ReaderOptions AnalysisRun::readerOptions(const config::RunSettings& settings) {
    ReaderOptions o;
    o.timeOffsetHours = settings.TimeOffset;
    o.europeanFormat = settings.EuropeanFormat != 0;
    return o;
}

// Visits are counted from the gaps between a host's requests, and a backward gap never starts
// one: a rotated set named newest first ("access_log", "access_log.1") must still be read in
// time order. Within each entry of the log paths, the files whose first record has a time are
// put in order of that time in the places such files held; ties and files without a time keep
// their places, so a set that is already in order reads exactly as before.
void AnalysisRun::orderOldestFirst(const SourceResult& sources,
                                   const config::RunSettings& settings, PreparedFiles& files) {
    const std::size_t n = files.files.size();
    if (n < 2 || sources.groups.size() != sources.files.size()) return;
    // The order changes below: each file must keep the name it is reported under.
    if (files.origins.size() != n) {
        files.origins.resize(n);
        for (std::size_t i = 0; i < n; ++i) files.origins[i] = i;
    }
    const ReaderOptions options = readerOptions(settings);
    // The places of the dated files of each group, in list order.
    std::map<std::size_t, std::vector<std::size_t>> places;
    std::vector<std::int64_t> first(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (!firstRecordTime(s_.files, files.files[i], options, first[i])) continue;
        const std::size_t origin = files.origins[i];
        places[origin < sources.groups.size() ? sources.groups[origin] : sources.files.size() + i]
            .push_back(i);
    }
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    for (const auto& group : places) {
        const std::vector<std::size_t>& at = group.second;
        std::vector<std::size_t> members = at;
        std::stable_sort(members.begin(), members.end(),
                         [&](std::size_t a, std::size_t b) { return first[a] < first[b]; });
        for (std::size_t k = 0; k < at.size(); ++k) order[at[k]] = members[k];
    }
    PreparedFiles sorted;
    sorted.totalBytes = files.totalBytes;
    sorted.cancelled = files.cancelled;
    for (const std::size_t i : order) {
        sorted.files.push_back(files.files[i]);
        sorted.sizes.push_back(files.sizes[i]);
        sorted.origins.push_back(files.origins[i]);
    }
    files = std::move(sorted);
}

void AnalysisRun::analysisThread(const RunContext& context, const PreparedFiles& files,
                                 const std::vector<std::string>& shownNames,
                                 RecordPipeline& pipeline) {
    const config::ReportDefinition& def = context.definition;
    platform::ProgressDialog& progress = s_.progress;
    progress.waitUntilShown();

    if (!def.Root.empty()) {
        progress.progress(0, txt::AnalyzingSite);
        DiscardPages discard;
        SitePageSink* sink = s_.engine->sitePageSink();
        const SpiderOutcome outcome = s_.spider.crawl(context, progress, sink ? *sink : discard);
        if (outcome == SpiderOutcome::InvalidRoot) {
            s_.prompter.messageWithCaption(platform::text(sid::InvalidSpiderRoot),
                                           platform::text(sid::ErrorCaption), Icon::Error);
            spiderFailed_ = true;
            progress.completed();
            return;
        }
        if (outcome == SpiderOutcome::Cancelled) {
            progress.cancelFlag().clear();
            spiderFailed_ = true;
            progress.completed();
            return;
        }
    }

    if (def.EnableDNS) progress.status(platform::text(sid::NoLookupsYet));
    // Lookups made ahead: a first reading notes the addresses (the first half of the progress
    // bar), they are looked up many at a time, and the count reads the answers.
    std::shared_ptr<RecordAnalyser> noter = def.EnableDNS ? s_.engine->lookupNoter() : nullptr;
    std::uint64_t base = 0;
    if (noter) {
        RecordPipeline notes(noter, s_.files, progress);
        notes.readerState() = pipeline.readerState();
        notes.setStretchBytes(stretchBytes_);
        notes.start(false, files.totalBytes * 2);
        for (std::size_t i = 0; i < files.files.size() && !progress.cancelled(); ++i) {
            std::uint64_t ignored = 0;
            // Whatever goes wrong with a file is told by the count, which meets it again.
            notes.readFile(kFormatDetect, files.files[i], base, ignored);
            base += files.sizes[i];
        }
        notes.stop();
        if (!progress.cancelled()) s_.engine->resolveNoted();
    }
    pipeline.start(def.EnableDNS != 0 && !noter, noter ? files.totalBytes * 2 : files.totalBytes);
    SplitReader split(*s_.engine, s_.files, progress);
    split.setThreads(runThreads_);
    split.setMinimumBytes(splitMinimum_);
    split.setRejectedSink(rejectedSink_);
    for (std::size_t i = 0; i < files.files.size(); ++i) {
        const std::string& path = files.files[i];
        std::uint64_t size = 0;
        const ReadOutcome outcome =
            split.read(pipeline, kFormatDetect, path, base, files.sizes[i], size, shownNames[i]);
        if (def.ApacheTwoFileFormat && outcome == ReadOutcome::Done) {
            // The companions' own outcomes are not reported: the entry's is the access log's.
            for (const auto& [word, format] :
                 {std::pair{"referer", kFormatRefererLog}, std::pair{"agent", kFormatAgentLog}}) {
                const std::string companion = companionFileName(path, word);
                if (companion.empty() || progress.cancelled()) continue;
                std::uint64_t ignored = 0;
                split.read(pipeline, format, companion, base, 0, ignored, {});
            }
        }
        if (progress.cancelled()) break;
        bool stop = false;
        switch (outcome) {
            case ReadOutcome::OpenFailed:
                s_.prompter.message(
                    platform::format(platform::text(sid::OpenError).data(), path.c_str()),
                    Icon::Error);
                break;
            case ReadOutcome::UnusableHeader:
                stop = s_.prompter.askOkCancel(
                           platform::format(platform::text(sid::UnexpectedFormat).data(),
                                            path.c_str()),
                           Icon::Warning) == Answer::Cancel;
                break;
            case ReadOutcome::MissingFields:
                if (s_.prompter.askOkCancel(
                        platform::format(platform::text(sid::InsufficientFields).data(),
                                         path.c_str()),
                        Icon::Warning) == Answer::Cancel)
                    stop = true;
                else
                    s_.prompter.openHelp(platform::help::InsufficientFields);
                break;
            case ReadOutcome::Cancelled:
            case ReadOutcome::Exhausted:
                stop = true;
                break;
            case ReadOutcome::Done:
                break;
        }
        if (stop) break;
        base += files.sizes[i];
    }

    summary_.abandonedWorkers = pipeline.stop();
    summary_.threads = runThreads_;
    summary_.partsAdded = split.partsAdded();
    summary_.partsReadAgain = split.partsReadAgain();
    progress.completed();
}

}  // namespace tw::ingest
