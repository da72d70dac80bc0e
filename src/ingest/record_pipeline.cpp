#include "ingest/record_pipeline.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/strings.h"

namespace tw::ingest {

namespace {

void forgetWindow(LogRecord& rec) {
    for (TextField* f : {&rec.host, &rec.url, &rec.referrer, &rec.agent, &rec.user, &rec.serverIp})
        if (f->outside != nullptr) f->assign("", 0);
}

constexpr std::uint64_t kAllSlots = ~std::uint64_t{0};
static_assert(kSlotCount == 64, "the free-slot set is one 64-bit word");
constexpr auto kStopWait = std::chrono::milliseconds(5000);

bool isControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

}  // namespace

// Everything the worker threads touch. Owned jointly by the pipeline and the workers, so a
// worker abandoned at stop() can still return safely from a hung analysis.
struct RecordPipeline::Workers {
    std::shared_ptr<RecordAnalyser> analyser;
    std::unique_ptr<SlotArray> slots = makeSlots();
    // The set of free slots stands in for 64 "slot free" events; the reading thread takes the
    // lowest free one, which is what a wait-for-any over events would give.
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t freeSet = 0;
    int ended = 0;
    std::array<std::atomic<bool>, kSlotCount> ready{};  // the "slot ready" events
    std::array<std::atomic<bool>, kSlotCount> done{};
    std::atomic<bool> stopFlag{false};
    std::array<std::thread, kSlotCount> threads;

    void markFree(int i) {
        {
            std::lock_guard lock(mutex);
            freeSet |= std::uint64_t{1} << i;
        }
        changed.notify_all();
    }

    static void run(std::shared_ptr<Workers> self, int i) {
        for (;;) {
            self->markFree(i);
            self->ready[i].wait(false, std::memory_order_acquire);
            self->ready[i].store(false, std::memory_order_relaxed);
            if (self->stopFlag.load(std::memory_order_acquire)) break;
            self->analyser->analyse((*self->slots)[static_cast<std::size_t>(i)]);
        }
        self->done[i].store(true, std::memory_order_release);
        {
            std::lock_guard lock(self->mutex);
            ++self->ended;
        }
        self->changed.notify_all();
    }
};

bool splitAtLines(platform::FileOpener& files, const std::string& path, std::uint64_t size,
                  int parts, std::vector<std::uint64_t>& bounds) {
    bounds.assign(1, 0);
    std::unique_ptr<platform::MappedFile> file = files.open(path, nullptr);
    if (!file) return false;
    size = std::min(size, file->size());
    const std::size_t gran = std::max<std::size_t>(1, file->granularity());
    // A line longer than this near a cut leaves the two parts around it as one.
    constexpr std::uint64_t kSearch = 1 << 20;
    for (int k = 1; k < parts; ++k) {
        const std::uint64_t target = size / static_cast<std::uint64_t>(parts) * k;
        if (target <= bounds.back()) continue;
        const std::uint64_t winStart = target / gran * gran;
        platform::MapView view;
        const auto want =
            static_cast<std::size_t>(std::min(size - winStart, target - winStart + kSearch));
        if (!file->map(winStart, want, view)) return false;
        const std::size_t from = static_cast<std::size_t>(target - winStart);
        const void* lf =
            from < view.size ? std::memchr(view.data + from, '\n', view.size - from) : nullptr;
        if (lf != nullptr) {
            const std::uint64_t cut =
                winStart + static_cast<std::uint64_t>(static_cast<const char*>(lf) - view.data) + 1;
            if (cut < size && cut > bounds.back()) bounds.push_back(cut);
        }
        file->unmap();
    }
    bounds.push_back(size);
    return true;
}

bool firstRecordTime(platform::FileOpener& files, const std::string& path,
                     const ReaderOptions& options, std::int64_t& time) {
    std::unique_ptr<platform::MappedFile> file = files.open(path, nullptr);
    if (!file || file->size() == 0) return false;
    platform::MapView view;
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(file->size(), 65536));
    if (!file->map(0, length, view)) return false;
    const std::string_view text(view.data, view.size);
    ReaderState st;
    st.options = options;
    const int format = detectFormat(text, st.w3c, options);
    const LineReader reader = readerFor(format);
    if (reader == nullptr) return false;
    readW3cDate(text, st);
    auto rec = std::make_unique<LogRecord>();
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t e = text.find_first_of("\r\n", i);
        // The window may have cut its last line.
        if (e == std::string_view::npos) {
            if (text.size() < file->size()) break;
            e = text.size();
        }
        const std::string_view line = text.substr(i, e - i);
        i = e + 1;
        if (line.empty()) continue;
        if (line[0] == '#') {
            applyDirective(format, line, st);
        } else if (reader(st, line.data(), line.size(), *rec) > 0 && rec->dated()) {
            time = rec->time;
            return true;
        }
    }
    return false;
}

