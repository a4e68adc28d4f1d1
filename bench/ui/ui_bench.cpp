// Frame time of the drawing path: recording a 1280x800 scene of 300 text
// runs, 200 rounded cards and 20 images, and rasterising it, as the window
// loop does every frame. Texts are unchanged between frames, so after the
// first frame nothing is shaped again.
//
//   ui_bench [frames] [only-cards|only-images|only-text|only-cards+text|...]
// prints "median_frame_ms <value>" among its lines; the second argument
// draws one kind of element alone, to see where the time goes.
#include "render/cairo_renderer.h"

#include <ui/image_store.h>
#include <ui/surface.h>
#include <ui/text_renderer.h>
#include <ui/theme.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace kavu::ui;

namespace {

std::shared_ptr<const Image> make_image(int w, int h, uint32_t seed) {
    Image image;
    image.width = w;
    image.height = h;
    image.stride = w * 4;
    image.pixels.resize(static_cast<size_t>(image.stride) * h);
    auto* p = reinterpret_cast<uint32_t*>(image.pixels.data());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[y * w + x] = 0xff000000u | ((x * 255 / w) << 16) | ((y * 255 / h) << 8) | (seed * 40 & 0xff);
    return std::make_shared<const Image>(std::move(image));
}

struct Fixture {
    bool cards = true;
    bool images_on = true;
    bool text = true;
    Theme theme = Theme::dark();
    std::vector<std::string> texts;
    std::vector<std::shared_ptr<const Image>> images;

    Fixture() {
        const char* words[] = {"design", "review",   "ship",     "the",      "call",  "overlay", "grid", "😀",
                               "thread", "#general", "3 people", "tomorrow", "agent", "✓ done",  "notes"};
        for (int i = 0; i < 300; ++i) {
            std::string t;
            for (int w = 0; w < 3 + i % 5; ++w) {
                if (w)
                    t += ' ';
                t += words[(i * 7 + w * 3) % std::size(words)];
            }
            texts.push_back(t + " " + std::to_string(i));
        }
        for (int i = 0; i < 20; ++i)
            images.push_back(make_image(640, 360, static_cast<uint32_t>(i)));
    }

    // Records the frame into `scene`, reusing its storage as the window
    // loop does.
    void build(Scene& scene) const {
        scene.clear();
        scene.fill_rect({0, 0, 1280, 800}, theme.surface);
        // 200 cards in a 20 x 10 grid.
        for (int i = 0; i < (cards ? 200 : 0); ++i) {
            double x = 8 + (i % 20) * 63.5;
            double y = 8 + (i / 20) * 79.0;
            surface::card(scene, Rect::from_xywh(x, y, 58, 72), 10, theme.surface_raised, theme, 0);
        }
        // 20 images, cover-painted into rounded thumbnails.
        for (int i = 0; i < (images_on ? 20 : 0); ++i) {
            Rect r = Rect::from_xywh(20 + (i % 10) * 125.0, 640 + (i / 10) * 76.0, 116, 68);
            image_store::paint_image_cover(scene, images[static_cast<size_t>(i)], r, 12);
        }
        // 300 text runs in three columns.
        for (int i = 0; i < (text ? 300 : 0); ++i) {
            double x = 16 + (i % 3) * 420.0;
            double y = 12 + (i / 3) * 6.2;
            TextRenderer::draw_text(scene, texts[static_cast<size_t>(i)], {x, y}, i % 4 == 0 ? 15.0f : 13.0f,
                                    i % 2 ? theme.on_surface : theme.on_surface_muted);
        }
    }
};

// CPU time of this thread: unlike wall time it does not count the time the
// scheduler gave to other processes, which matters on a shared machine.
double thread_cpu_ms() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::max(5, std::atoi(argv[1])) : 200;
    Fixture fixture;
    if (argc > 2) {
        std::string only = argv[2];
        fixture.cards = only.find("cards") != std::string::npos;
        fixture.images_on = only.find("images") != std::string::npos;
        fixture.text = only.find("text") != std::string::npos;
    }
    CairoRenderer renderer;
    std::vector<uint8_t> target(1280 * 800 * 4);

    auto first_start = std::chrono::steady_clock::now();
    Scene scene(Size{1280, 800});
    fixture.build(scene);
    renderer.render_into(scene, target.data(), 1280, 800, 1280 * 4, 1.0, fixture.theme.surface);
    double first_ms = ms_since(first_start);
    auto stats_after_first = TextRenderer::cache_stats();
    auto raster_after_first = renderer.stats();

    std::vector<double> record_ms, render_ms, frame_ms, cpu_ms;
    for (int i = 0; i < frames; ++i) {
        double cpu0 = thread_cpu_ms();
        auto t0 = std::chrono::steady_clock::now();
        fixture.build(scene);
        double recorded = ms_since(t0);
        auto t1 = std::chrono::steady_clock::now();
        renderer.render_into(scene, target.data(), 1280, 800, 1280 * 4, 1.0, fixture.theme.surface);
        double rendered = ms_since(t1);
        record_ms.push_back(recorded);
        render_ms.push_back(rendered);
        frame_ms.push_back(recorded + rendered);
        cpu_ms.push_back(thread_cpu_ms() - cpu0);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto p95 = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() * 95 / 100];
    };
    auto stats = TextRenderer::cache_stats();
    std::printf("scene 1280x800: 300 text runs, 200 cards, 20 images; %d frames\n", frames);
    std::printf("first_frame_ms %.3f (shapes every text)\n", first_ms);
    std::printf("texts_shaped_after_first_frame %zu\n", stats.misses - stats_after_first.misses);
    auto raster = renderer.stats();
    std::printf("rasterised_after_first_frame: %zu texts, %zu shapes, %zu images\n",
                raster.sprites_built - raster_after_first.sprites_built,
                raster.masks_built - raster_after_first.masks_built,
                raster.images_scaled - raster_after_first.images_scaled);
    std::printf("median_record_ms %.3f\n", median(record_ms));
    std::printf("median_render_ms %.3f\n", median(render_ms));
    std::printf("p95_frame_ms %.3f\n", p95(frame_ms));
    std::printf("median_frame_cpu_ms %.3f\n", median(cpu_ms));
    std::printf("median_frame_ms %.3f\n", median(frame_ms));
    return 0;
}
