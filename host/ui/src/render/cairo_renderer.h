#pragma once

#include <base/result.h>
#include <ui/color.h>
#include <ui/scene.h>

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace kavu::ui {

// Plays recorded scenes into cairo. This is the one place that issues cairo
// and pango drawing calls; it keeps a small cache of images scaled to the
// sizes they were last drawn at, so unchanged frames do not resample.
class CairoRenderer {
public:
    CairoRenderer();
    ~CairoRenderer();
    CairoRenderer(const CairoRenderer&) = delete;
    CairoRenderer& operator=(const CairoRenderer&) = delete;

    // Draws the scene onto `cr` after clearing to `background`; logical
    // coordinates are multiplied by `scale`.
    void render(const Scene& scene, cairo_t* cr, double scale, Color background);

    // Renders into a new ARGB32 surface of width x height pixels.
    struct Pixels {
        int width = 0;
        int height = 0;
        int stride = 0;
        std::vector<uint8_t> data; // premultiplied ARGB, native byte order
    };
    Pixels render_to_pixels(const Scene& scene, int width, int height, double scale, Color background);

    // Draws into caller-owned memory in cairo's ARGB32 layout (a window's
    // streaming texture).
    void render_into(const Scene& scene, uint8_t* data, int width, int height, int stride, double scale,
                     Color background);

    // What the caches had to build since the renderer was created.
    struct Stats {
        size_t masks_built = 0;
        size_t sprites_built = 0;
        size_t images_scaled = 0;
    };
    Stats stats() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

kavu::Result<std::vector<uint8_t>> encode_pixels_png(const CairoRenderer::Pixels& pixels);
kavu::Result<void> write_file_atomically(const std::filesystem::path& path,
                                         const std::vector<uint8_t>& bytes);

} // namespace kavu::ui