RecordPipeline::RecordPipeline(std::shared_ptr<RecordAnalyser> analyser,
                               platform::FileOpener& files, platform::Progress& progress)
    : analyser_(std::move(analyser)), files_(files), progress_(progress) {}

RecordPipeline::~RecordPipeline() {
    if (started_) stop();
}

void RecordPipeline::start(bool parallel, std::uint64_t progressTotal) {
    if (started_) stop();
    parallel_ = parallel;
    // One record at a time is analysed before the next line is read, with its window mapped;
    // workers may still hold a record when its window goes, so theirs are copies.
    state_.referToLine = !parallel_;
    total_ = progressTotal;
    stats_ = {};
    started_ = true;
    if (!parallel_) {
        if (!ownSlots_) ownSlots_ = makeSlots();
        slots_ = ownSlots_->data();
        return;
    }
    workers_ = std::make_shared<Workers>();
    workers_->analyser = analyser_;
    slots_ = workers_->slots->data();
    for (int i = 0; i < kSlotCount; ++i)
        workers_->threads[static_cast<std::size_t>(i)] = std::thread(Workers::run, workers_, i);
    std::unique_lock lock(workers_->mutex);
    workers_->changed.wait(lock, [&] { return workers_->freeSet == kAllSlots; });
}

int RecordPipeline::stop() {
    if (!started_) return 0;
    started_ = false;
    if (!parallel_) return 0;
    Workers& w = *workers_;
    {
        std::unique_lock lock(w.mutex);
        w.changed.wait_for(lock, kStopWait, [&] { return w.freeSet == kAllSlots; });
    }
    w.stopFlag.store(true, std::memory_order_release);
    for (auto& r : w.ready) {
        r.store(true, std::memory_order_release);
        r.notify_one();
    }
    {
        std::unique_lock lock(w.mutex);
        w.changed.wait_for(lock, kStopWait, [&] { return w.ended == kSlotCount; });
    }
    // A thread cannot be killed safely; one that hangs in its analysis is let go instead, and
    // its share of the worker state keeps everything it touches alive until it returns.
    int abandoned = 0;
    for (int i = 0; i < kSlotCount; ++i) {
        std::thread& t = w.threads[static_cast<std::size_t>(i)];
        if (w.done[i].load(std::memory_order_acquire)) {
            t.join();
        } else {
            t.detach();
            ++abandoned;
        }
    }
    workers_.reset();
    slots_ = nullptr;
    return abandoned;
}

int RecordPipeline::acquireSlot() {
    Workers& w = *workers_;
    std::unique_lock lock(w.mutex);
    // Waits for as long as it takes, but wakes now and then so a cancel is seen even if every
    // worker is stuck in a lookup.
    while (w.freeSet == 0) {
        if (progress_.cancelled()) return -1;
        w.changed.wait_for(lock, std::chrono::milliseconds(100));
    }
    const int i = std::countr_zero(w.freeSet);
    w.freeSet &= ~(std::uint64_t{1} << i);
    return i;
}

