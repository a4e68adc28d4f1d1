#pragma once

// The element order of a list or text object: an RGA sequence. Each element
// is inserted after a reference element; concurrent inserts after the same
// reference are ordered greater id first; deleted elements stay as
// tombstones so that later references to them still resolve.
//
// Elements are kept as runs (consecutive counters of one actor, each inserted
// after the previous, with one visibility), in leaves of at most kLeafRuns
// runs that carry their visible count. A visible index is found by walking
// leaf counts from a cursor that remembers the last leaf used; an element id
// is found through a per-actor index of run starts.

#include "op.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace crdt {

struct SeqRun {
    uint64_t counter = 0; // the first element's counter
    uint32_t actor = 0;
    uint32_t len = 0;
    uint32_t payload = 0; // text: offset of the first code point; list: register slot
    bool visible = true;

    uint32_t visible_len() const { return visible ? len : 0; }
};

class Sequence {
public:
    static constexpr size_t kLeafRuns = 64;

    explicit Sequence(const ActorTable* actors);
    ~Sequence();
    Sequence(Sequence&&) noexcept;
    Sequence& operator=(Sequence&&) noexcept;

    size_t visible() const { return m_visible; }

    struct Element {
        OpId id;
        uint32_t payload = 0;
    };
    // The visible element at `index` (< visible()).
    Element visible_at(size_t index) const;
    // Calls fn(first id, count) for maximal stretches of consecutive ids among
    // the visible elements [index, index + count).
    void visible_ranges(size_t index, size_t count, const std::function<void(OpId, uint32_t)>& fn) const;

    // Whether an element with this id exists (visible or not), and its payload.
    std::optional<uint32_t> find(OpId id) const;

    // Inserts `len` elements with ids id..id+len-1 after the visible element
    // index-1 (at the front for 0). For local edits: `id` exceeds every id in
    // the sequence, so nothing concurrent needs skipping.
    void insert_at_visible(size_t index, OpId id, uint32_t len, uint32_t payload);
    // Inserts after the element `ref` (the head for counter 0) by the RGA
    // rule. False when `ref` does not exist.
    bool insert_after(OpId ref, OpId id, uint32_t len, uint32_t payload);
    // Sets the visibility of elements first..first+len-1. Returns how many
    // changed; ids that do not exist are skipped.
    size_t set_visible(OpId first, uint32_t len, bool visible);

    // Calls fn(run) for every run in order.
    void for_each_run(const std::function<void(const SeqRun&)>& fn) const;

private:
    struct Leaf;
    struct Pos {
        Leaf* leaf = nullptr;
        size_t run = 0;
    };
    struct RunKey {
        uint32_t actor;
        uint64_t counter;
        auto operator<=>(const RunKey&) const = default;
    };

    // Leaf index and visible count before it, for the visible index.
    std::pair<size_t, size_t> leaf_for_visible(size_t index) const;
    Pos locate(OpId id) const;
    Leaf* first_leaf();
    // Records a run start in the id index (kept only with several leaves;
    // one leaf is scanned).
    void index_run(const SeqRun& run, Leaf* leaf);
    void insert_run(Leaf* leaf, size_t at, const SeqRun& run);
    void split_run(Leaf* leaf, size_t run, uint32_t offset);
    void split_leaf_if_full(Leaf* leaf);
    void add_visible(Leaf* leaf, int64_t delta);
    bool try_extend(Leaf* leaf, size_t run, OpId id, uint32_t len, uint32_t payload);

    const ActorTable* m_actors;
    std::vector<std::unique_ptr<Leaf>> m_leaves;
    // Made when the second leaf is: most sequences are small.
    std::unique_ptr<std::map<RunKey, Leaf*>> m_run_index;
    size_t m_visible = 0;
    // The leaf last used for a visible index and the visible count before it.
    mutable size_t m_cursor_leaf = 0;
    mutable size_t m_cursor_before = 0;
    // The run last read by visible_at() and the visible count before it in
    // its leaf, valid while m_version is unchanged.
    mutable const Leaf* m_read_leaf = nullptr;
    mutable size_t m_read_run = 0;
    mutable size_t m_read_before = 0;
    mutable uint64_t m_read_version = 0;
    uint64_t m_version = 0; // bumped by every change of the runs
    // The run last inserted into, so that typing resolves its reference
    // without an index lookup.
    Pos m_last;
};

} // namespace crdt
