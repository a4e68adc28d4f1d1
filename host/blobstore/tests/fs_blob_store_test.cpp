#include <blobstore/fs_blob_store.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace blobstore;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// SHA-256("abc"), a published test vector.
constexpr std::string_view kAbcKey = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

class FsBlobStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(::testing::TempDir()) / "blobkit-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_root = m_dir / "root";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::shared_ptr<FsBlobStore> open(BlobLimits limits = {}) {
        auto store = std::make_shared<FsBlobStore>(m_root, limits);
        store->set_eviction_grace(std::chrono::seconds(0));
        return store;
    }

    size_t files_under_root() {
        size_t n = 0;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(m_root, ec), end; !ec && it != end; it.increment(ec))
            n += it->is_regular_file() ? 1 : 0;
        return n;
    }

    fs::path m_dir;
    fs::path m_root;
};

TEST_F(FsBlobStoreTest, StoresUnderTheSha256OfTheBytes) {
    auto store = open();
    auto key = store->put(bytes("abc"), {});
    ASSERT_TRUE(key) << key.error_text();
    EXPECT_EQ(*key, kAbcKey);

    auto path = m_root / "ba" / std::string(kAbcKey);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(m_root.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    EXPECT_EQ(store->get(kAbcKey), bytes("abc"));
    // Keys in documents may be upper case; they name the same blob.
    std::string upper(kAbcKey);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(c));
    EXPECT_EQ(store->get(upper), bytes("abc"));
    EXPECT_TRUE(store->has(upper));
    EXPECT_EQ(store->state(kAbcKey), BlobState::Stored);

    // Storing the same bytes again writes nothing new and counts once.
    ASSERT_TRUE(store->put(bytes("abc"), {}));
    EXPECT_EQ(store->stored_blobs(), 1u);
    EXPECT_EQ(store->stored_bytes(), 3u);
    EXPECT_EQ(files_under_root(), 1u);
}

TEST_F(FsBlobStoreTest, TextsThatAreNotKeysNeverReachTheFileSystem) {
    auto store = open();
    const std::string not_keys[] = {
        "",
        "../../../../etc/passwd",
        std::string(63, 'a'),
        std::string(65, 'a'),
        std::string(64, 'g'),
        "../" + std::string(61, 'a'),
        std::string(62, 'a') + "/.",
        std::string(kAbcKey.substr(0, 63)) + '\0',
    };
    for (const auto& key : not_keys) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(store->get(key));
        EXPECT_FALSE(store->has(key));
        EXPECT_EQ(store->state(key), BlobState::Missing);
        EXPECT_FALSE(store->put_checked(bytes("abc"), key));
    }
    EXPECT_FALSE(fs::exists(m_root)) << "a lookup created or touched the root";
}

TEST_F(FsBlobStoreTest, PutCheckedRefusesBytesThatDoNotMatchTheirKey) {
    auto store = open();
    auto wrong = store->put_checked(bytes("abd"), kAbcKey);
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error_text(), "blob bytes do not match their key");
    EXPECT_FALSE(store->has(kAbcKey));
    auto right = store->put_checked(bytes("abc"), kAbcKey);
    ASSERT_TRUE(right);
    EXPECT_EQ(*right, kAbcKey);
}

TEST_F(FsBlobStoreTest, LimitsRefuseWithAReason) {
    auto store = open({.max_blob_bytes = 8, .max_total_bytes = 20, .max_blobs = 3, .max_image_side = 100});

    EXPECT_TRUE(store->put(Bytes(8, 'a'), {})) << "a blob of exactly the limit is accepted";
    auto big = store->put(Bytes(9, 'a'), {});
    ASSERT_FALSE(big);
    EXPECT_EQ(big.error_text(), "blob of 9 bytes exceeds the limit of 8 bytes");

    ASSERT_TRUE(store->put(Bytes(8, 'b'), {}));
    auto full = store->put(Bytes(5, 'c'), {});
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error_text(), "blob store is full: 5 more bytes would exceed 20");
    ASSERT_TRUE(store->put(Bytes(1, 'c'), {}));
    auto many = store->put(Bytes(1, 'd'), {});
    ASSERT_FALSE(many);
    EXPECT_EQ(many.error_text(), "blob store is full: it holds its limit of 3 blobs");
    // Bytes already stored are still accepted when the store is full.
    EXPECT_TRUE(store->put(Bytes(1, 'c'), {}));

    // Room made by eviction is usable again.
    auto keep = key_of(Bytes(8, 'a'));
    EXPECT_EQ(store->evict_unreferenced({keep}), (EvictReport{.blobs = 2, .bytes = 9}));
    EXPECT_TRUE(store->put(Bytes(1, 'd'), {}));
    EXPECT_TRUE(store->has(keep));
}

