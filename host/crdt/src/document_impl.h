#pragma once

// The inside of Document, shared by its source files.

#include "change.h"
#include "op_set.h"

#include <crdt/document.h>

#include <unordered_map>

namespace crdt {

// A change in the log. Its canonical bytes live in Impl::change_bytes.
struct ChangeRecord {
    uint32_t actor = 0;
    uint64_t seq = 0;
    uint64_t start_op = 0;
    uint64_t max_op = 0;
    int64_t time = 0;
    ChangeHash hash;
    size_t bytes_offset = 0;
    size_t bytes_size = 0;
    uint32_t deps_offset = 0; // into Impl::dep_indices
    uint32_t deps_count = 0;
};

// Change numbers by hash: open addressing on the hash's first bytes, the
// full hash compared in the log.
class ChangeIndex {
public:
    std::optional<uint32_t> find(const ChangeHash& h, const std::vector<ChangeRecord>& log) const {
        if (m_slots.empty())
            return std::nullopt;
        for (size_t i = start(h);; i = (i + 1) & (m_slots.size() - 1)) {
            uint32_t s = m_slots[i];
            if (s == 0)
                return std::nullopt;
            if (log[s - 1].hash == h)
                return s - 1;
        }
    }
    bool contains(const ChangeHash& h, const std::vector<ChangeRecord>& log) const {
        return find(h, log).has_value();
    }
    // Adds a change whose hash is not present yet.
    void insert(const ChangeHash& h, uint32_t index) {
        if ((m_count + 1) * 2 > m_slots.size())
            grow(h, index);
        place(h, index);
        ++m_count;
    }
    // Rebuilds from the changes of `log` that have bytes.
    void rebuild(const std::vector<ChangeRecord>& log) {
        m_slots.assign(16, 0);
        m_count = 0;
        m_hashes_of = &log;
        for (uint32_t i = 0; i < log.size(); ++i)
            if (log[i].bytes_size > 0)
                insert(log[i].hash, i);
    }
    void bind(const std::vector<ChangeRecord>* log) { m_hashes_of = log; }

private:
    size_t start(const ChangeHash& h) const {
        uint64_t v;
        std::memcpy(&v, h.bytes.data(), sizeof v);
        return static_cast<size_t>(v) & (m_slots.size() - 1);
    }
    void place(const ChangeHash& h, uint32_t index) {
        size_t i = start(h);
        while (m_slots[i] != 0)
            i = (i + 1) & (m_slots.size() - 1);
        m_slots[i] = index + 1;
    }
    void grow(const ChangeHash&, uint32_t) {
        std::vector<uint32_t> old = std::move(m_slots);
        m_slots.assign(std::max<size_t>(16, old.size() * 2), 0);
        for (uint32_t s : old)
            if (s != 0)
                place((*m_hashes_of)[s - 1].hash, s - 1);
    }

    std::vector<uint32_t> m_slots; // change number + 1; 0 is empty
    size_t m_count = 0;
    const std::vector<ChangeRecord>* m_hashes_of = nullptr;
};

struct DecodedChange {
    ChangeData data;
    std::vector<uint8_t> bytes; // canonical encoding
    ChangeHash hash;
};

enum class ApplyOutcome { Applied, Duplicate, MissingDeps, Invalid };

struct Document::Impl {
    explicit Impl(const ActorId& actor_id);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    // Numbers `known` actors first, in order, then `own` (if given; else the
    // caller sets `actor` later).
    Impl(const std::vector<ActorId>& known, const std::optional<ActorId>& own);

    OpSet state;
    uint32_t actor = 0;

    // The log, in the order changes were applied (a causal order).
    std::vector<ChangeRecord> changes;
    std::vector<uint8_t> change_bytes;
    std::vector<uint32_t> dep_indices;
    ChangeIndex by_hash;                              // changes with bytes (not those waiting in lazy_chunks)
    std::vector<uint32_t> heads;                      // changes no change depends on
    std::vector<std::vector<uint32_t>> actor_changes; // by local actor, in seq order

    std::vector<Op> pending;
    uint64_t pending_start = 0;

    std::vector<DecodedChange> queue; // waiting for dependencies
    // Bodies of the file chunks loaded last; changes [0, lazy_count) came
    // from them and have no bytes yet, nor hashes except for heads.
    std::vector<std::vector<uint8_t>> lazy_chunks;
    size_t lazy_count = 0;
    size_t saved = 0; // changes already in the output of save()/save_incremental()
    // Size of the file that save() and save_incremental() have produced so
    // far (or that load() read), when changes there are numbered as in the
    // log; 0 when unknown.
    size_t file_bytes = 0;

    std::span<const uint8_t> bytes_of(uint32_t change) const {
        const ChangeRecord& c = changes[change];
        return {change_bytes.data() + c.bytes_offset, c.bytes_size};
    }
    std::span<const uint32_t> deps_of(uint32_t change) const {
        const ChangeRecord& c = changes[change];
        return {dep_indices.data() + c.deps_offset, c.deps_count};
    }
    uint64_t actor_count(uint32_t a) const { return a < actor_changes.size() ? actor_changes[a].size() : 0; }

    OpId next_id() const { return OpId{state.max_op() + 1, actor}; }
    // Applies a local operation and adds it to the pending change.
    OpId local_op(Op op);
    std::optional<ChangeHash> commit(int64_t time, std::string_view message);
    std::vector<ChangeHash> head_hashes() const;

    ApplyOutcome apply(DecodedChange& change, std::string* error);
    // Applies what the queue can; returns how many were applied.
    size_t drain_queue();
    void record(const ChangeData& data, uint64_t max_op, std::span<const uint8_t> bytes,
                const ChangeHash& hash, std::span<const uint32_t> deps);
    // Records a change read from a file (its operations not kept in `data`),
    // without its bytes and hash yet.
    void record_loaded(const ChangeData& data, uint64_t max_op, std::span<const uint32_t> deps);
    // Computes the bytes and hashes of changes read from a file (once, on
    // first need). Loading skips this: a file is protected by checksums and
    // the hashes of its heads are stored in it.
    void materialize();
    // Rebuilds the materialised state from the log.
    void rebuild_state();
    // Drops changes [count, end) from the log and rebuilds the state.
    void truncate_log(size_t count);
    void encode_changes(const std::vector<uint32_t>& which, std::vector<uint8_t>& out) const;
};

} // namespace crdt
