#include "engine/string_arena.h"

#include <cstring>

namespace tw::engine {

char* StringArena::allocateLocked(std::size_t n) {
    if (exhausted_ || n > blockBytes_) {
        if (n > blockBytes_) exhausted_ = true;
        return nullptr;
    }
    const int before = blocks();
    if (blocks_.empty() || blockBytes_ - pos_ < n) {
        if (before >= maxBlocks_) {
            exhausted_ = true;
            return nullptr;
        }
        if (!blocks_.empty()) abandoned_ += blockBytes_ - pos_;
        // new char[] leaves the pages untouched, so the system commits them only as texts
        // are written.
        blocks_.emplace_back(new (std::nothrow) char[blockBytes_]);
        if (!blocks_.back()) {
            blocks_.pop_back();
            exhausted_ = true;
            return nullptr;
        }
        pos_ = 0;
    }
    char* p = blocks_.back().get() + pos_;
    if (meter_ != nullptr) {
        meter_->add(static_cast<std::int64_t>(n));
        metered_ += static_cast<std::int64_t>(n);
    }
    undo_[1] = undo_[0];
    undo_[0] = {p, pos_, blocks() - 1};
    pos_ += n;
    return p;
}

char* StringArena::allocate(std::size_t n) {
    if (!useLocks_) return allocateLocked(n);
    std::lock_guard lock(mutex_);
    return allocateLocked(n);
}

Text StringArena::copy(std::string_view s) {
    char* p = allocate(s.size());
    if (p == nullptr) return {};
    if (!s.empty()) std::memcpy(p, s.data(), s.size());
    return {p, static_cast<std::uint32_t>(s.size())};
}

void StringArena::free(const void* p) {
    std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
    if (useLocks_) lock.lock();
    if (p == nullptr || p != undo_[0].ptr) return;
    // Only a text of the current block moves the position back; the start of a new block
    // cannot give back the abandoned end of the old one.
    if (undo_[0].block == blocks() - 1) pos_ = undo_[0].before;
    undo_[0] = undo_[1];
    undo_[1] = {};
}

void StringArena::setMeter(MemoryMeter* meter) {
    std::lock_guard lock(mutex_);
    if (meter_ != nullptr) meter_->add(-metered_);
    meter_ = meter;
    if (meter_ != nullptr) meter_->add(metered_);
}

void StringArena::reset() {
    std::lock_guard lock(mutex_);
    if (meter_ != nullptr) meter_->add(-metered_);
    metered_ = 0;
    blocks_.clear();
    pos_ = 0;
    undo_[0] = undo_[1] = {};
    exhausted_ = false;
    abandoned_ = 0;
}

std::size_t StringArena::bytesInUse() const {
    std::lock_guard lock(mutex_);
    if (blocks_.empty()) return 0;
    return (blocks_.size() - 1) * blockBytes_ - abandoned_ + pos_;
}

}  // namespace tw::engine
