#include <base/fatal.h>
#include <blobstore/blob_store.h>

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

#include <array>
#include <mutex>

namespace blobstore {

namespace {

std::mutex g_store_mutex;
std::shared_ptr<BlobStore> g_store;

kavu::Error no_store() {
    return kavu::make_error("no blob store is installed");
}

} // namespace

bool is_key(std::string_view text) {
    if (text.size() != 64)
        return false;
    for (char c : text) {
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

BlobKey key_of(std::span<const uint8_t> bytes) {
    std::array<uint8_t, 32> digest{};
    static const uint8_t kEmpty = 0;
    const void* data = bytes.empty() ? &kEmpty : bytes.data();
    if (gnutls_hash_fast(GNUTLS_DIG_SHA256, data, bytes.size(), digest.data()) < 0)
        kavu::fatal("sha256");
    static constexpr char kHex[] = "0123456789abcdef";
    BlobKey key;
    key.reserve(64);
    for (uint8_t b : digest) {
        key.push_back(kHex[b >> 4]);
        key.push_back(kHex[b & 15]);
    }
    return key;
}

void set_store(std::shared_ptr<BlobStore> store) {
    std::lock_guard lock(g_store_mutex);
    g_store = std::move(store);
}

std::shared_ptr<BlobStore> store() {
    std::lock_guard lock(g_store_mutex);
    return g_store;
}

Result<BlobKey> put(std::span<const uint8_t> bytes, const BlobInfo& info) {
    auto s = store();
    if (!s)
        return no_store();
    return s->put(bytes, info);
}

Result<BlobKey> put_checked(std::span<const uint8_t> bytes, std::string_view expected_key) {
    auto s = store();
    if (!s)
        return no_store();
    return s->put_checked(bytes, expected_key);
}

std::optional<std::vector<uint8_t>> get(std::string_view key) {
    auto s = store();
    return s ? s->get(key) : std::nullopt;
}

bool has(std::string_view key) {
    auto s = store();
    return s && s->has(key);
}

EvictReport evict_unreferenced(const std::unordered_set<BlobKey>& referenced) {
    auto s = store();
    return s ? s->evict_unreferenced(referenced) : EvictReport{};
}

BlobState state(std::string_view key) {
    auto s = store();
    return s ? s->state(key) : BlobState::Missing;
}

} // namespace blobstore
