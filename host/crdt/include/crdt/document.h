#pragma once

#include <base/result.h>
#include <crdt/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace crdt {

using kavu::Result;

// How much of a byte buffer load() could use.
struct LoadReport {
    size_t valid_bytes = 0;     // length of the prefix that loaded
    bool truncated_tail = false; // a torn or corrupt tail was dropped
    std::string tail_error;      // why the tail was dropped, for the log
};

// A mergeable JSON-like document: maps, lists and text objects holding
// scalars. Edits accumulate in an implicit pending change that reads already
// see; commit() closes it. The document does no I/O and reads no clock: times
// are passed in, bytes come in and go out. One thread at a time: even reads
// update internal caches (cursors, the last object found, text content).
class Document {
public:
    Document();                      // a fresh actor id
    explicit Document(ActorId actor);
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // A copy with every change of this one (the pending change committed
    // first) and a fresh actor unless one is given.
    Document fork(std::optional<ActorId> actor = std::nullopt);

    ActorId actor_id() const;
    void set_actor_id(ActorId actor);

    // ---- Reads (see the pending change; never fail: absent is nullopt) ----
    std::optional<ObjType> object_type(const ObjId& obj) const;
    std::optional<Value> get(const ObjId& map, std::string_view key) const;
    std::optional<Value> get(const ObjId& list, size_t index) const;
    // Every concurrent value under a key, winner last.
    std::vector<Value> get_all(const ObjId& map, std::string_view key) const;
    // Keys in ascending byte order.
    std::vector<std::string> keys(const ObjId& map) const;
    std::vector<std::pair<std::string, Value>> entries(const ObjId& map) const;
    // Number of keys, elements or characters (Unicode code points).
    size_t length(const ObjId& obj) const;
    // UTF-8 content of a text object; empty for anything else.
    std::string text(const ObjId& text) const;
    // A number that changes whenever the visible content may have changed
    // (a local edit, applied changes, a rollback). Revisions come from one
    // process-wide counter, so no two states of any two documents share one:
    // a cache keyed by revision alone is never served for the wrong state.
    uint64_t revision() const;

    // ---- Writes (errors for a wrong object kind or an index out of range) ----
    Result<void> put(const ObjId& map, std::string_view key, Scalar value);
    Result<ObjId> put_object(const ObjId& map, std::string_view key, ObjType type);
    Result<void> put(const ObjId& list, size_t index, Scalar value);
    Result<ObjId> put_object(const ObjId& list, size_t index, ObjType type);
    Result<void> insert(const ObjId& list, size_t index, Scalar value);
    Result<ObjId> insert_object(const ObjId& list, size_t index, ObjType type);
    Result<void> delete_key(const ObjId& map, std::string_view key);
    Result<void> delete_at(const ObjId& list, size_t index);
    Result<void> increment(const ObjId& map, std::string_view key, int64_t by);
    // Positions and counts in code points; `insert` is UTF-8.
    Result<void> splice_text(const ObjId& text, size_t pos, size_t del, std::string_view insert);

    // ---- Changes ----
    // Closes the pending change; nothing when it holds no operation.
    std::optional<ChangeHash> commit(int64_t time = 0, std::string_view message = {});
    // Drops the pending change.
    void rollback();
    size_t pending_ops() const;
    // Commits the pending change (time 0), then the changes nothing depends on, sorted.
    std::vector<ChangeHash> heads();
    // Per-actor count of changes seen.
    std::map<ActorId, uint64_t> clock() const;

    // ---- Sync ----
    // Encoded changes not covered by `heads` (all of them for an empty span).
    std::vector<uint8_t> changes_since(std::span<const ChangeHash> heads);
    std::vector<uint8_t> changes_since(const std::map<ActorId, uint64_t>& clock);
    // Applies encoded changes in causal order; a change whose dependencies
    // are missing waits until they arrive. Returns how many were applied.
    // Commits the pending change first. Malformed or invalid input is an
    // error and applies nothing of this call.
    Result<size_t> apply_changes(std::span<const uint8_t> bytes);
    size_t queued_changes() const;
    Result<void> merge(Document& other);

    // ---- Storage ----
    // The whole document in the file format.
    std::vector<uint8_t> save();
    // Chunks with the changes since the last save() or save_incremental(),
    // to be appended to a file written by save(); empty when nothing changed.
    std::vector<uint8_t> save_incremental();
    // Loads file bytes. A torn or corrupt tail is dropped and reported; a
    // buffer that is not a document, or of a newer format, is an error.
    static Result<Document> load(std::span<const uint8_t> bytes, LoadReport* report = nullptr);
    // The size the file written by save() and save_incremental() (or read by
    // load()) has if nothing else touched it; 0 when unknown. Lets a caller
    // check that appending to a file continues what this document wrote.
    size_t persisted_size() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace crdt
