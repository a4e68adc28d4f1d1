#include "core/handles.h"

#include <ui/image_store.h>

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>

namespace kavu::ui {

std::optional<Image> decode_image(std::span<const uint8_t> bytes, int max_dimension) {
    if (bytes.empty())
        return std::nullopt;
    auto loader = GRef<GdkPixbufLoader>::adopt(gdk_pixbuf_loader_new());
    // Oversized images are refused before their pixels are allocated: the
    // loader is told to decode a single pixel and the result is dropped.
    struct SizeCheck {
        int max = 0;
        bool refused = false;
        int rows_done = 0; // rows the decoder has filled in
    } check{max_dimension};
    // A truncated file can still "close" successfully with its missing rows
    // left blank; counting the decoded rows tells such a file apart.
    g_signal_connect(loader.get(), "area-updated",
                     G_CALLBACK(+[](GdkPixbufLoader*, int, int y, int, int h, gpointer data) {
                         auto* c = static_cast<SizeCheck*>(data);
                         c->rows_done = std::max(c->rows_done, y + h);
                     }),
                     &check);
    g_signal_connect(loader.get(), "size-prepared",
                     G_CALLBACK(+[](GdkPixbufLoader* l, int w, int h, gpointer data) {
                         auto* c = static_cast<SizeCheck*>(data);
                         if (w > c->max || h > c->max || w <= 0 || h <= 0) {
                             c->refused = true;
                             gdk_pixbuf_loader_set_size(l, 1, 1);
                         }
                     }),
                     &check);
    GError* error = nullptr;
    bool ok = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), &error);
    if (error) {
        g_error_free(error);
        error = nullptr;
    }
    bool closed = gdk_pixbuf_loader_close(loader.get(), &error);
    if (error)
        g_error_free(error);
    if (!ok || !closed || check.refused)
        return std::nullopt;
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get()); // owned by the loader
    if (!pixbuf)
        return std::nullopt;
    int width = gdk_pixbuf_get_width(pixbuf);
    int height = gdk_pixbuf_get_height(pixbuf);
    if (width <= 0 || height <= 0 || width > max_dimension || height > max_dimension)
        return std::nullopt;
    if (check.rows_done < height)
        return std::nullopt;
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || channels < 3)
        return std::nullopt;
    int src_stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guint8* src = gdk_pixbuf_read_pixels(pixbuf);

    Image image;
    image.width = width;
    image.height = height;
    image.stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    image.pixels.resize(static_cast<size_t>(image.stride) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const guint8* row = src + static_cast<size_t>(y) * static_cast<size_t>(src_stride);
        auto* out = reinterpret_cast<uint32_t*>(image.pixels.data() + static_cast<size_t>(y) * image.stride);
        for (int x = 0; x < width; ++x) {
            const guint8* p = row + static_cast<size_t>(x) * channels;
            uint32_t a = alpha ? p[3] : 255;
            uint32_t r = (p[0] * a + 127) / 255;
            uint32_t g = (p[1] * a + 127) / 255;
            uint32_t b = (p[2] * a + 127) / 255;
            out[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return image;
}

std::vector<uint8_t> encode_png(const Image& image) {
    Handle<cairo_surface_t, cairo_surface_destroy> surface(
        cairo_image_surface_create_for_data(const_cast<uint8_t*>(image.pixels.data()), CAIRO_FORMAT_ARGB32,
                                            image.width, image.height, image.stride));
    std::vector<uint8_t> out;
    cairo_surface_write_to_png_stream(
        surface.get(),
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(closure);
            bytes->insert(bytes->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &out);
    return out;
}

} // namespace kavu::ui
