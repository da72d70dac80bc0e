#pragma once
// Test doubles for the platform seams.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/mapped_file.h"
#include "platform/progress.h"
#include "platform/prompts.h"

namespace tw::test {

// Files held in memory, mapped with any granularity (1 by default, so tests can use stretches
// of a few bytes). Can be told to fail the n-th map() call of a file.
class MemoryFileOpener final : public platform::FileOpener {
  public:
    void add(const std::string& path, std::string content) { files_[path] = std::move(content); }
    void setGranularity(std::size_t g) { granularity_ = g; }
    // Fails the n-th (1-based) window mapped after the sniff window, for every file.
    void failWindow(int n) { failWindow_ = n; }
    std::unique_ptr<platform::MappedFile> open(const std::string& path,
                                               std::string* error) override;
    std::size_t largestWindow() const { return largest_; }
    int opens() const { return opens_; }

  private:
    std::map<std::string, std::string> files_;
    std::size_t granularity_ = 1;
    int failWindow_ = 0;
    std::size_t largest_ = 0;
    int opens_ = 0;
    friend class MemoryMappedFile;
};

// A progress dialog that records what it was sent and can cancel after a number of reports.
class FakeProgressDialog final : public platform::ProgressDialog {
  public:
    struct Report {
        int percent;
        std::optional<std::string> text;
    };
    void progress(int percent, std::optional<std::string_view> text) override;
    void status(std::string_view text) override;
    void completed() override;
    void waitUntilShown() override;
    void exec(Layout layout) override;

    // Sets the cancel flag on the n-th progress report (1-based); 0 never.
    void cancelOnReport(int n) { cancelOn_ = n; }
    std::vector<Report> reports() const;
    std::vector<std::string> statuses() const;
    int completions() const { return completions_.load(); }
    std::optional<Layout> lastLayout() const { return layout_; }

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool shown_ = false, done_ = false;
    std::vector<Report> reports_;
    std::vector<std::string> statuses_;
    std::atomic<int> completions_{0};
    int cancelOn_ = 0;
    std::optional<Layout> layout_;
};

// Records every prompt; answers from scripted queues, else Yes / Ok / not ticked.
class FakePrompter final : public platform::Prompter {
  public:
    enum class Kind { Message, YesNo, OkCancel, YesNoCancel, Notice, Help, Login };
    struct Event {
        Kind kind;
        std::string text;
        platform::Icon icon = platform::Icon::None;
        int help = 0;
        std::string caption;
    };
    void message(std::string_view text, platform::Icon icon, int helpContext) override;
    void messageWithCaption(std::string_view text, std::string_view caption,
                            platform::Icon icon) override;
    platform::Answer askYesNo(std::string_view text, platform::Icon icon) override;
    platform::Answer askOkCancel(std::string_view text, platform::Icon icon) override;
    platform::Answer askYesNoCancel(std::string_view text, platform::Icon icon) override;
    platform::NoticeResult notice(std::string_view text, bool okCancel, int helpContext) override;
    void openHelp(int helpContext) override;
    // Answers from queueLogin(), else gives up.
    std::optional<platform::LoginAnswer> askLogin(std::string_view server,
                                                  std::string_view user) override;
    void queueLogin(platform::LoginAnswer a) { logins_.push_back(std::move(a)); }

    void queueAnswer(platform::Answer a) { answers_.push_back(a); }
    // Forgets the events so far.
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    void queueNotice(platform::NoticeResult r) { notices_.push_back(r); }
    std::vector<Event> events() const;
    // Texts of the events, in order, for compact assertions.
    std::vector<std::string> texts() const;

  private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    std::deque<platform::Answer> answers_;
    std::deque<platform::LoginAnswer> logins_;
    std::deque<platform::NoticeResult> notices_;
};

class FakeClock final : public platform::Clock {
  public:
    std::int64_t nowSeconds() const override { return now_; }
    // Each call advances the monotonic clock by `stepMs`.
    std::int64_t monotonicMillis() const override { return ms_ += stepMs_; }
    void setNow(std::int64_t s) { now_ = s; }
    void setStepMillis(std::int64_t ms) { stepMs_ = ms; }

  private:
    std::int64_t now_ = 1700000000;
    mutable std::atomic<std::int64_t> ms_{0};
    std::int64_t stepMs_ = 0;
};

}  // namespace tw::test
