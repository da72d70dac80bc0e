#include "app/console.h"

#include <unistd.h>

#include "platform/strings.h"

namespace tw::app {

using platform::Answer;

void ConsolePrompter::print(std::string_view prefix, std::string_view text) {
    std::lock_guard lock(mutex_);
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (c != '\r') clean.push_back(c == '\t' ? ' ' : c);
    std::fprintf(out_, "%.*s%s\n", static_cast<int>(prefix.size()), prefix.data(), clean.c_str());
    std::fflush(out_);
}

void ConsolePrompter::message(std::string_view text, platform::Icon icon, int) {
    print(icon == platform::Icon::Error ? "error: " : "", text);
}

void ConsolePrompter::messageWithCaption(std::string_view text, std::string_view,
                                         platform::Icon icon) {
    message(text, icon, 0);
}

Answer ConsolePrompter::askYesNo(std::string_view text, platform::Icon) {
    print("", text);
    print("", "(answered Yes)");
    return Answer::Yes;
}

Answer ConsolePrompter::askOkCancel(std::string_view text, platform::Icon) {
    print("warning: ", text);
    return Answer::Ok;
}

Answer ConsolePrompter::askYesNoCancel(std::string_view text, platform::Icon) {
    print("", text);
    print("", "(answered Yes)");
    return Answer::Yes;
}

// Reminders are for someone at a screen: headless, they are acknowledged without being shown
// (the connection reminder of a run with lookups would otherwise wait for nobody).
platform::NoticeResult ConsolePrompter::notice(std::string_view, bool, int) {
    return {Answer::Ok, false};
}

ConsoleProgress::ConsoleProgress(std::FILE* out) : out_(out), tty_(::isatty(::fileno(out)) == 1) {}

void ConsoleProgress::draw() {
    if (!tty_) return;
    const int width = 30;
    const int filled = percent_ < 0 ? 0 : percent_ * width / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(width, '.');
    std::string line = text_.substr(0, text_.find('\r'));
    if (line.size() > 40) line = line.substr(0, 37) + "...";
    std::fprintf(out_, "\r[%s] %3d%% %-40s", bar.c_str(), percent_ < 0 ? 0 : percent_,
                 line.c_str());
    std::fflush(out_);
}

void ConsoleProgress::progress(int percent, std::optional<std::string_view> text) {
    std::lock_guard lock(mutex_);
    const bool changed = percent != percent_ || text.has_value();
    percent_ = percent;
    if (text) text_.assign(*text);
    if (changed) draw();
}

void ConsoleProgress::status(std::string_view text) {
    std::lock_guard lock(mutex_);
    status_.assign(text);
}

void ConsoleProgress::completed() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
        if (tty_) {
            std::fprintf(out_, "\r%*s\r", 80, "");
            std::fflush(out_);
        }
    }
    cv_.notify_all();
}

void ConsoleProgress::waitUntilShown() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return shown_; });
}

void ConsoleProgress::exec(Layout) {
    std::unique_lock lock(mutex_);
    done_ = false;
    percent_ = -1;
    text_ = platform::text(platform::sid::Initializing);
    shown_ = true;
    draw();
    cv_.notify_all();
    cv_.wait(lock, [&] { return done_; });
    shown_ = false;
}

}  // namespace tw::app
