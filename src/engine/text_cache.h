#pragma once
// What a pure function gave for each distinct text, so the analysis works out a user agent's
// classes or a host's search site once per run instead of once per record.
//
// Bounded: past `limit` texts new ones are computed without being remembered, so a log of
// forged agents or hosts cannot grow the cache without end. Not thread-safe; the analysis uses
// it under its lock when workers run in parallel.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/word_hash.h"

namespace tw::engine {

template <typename Value>
class TextCache {
  public:
    explicit TextCache(std::size_t limit) : limit_(limit) {}

    template <typename Compute>
    Value get(std::string_view text, Compute&& compute) {
        // The requests of one visit follow one another with the same text: comparing with the
        // last one is cheaper than hashing a long user agent again.
        if (last_ != nullptr && last_->first == text) return last_->second;
        const auto it = map_.find(text);
        if (it != map_.end()) {
            last_ = &*it;
            return it->second;
        }
        const Value v = compute(text);
        if (map_.size() < limit_) last_ = &*map_.emplace(text, v).first;
        return v;
    }
    // What was remembered for `text`, or null: for values that are filled in after the lookup.
    Value* find(std::string_view text) {
        if (last_ != nullptr && last_->first == text) return &last_->second;
        const auto it = map_.find(text);
        if (it == map_.end()) return nullptr;
        last_ = &*it;
        return &it->second;
    }
    // Remembers `value` for `text` (unless the cache is full).
    void put(std::string_view text, const Value& value) {
        if (map_.size() < limit_) last_ = &*map_.insert_or_assign(std::string(text), value).first;
    }

    void clear() {
        map_.clear();
        last_ = nullptr;
    }
    std::size_t size() const { return map_.size(); }

  private:
    // Transparent, so a lookup by string_view builds no string.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return static_cast<std::size_t>(wordHash(s));
        }
    };
    std::size_t limit_;
    std::unordered_map<std::string, Value, Hash, std::equal_to<>> map_;
    // Elements of an unordered_map stay put when it rehashes, so the pointer stays valid.
    typename decltype(map_)::value_type* last_ = nullptr;
};

}  // namespace tw::engine
