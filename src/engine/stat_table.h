#pragma once
// The keyed statistics table: a chained hash table whose items carry their own counters, with
// insert-or-merge as its one write path.
//
// A Kind supplies the item type and its operations:
//   using Item = ...;  struct Totals {...};
//   static std::uint32_t hash(const Item&);
//   static bool equals(const Item&, const Item&);
//   static void merge(Item& stored, const Item& incoming, Totals&);
//   static void onInsert(Item& stored, const Item& incoming, Totals&);
//
// The table starts with the bucket count it is given and doubles it whenever the entries pass
// kMaxLoad per bucket, so chains stay short however large the log. Nodes come from chunks, so an
// insert allocates only now and then. Buckets and chains hold 32-bit node numbers rather than
// pointers: a table of millions of keys saves 8 bytes a node and 4 a bucket, which is most of
// what the biggest logs need beyond their texts (the memory ceiling ends a run long before a
// table could hold 2^32 nodes). With locks on, insertOrMerge() is serialised by the
// table's own lock; reads (forEach, size) happen after the run, on one thread.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/memory_meter.h"

namespace tw::engine {

template <typename Kind>
class StatTable {
  public:
    using Item = typename Kind::Item;
    using Totals = typename Kind::Totals;
    static constexpr std::uint64_t kMaxLoad = 1;

    struct Result {
        Item* item;
        bool inserted;
    };

    explicit StatTable(std::uint32_t buckets = 0) { reset(buckets); }

    void setUseLocks(bool on) { useLocks_ = on; }
    // Where the table counts the memory its nodes and buckets take; null for nowhere.
    void setMeter(MemoryMeter* meter) {
        if (meter_ != nullptr) meter_->add(-metered_);
        meter_ = meter;
        if (meter_ != nullptr) meter_->add(metered_);
    }

    // Empties the table; a bucket count of 0 is taken as 1.
    void reset(std::uint32_t buckets) {
        buckets_.assign(buckets == 0 ? 1 : buckets, kNone);
        meter(-metered_ + static_cast<std::int64_t>(buckets_.size() * sizeof(std::uint32_t)));
        startBuckets_ = buckets_.size();
        growths_ = 0;
        chunks_.clear();
        freeInChunk_ = 0;
        entries_ = 0;
        totals_ = Totals{};
    }

    // Merges `incoming` into the equal item, or stores a copy of it. On `inserted` the table
    // owns whatever the item points to; on found the caller gives its texts back.
    Result insertOrMerge(const Item& incoming) {
        return insertOrMerge(incoming, [](Item&) {});
    }

    // The same, for a probe whose texts are borrowed (a record field, a scratch buffer): only a
    // key that is new gets texts of its own, from `own(storedCopy)`, so a key that is already
    // there costs no allocation and nothing to give back. `own` runs under the table's lock.
    template <typename Own>
    Result insertOrMerge(const Item& probe, Own&& own) {
        std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
        if (useLocks_) lock.lock();
        const std::uint32_t h = Kind::hash(probe);
        if (Node* n = search(h, probe)) {
            Kind::merge(n->item, probe, totals_);
            return {&n->item, false};
        }
        Node* node = link(h, probe);
        own(node->item);
        Kind::onInsert(node->item, probe, totals_);
        if (entries_ > kMaxLoad * buckets_.size()) grow();
        return {&node->item, true};
    }

    // Takes in an item of another table of the same kind (another range of the same log): an
    // equal item is combined with it by `combine(stored, other)`, a new key is stored as a copy
    // whose texts `own(storedCopy)` makes this table's; false from `own` stores nothing. Kind's
    // merge and onInsert are not called: the other table already applied them to its records.
    template <typename Own, typename Combine>
    Result absorb(const Item& other, Own&& own, Combine&& combine) {
        const std::uint32_t h = Kind::hash(other);
        if (Node* n = search(h, other)) {
            combine(n->item, other);
            return {&n->item, false};
        }
        Item copy = other;
        if (!own(copy)) return {nullptr, false};
        Node* node = link(h, copy);
        if (entries_ > kMaxLoad * buckets_.size()) grow();
        return {&node->item, true};
    }

    // The stored item equal to `probe`, or nullptr.
    const Item* find(const Item& probe) const {
        const Node* n = search(Kind::hash(probe), probe);
        return n != nullptr ? &n->item : nullptr;
    }
    Item* findMutable(const Item& probe) {
        Node* n = search(Kind::hash(probe), probe);
        return n != nullptr ? &n->item : nullptr;
    }

    // The items in the order their keys were first stored: nodes are handed out from the
    // chunks in that order. Replaying another table's keys in this order into a table that
    // had them in the same order before builds the very chains a single table would have.
    template <typename F>
    void forEachInserted(F&& f) const {
        for (std::size_t c = 0; c < chunks_.size(); ++c) {
            const std::size_t used =
                c + 1 < chunks_.size() ? chunkSize(c) : chunkNodes_ - freeInChunk_;
            for (std::size_t i = 0; i < used; ++i) f(chunks_[c][i].item);
        }
    }

