#include "render/cairo_renderer.h"

#include <ui/avatar.h>
#include <ui/button.h>
#include <ui/image_store.h>
#include <ui/surface.h>
#include <ui/text_renderer.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace kavu::ui;

namespace {

const std::filesystem::path kGolden =
    std::filesystem::path(KAVU_UI_TEST_DIR) / "golden" / "scene_200x120.png";

std::shared_ptr<const Image> make_checker_image() {
    Image image;
    image.width = 40;
    image.height = 20;
    image.stride = image.width * 4;
    image.pixels.resize(static_cast<size_t>(image.stride) * image.height);
    auto* p = reinterpret_cast<uint32_t*>(image.pixels.data());
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            p[y * image.width + x] = ((x / 5 + y / 5) % 2) ? 0xfff0b296u : 0xff3a4a78u;
    return std::make_shared<const Image>(std::move(image));
}

// One decoded image, as an image store would hand out on every frame.
std::shared_ptr<const Image> checker_image() {
    static const std::shared_ptr<const Image> image = make_checker_image();
    return image;
}

// A small scene that uses every kind of drawing command.
Scene build_scene() {
    Theme theme = Theme::dark();
    Scene scene(Size{200, 120});
    scene.fill_vertical_gradient({0, 0, 200, 120}, Color::rgb(0x1a1c26), Color::rgb(0x11121a));
    surface::card(scene, {10, 10, 120, 70}, 10, theme.surface_raised, theme, 2);
    Avatar::draw_at(scene, {18, 18}, 24, Avatar::initials_for_name("Ada Lovelace"), Color::rgb(0x5865d8),
                    theme, PresenceDot::Online);
    TextRenderer::draw_text_weighted(scene, "Ada", {48, 20}, 13, FontWeight::Bold, theme.on_surface);
    TextRenderer::draw_text(scene, "Hi 👋", {48, 38}, 12, theme.on_surface_muted);
    scene.fill_rect({130, 10, 190, 40}, theme.accent, Radii{14, 2, 14, 2});
    scene.stroke_rect({130.5, 45.5, 189.5, 69.5}, theme.danger, 1, Radii::all(6));
    {
        ScopedClip clip(scene, {130, 75, 190, 110}, Radii::all(8));
        image_store::paint_image_cover(scene, checker_image(), {130, 75, 190, 110}, 8);
    }
    {
        ScopedOpacity fade(scene, 0.5f);
        scene.fill_circle({30, 95}, 14, theme.success);
        scene.fill_circle({45, 95}, 14, theme.warning);
    }
    scene.stroke_circle({80, 95}, 12, theme.focus_ring, 2);
    scene.line({100, 82}, {120, 108}, theme.on_surface, 1.5);
    Button::paint(scene, {10, 76, 120, 82}, "", ButtonStyle{}, theme);
    surface::separator(scene, 10, 120, 74, theme);
    return scene;
}

} // namespace