TEST_F(FsBlobStoreTest, RefusesImagesBeyondTheSideLimitWhoeverDescribesThem) {
    auto store = open({.max_image_side = 100});
    // A GIF header claiming 101 by 1 pixels, described honestly or not.
    Bytes gif = bytes("GIF89a");
    gif.insert(gif.end(), {101, 0, 1, 0, 0, 0, 0});
    auto honest = store->put(gif, sniff(gif));
    ASSERT_FALSE(honest);
    EXPECT_EQ(honest.error_text(), "image of 101 pixels on a side exceeds the limit of 100");
    EXPECT_FALSE(store->put(gif, {}));
    EXPECT_FALSE(store->put(bytes("not an image"), {.content_type = "image/png", .width = 1, .height = 500}));
    gif[6] = 100;
    EXPECT_TRUE(store->put(gif, sniff(gif)));
}

TEST_F(FsBlobStoreTest, DamagedFilesAreNotServedAndAPutRepairsThem) {
    auto store = open();
    ASSERT_TRUE(store->put(bytes("abc"), {}));
    auto path = m_root / "ba" / std::string(kAbcKey);
    for (std::string_view damage : {"abd", "ab"}) { // same size, then a torn write
        SCOPED_TRACE(damage);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damage;
        EXPECT_FALSE(store->get(kAbcKey));
        ASSERT_TRUE(store->put(bytes("abc"), {}));
        EXPECT_EQ(store->get(kAbcKey), bytes("abc"));
        EXPECT_EQ(store->stored_bytes(), 3u);
    }
}