    template <typename F>
    void forEach(F&& f) const {
        for (const std::uint32_t head : buckets_)
            for (std::uint32_t i = head; i != kNone; i = node(i)->next) f(node(i)->item);
    }
    template <typename F>
    void forEach(F&& f) {
        for (const std::uint32_t head : buckets_)
            for (std::uint32_t i = head; i != kNone; i = node(i)->next) f(node(i)->item);
    }

    // The items of the chain a hash leads to: a lookup that must not store anything.
    template <typename F>
    void forEachInChain(std::uint32_t h, F&& f) const {
        for (std::uint32_t i = buckets_[h % buckets_.size()]; i != kNone; i = node(i)->next)
            if (node(i)->hash == h) f(node(i)->item);
    }

    std::uint64_t size() const { return entries_; }
    std::size_t bucketCount() const { return buckets_.size(); }
    // The bucket count the run gave the table, and how often it doubled since.
    std::size_t startBucketCount() const { return startBuckets_; }
    int growths() const { return growths_; }
    const Totals& totals() const { return totals_; }
    Totals& totals() { return totals_; }

  private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    struct Node {
        std::uint32_t next;  // the next node's number in the chain, or kNone
        std::uint32_t hash;
        Item item;
    };
    // Chunks start small and double: a run holds thousands of small tables (a sub-table per
    // grouped item, a days table per tracked file) and a few big ones.
    static constexpr std::size_t kFirstChunkNodes = 4;
    static constexpr std::size_t kMaxChunkNodes = 1024;

    static std::size_t chunkSize(std::size_t index) {
        std::size_t n = kFirstChunkNodes;
        for (std::size_t i = 0; i < index && n < kMaxChunkNodes; ++i) n *= 2;
        return std::min(n, kMaxChunkNodes);
    }
    // Nodes are numbered in the order they were handed out. The doubling chunks before the
    // first full-size one hold kFirstChunkNodes * (2^c - 1) nodes before chunk c, so a number
    // finds its chunk with one bit scan; from there on every chunk holds kMaxChunkNodes.
    static constexpr std::uint32_t kGrowingNodes = 1020;  // 4 + 8 + ... + 512
    static_assert(kFirstChunkNodes == 4 && kMaxChunkNodes == 1024);
    Node* node(std::uint32_t i) const {
        if (i >= kGrowingNodes) {
            const std::uint32_t past = i - kGrowingNodes;
            return &chunks_[8 + (past >> 10)][past & 1023];
        }
        const unsigned c = 31u - static_cast<unsigned>(__builtin_clz(i / 4 + 1));
        return &chunks_[c][i - 4 * ((1u << c) - 1)];
    }

    // The node of the chain `h` leads to whose item equals `probe`, or null.
    Node* search(std::uint32_t h, const Item& probe) const {
        for (std::uint32_t i = buckets_[h % buckets_.size()]; i != kNone;) {
            Node* n = node(i);
            if (n->hash == h && Kind::equals(n->item, probe)) return n;
            i = n->next;
        }
        return nullptr;
    }
    // A new node holding `item`, at the head of the chain `h` leads to.
    Node* link(std::uint32_t h, const Item& item) {
        const auto index = static_cast<std::uint32_t>(entries_);
        Node* n = newNode();
        n->item = item;
        n->hash = h;
        std::uint32_t& head = buckets_[h % buckets_.size()];
        n->next = head;
        head = index;
        ++entries_;
        return n;
    }

    Node* newNode() {
        if (freeInChunk_ == 0) {
            chunkNodes_ =
                chunks_.empty() ? kFirstChunkNodes : std::min(chunkNodes_ * 2, kMaxChunkNodes);
            chunks_.emplace_back(new Node[chunkNodes_]);
            meter(static_cast<std::int64_t>(chunkNodes_ * sizeof(Node)));
            freeInChunk_ = chunkNodes_;
        }
        return &chunks_.back()[chunkNodes_ - freeInChunk_--];
    }

    // Relinks every node into twice as many buckets; items do not move, so pointers handed out
    // stay valid.
    void grow() {
        std::vector<std::uint32_t> bigger(buckets_.size() * 2, kNone);
        for (const std::uint32_t head : buckets_) {
            for (std::uint32_t i = head; i != kNone;) {
                Node* n = node(i);
                const std::uint32_t next = n->next;
                std::uint32_t& slot = bigger[n->hash % bigger.size()];
                n->next = slot;
                slot = i;
                i = next;
            }
        }
        meter(static_cast<std::int64_t>((bigger.size() - buckets_.size()) *
                                        sizeof(std::uint32_t)));
        buckets_.swap(bigger);
        ++growths_;
    }

    void meter(std::int64_t bytes) {
        metered_ += bytes;
        if (meter_ != nullptr) meter_->add(bytes);
    }

    std::vector<std::uint32_t> buckets_;
    std::vector<std::unique_ptr<Node[]>> chunks_;
    MemoryMeter* meter_ = nullptr;
    std::int64_t metered_ = 0;  // what this table has told the meter
    std::size_t freeInChunk_ = 0;
    std::size_t chunkNodes_ = 0;
    std::uint64_t entries_ = 0;
    std::size_t startBuckets_ = 1;
    int growths_ = 0;
    Totals totals_{};
    bool useLocks_ = false;
    std::mutex mutex_;
};

}  // namespace tw::engine
