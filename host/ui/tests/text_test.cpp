#include "render/cairo_renderer.h"

#include <ui/rich_text_layout.h>
#include <ui/scene.h>
#include <ui/text_renderer.h>

#include <gtest/gtest.h>

#include <cmath>

using namespace kavu::ui;

namespace {

// Ten pixels per code point, so expectations can be counted by hand.
double ten_per_char(std::string_view text) {
    double w = 0;
    for (unsigned char c : text)
        w += (c & 0xC0) != 0x80 ? 10 : 0;
    return w;
}

} // namespace

TEST(TextCut, FitsWholeOrCutsWithEllipsis) {
    struct Case {
        const char* text;
        double width;
        const char* expected;
    };
    const Case cases[] = {
        {"general", 70, "general"},  // exactly fits
        {"general", 200, "general"}, // room to spare
        {"general", 69, "gener…"},   // six slots: five letters and the ellipsis
        {"general", 20, "g…"},
        {"general", 10, "…"}, // only the ellipsis fits
        {"general", 5, "…"},  // not even that: still the ellipsis alone
        {"general", 0, ""},   // no room at all
        {"general", -3, ""},
        {"", 0, ""},
        {"", 10, ""},
        {"héllo wörld", 50, "héll…"}, // cuts between code points, never inside one
        {"👍👍👍", 20, "👍…"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cut_text_to_width(c.text, c.width, ten_per_char), c.expected) << c.text << " @ " << c.width;
}

TEST(TextCut, NeverSplitsMalformedUtf8) {
    // A stray continuation byte stays attached to what precedes it.
    std::string text = "ab\x80\x80"
                       "cdef";
    std::string cut = cut_text_to_width(text, 30, ten_per_char);
    EXPECT_EQ(cut, "ab\x80\x80…");
}

TEST(TextRenderer, MeasuresWithTheFontStack) {
    Size line = TextRenderer::measure("Ag", 14);
    EXPECT_GT(line.width, 5);
    EXPECT_GT(line.height, 14);
    EXPECT_LT(line.height, 24);
    EXPECT_DOUBLE_EQ(text_metrics::line_height_px(14), line.height);
    EXPECT_GT(TextRenderer::measure_weighted("Weighty", 14, FontWeight::Bold).width,
              TextRenderer::measure_weighted("Weighty", 14, FontWeight::Regular).width);
    EXPECT_GT(TextRenderer::measure("Hello", 20).width, TextRenderer::measure("Hello", 10).width);
    // Digits, '#' and spaces are covered by the emoji font too; they must
    // still be set in the text font, with ordinary spaces.
    double spaced = TextRenderer::measure("# general", 14).width;
    double tight = TextRenderer::measure("#general", 14).width;
    double space = TextRenderer::measure("a b", 14).width - TextRenderer::measure("ab", 14).width;
    EXPECT_NEAR(spaced - tight, space, 0.5);
    EXPECT_NEAR(TextRenderer::measure("3 people", 14).width - TextRenderer::measure("3people", 14).width,
                space, 0.5);
}

TEST(TextRenderer, WrapsToAWidth) {
    std::string text = "A paragraph long enough to need several lines when it is wrapped to a narrow column.";
    Size one_line = TextRenderer::measure_styled(text, TextStyle{.size = 14});
    Size wrapped =
        TextRenderer::measure_styled(text, TextStyle{.size = 14, .wrap = Wrap::Word, .max_width = 160});
    EXPECT_LE(wrapped.width, 160);
    EXPECT_GT(wrapped.height, 2.5 * one_line.height);
    EXPECT_EQ(TextRenderer::cut_to_fit(text, 14, FontWeight::Regular, 1e6), text);
    std::string cut = TextRenderer::cut_to_fit(text, 14, FontWeight::Regular, 120);
    EXPECT_LE(TextRenderer::measure(cut, 14).width, 120);
    EXPECT_EQ(cut.substr(cut.size() - 3), "…");
}

// A frame that draws the same texts again must not shape them again.
TEST(TextRenderer, UnchangedTextsAreNotReshaped) {
    TextRenderer::clear_cache();
    auto draw_frame = [](Scene& scene) {
        for (int i = 0; i < 50; ++i)
            TextRenderer::draw_text(scene, "row " + std::to_string(i), {0, i * 20.0}, 14, Color{1, 1, 1, 1});
    };
    Scene first;
    draw_frame(first);
    auto after_first = TextRenderer::cache_stats();
    EXPECT_EQ(after_first.misses, 50u);
    Scene second;
    draw_frame(second);
    auto after_second = TextRenderer::cache_stats();
    EXPECT_EQ(after_second.misses, after_first.misses);
    EXPECT_EQ(after_second.hits, after_first.hits + 50);

    std::vector<TextSpan> spans{
        {"Hello "}, {"@ada", true, std::nullopt, Color{0.3f, 0.4f, 1, 0.3f}}, {" there"}};
    auto a = RichTextLayout::shape(spans, 14, 300);
    auto b = RichTextLayout::shape(spans, 14, 300);
    EXPECT_EQ(a.shaped(), b.shaped());
    EXPECT_GT(a.width(), TextRenderer::measure("Hello @ada there", 14).width - 1);
    auto narrow = RichTextLayout::shape(spans, 14, 60);
    EXPECT_GT(narrow.height(), a.height());
}

// Colour emoji must come out in colour, not as a grey silhouette.
TEST(TextRenderer, EmojiRenderInColour) {
    Scene scene(Size{64, 40});
    TextRenderer::draw_text(scene, "🍊", {8, 4}, 24, Color{1, 1, 1, 1});
    CairoRenderer renderer;
    auto pixels = renderer.render_to_pixels(scene, 64, 40, 1.0, Color{0, 0, 0, 1});
    int saturated = 0;
    for (int y = 0; y < pixels.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(pixels.data.data() + y * pixels.stride);
        for (int x = 0; x < pixels.width; ++x) {
            int r = (row[x] >> 16) & 0xff, g = (row[x] >> 8) & 0xff, b = row[x] & 0xff;
            if (std::max({r, g, b}) - std::min({r, g, b}) > 80)
                ++saturated;
        }
    }
    EXPECT_GT(saturated, 40);
}
