#include "text/text_shaper.h"

#include <ui/rich_text_layout.h>
#include <ui/text_renderer.h>

#include <pango/pangocairo.h>

#include <cmath>
#include <list>
#include <map>
#include <unordered_map>

namespace kavu::ui {

namespace {

constexpr size_t kCacheCapacity = 8192;

struct CacheKey {
    std::string text;
    TextStyle style;
    bool operator==(const CacheKey&) const = default;
};

struct CacheKeyHash {
    size_t operator()(const CacheKey& k) const noexcept {
        size_t h = std::hash<std::string>{}(k.text);
        auto mix = [&](size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
        mix(std::hash<float>{}(k.style.size));
        mix(static_cast<size_t>(k.style.weight));
        mix(static_cast<size_t>(k.style.wrap));
        mix(std::hash<double>{}(k.style.max_width));
        return h;
    }
};

PangoWeight pango_weight(FontWeight weight) {
    return static_cast<PangoWeight>(static_cast<int>(weight));
}

} // namespace

struct TextShaper::Impl {
    GRef<PangoFontMap> font_map;
    GRef<PangoContext> context;
    // Least recently used at the back.
    std::list<std::pair<CacheKey, std::shared_ptr<const ShapedText>>> lru;
    std::unordered_map<CacheKey, decltype(lru)::iterator, CacheKeyHash> index;
    TextCacheStats stats;
};

TextShaper& TextShaper::instance() {
    static TextShaper shaper;
    return shaper;
}

TextShaper::TextShaper() : m_impl(std::make_unique<Impl>()) {
    m_impl->font_map = GRef<PangoFontMap>::adopt(pango_cairo_font_map_new());
    m_impl->context = GRef<PangoContext>::adopt(pango_font_map_create_context(m_impl->font_map.get()));
    Handle<cairo_font_options_t, cairo_font_options_destroy> options(cairo_font_options_create());
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(m_impl->context.get(), options.get());
    pango_cairo_context_set_resolution(m_impl->context.get(), 96);
    pango_context_set_round_glyph_positions(m_impl->context.get(), FALSE);
}

GRef<PangoLayout> TextShaper::new_layout(float size, FontWeight weight) {
    auto layout = GRef<PangoLayout>::adopt(pango_layout_new(m_impl->context.get()));
    Handle<PangoFontDescription, pango_font_description_free> font(pango_font_description_new());
    std::string families(kFontFamilies);
    pango_font_description_set_family(font.get(), families.c_str());
    pango_font_description_set_absolute_size(font.get(), static_cast<double>(size) * PANGO_SCALE);
    pango_font_description_set_weight(font.get(), pango_weight(weight));
    pango_layout_set_font_description(layout.get(), font.get());
    return layout;
}

Size TextShaper::layout_size(PangoLayout* layout) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return {static_cast<double>(logical.width) / PANGO_SCALE,
            static_cast<double>(logical.height) / PANGO_SCALE};
}

namespace {
constexpr const char* kAsciiFamilies = "Inter, DejaVu Sans";

bool is_ascii_text(unsigned char c) {
    return c >= 0x20 && c < 0x7f;
}

// True when the bytes at `i` start U+FE0F (emoji presentation) or U+20E3
// (combining keycap), which turn the ASCII character before them into emoji.
bool emoji_modifier_at(std::string_view text, size_t i) {
    return text.substr(i, 3) == "\xEF\xB8\x8F" || text.substr(i, 3) == "\xE2\x83\xA3";
}
} // namespace

void TextShaper::set_text(PangoLayout* layout, std::string_view text, PangoAttrList* attrs) {
    Handle<PangoAttrList, pango_attr_list_unref> list(attrs ? pango_attr_list_copy(attrs)
                                                            : pango_attr_list_new());
    size_t i = 0;
    while (i < text.size()) {
        if (!is_ascii_text(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < text.size() && is_ascii_text(static_cast<unsigned char>(text[i])) &&
               !emoji_modifier_at(text, i + 1))
            ++i;
        if (i > start) {
            PangoAttribute* family = pango_attr_family_new(kAsciiFamilies);
            family->start_index = static_cast<guint>(start);
            family->end_index = static_cast<guint>(i);
            pango_attr_list_insert_before(list.get(), family);
        }
        if (i == start)
            ++i; // an ASCII character that starts a keycap sequence
    }
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    pango_layout_set_attributes(layout, list.get());
}

namespace {
GRef<PangoLayout> build_layout(TextShaper& shaper, std::string_view text, const TextStyle& style) {
    auto layout = shaper.new_layout(style.size, style.weight);
    TextShaper::set_text(layout.get(), text, nullptr);
    if (style.wrap == Wrap::Word && style.max_width > 0) {
        pango_layout_set_width(layout.get(), static_cast<int>(style.max_width * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    return layout;
}
} // namespace

std::shared_ptr<const ShapedText> TextShaper::shape(std::string_view text, const TextStyle& style) {
    CacheKey key{std::string(text), style};
    if (auto it = m_impl->index.find(key); it != m_impl->index.end()) {
        ++m_impl->stats.hits;
        m_impl->lru.splice(m_impl->lru.begin(), m_impl->lru, it->second);
        return it->second->second;
    }
    ++m_impl->stats.misses;
    auto shaped = std::make_shared<ShapedText>();
    shaped->layout = build_layout(*this, text, style);
    shaped->size = layout_size(shaped->layout.get());
    m_impl->lru.emplace_front(key, shaped);
    m_impl->index.emplace(std::move(key), m_impl->lru.begin());
    while (m_impl->lru.size() > kCacheCapacity) {
        m_impl->index.erase(m_impl->lru.back().first);
        m_impl->lru.pop_back();
    }
    return shaped;
}

Size TextShaper::measure_uncached(std::string_view text, const TextStyle& style) {
    CacheKey key{std::string(text), style};
    if (auto it = m_impl->index.find(key); it != m_impl->index.end())
        return it->second->second->size;
    auto layout = build_layout(*this, text, style);
    return layout_size(layout.get());
}

TextCacheStats TextShaper::stats() const {
    TextCacheStats s = m_impl->stats;
    s.entries = m_impl->lru.size();
    return s;
}

void TextShaper::clear() {
    m_impl->index.clear();
    m_impl->lru.clear();
    m_impl->stats = {};
}

// ---- TextRenderer ----

Size TextRenderer::measure(std::string_view text, float size) {
    return measure_weighted(text, size, FontWeight::Regular);
}

Size TextRenderer::measure_weighted(std::string_view text, float size, FontWeight weight) {
    return measure_styled(text, TextStyle{.size = size, .weight = weight});
}

Size TextRenderer::measure_styled(std::string_view text, const TextStyle& style) {
    return TextShaper::instance().shape(text, style)->size;
}

std::shared_ptr<const ShapedText> TextRenderer::shape(std::string_view text, const TextStyle& style) {
    return TextShaper::instance().shape(text, style);
}

Size TextRenderer::draw_text(Scene& scene, std::string_view text, Point origin, float size, Color color) {
    return draw_styled(scene, text, origin, TextStyle{.size = size}, color);
}

Size TextRenderer::draw_text_weighted(Scene& scene, std::string_view text, Point origin, float size,
                                      FontWeight weight, Color color) {
    return draw_styled(scene, text, origin, TextStyle{.size = size, .weight = weight}, color);
}

Size TextRenderer::draw_styled(Scene& scene, std::string_view text, Point origin, const TextStyle& style,
                               Color color) {
    if (text.empty())
        return {0, text_metrics::line_height_px(style.size)};
    auto shaped = shape(text, style);
    Size size = shaped->size;
    scene.text(std::move(shaped), origin, color);
    return size;
}

void TextRenderer::draw_rich(Scene& scene, const RichTextLayout& layout, Point origin, Color base_color) {
    if (!layout.is_empty())
        scene.text(layout.shaped(), origin, base_color);
}

std::string TextRenderer::cut_to_fit(std::string_view text, float size, FontWeight weight, double max_width) {
    TextStyle style{.size = size, .weight = weight};
    auto& shaper = TextShaper::instance();
    if (max_width > 0 && shaper.shape(text, style)->size.width <= max_width)
        return std::string(text);
    return cut_text_to_width(text, max_width, [&](std::string_view candidate) {
        return shaper.measure_uncached(candidate, style).width;
    });
}

TextCacheStats TextRenderer::cache_stats() {
    return TextShaper::instance().stats();
}

void TextRenderer::clear_cache() {
    TextShaper::instance().clear();
}

Size shaped_text_size(const ShapedText& text) {
    return text.size;
}

namespace text_metrics {
double line_height_px(float size) {
    static std::map<float, double> heights;
    auto it = heights.find(size);
    if (it != heights.end())
        return it->second;
    double h = TextShaper::instance().measure_uncached("Ag", TextStyle{.size = size}).height;
    heights.emplace(size, h);
    return h;
}
} // namespace text_metrics

} // namespace kavu::ui

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig keeps its parsed configuration for the life of the process, and
// libdbus (loaded by SDL while it looks for a display) its connection data;
// the leak checker would report them at exit of every program that draws
// text or tries to open a window.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}
#endif
