#pragma once
// Where a short text went the last time it was met: a fixed-size, two-way set-associative cache
// of values keyed by texts it holds copies of.
//
// Unlike TextCache it never fills up: a text whose set is taken replaces the older of the two,
// so a log of millions of distinct hosts or URLs keeps paying one probe and one compare for a
// miss instead of a hash-map search that can no longer succeed. Texts longer than kKeyBytes are
// never held (find() gives null, put() ignores them): the caller does the full work for them.
//
// A cache that hardly ever finds anything (keys drawn evenly from millions) costs a memory miss
// per probe and saves none, so it watches its hit rate: over a window of kWindow probes with
// fewer than one hit in eight it stops looking for the next kQuietProbes probes (find() gives
// null, put() ignores), then looks again. Either way the caller's results are the same.
//
// Memory is taken at the first put (kSlots slots, about 5 MB for a 24-byte value) and kept until
// destruction; clear() forgets every entry in constant time. Not thread-safe.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

#include "engine/word_hash.h"

namespace tw::engine {

template <typename Value>
class DistinctCache {
  public:
    static constexpr std::size_t kKeyBytes = 46;
    static constexpr std::size_t kSlots = std::size_t{1} << 16;

    static constexpr std::uint32_t kWindow = 4096;
    static constexpr std::uint32_t kQuietProbes = 7 * kWindow;

    Value* find(std::string_view text) {
        if (quiet_ > 0) {
            --quiet_;
            return nullptr;
        }
        if (slots_ == nullptr || text.size() > kKeyBytes) return nullptr;
        if (++probes_ == kWindow) {
            if (hits_ < kWindow / 8) quiet_ = kQuietProbes;
            probes_ = hits_ = 0;
        }
        const std::uint32_t h = hash(text);
        Slot* set = &slots_.get()[(h & kSetMask) * 2];
        for (int way = 0; way < 2; ++way) {
            Slot& s = set[way];
            if (s.generation == generation_ && s.hash == h && s.length == text.size() &&
                std::memcmp(s.key, text.data(), text.size()) == 0) {
                set[0].recent = static_cast<std::uint8_t>(way);
                ++hits_;
                return &s.value;
            }
        }
        return nullptr;
    }

    // Returns the value as held, or null when it is not held.
    Value* put(std::string_view text, const Value& value) {
        if (quiet_ > 0 || text.size() > kKeyBytes) return nullptr;
        if (slots_ == nullptr) {
            // Zeroed pages straight from the system: a slot of generation 0 is empty.
            slots_.reset(static_cast<Slot*>(std::calloc(kSlots, sizeof(Slot))));
            if (slots_ == nullptr) return nullptr;
        }
        const std::uint32_t h = hash(text);
        Slot* set = &slots_.get()[(h & kSetMask) * 2];
        // The way not used last, unless a way is free.
        int way = set[0].recent == 0 ? 1 : 0;
        if (set[0].generation != generation_) way = 0;
        else if (set[1].generation != generation_) way = 1;
        Slot& s = set[way];
        s.generation = generation_;
        s.hash = h;
        s.length = static_cast<std::uint8_t>(text.size());
        std::memcpy(s.key, text.data(), text.size());
        s.value = value;
        set[0].recent = static_cast<std::uint8_t>(way);
        return &s.value;
    }

    void clear() {
        probes_ = hits_ = quiet_ = 0;
        // Slots of an older generation read as empty; only a wrap of the counter needs a wipe.
        if (++generation_ == 0) {
            if (slots_ != nullptr)
                for (std::size_t i = 0; i < kSlots; ++i) slots_.get()[i].generation = 0;
            generation_ = 1;
        }
    }

  private:
    static constexpr std::uint32_t kSetMask = kSlots / 2 - 1;
    struct Slot {
        std::uint32_t generation;
        std::uint32_t hash;
        std::uint8_t length;
        std::uint8_t recent;  // in a set's first slot: which way was used last
        char key[kKeyBytes];
        Value value;
    };

    static std::uint32_t hash(std::string_view s) {
        return static_cast<std::uint32_t>(wordHash(s) >> 32);
    }

    static_assert(std::is_trivially_copyable_v<Value>, "slots are raw zeroed memory");
    struct Free {
        void operator()(Slot* p) const { std::free(p); }
    };
    std::unique_ptr<Slot, Free> slots_;
    std::uint32_t generation_ = 1;
    std::uint32_t probes_ = 0, hits_ = 0, quiet_ = 0;
};

}  // namespace tw::engine