TEST_F(FsBlobStoreTest, ConcurrentPutsOfTheSameBytesStoreOneWholeBlob) {
    auto store = open({.max_blobs = 2});
    Bytes payload(1 << 20);
    for (size_t i = 0; i < payload.size(); i++)
        payload[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    const auto expected = key_of(payload);

    constexpr int kThreads = 8;
    std::vector<std::string> keys(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            auto key = store->put(payload, {});
            keys[t] = key ? *key : key.error_text();
            // Whoever returns first, the blob is whole when put() returns.
            auto back = store->get(expected);
            if (!back || *back != payload)
                keys[t] = "read back failed";
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const auto& key : keys)
        EXPECT_EQ(key, expected);
    EXPECT_EQ(store->stored_blobs(), 1u);
    EXPECT_EQ(store->stored_bytes(), payload.size());
    EXPECT_EQ(files_under_root(), 1u) << "temporary files were left behind";
}

TEST_F(FsBlobStoreTest, ConcurrentPutsOfDifferentBytesRespectTheCountLimit) {
    auto store = open({.max_blobs = 5});
    constexpr int kThreads = 12;
    std::vector<int> ok(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([&, t] { ok[t] = store->put(Bytes(100, static_cast<uint8_t>(t)), {}).ok(); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::count(ok.begin(), ok.end(), 1), 5);
    EXPECT_EQ(store->stored_blobs(), 5u);
}

TEST_F(FsBlobStoreTest, AReopenedStoreCountsWhatIsOnDisk) {
    ASSERT_TRUE(open()->put(Bytes(10, 'x'), {}));
    // A stale temporary file of a crashed writer, and a foreign file.
    auto stale = m_root / "ab" / ".leftover.tmp";
    fs::create_directories(stale.parent_path());
    std::ofstream(stale) << "partial";
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
    std::ofstream(m_root / "ab" / "notes.txt") << "keep me";

    auto store = open({.max_total_bytes = 15});
    EXPECT_EQ(store->stored_blobs(), 1u);
    EXPECT_FALSE(store->put(Bytes(6, 'y'), {}));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(m_root / "ab" / "notes.txt"));
}

TEST_F(FsBlobStoreTest, AnUnwritableRootRefusesWithTheSystemsReason) {
    std::ofstream(m_dir / "file") << "in the way";
    FsBlobStore store(m_dir / "file" / "root", {});
    auto refused = store.put(bytes("abc"), {});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error_text(), "could not create the blob directory: Not a directory");
    EXPECT_EQ(store.state(kAbcKey), BlobState::Missing);
    EXPECT_EQ(store.stored_blobs(), 0u);
    // The failed put reserved nothing.
    EXPECT_EQ(store.stored_bytes(), 0u);
}

TEST_F(FsBlobStoreTest, TwoStoresOnOneRootShareBlobs) {
    auto first = open();
    auto second = open();
    ASSERT_TRUE(first->put(bytes("abc"), {}));
    EXPECT_EQ(second->get(kAbcKey), bytes("abc"));
    ASSERT_TRUE(second->put(bytes("abc"), {}));
    EXPECT_EQ(second->stored_bytes(), 3u);
    EXPECT_EQ(files_under_root(), 1u);
}

TEST_F(FsBlobStoreTest, EvictionKeepsReferencedAndRecentBlobs) {
    auto store = open();
    auto a = *store->put(bytes("a"), {});
    auto b = *store->put(bytes("b"), {});
    auto c = *store->put(bytes("c"), {});

    store->set_eviction_grace(std::chrono::hours(1));
    EXPECT_EQ(store->evict_unreferenced({}), EvictReport{}) << "fresh blobs are in their grace period";

    store->set_eviction_grace(std::chrono::seconds(0));
    std::string upper_b = b;
    for (char& ch : upper_b)
        ch = static_cast<char>(std::toupper(ch));
    EXPECT_EQ(store->evict_unreferenced({a, upper_b, "not a key"}), (EvictReport{.blobs = 1, .bytes = 1}));
    EXPECT_TRUE(store->has(a));
    EXPECT_TRUE(store->has(b));
    EXPECT_FALSE(store->has(c));
    EXPECT_EQ(store->state(c), BlobState::Missing);
}

TEST_F(FsBlobStoreTest, FreeFunctionsUseTheInstalledStore) {
    set_store(nullptr);
    auto refused = put(bytes("abc"), {});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error_text(), "no blob store is installed");
    EXPECT_FALSE(get(kAbcKey));
    EXPECT_EQ(state(kAbcKey), BlobState::Missing);

    set_store(open());
    auto key = put(bytes("abc"), sniff(bytes("abc")));
    ASSERT_TRUE(key);
    EXPECT_EQ(get(*key), bytes("abc"));
    EXPECT_TRUE(has(*key));
    EXPECT_EQ(state(*key), BlobState::Stored);
    EXPECT_TRUE(put_checked(bytes("abc"), kAbcKey));
    EXPECT_EQ(evict_unreferenced({}).blobs, 1u);
    set_store(nullptr);
}

TEST(FsBlobStoreRoot, FollowsTheXdgDataDirectory) {
    struct Case {
        std::map<std::string, std::string> env;
        fs::path expected;
    };
    const Case cases[] = {
        {{{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/ann"}}, "/data/kavu-blobs"},
        {{{"XDG_DATA_HOME", ""}, {"HOME", "/home/ann"}}, "/home/ann/.local/share/kavu-blobs"},
        {{{"XDG_DATA_HOME", "relative/dir"}, {"HOME", "/home/ann"}}, "/home/ann/.local/share/kavu-blobs"},
        {{{"HOME", "/home/ann"}}, "/home/ann/.local/share/kavu-blobs"},
        {{}, "kavu-blobs"},
    };
    for (const auto& c : cases) {
        auto env = [&](std::string_view name) -> std::optional<std::string> {
            auto it = c.env.find(std::string(name));
            if (it == c.env.end())
                return std::nullopt;
            return it->second;
        };
        EXPECT_EQ(FsBlobStore::default_root(env), c.expected);
    }
}

} // namespace
