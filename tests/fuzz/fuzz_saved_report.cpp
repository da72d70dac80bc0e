// Any bytes as a saved report: reading must never crash, read out of bounds or allocate from a
// count it has not checked; a file it refuses must leave the engine as it was, and one it keeps
// must save whole and load back the same size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "document/saved_report.h"
#include "ingest/log_record.h"

namespace {

// Says Yes to the question about newer versions, so their sections are read too.
class YesPrompter final : public tw::platform::Prompter {
  public:
    using Answer = tw::platform::Answer;
    using Icon = tw::platform::Icon;
    void message(std::string_view, Icon, int) override {}
    void messageWithCaption(std::string_view, std::string_view, Icon) override {}
    Answer askYesNo(std::string_view, Icon) override { return Answer::Yes; }
    Answer askOkCancel(std::string_view, Icon) override { return Answer::Ok; }
    Answer askYesNoCancel(std::string_view, Icon) override { return Answer::Yes; }
    tw::platform::NoticeResult notice(std::string_view, bool, int) override { return {}; }
    void openHelp(int) override {}
    std::optional<tw::platform::LoginAnswer> askLogin(std::string_view, std::string_view) override {
        return std::nullopt;
    }
};

// A small real saved report: a run over a few records of every kind, with a crawled page.
std::string seedReport() {
    tw::config::ReportDefinition def;
    def.Name = "Seed";
    def.Domain = "http://www.site.example";
    def.Root = "http://www.site.example/";
    def.DefaultPage = "index.html";
    def.trackFiles = {"/a.html", "*.gif"};
    const tw::config::RunSettings settings;
    const tw::ingest::RunContext context{def, settings, 1700000000, def.Domain};
    tw::engine::StatisticsEngine engine(1 << 20);
    engine.prepare(4096, context);
    engine.sitePageSink()->addPage("/index.html", "Home", {"/a.html", "/b.gif"});
    struct Line {
        const char* host;
        const char* url;
        const char* referrer;
        const char* agent;
        int status;
    };
    const Line lines[] = {
        {"www.example.de", "/a.html", "http://google.com/search?q=blue+cat",
         "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)", 200},
        {"mail.example.org", "/b.gif", "http://www.site.example/index.html", "Lynx/2.8", 206},
        {"192.0.2.7", "/gone.html", "http://other.example/links", "Opera/9.0 (X11; SunOS)", 404},
        {"www.example.de", "/c.zip", "-", "Mozilla/4.0 (compatible; MSIE 4.0; Mac_PowerPC)", 500},
    };
    auto rec = std::make_unique<tw::ingest::LogRecord>();
    std::uint64_t n = 0;
    for (const Line& l : lines) {
        rec->host.assign(l.host);
        rec->url.assign(l.url);
        rec->referrer.assign(l.referrer);
        rec->agent.assign(l.agent);
        rec->status = l.status;
        rec->bytes = 1000;
        rec->time = 1600000000 + static_cast<std::int64_t>(n) * 4000;
        rec->hour = 10;
        rec->weekday = 2;
        rec->caps = {true, true, true, false};
        rec->sequence = n++;
        engine.analyse(*rec);
    }
    engine.finalise();
    tw::document::SavedHeader header{def.Name, def.Root, def.Domain, def.DefaultPage,
                                     def.trackFiles};
    return tw::document::writeSavedReport(header, engine.statistics(), engine.results(),
                                          engine.runStart());
}

}  // namespace

// With TALLYWEB_FUZZ_SEED set, writes the seed report to that path first, and beside it the
// seed cut at every sixteenth of its length and one byte short: cuts land inside every kind of
// section, where mutations of the whole file rarely reach.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* path = std::getenv("TALLYWEB_FUZZ_SEED")) {
        const std::string seed = seedReport();
        std::ofstream(path, std::ios::binary) << seed;
        for (std::size_t k = 0; k <= 16 && !seed.empty(); ++k) {
            const std::size_t n = k < 16 ? seed.size() * k / 16 : seed.size() - 1;
            std::ofstream(std::string(path) + ".cut" + std::to_string(n), std::ios::binary)
                << seed.substr(0, n);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw::document;
    // The reader clears an engine for each input it keeps; small arena blocks keep that cheap.
    static tw::engine::StatisticsEngine first(1 << 20), second(1 << 20);
    YesPrompter prompter;
    SavedHeader header{"before"};
    const std::size_t arenaBefore = first.statistics().arena.bytesInUse();
    const std::uint64_t hitsBefore = first.results().totalHits;
    const LoadResult r = readSavedReport(
        std::string_view(reinterpret_cast<const char*>(data), size), prompter, first, header);
    if (r.status != LoadStatus::Loaded) {
        // Running out of arena is the one refusal that empties the engine; these inputs are far
        // too small for it.
        if (r.status == LoadStatus::OutOfMemory || header.name != "before" ||
            first.statistics().arena.bytesInUse() != arenaBefore ||
            first.results().totalHits != hitsBefore)
            std::abort();
        return 0;
    }

    const std::string saved =
        writeSavedReport(header, first.statistics(), first.results(), first.runStart());
    SavedHeader again;
    if (readSavedReport(saved, prompter, second, again).status != LoadStatus::Loaded ||
        second.statistics().counters.rejectedLines != first.statistics().counters.rejectedLines)
        std::abort();
    // Table chains may come back in another order, so the bytes are compared by length only.
    if (writeSavedReport(again, second.statistics(), second.results(), second.runStart()).size() !=
        saved.size())
        std::abort();
    return 0;
}