// The drawing of a small scene matches the committed picture. Fonts and
// rasteriser versions differ slightly between machines, so the comparison
// allows small differences; a wrong shape, colour or layout fails it.
// KAVU_UPDATE_GOLDEN=1 rewrites the picture.
TEST(GoldenScene, MatchesTheCommittedPicture) {
    Scene scene = build_scene();
    ASSERT_EQ(scene.depth(), 0);
    CairoRenderer renderer;
    auto pixels = renderer.render_to_pixels(scene, 200, 120, 1.0, Color::rgb(0x000000));
    if (std::getenv("KAVU_UPDATE_GOLDEN")) {
        auto png = encode_pixels_png(pixels);
        ASSERT_TRUE(png);
        ASSERT_TRUE(write_file_atomically(kGolden, *png));
        GTEST_SKIP() << "golden picture rewritten: " << kGolden;
    }
    std::ifstream in(kGolden, std::ios::binary);
    ASSERT_TRUE(in) << "missing " << kGolden;
    std::vector<uint8_t> golden_png{std::istreambuf_iterator<char>(in), {}};
    auto golden = decode_image(golden_png);
    ASSERT_TRUE(golden);
    ASSERT_EQ(golden->width, 200);
    ASSERT_EQ(golden->height, 120);

    int off = 0;
    double total = 0;
    for (int y = 0; y < 120; ++y) {
        const auto* a = reinterpret_cast<const uint32_t*>(pixels.data.data() + y * pixels.stride);
        const auto* b = reinterpret_cast<const uint32_t*>(golden->pixels.data() + y * golden->stride);
        for (int x = 0; x < 200; ++x) {
            int worst = 0;
            for (int shift : {0, 8, 16}) {
                int d = std::abs(static_cast<int>((a[x] >> shift) & 0xff) -
                                 static_cast<int>((b[x] >> shift) & 0xff));
                worst = std::max(worst, d);
                total += d;
            }
            if (worst > 48)
                ++off;
        }
    }
    double mean = total / (200.0 * 120 * 3);
    EXPECT_LT(off, 200 * 120 / 100) << "pixels that differ clearly";
    EXPECT_LT(mean, 3.0) << "mean channel difference";
}

TEST(GoldenScene, SamePictureEveryTime) {
    CairoRenderer renderer;
    auto a = encode_pixels_png(renderer.render_to_pixels(build_scene(), 200, 120, 1.0, Color{}));
    auto b = encode_pixels_png(renderer.render_to_pixels(build_scene(), 200, 120, 1.0, Color{}));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a, *b);
}

TEST(GoldenScene, ScaledRenderingCoversTheLargerSurface) {
    CairoRenderer renderer;
    Scene scene(Size{10, 10});
    scene.fill_rect({0, 0, 10, 10}, Color{1, 0, 0, 1});
    auto pixels = renderer.render_to_pixels(scene, 20, 20, 2.0, Color{0, 0, 1, 1});
    auto at = [&](int x, int y) {
        return reinterpret_cast<const uint32_t*>(pixels.data.data() + y * pixels.stride)[x];
    };
    EXPECT_EQ(at(19, 19), 0xffff0000u);
    EXPECT_EQ(at(0, 0), 0xffff0000u);
}

// A scene that pops more than it pushed (an application bug) still draws the
// rest of the frame instead of putting cairo into an error state.
TEST(GoldenScene, UnbalancedScenesStillDraw) {
    Scene scene(Size{10, 10});
    scene.pop_clip();
    scene.pop_opacity();
    scene.fill_rect({0, 0, 10, 10}, Color{0, 1, 0, 1});
    scene.push_clip({0, 0, 5, 5});
    CairoRenderer renderer;
    auto pixels = renderer.render_to_pixels(scene, 10, 10, 1.0, Color{0, 0, 0, 1});
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(pixels.data.data())[0], 0xff00ff00u);
    // The next frame starts unclipped.
    Scene next(Size{10, 10});
    next.fill_rect({0, 0, 10, 10}, Color{0, 0, 1, 1});
    pixels = renderer.render_to_pixels(next, 10, 10, 1.0, Color{0, 0, 0, 1});
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(pixels.data.data() + 9 * pixels.stride)[9], 0xff0000ffu);
}

// Rounded shapes and texts are rasterised once and reused while they repeat.
TEST(GoldenScene, RepeatedFramesReuseRasterisedShapesAndTexts) {
    CairoRenderer renderer;
    auto first = renderer.render_to_pixels(build_scene(), 200, 120, 1.0, Color{});
    auto built = renderer.stats();
    EXPECT_GT(built.masks_built, 0u);
    EXPECT_GT(built.sprites_built, 0u);
    auto second = renderer.render_to_pixels(build_scene(), 200, 120, 1.0, Color{});
    auto again = renderer.stats();
    EXPECT_EQ(again.masks_built, built.masks_built);
    EXPECT_EQ(again.sprites_built, built.sprites_built);
    EXPECT_EQ(again.images_scaled, built.images_scaled);
    EXPECT_EQ(first.data, second.data);
}
