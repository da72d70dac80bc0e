#pragma once
// What a pure function gave for each distinct text, so the analysis works out a user agent's
// classes or a host's search site once per run instead of once per record.
//
// Bounded: past `limit` texts new ones are computed without being remembered, so a log of
// forged agents or hosts cannot grow the cache without end. Not thread-safe; the analysis uses
// it under its lock when workers run in parallel.
#include <array>
#include <cstddef>
#include <cstring>
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
        const void* hint = nullptr;
        Value computed;
        const Value* v = slot(text, compute, hint, computed);
        return v != nullptr ? *v : computed;
    }
    // The remembered value itself, which the caller may complete (a value that refers to where
    // the text was counted), starting from `hint`: an entry an earlier call left there (or
    // null), tried before anything else; it is left on the entry that holds `text`, or null
    // when the cache is full. Entries stay put until clear(), so a hint kept elsewhere stays
    // valid until then. Null when the cache is full, `computed` then holding what `compute` gave.
    template <typename Compute>
    Value* slot(std::string_view text, Compute&& compute, const void*& hint, Value& computed) {
        if (auto* e = static_cast<Entry*>(const_cast<void*>(hint)); e != nullptr && same(e, text))
            return &e->second;
        Entry* e = recent(text);
        if (e == nullptr) {
            const auto it = map_.find(text);
            if (it != map_.end()) {
                e = &*it;
                remember(e);
            } else {
                computed = compute(text);
                hint = nullptr;
                if (map_.size() >= limit_) return nullptr;
                e = &*map_.emplace(text, computed).first;
                remember(e);
            }
        }
        hint = e;
        return &e->second;
    }
    // What was remembered for `text`, or null: for values that are filled in after the lookup.
    Value* find(std::string_view text) {
        if (Entry* e = recent(text)) return &e->second;
        const auto it = map_.find(text);
        if (it == map_.end()) return nullptr;
        remember(&*it);
        return &it->second;
    }
    // Remembers `value` for `text` (unless the cache is full).
    void put(std::string_view text, const Value& value) {
        if (map_.size() < limit_) remember(&*map_.insert_or_assign(std::string(text), value).first);
    }

    void clear() {
        map_.clear();
        recent_ = {};
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
    using Map = std::unordered_map<std::string, Value, Hash, std::equal_to<>>;
    using Entry = typename Map::value_type;

    // The requests of a few visits at once interleave with the same few texts: comparing with
    // the last four (most differ in length, which costs one test) is cheaper than hashing a
    // long user agent again.
    static bool same(const Entry* e, std::string_view text) {
        return e->first.size() == text.size() &&
               std::memcmp(e->first.data(), text.data(), text.size()) == 0;
    }
    Entry* recent(std::string_view text) {
        for (Entry* e : recent_)
            if (e != nullptr && same(e, text)) return e;
        return nullptr;
    }
    void remember(Entry* e) {
        recent_[next_] = e;
        next_ = (next_ + 1) % recent_.size();
    }

    std::size_t limit_;
    Map map_;
    // Elements of an unordered_map stay put when it rehashes, so the pointers stay valid.
    std::array<Entry*, 4> recent_{};
    std::size_t next_ = 0;
};

}  // namespace tw::engine
