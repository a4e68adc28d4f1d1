#pragma once

#include <ui/geometry.h>
#include <ui/scene.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

// Decoded pixels in the renderer's native format: 32-bit words holding
// premultiplied ARGB in native byte order, rows `stride` bytes apart.
struct Image {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> pixels;
};

enum class ImageState { Loading, Ready, Failed };

struct ImageLookup {
    ImageState state = ImageState::Loading;
    std::shared_ptr<const Image> image; // set when Ready
};

// Turns an image address into encoded image bytes (PNG, JPEG, ...), or nothing
// when the address is unknown. Called on the store's worker thread.
using ImageLoader = std::function<std::optional<std::vector<uint8_t>>(const std::string& address)>;

struct ImageStoreLimits {
    size_t max_cached_bytes = 128u << 20; // decoded pixels kept before the least recently used go
    int max_dimension = 8192;             // larger images are refused
};

// Loads and decodes images by address on a worker thread, never on the UI
// thread, and keeps the decoded images in a bounded cache.
class ImageStore {
public:
    // Spelled `create` because `new` is reserved.
    static std::unique_ptr<ImageStore> create(ImageLoader loader, ImageStoreLimits limits = {});
    ~ImageStore();
    ImageStore(const ImageStore&) = delete;
    ImageStore& operator=(const ImageStore&) = delete;

    // The address's current state. An address seen for the first time (or
    // evicted since) starts loading and reports Loading.
    ImageLookup get(std::string_view address);
    // Nothing queued or decoding.
    bool is_idle() const;
    // Waits until idle or the timeout passes; true when idle.
    bool block_until_idle(std::chrono::milliseconds timeout);
    // Bytes of decoded pixels held.
    size_t cached_bytes() const;

    struct Impl;

private:
    explicit ImageStore(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// Decodes encoded image bytes into an Image; nothing when they are not an
// image gdk-pixbuf can read or exceed `max_dimension`.
std::optional<Image> decode_image(std::span<const uint8_t> bytes, int max_dimension = 8192);
// Encodes pixels as PNG bytes (for drawn pictures handed to a loader).
std::vector<uint8_t> encode_png(const Image& image);

namespace image_store {
// Paints the image to cover the rounded rectangle, keeping its proportions
// (centred, cropped on the long side).
void paint_image_cover(Scene& scene, std::shared_ptr<const Image> image, Rect rect, double radius,
                       float opacity = 1);
} // namespace image_store

} // namespace kavu::ui
