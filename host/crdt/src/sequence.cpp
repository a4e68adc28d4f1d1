#include "sequence.h"

#include <cassert>

namespace crdt {

struct Sequence::Leaf {
    std::vector<SeqRun> runs;
    size_t visible = 0;
    size_t index = 0; // position in m_leaves
};

namespace {

bool run_contains(const SeqRun& r, OpId id) {
    return r.actor == id.actor && id.counter >= r.counter && id.counter - r.counter < r.len;
}

} // namespace

Sequence::Sequence(const ActorTable* actors) : m_actors(actors) {}

Sequence::Leaf* Sequence::first_leaf() {
    if (m_leaves.empty())
        m_leaves.push_back(std::make_unique<Leaf>());
    return m_leaves.front().get();
}

void Sequence::index_run(const SeqRun& run, Leaf* leaf) {
    if (m_leaves.size() > 1)
        (*m_run_index)[RunKey{run.actor, run.counter}] = leaf;
}

Sequence::~Sequence() = default;
Sequence::Sequence(Sequence&&) noexcept = default;
Sequence& Sequence::operator=(Sequence&&) noexcept = default;

std::pair<size_t, size_t> Sequence::leaf_for_visible(size_t index) const {
    size_t li = m_cursor_leaf < m_leaves.size() ? m_cursor_leaf : 0;
    size_t before = li == m_cursor_leaf ? m_cursor_before : 0;
    if (index < before) {
        // Walk back; restarting from the front is cheaper for far jumps.
        if (index < before / 2) {
            li = 0;
            before = 0;
        } else {
            while (index < before) {
                --li;
                before -= m_leaves[li]->visible;
            }
        }
    }
    while (index >= before + m_leaves[li]->visible && li + 1 < m_leaves.size()) {
        before += m_leaves[li]->visible;
        ++li;
    }
    m_cursor_leaf = li;
    m_cursor_before = before;
    return {li, before};
}

Sequence::Element Sequence::visible_at(size_t index) const {
    assert(index < m_visible);
    auto [li, before] = leaf_for_visible(index);
    const Leaf* leaf = m_leaves[li].get();
    size_t rest = index - before;
    size_t i = 0;
    size_t run_before = 0;
    // Reading in order continues from the run read last.
    if (m_read_leaf == leaf && m_read_version == m_version && rest >= m_read_before) {
        i = m_read_run;
        run_before = m_read_before;
    }
    for (; i < leaf->runs.size(); ++i) {
        const SeqRun& r = leaf->runs[i];
        uint32_t v = r.visible_len();
        if (rest - run_before < v) {
            m_read_leaf = leaf;
            m_read_run = i;
            m_read_before = run_before;
            m_read_version = m_version;
            size_t off = rest - run_before;
            return {OpId{r.counter + off, r.actor}, static_cast<uint32_t>(r.payload + off)};
        }
        run_before += v;
    }
    assert(false && "visible count out of step with runs");
    return {};
}

void Sequence::visible_ranges(size_t index, size_t count,
                              const std::function<void(OpId, uint32_t)>& fn) const {
    if (count == 0)
        return;
    // Leaves the read cursor on the first element, which the caller is
    // about to change.
    (void)visible_at(index);
    auto [li, before] = leaf_for_visible(index);
    size_t skip = index - before;
    OpId pending{};
    uint32_t pending_len = 0;
    for (; li < m_leaves.size() && count > 0; ++li) {
        for (const SeqRun& r : m_leaves[li]->runs) {
            if (count == 0)
                break;
            uint32_t v = r.visible_len();
            if (skip >= v) {
                skip -= v;
                continue;
            }
            uint64_t start = r.counter + skip;
            uint32_t take = static_cast<uint32_t>(std::min<size_t>(v - skip, count));
            skip = 0;
            count -= take;
            if (pending_len > 0 && pending.actor == r.actor && pending.counter + pending_len == start) {
                pending_len += take;
            } else {
                if (pending_len > 0)
                    fn(pending, pending_len);
                pending = OpId{start, r.actor};
                pending_len = take;
            }
        }
    }
    if (pending_len > 0)
        fn(pending, pending_len);
}

Sequence::Pos Sequence::locate(OpId id) const {
    if (m_last.leaf && m_last.run < m_last.leaf->runs.size() &&
        run_contains(m_last.leaf->runs[m_last.run], id))
        return m_last;
    if (m_leaves.size() == 1) {
        Leaf* leaf = m_leaves.front().get();
        for (size_t i = 0; i < leaf->runs.size(); ++i)
            if (run_contains(leaf->runs[i], id))
                return {leaf, i};
        return {};
    }
    auto it = m_run_index->upper_bound(RunKey{id.actor, id.counter});
    if (it == m_run_index->begin())
        return {};
    --it;
    if (it->first.actor != id.actor)
        return {};
    Leaf* leaf = it->second;
    for (size_t i = 0; i < leaf->runs.size(); ++i) {
        if (run_contains(leaf->runs[i], id))
            return {leaf, i};
    }
    return {};
}

std::optional<uint32_t> Sequence::find(OpId id) const {
    Pos p = locate(id);
    if (!p.leaf)
        return std::nullopt;
    const SeqRun& r = p.leaf->runs[p.run];
    return static_cast<uint32_t>(r.payload + (id.counter - r.counter));
}

void Sequence::add_visible(Leaf* leaf, int64_t delta) {
    ++m_version;
    leaf->visible += delta;
    m_visible += delta;
    if (leaf->index < m_cursor_leaf)
        m_cursor_before += delta;
}

void Sequence::insert_run(Leaf* leaf, size_t at, const SeqRun& run) {
    leaf->runs.insert(leaf->runs.begin() + static_cast<ptrdiff_t>(at), run);
    index_run(run, leaf);
    add_visible(leaf, run.visible_len());
    m_last = {leaf, at};
    split_leaf_if_full(leaf);
}

void Sequence::split_run(Leaf* leaf, size_t run, uint32_t offset) {
    ++m_version;
    SeqRun& r = leaf->runs[run];
    assert(offset > 0 && offset < r.len);
    SeqRun tail = r;
    tail.counter += offset;
    tail.len -= offset;
    tail.payload += offset;
    r.len = offset;
    leaf->runs.insert(leaf->runs.begin() + static_cast<ptrdiff_t>(run) + 1, tail);
    index_run(tail, leaf);
}

void Sequence::split_leaf_if_full(Leaf* leaf) {
    if (leaf->runs.size() < kLeafRuns)
        return;
    ++m_version;
    if (m_leaves.size() == 1) {
        // From two leaves on, ids are found through the run index.
        m_run_index = std::make_unique<std::map<RunKey, Leaf*>>();
        for (const SeqRun& r : leaf->runs)
            (*m_run_index)[RunKey{r.actor, r.counter}] = leaf;
    }
    auto fresh = std::make_unique<Leaf>();
    size_t half = leaf->runs.size() / 2;
    fresh->runs.assign(leaf->runs.begin() + static_cast<ptrdiff_t>(half), leaf->runs.end());
    leaf->runs.resize(half);
    for (const SeqRun& r : fresh->runs) {
        fresh->visible += r.visible_len();
        (*m_run_index)[RunKey{r.actor, r.counter}] = fresh.get();
    }
    leaf->visible -= fresh->visible;
    size_t at = leaf->index + 1;
    if (m_last.leaf == leaf && m_last.run >= half)
        m_last = {fresh.get(), m_last.run - half};
    if (m_cursor_leaf >= at) {
        ++m_cursor_leaf;
    } else if (m_cursor_leaf == leaf->index) {
        // The cursor still names the first half; its count before is unchanged.
    }
    m_leaves.insert(m_leaves.begin() + static_cast<ptrdiff_t>(at), std::move(fresh));
    for (size_t i = at; i < m_leaves.size(); ++i)
        m_leaves[i]->index = i;
}

bool Sequence::try_extend(Leaf* leaf, size_t run, OpId id, uint32_t len, uint32_t payload) {
    SeqRun& r = leaf->runs[run];
    if (r.actor != id.actor || r.counter + r.len != id.counter || r.payload + r.len != payload || !r.visible)
        return false;
    r.len += len;
    add_visible(leaf, len);
    m_last = {leaf, run};
    return true;
}

void Sequence::insert_at_visible(size_t index, OpId id, uint32_t len, uint32_t payload) {
    assert(index <= m_visible);
    SeqRun run{.counter = id.counter, .actor = id.actor, .len = len, .payload = payload, .visible = true};
    if (index == 0) {
        insert_run(first_leaf(), 0, run);
        return;
    }
    // Find the visible element index-1 and insert right after it.
    auto [li, before] = leaf_for_visible(index - 1);
    Leaf* leaf = m_leaves[li].get();
    size_t rest = index - 1 - before;
    for (size_t i = 0; i < leaf->runs.size(); ++i) {
        uint32_t v = leaf->runs[i].visible_len();
        if (rest >= v) {
            rest -= v;
            continue;
        }
        uint32_t offset = static_cast<uint32_t>(rest) + 1;
        if (offset < leaf->runs[i].len) {
            split_run(leaf, i, offset);
        } else if (try_extend(leaf, i, id, len, payload)) {
            return;
        }
        insert_run(leaf, i + 1, run);
        return;
    }
    assert(false && "visible count out of step with runs");
}

bool Sequence::insert_after(OpId ref, OpId id, uint32_t len, uint32_t payload) {
    SeqRun run{.counter = id.counter, .actor = id.actor, .len = len, .payload = payload, .visible = true};
    Leaf* leaf;
    size_t i;
    if (ref.counter == 0) {
        leaf = first_leaf();
        i = 0;
    } else {
        Pos p = locate(ref);
        if (!p.leaf)
            return false;
        leaf = p.leaf;
        i = p.run;
        SeqRun& r = leaf->runs[i];
        uint32_t offset = static_cast<uint32_t>(ref.counter - r.counter) + 1;
        if (offset < r.len) {
            // The rest of this run follows the reference directly; its first
            // element has the smallest id of the rest.
            if (!m_actors->less(id, OpId{r.counter + offset, r.actor})) {
                split_run(leaf, i, offset);
                insert_run(leaf, i + 1, run);
                return true;
            }
        } else {
            size_t next = i + 1;
            bool next_smaller = true;
            if (next < leaf->runs.size()) {
                const SeqRun& n = leaf->runs[next];
                next_smaller = m_actors->less(OpId{n.counter, n.actor}, id);
            } else if (leaf->index + 1 < m_leaves.size()) {
                const auto& nl = m_leaves[leaf->index + 1]->runs;
                next_smaller = nl.empty() || m_actors->less(OpId{nl[0].counter, nl[0].actor}, id);
            }
            if (next_smaller) {
                if (!try_extend(leaf, i, id, len, payload))
                    insert_run(leaf, i + 1, run);
                return true;
            }
        }
        ++i;
    }
    // Skip elements with a greater id: they are later concurrent inserts at
    // this place or inside their subtrees, which all have greater ids.
    for (size_t li = leaf->index; li < m_leaves.size(); ++li, i = 0) {
        leaf = m_leaves[li].get();
        for (; i < leaf->runs.size(); ++i) {
            const SeqRun& r = leaf->runs[i];
            if (m_actors->less(OpId{r.counter, r.actor}, id)) {
                insert_run(leaf, i, run);
                return true;
            }
        }
    }
    Leaf* last = m_leaves.back().get();
    insert_run(last, last->runs.size(), run);
    return true;
}

size_t Sequence::set_visible(OpId first, uint32_t len, bool visible) {
    size_t changed = 0;
    while (len > 0) {
        Pos p = locate(first);
        if (!p.leaf) {
            ++first.counter;
            --len;
            continue;
        }
        Leaf* leaf = p.leaf;
        size_t i = p.run;
        uint32_t offset = static_cast<uint32_t>(first.counter - leaf->runs[i].counter);
        uint32_t take = std::min(len, leaf->runs[i].len - offset);
        if (leaf->runs[i].visible != visible) {
            if (offset > 0) {
                split_run(leaf, i, offset);
                ++i;
            }
            if (take < leaf->runs[i].len)
                split_run(leaf, i, take);
            leaf->runs[i].visible = visible;
            add_visible(leaf, visible ? int64_t(take) : -int64_t(take));
            changed += take;
            m_last = {leaf, i};
            split_leaf_if_full(leaf);
        }
        first.counter += take;
        len -= take;
    }
    return changed;
}

void Sequence::for_each_run(const std::function<void(const SeqRun&)>& fn) const {
    for (const auto& leaf : m_leaves)
        for (const SeqRun& r : leaf->runs)
            fn(r);
}

} // namespace crdt
