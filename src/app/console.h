#pragma once
// The command line's answers to the program's prompts, and its progress display.
//
// Messages go to the error stream. Questions get the answer that loses nothing: go on with
// what was read, skip a file rather than abort. One-time notices are acknowledged
// unseen.
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/progress.h"
#include "platform/prompts.h"

namespace tw::app {

class ConsolePrompter final : public platform::Prompter {
  public:
    explicit ConsolePrompter(std::FILE* out) : out_(out) {}
    void message(std::string_view text, platform::Icon icon, int helpContext) override;
    void messageWithCaption(std::string_view text, std::string_view caption,
                            platform::Icon icon) override;
    platform::Answer askYesNo(std::string_view text, platform::Icon icon) override;
    platform::Answer askOkCancel(std::string_view text, platform::Icon icon) override;
    platform::Answer askYesNoCancel(std::string_view text, platform::Icon icon) override;
    platform::NoticeResult notice(std::string_view text, bool okCancel, int helpContext) override;
    void openHelp(int) override {}
    // Nobody is there to type a password: the request is given up.
    std::optional<platform::LoginAnswer> askLogin(std::string_view, std::string_view) override {
        return std::nullopt;
    }

  private:
    void print(std::string_view prefix, std::string_view text);
    std::mutex mutex_;
    std::FILE* out_;
};

// A progress bar on the error stream when it is a terminal; silent otherwise.
class ConsoleProgress final : public platform::ProgressDialog {
  public:
    explicit ConsoleProgress(std::FILE* out);
    void progress(int percent, std::optional<std::string_view> text) override;
    void status(std::string_view text) override;
    void completed() override;
    void waitUntilShown() override;
    void exec(Layout layout) override;

  private:
    void draw();
    std::FILE* out_;
    bool tty_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool shown_ = false;
    bool done_ = false;
    int percent_ = -1;
    std::string text_;
    std::string status_;
};

}  // namespace tw::app
