#include "support/fakes.h"

#include <algorithm>

namespace tw::test {

class MemoryMappedFile final : public platform::MappedFile {
  public:
    MemoryMappedFile(MemoryFileOpener& owner, const std::string& data)
        : owner_(owner), data_(data) {}
    std::uint64_t size() const override { return data_.size(); }
    std::size_t granularity() const override { return owner_.granularity_; }
    bool map(std::uint64_t offset, std::size_t length, platform::MapView& out) override {
        out = {};
        ++maps_;
        // The first map is the sniff window; failures count the windows after it.
        if (owner_.failWindow_ > 0 && maps_ - 1 == owner_.failWindow_) return false;
        if (offset % owner_.granularity_ != 0 || offset >= data_.size()) return false;
        length = std::min<std::size_t>(length, data_.size() - offset);
        // A private copy per window, so a read past the window shows up under ASan.
        window_.assign(data_.data() + offset, length);
        window_.shrink_to_fit();
        owner_.largest_ = std::max(owner_.largest_, length);
        out.data = window_.data();
        out.size = length;
        return true;
    }
    void unmap() override { window_.clear(); }

  private:
    MemoryFileOpener& owner_;
    const std::string& data_;
    std::string window_;
    int maps_ = 0;
};

std::unique_ptr<platform::MappedFile> MemoryFileOpener::open(const std::string& path,
                                                             std::string* error) {
    ++opens_;
    auto it = files_.find(path);
    if (it == files_.end()) {
        if (error) *error = "no such file";
        return nullptr;
    }
    return std::make_unique<MemoryMappedFile>(*this, it->second);
}

void FakeProgressDialog::progress(int percent, std::optional<std::string_view> text) {
    std::lock_guard lock(mutex_);
    Report r{percent, std::nullopt};
    if (text) r.text.emplace(*text);
    reports_.push_back(std::move(r));
    if (cancelOn_ > 0 && static_cast<int>(reports_.size()) == cancelOn_) cancelFlag().set();
}

void FakeProgressDialog::status(std::string_view text) {
    std::lock_guard lock(mutex_);
    statuses_.emplace_back(text);
}

void FakeProgressDialog::completed() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    ++completions_;
    cv_.notify_all();
}

void FakeProgressDialog::waitUntilShown() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return shown_; });
}

void FakeProgressDialog::exec(Layout layout) {
    std::unique_lock lock(mutex_);
    layout_ = layout;
    done_ = false;
    shown_ = true;
    cv_.notify_all();
    cv_.wait(lock, [&] { return done_; });
    shown_ = false;
}

std::vector<FakeProgressDialog::Report> FakeProgressDialog::reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
}

std::vector<std::string> FakeProgressDialog::statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
}

void FakePrompter::message(std::string_view text, platform::Icon icon, int helpContext) {
    std::lock_guard lock(mutex_);
    events_.push_back({Kind::Message, std::string(text), icon, helpContext, {}});
}

void FakePrompter::messageWithCaption(std::string_view text, std::string_view caption,
                                      platform::Icon icon) {
    std::lock_guard lock(mutex_);
    events_.push_back({Kind::Message, std::string(text), icon, 0, std::string(caption)});
}

platform::Answer FakePrompter::askYesNo(std::string_view text, platform::Icon icon) {
    std::lock_guard lock(mutex_);
    events_.push_back({Kind::YesNo, std::string(text), icon, 0, {}});
    if (answers_.empty()) return platform::Answer::Yes;
    const platform::Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

std::optional<platform::LoginAnswer> FakePrompter::askLogin(std::string_view server,
                                                            std::string_view user) {
    std::lock_guard lock(mutex_);
    events_.push_back(
        {Kind::Login, std::string(server) + " " + std::string(user), platform::Icon::None, 0, {}});
    if (logins_.empty()) return std::nullopt;
    platform::LoginAnswer a = logins_.front();
    logins_.pop_front();
    return a;
}

platform::Answer FakePrompter::askYesNoCancel(std::string_view text, platform::Icon icon) {
    std::lock_guard lock(mutex_);
    events_.push_back({Kind::YesNoCancel, std::string(text), icon, 0, {}});
    if (answers_.empty()) return platform::Answer::Yes;
    const platform::Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

platform::Answer FakePrompter::askOkCancel(std::string_view text, platform::Icon icon) {
    std::lock_guard lock(mutex_);
    events_.push_back({Kind::OkCancel, std::string(text), icon, 0, {}});
    if (answers_.empty()) return platform::Answer::Ok;
    const platform::Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

platform::NoticeResult FakePrompter::notice(std::string_view text, bool, int helpContext) {
    std::lock_guard lock(mutex_);
    events_.push_back({Kind::Notice, std::string(text), platform::Icon::None, helpContext, {}});
    if (notices_.empty()) return {};
    const platform::NoticeResult r = notices_.front();
    notices_.pop_front();
    return r;
}

void FakePrompter::openHelp(int helpContext) {
    std::lock_guard lock(mutex_);
    events_.push_back({Kind::Help, {}, platform::Icon::None, helpContext, {}});
}

std::vector<FakePrompter::Event> FakePrompter::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::string> FakePrompter::texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const Event& e : events_) out.push_back(e.text);
    return out;
}

}  // namespace tw::test
