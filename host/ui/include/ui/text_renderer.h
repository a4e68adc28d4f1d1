#pragma once

#include <ui/color.h>
#include <ui/geometry.h>
#include <ui/scene.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kavu::ui {

class RichTextLayout;

// Text sizes are points; one point is one logical pixel.
enum class FontWeight : int { Regular = 400, Medium = 500, SemiBold = 600, Bold = 700 };

// The font stack every text is set in: Latin text in Inter, emoji in colour
// from Noto Color Emoji, everything else from DejaVu Sans.
inline constexpr std::string_view kFontFamilies = "Inter, Noto Color Emoji, DejaVu Sans";

enum class Wrap { None, Word };

struct TextStyle {
    float size = 14;
    FontWeight weight = FontWeight::Regular;
    Wrap wrap = Wrap::None;
    double max_width = -1; // wrapping width; ignored when wrap is None
    bool operator==(const TextStyle&) const = default;
};

struct TextCacheStats {
    size_t entries = 0;
    size_t hits = 0;
    size_t misses = 0; // each miss shaped a text
};

// Shapes, measures and records text. Shaped layouts are cached by text and
// style, so a frame that shows the same texts again shapes nothing. Every
// function must be called on the UI thread.
class TextRenderer {
public:
    // Width and height of one line of `text`; "Ag" gives a line height.
    static Size measure(std::string_view text, float size);
    static Size measure_weighted(std::string_view text, float size, FontWeight weight);
    static Size measure_styled(std::string_view text, const TextStyle& style);

    // The shaped text, from the cache when it was shaped before.
    static std::shared_ptr<const ShapedText> shape(std::string_view text, const TextStyle& style);

    // Records the text with its top left at `origin`; returns its size.
    static Size draw_text(Scene& scene, std::string_view text, Point origin, float size, Color color);
    static Size draw_text_weighted(Scene& scene, std::string_view text, Point origin, float size,
                                   FontWeight weight, Color color);
    static Size draw_styled(Scene& scene, std::string_view text, Point origin, const TextStyle& style,
                            Color color);
    static void draw_rich(Scene& scene, const RichTextLayout& layout, Point origin, Color base_color);

    // The text cut to `max_width` with a trailing "…" (see cut_text_to_width).
    static std::string cut_to_fit(std::string_view text, float size, FontWeight weight, double max_width);

    static TextCacheStats cache_stats();
    static void clear_cache();
};

// The size of a shaped text in logical pixels.
Size shaped_text_size(const ShapedText& text);

namespace text_metrics {
// The height of one line of text at this size, in logical pixels.
double line_height_px(float size);
} // namespace text_metrics

// Cuts a text to fit a width: a text that fits is returned whole; a width of 0
// or less gives ""; otherwise the longest prefix (whole code points, never
// splitting a character) that still fits with "…" after it, followed by "…"
// (possibly "…" alone). `measure` gives the width of a candidate text.
std::string cut_text_to_width(std::string_view text, double max_width,
                              const std::function<double(std::string_view)>& measure);

} // namespace kavu::ui