void RecordPipeline::dispatch(int slot) {
    slots_[slot].sequence = stats_.records++;
    auto& r = workers_->ready[static_cast<std::size_t>(slot)];
    r.store(true, std::memory_order_release);
    r.notify_one();
}

void RecordPipeline::releaseSlot(int slot) {
    if (parallel_) workers_->markFree(slot);
}

void RecordPipeline::sendProgress(std::uint64_t offset, std::string_view name) {
    const int percent = percentAt(fileBase_ + offset);
    if (parallel_ && percent == 98) {
        progressText_.assign(platform::txt::Analyzing)
            .append(name)
            .append(platform::txt::LastPercentNote);
        progress_.progress(percent, progressText_);
    } else {
        progress_.progress(percent, std::nullopt);
    }
}

int RecordPipeline::percentAt(std::uint64_t done) const {
    return total_ ? static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total_)) : 0;
}

ReadOutcome RecordPipeline::readFile(int format, const std::string& path,
                                     std::uint64_t progressBase, std::uint64_t& size,
                                     std::string_view shownName, const FileRange& range) {
    if (shownName.empty()) shownName = path;
    size = 0;
    lineEnds_ = 0;
    std::unique_ptr<platform::MappedFile> file = files_.open(path, nullptr);
    if (!file) return ReadOutcome::OpenFailed;
    size = file->size();
    if (size == 0) return ReadOutcome::Done;

    platform::MapView view;
    if (!file->map(0, static_cast<std::size_t>(std::min<std::uint64_t>(size, 10000)), view))
        return ReadOutcome::OpenFailed;
    const std::string_view sniff(view.data, view.size);
    if (format == kFormatDetect) format = detectFormat(sniff, state_.w3c, state_.options);
    if (format == kFormatW3cUnusable) return ReadOutcome::UnusableHeader;
    if (format == kFormatW3cMissingFields) return ReadOutcome::MissingFields;
    const LineReader reader = readerFor(format);
    if (reader == nullptr) return ReadOutcome::UnusableHeader;
    // The loop applies each field directive again as it meets it, which also records the
    // header for the bandwidth notice. A "#Date:" anywhere in the sniff window already dates
    // the lines before it.
    state_.caps = capabilitiesFor(format, state_.w3c);
    readW3cDate(sniff, state_);
    file->unmap();

    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    fileBase_ = progressBase;
    if (!quiet_) {
        progressText_.assign(platform::txt::Analyzing).append(name);
        progress_.progress(percentAt(progressBase), progressText_);
    }

    const std::uint64_t end = std::min(range.end, size);
    const std::uint64_t begin = std::min(range.begin, end);
    // Only W3C logs have directives that change how later lines read.
    if (begin > 0 && format == kFormatW3c) {
        directivesOnly_ = true;
        const ReadOutcome o = readLines(*file, format, reader, {0, begin, 0, 1}, name, shownName);
        directivesOnly_ = false;
        if (o != ReadOutcome::Done) return o;
    }
    FileRange part = range;
    part.begin = begin;
    part.end = end;
    return readLines(*file, format, reader, part, name, shownName);
}

