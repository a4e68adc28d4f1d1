#pragma once

#include <blobstore/blob_store.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace blobstore {

// The four limits of a store, in the order the application passes them.
struct BlobLimits {
    // The largest single blob, in bytes.
    uint64_t max_blob_bytes = 33'554'432;
    // The most bytes all stored blobs may take together; a put that would
    // go beyond is refused until evict_unreferenced() makes room.
    uint64_t max_total_bytes = 268'435'456;
    // The most blobs the store holds.
    uint64_t max_blobs = 8'192;
    // The longest side, in pixels, of an image the store accepts. Larger
    // headers are refused: decoding them would take gigabytes, and nothing
    // downstream shows an image beyond this size.
    uint64_t max_image_side = 16'384;

    bool operator==(const BlobLimits&) const = default;
};

// Reads an environment variable; nothing when it is unset.
using EnvLookup = std::function<std::optional<std::string>(std::string_view)>;
EnvLookup process_env();

// A store of one file per blob under a root directory:
// <root>/<first two hex digits>/<key>, mode 0600 in 0700 directories.
// Writes go to a temporary file beside the target, are fsynced and renamed
// into place, so a reader sees a whole blob or none. The process-wide index
// of sizes (for the limits) is built from the directory on first use.
class FsBlobStore final : public BlobStore {
public:
    // "$XDG_DATA_HOME/kavu-blobs", else "$HOME/.local/share/kavu-blobs"
    // (relative values are ignored as the XDG rules say), else
    // "kavu-blobs" in the working directory.
    static std::filesystem::path default_root(const EnvLookup& env = process_env());

    FsBlobStore(std::filesystem::path root, BlobLimits limits);

    std::optional<std::vector<uint8_t>> get(std::string_view key) override;
    Result<BlobKey> put(std::span<const uint8_t> bytes, const BlobInfo& info) override;
    Result<BlobKey> put_checked(std::span<const uint8_t> bytes, std::string_view expected_key) override;
    EvictReport evict_unreferenced(const std::unordered_set<BlobKey>& referenced) override;
    bool has(std::string_view key) override;
    BlobState state(std::string_view key) override;

    // Blobs written more recently than this survive eviction, so that a
    // blob stored just before the message referring to it lands is kept.
    void set_eviction_grace(std::chrono::seconds grace);

    const std::filesystem::path& root() const { return m_root; }
    const BlobLimits& limits() const { return m_limits; }
    uint64_t stored_bytes();
    uint64_t stored_blobs();

private:
    Result<BlobKey> store(std::span<const uint8_t> bytes, const BlobInfo& info, BlobKey key);
    Result<void> write_file(std::span<const uint8_t> bytes, const BlobKey& key);
    std::filesystem::path path_of(const BlobKey& key) const;
    void ensure_indexed();

    std::filesystem::path m_root;
    BlobLimits m_limits;

    std::mutex m_mutex;
    std::condition_variable m_written;
    bool m_indexed = false;
    std::chrono::seconds m_grace{600};
    std::unordered_map<BlobKey, uint64_t> m_sizes;     // stored blobs
    std::unordered_map<BlobKey, uint64_t> m_in_flight; // puts under way
    uint64_t m_total = 0;                              // sum of m_sizes
    uint64_t m_in_flight_total = 0;                    // sum of m_in_flight
};

} // namespace blobstore
