#include <ui/image_store.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

using namespace kavu::ui;
using namespace std::chrono_literals;

namespace {

Image solid_image(int w, int h, uint32_t argb) {
    Image image;
    image.width = w;
    image.height = h;
    image.stride = w * 4;
    image.pixels.resize(static_cast<size_t>(image.stride) * h);
    auto* p = reinterpret_cast<uint32_t*>(image.pixels.data());
    for (int i = 0; i < w * h; ++i)
        p[i] = argb;
    return image;
}

// A loader over a fixed set of encoded images that records which threads it
// ran on.
struct FakeLoader {
    std::map<std::string, std::vector<uint8_t>> files;
    std::mutex mutex;
    std::vector<std::thread::id> threads;
    std::atomic<int> calls{0};

    ImageLoader loader() {
        return [this](const std::string& address) -> std::optional<std::vector<uint8_t>> {
            ++calls;
            std::lock_guard lock(mutex);
            threads.push_back(std::this_thread::get_id());
            auto it = files.find(address);
            if (it == files.end())
                return std::nullopt;
            return it->second;
        };
    }
};

} // namespace

TEST(ImageCodec, RoundTripsThroughPng) {
    Image source = solid_image(7, 5, 0xff3366ccu);
    auto decoded = decode_image(encode_png(source));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 7);
    EXPECT_EQ(decoded->height, 5);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(decoded->pixels.data())[0], 0xff3366ccu);
    // Translucent pixels come back premultiplied.
    auto half = decode_image(encode_png(solid_image(2, 2, 0x80400000u)));
    ASSERT_TRUE(half);
    uint32_t px = reinterpret_cast<const uint32_t*>(half->pixels.data())[0];
    EXPECT_EQ(px >> 24, 0x80u);
    EXPECT_NEAR(static_cast<int>((px >> 16) & 0xff), 0x40, 1);
}

TEST(ImageCodec, RefusesGarbageTruncationAndOversizedImages) {
    // Noise does not compress, so cutting the file in half cuts its pixel data.
    Image noise = solid_image(64, 64, 0);
    uint32_t state = 12345;
    for (auto& byte : noise.pixels) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    for (size_t i = 3; i < noise.pixels.size(); i += 4)
        noise.pixels[i] = 0xff;
    std::vector<uint8_t> png = encode_png(noise);
    EXPECT_FALSE(decode_image(std::vector<uint8_t>{}));
    EXPECT_FALSE(
        decode_image(std::vector<uint8_t>{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    EXPECT_FALSE(decode_image(std::span(png).first(png.size() / 2)));
    EXPECT_FALSE(decode_image(png, 32));
    EXPECT_TRUE(decode_image(png, 64));
}

TEST(ImageStore, LoadsOnAWorkerAndReportsEachState) {
    FakeLoader files;
    files.files["img://ok"] = encode_png(solid_image(4, 3, 0xff112233u));
    files.files["img://corrupt"] = {1, 2, 3, 4};
    auto store = ImageStore::create(files.loader());

    EXPECT_TRUE(store->is_idle());
    EXPECT_EQ(store->get("img://ok").state, ImageState::Loading);
    EXPECT_EQ(store->get("img://corrupt").state, ImageState::Loading);
    EXPECT_EQ(store->get("img://missing").state, ImageState::Loading);
    ASSERT_TRUE(store->block_until_idle(5s));
    EXPECT_TRUE(store->is_idle());

    auto ok = store->get("img://ok");
    ASSERT_EQ(ok.state, ImageState::Ready);
    ASSERT_TRUE(ok.image);
    EXPECT_EQ(ok.image->width, 4);
    EXPECT_EQ(store->get("img://corrupt").state, ImageState::Failed);
    EXPECT_EQ(store->get("img://missing").state, ImageState::Failed);
    // Failed addresses are remembered, not retried on every lookup.
    EXPECT_EQ(files.calls.load(), 3);

    std::lock_guard lock(files.mutex);
    for (auto id : files.threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST(ImageStore, KeepsTheCacheWithinItsBudget) {
    FakeLoader files;
    for (int i = 0; i < 6; ++i)
        files.files["img://" + std::to_string(i)] = encode_png(solid_image(32, 32, 0xff000000u + i));
    // Room for two 32x32 images (4 KiB each).
    auto store = ImageStore::create(files.loader(), ImageStoreLimits{.max_cached_bytes = 9000});
    for (int i = 0; i < 6; ++i) {
        store->get("img://" + std::to_string(i));
        ASSERT_TRUE(store->block_until_idle(5s));
        EXPECT_LE(store->cached_bytes(), 9000u);
    }
    // The most recent image stays; the oldest was evicted and loads again.
    EXPECT_EQ(store->get("img://5").state, ImageState::Ready);
    EXPECT_EQ(store->get("img://0").state, ImageState::Loading);
    ASSERT_TRUE(store->block_until_idle(5s));
    EXPECT_EQ(store->get("img://0").state, ImageState::Ready);
}

TEST(ImageStore, BlockUntilIdleGivesUpAfterItsTimeout) {
    std::atomic<bool> release{false};
    auto store = ImageStore::create([&](const std::string&) -> std::optional<std::vector<uint8_t>> {
        while (!release)
            std::this_thread::yield();
        return std::nullopt;
    });
    store->get("img://slow");
    EXPECT_FALSE(store->block_until_idle(20ms));
    EXPECT_FALSE(store->is_idle());
    release = true;
    EXPECT_TRUE(store->block_until_idle(5s));
}