ReadOutcome RecordPipeline::readLines(platform::MappedFile& file, int format, LineReader reader,
                                      const FileRange& range, std::string_view name,
                                      std::string_view shownName) {
    platform::MapView view;
    const std::uint64_t size = range.end;
    const std::size_t gran = std::max<std::size_t>(1, file.granularity());
    const std::size_t stretch = std::max(gran, stretchBytes_ / gran * gran);
    const int interval = parallel_ ? 10 : 1000;
    const std::uint64_t scale = std::max<std::uint64_t>(1, range.progressScale);
    int counted = 0;
    std::uint64_t pos = range.begin;  // file offset of the next byte to look at
    std::size_t want = stretch;       // grows only while one line is longer than a stretch
    // Line ends crossed so far; a CR followed by an LF is one, even across two windows.
    std::uint64_t lineEnds = 0;
    bool afterCr = false;

    while (pos < size && !progress_.cancelled() && !analyser_->exhausted()) {
        const std::uint64_t winStart = pos / gran * gran;
        if (!file.map(winStart, want, view)) return ReadOutcome::OpenFailed;
        const char* b = view.data;
        // A part ends where the next one begins, which may be inside this window.
        const std::size_t wlen =
            static_cast<std::size_t>(std::min<std::uint64_t>(view.size, size - winStart));
        const bool reachesEnd = winStart + wlen >= size;
        std::size_t p = static_cast<std::size_t>(pos - winStart);
        std::size_t nextLf = 0;  // cached position of the next LF at or after p (wlen: none)
        bool lfKnown = false;
        // The same for CR: a log without any is searched for one once a window, not once a line.
        std::size_t nextCr = 0;
        bool crKnown = false;
        bool grow = false;

        while (p < wlen) {
            if (progress_.cancelled() || analyser_->exhausted()) break;
            while (p < wlen && isControlByte(static_cast<unsigned char>(b[p]))) {
                if (b[p] == '\r' || (b[p] == '\n' && !afterCr)) ++lineEnds;
                afterCr = b[p] == '\r';
                ++p;
            }
            if (p >= wlen) break;

            if (!lfKnown || nextLf < p) {
                const void* q = std::memchr(b + p, '\n', wlen - p);
                nextLf = q ? static_cast<std::size_t>(static_cast<const char*>(q) - b) : wlen;
                lfKnown = true;
            }
            if (!crKnown || nextCr < p) {
                const void* q = std::memchr(b + p, '\r', wlen - p);
                nextCr = q ? static_cast<std::size_t>(static_cast<const char*>(q) - b) : wlen;
                crKnown = true;
            }
            const std::size_t e = std::min(nextCr, nextLf);
            if (e == wlen && !reachesEnd) {
                // The line goes on past this window: map again from the line's start, so no
                // line is ever cut in two. A line longer than a whole stretch gets a larger
                // window.
                if ((winStart + p) / gran * gran == winStart) {
                    want = static_cast<std::size_t>(
                        std::min<std::uint64_t>(size - winStart, std::uint64_t{want} * 2));
                    grow = true;
                }
                break;
            }

            const char* line = b + p;
            const std::size_t len = e - p;
            if (line[0] == '#') {
                applyDirective(format, std::string_view(line, len), state_);
            } else if (!directivesOnly_) {
                // Without workers the record is analysed here and now, in the one slot.
                const int slot = parallel_ ? acquireSlot() : 0;
                if (slot < 0) break;  // cancelled while every worker was busy
                LogRecord& rec = slots_[slot];
                if (reader(state_, line, len, rec) > 0) {
                    rec.caps = state_.caps;
                    if (parallel_) {
                        dispatch(slot);
                    } else {
                        rec.sequence = stats_.records++;
                        analyser_->analyse(rec);
                    }
                } else {
                    releaseSlot(slot);
                    ++stats_.rejected;
                    if (rejectedSink_)
                        rejectedSink_->rejected(shownName, range.firstLine + lineEnds + 1,
                                                std::string_view(line, len), state_.reject);
                }
            }
            afterCr = false;
            // A reader may stop before the end of its line; the rest of the line is never
            // offered again as a line of its own.
            p = e;
            if (!directivesOnly_) ++stats_.lines;
            if (++counted > interval) {
                if (!quiet_ && !directivesOnly_)
                    sendProgress(range.begin + (winStart + p - range.begin) * scale, name);
                counted = 0;
            }
        }
        pos = winStart + p;
        if (!grow) want = stretch;
        // No field may point into a window that is gone, even one the next reader leaves alone.
        if (state_.referToLine) forgetWindow(slots_[0]);
        file.unmap();
    }
    // The ends of the part's last lines are its own, though no line follows them here.
    if (!directivesOnly_) lineEnds_ = lineEnds;
    if (progress_.cancelled()) return ReadOutcome::Cancelled;
    return analyser_->exhausted() ? ReadOutcome::Exhausted : ReadOutcome::Done;
}

}  // namespace tw::ingest
