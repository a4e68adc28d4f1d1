#pragma once

#include <base/result.h>
#include <blobstore/blob_info.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace blobstore {

using kavu::Result;

// A blob key: the SHA-256 of the bytes as 64 lowercase hexadecimal digits.
using BlobKey = std::string;

// Where a blob stands, for views that show a placeholder while it is absent.
enum class BlobState : uint8_t {
    Missing, // not stored (or the key is not a key)
    Writing, // a put of these bytes is under way
    Stored,  // readable with get()
};

struct EvictReport {
    uint64_t blobs = 0; // blobs removed
    uint64_t bytes = 0; // bytes freed
    bool operator==(const EvictReport&) const = default;
};

// A content-addressed store. Implementations are shared between threads and
// do their own locking; every method may be called from any thread.
class BlobStore {
public:
    virtual ~BlobStore() = default;

    // The bytes under `key`, or nothing when absent, unreadable or not a key.
    virtual std::optional<std::vector<uint8_t>> get(std::string_view key) = 0;
    // Stores bytes described by `info` (what sniff() said of them) and
    // returns their key; refusals carry a reason. Storing bytes that are
    // already present succeeds without writing.
    virtual Result<BlobKey> put(std::span<const uint8_t> bytes, const BlobInfo& info) = 0;
    // As put(), for bytes that arrive with a key claimed elsewhere: refused
    // unless the bytes hash to `expected_key`.
    virtual Result<BlobKey> put_checked(std::span<const uint8_t> bytes, std::string_view expected_key) = 0;
    // Removes every stored blob whose key is not in `referenced`.
    virtual EvictReport evict_unreferenced(const std::unordered_set<BlobKey>& referenced) = 0;
    virtual bool has(std::string_view key) = 0;
    virtual BlobState state(std::string_view key) {
        return has(key) ? BlobState::Stored : BlobState::Missing;
    }
};

// True for 64 hexadecimal digits (either case); nothing else names a blob.
bool is_key(std::string_view text);
// The key of `bytes`.
BlobKey key_of(std::span<const uint8_t> bytes);

// The process-wide store. Installed once at start; the free functions below
// use it, and answer "absent" / refuse while none is installed.
void set_store(std::shared_ptr<BlobStore> store);
std::shared_ptr<BlobStore> store();

Result<BlobKey> put(std::span<const uint8_t> bytes, const BlobInfo& info);
Result<BlobKey> put_checked(std::span<const uint8_t> bytes, std::string_view expected_key);
std::optional<std::vector<uint8_t>> get(std::string_view key);
bool has(std::string_view key);
EvictReport evict_unreferenced(const std::unordered_set<BlobKey>& referenced);
BlobState state(std::string_view key);

} // namespace blobstore
