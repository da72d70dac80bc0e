#pragma once
// Progress reporting of a background job, and the cancel flag it polls.
//
// Contract:
//  - progress(), status() and completed() are called from the job thread only.
//  - progress() is synchronous: it returns once the receiver has taken the values.
//  - status() may be handled later; completed() is the job's last call.
//  - The cancel flag is set by another thread (the user) at any time and polled by every long
//    loop; reading it is a relaxed atomic load, cheap enough for once per log line.
#include <atomic>
#include <optional>
#include <string_view>

namespace tw::platform {

class CancelFlag {
  public:
    bool isSet() const { return flag_.load(std::memory_order_relaxed); }
    void set() { flag_.store(true, std::memory_order_relaxed); }
    void clear() { flag_.store(false, std::memory_order_relaxed); }

  private:
    std::atomic<bool> flag_{false};
};

class Progress {
  public:
    virtual ~Progress() = default;
    // percent 0..100; text absent keeps the current main text.
    virtual void progress(int percent, std::optional<std::string_view> text) = 0;
    // The dialog's second line (reverse-lookup status).
    virtual void status(std::string_view text) = 0;
    virtual void completed() = 0;
    CancelFlag& cancelFlag() { return cancel_; }
    bool cancelled() const { return cancel_.isSet(); }

  private:
    CancelFlag cancel_;
};

// A progress dialog that a run shows while its analysis thread works.
class ProgressDialog : public Progress {
  public:
    enum class Layout { Plain, WithLookupStatus };
    // Called by the job thread before its first report: blocks until the dialog is on screen.
    virtual void waitUntilShown() = 0;
    // Called by the owning (user-interface) thread: shows the dialog and returns once the job
    // has called completed().
    virtual void exec(Layout layout) = 0;
};

}  // namespace tw::platform
