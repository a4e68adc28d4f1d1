// The change log: committing, heads, and exchanging changes with replicas.

#include "document_impl.h"

#include <base/fatal.h>

#include <algorithm>

namespace crdt {

using kavu::make_error;

std::vector<ChangeHash> Document::Impl::head_hashes() const {
    std::vector<ChangeHash> out;
    out.reserve(heads.size());
    for (uint32_t h : heads)
        out.push_back(changes[h].hash);
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<ChangeHash> Document::Impl::commit(int64_t time, std::string_view message) {
    if (pending.empty())
        return std::nullopt;
    ChangeData c{.actor = actor,
                 .seq = actor_count(actor) + 1,
                 .start_op = pending_start,
                 .time = time,
                 .message = std::string(message),
                 .deps = head_hashes(),
                 .ops = std::move(pending)};
    pending.clear();
    std::vector<uint8_t> bytes;
    encode_change(c, state.actors(), bytes);
    ChangeHash hash = hash_bytes(bytes);
    std::vector<uint32_t> deps = heads;
    record(c, c.max_op(), bytes, hash, deps);
    return hash;
}

void Document::Impl::record_loaded(const ChangeData& data, uint64_t max_op, std::span<const uint32_t> deps) {
    record(data, max_op, {}, ChangeHash{}, deps);
    lazy_count = changes.size();
}

void Document::Impl::record(const ChangeData& data, uint64_t max_op, std::span<const uint8_t> bytes,
                            const ChangeHash& hash, std::span<const uint32_t> deps) {
    uint32_t index = static_cast<uint32_t>(changes.size());
    ChangeRecord rec{.actor = data.actor,
                     .seq = data.seq,
                     .start_op = data.start_op,
                     .max_op = max_op,
                     .time = data.time,
                     .hash = hash,
                     .bytes_offset = change_bytes.size(),
                     .bytes_size = bytes.size(),
                     .deps_offset = static_cast<uint32_t>(dep_indices.size()),
                     .deps_count = static_cast<uint32_t>(deps.size())};
    change_bytes.insert(change_bytes.end(), bytes.begin(), bytes.end());
    for (uint32_t di : deps) {
        dep_indices.push_back(di);
        if (auto it = std::find(heads.begin(), heads.end(), di); it != heads.end()) {
            *it = heads.back();
            heads.pop_back();
        }
    }
    heads.push_back(index);
    changes.push_back(rec);
    if (!bytes.empty())
        by_hash.insert(hash, index);
    if (actor_changes.size() <= data.actor)
        actor_changes.resize(data.actor + 1);
    actor_changes[data.actor].push_back(index);
}

ApplyOutcome Document::Impl::apply(DecodedChange& change, std::string* error) {
    if (by_hash.contains(change.hash, changes))
        return ApplyOutcome::Duplicate;
    const ChangeData& c = change.data;
    uint64_t have = actor_count(c.actor);
    if (c.seq <= have) {
        if (error)
            *error = "change conflicts with another change of the same actor and sequence number";
        return ApplyOutcome::Invalid;
    }
    if (c.seq > have + 1)
        return ApplyOutcome::MissingDeps;
    uint64_t floor = have > 0 ? changes[actor_changes[c.actor].back()].max_op : 0;
    for (const ChangeHash& d : c.deps) {
        auto it = by_hash.find(d, changes);
        if (!it)
            return ApplyOutcome::MissingDeps;
        floor = std::max(floor, changes[*it].max_op);
    }
    // Operation counters are Lamport clocks: a change starts after
    // everything it depends on, which the sequence ordering relies on.
    if (c.start_op <= floor) {
        if (error)
            *error = "change numbers its operations below its dependencies";
        return ApplyOutcome::Invalid;
    }
    uint64_t counter = c.start_op;
    for (const Op& op : c.ops) {
        if (!state.apply(op, OpId{counter, c.actor})) {
            // Undo the operations already applied by replaying the log.
            rebuild_state();
            if (error)
                *error = "change refers to an object or element that does not exist";
            return ApplyOutcome::Invalid;
        }
        counter += op.span();
    }
    std::vector<uint32_t> deps;
    deps.reserve(c.deps.size());
    for (const ChangeHash& d : c.deps)
        deps.push_back(*by_hash.find(d, changes));
    record(c, c.max_op(), change.bytes, change.hash, deps);
    return ApplyOutcome::Applied;
}

size_t Document::Impl::drain_queue() {
    size_t applied = 0;
    bool progress = true;
    while (progress && !queue.empty()) {
        progress = false;
        for (size_t i = 0; i < queue.size();) {
            ApplyOutcome r = apply(queue[i], nullptr);
            if (r == ApplyOutcome::MissingDeps) {
                ++i;
                continue;
            }
            if (r == ApplyOutcome::Applied) {
                ++applied;
                progress = true;
            }
            queue.erase(queue.begin() + static_cast<ptrdiff_t>(i));
        }
    }
    return applied;
}

void Document::Impl::rebuild_state() {
    materialize();
    state.clear();
    for (uint32_t i = 0; i < changes.size(); ++i) {
        auto c = decode_change(bytes_of(i), state.actors());
        if (!c)
            kavu::fatal("replay change");
        uint64_t counter = c->start_op;
        for (const Op& op : c->ops) {
            if (!state.apply(op, OpId{counter, c->actor}))
                kavu::fatal("replay operation");
            counter += op.span();
        }
    }
}

void Document::Impl::truncate_log(size_t count) {
    if (count >= changes.size())
        return;
    for (size_t i = changes.size(); i-- > count;) {
        actor_changes[changes[i].actor].pop_back();
    }
    dep_indices.resize(changes[count].deps_offset);
    changes.resize(count);
    lazy_count = std::min(lazy_count, count);
    // Bytes of loaded changes are made late, after those of later changes.
    size_t bytes_end = 0;
    for (const ChangeRecord& c : changes)
        bytes_end = std::max(bytes_end, c.bytes_offset + c.bytes_size);
    change_bytes.resize(bytes_end);
    by_hash.rebuild(changes);
    std::vector<bool> depended(count, false);
    for (uint32_t d : dep_indices)
        depended[d] = true;
    heads.clear();
    for (uint32_t i = 0; i < count; ++i)
        if (!depended[i])
            heads.push_back(i);
    rebuild_state();
}

void Document::Impl::encode_changes(const std::vector<uint32_t>& which, std::vector<uint8_t>& out) const {
    ByteWriter w;
    for (uint32_t i : which)
        w.str({reinterpret_cast<const char*>(bytes_of(i).data()), bytes_of(i).size()});
    out = w.take();
}

std::optional<ChangeHash> Document::commit(int64_t time, std::string_view message) {
    return m_impl->commit(time, message);
}

void Document::rollback() {
    if (m_impl->pending.empty())
        return;
    m_impl->pending.clear();
    m_impl->rebuild_state();
}

size_t Document::pending_ops() const {
    return m_impl->pending.size();
}

std::vector<ChangeHash> Document::heads() {
    m_impl->commit(0, {});
    return m_impl->head_hashes();
}

std::map<ActorId, uint64_t> Document::clock() const {
    std::map<ActorId, uint64_t> out;
    for (uint32_t a = 0; a < m_impl->actor_changes.size(); ++a)
        if (!m_impl->actor_changes[a].empty())
            out[m_impl->state.actors()[a]] = m_impl->actor_changes[a].size();
    return out;
}

std::vector<uint8_t> Document::changes_since(std::span<const ChangeHash> heads) {
    Impl& d = *m_impl;
    d.commit(0, {});
    d.materialize();
    std::vector<bool> known(d.changes.size(), false);
    std::vector<uint32_t> stack;
    for (const ChangeHash& h : heads) {
        auto it = d.by_hash.find(h, d.changes);
        if (it && !known[*it]) {
            known[*it] = true;
            stack.push_back(*it);
        }
    }
    while (!stack.empty()) {
        uint32_t c = stack.back();
        stack.pop_back();
        for (uint32_t dep : d.deps_of(c)) {
            if (!known[dep]) {
                known[dep] = true;
                stack.push_back(dep);
            }
        }
    }
    std::vector<uint32_t> which;
    for (uint32_t i = 0; i < d.changes.size(); ++i)
        if (!known[i])
            which.push_back(i);
    std::vector<uint8_t> out;
    d.encode_changes(which, out);
    return out;
}

std::vector<uint8_t> Document::changes_since(const std::map<ActorId, uint64_t>& clock) {
    Impl& d = *m_impl;
    d.commit(0, {});
    d.materialize();
    std::vector<uint64_t> seen(d.state.actors().size(), 0);
    for (const auto& [actor, count] : clock)
        if (auto a = d.state.actors().find(actor))
            seen[*a] = count;
    std::vector<uint32_t> which;
    for (uint32_t i = 0; i < d.changes.size(); ++i)
        if (d.changes[i].seq > seen[d.changes[i].actor])
            which.push_back(i);
    std::vector<uint8_t> out;
    d.encode_changes(which, out);
    return out;
}

Result<size_t> Document::apply_changes(std::span<const uint8_t> bytes) {
    Impl& d = *m_impl;
    d.materialize();
    // Decode everything first so that malformed input changes nothing.
    std::vector<DecodedChange> incoming;
    ByteReader r(bytes);
    while (!r.done()) {
        std::string_view one = r.str();
        if (!r.ok())
            return make_error("malformed changes: truncated");
        auto span = std::span(reinterpret_cast<const uint8_t*>(one.data()), one.size());
        auto c = decode_change(span, d.state.actors());
        if (!c)
            return c.error();
        DecodedChange dc{.data = c.release_value()};
        encode_change(dc.data, d.state.actors(), dc.bytes);
        dc.hash = hash_bytes(dc.bytes);
        incoming.push_back(std::move(dc));
    }
    d.commit(0, {});
    size_t log_before = d.changes.size();
    size_t applied = 0;
    for (DecodedChange& c : incoming) {
        std::string error;
        switch (d.apply(c, &error)) {
        case ApplyOutcome::Applied:
            ++applied;
            applied += d.drain_queue();
            break;
        case ApplyOutcome::MissingDeps: {
            bool queued = std::any_of(d.queue.begin(), d.queue.end(),
                                      [&](const DecodedChange& q) { return q.hash == c.hash; });
            if (!queued)
                d.queue.push_back(std::move(c));
            break;
        }
        case ApplyOutcome::Duplicate:
            break;
        case ApplyOutcome::Invalid:
            // All or nothing: drop what this call applied before the bad one.
            d.truncate_log(log_before);
            return make_error(error);
        }
    }
    return applied;
}

size_t Document::queued_changes() const {
    return m_impl->queue.size();
}

Result<void> Document::merge(Document& other) {
    if (&other == this)
        return {};
    auto bytes = other.changes_since(clock());
    auto r = apply_changes(bytes);
    if (!r)
        return r.error();
    return {};
}

Document Document::fork(std::optional<ActorId> actor) {
    m_impl->commit(0, {});
    m_impl->materialize();
    Document copy(actor.value_or(ActorId::random()));
    // The same actor numbering, so that ObjIds of this document stay valid
    // in the copy.
    copy.m_impl = std::make_unique<Impl>(m_impl->state.actors().ids(), copy.actor_id());
    Impl& d = *copy.m_impl;
    for (uint32_t i = 0; i < m_impl->changes.size(); ++i) {
        auto bytes = m_impl->bytes_of(i);
        auto c = decode_change(bytes, d.state.actors());
        if (!c)
            kavu::fatal("fork change");
        DecodedChange dc{.data = c.release_value(), .bytes = {}, .hash = m_impl->changes[i].hash};
        dc.bytes.assign(bytes.begin(), bytes.end());
        if (d.apply(dc, nullptr) != ApplyOutcome::Applied)
            kavu::fatal("fork change");
    }
    return copy;
}

} // namespace crdt
