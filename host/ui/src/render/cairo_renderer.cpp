#include "render/cairo_renderer.h"

#include "core/handles.h"
#include "text/shaped_text.h"

#include <ui/image_store.h>

#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <list>
#include <map>
#include <optional>

namespace kavu::ui {

namespace {

using CairoSurface = Handle<cairo_surface_t, cairo_surface_destroy>;
using CairoContext = Handle<cairo_t, cairo_destroy>;
using CairoPattern = Handle<cairo_pattern_t, cairo_pattern_destroy>;

void set_color(cairo_t* cr, Color c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

// Adds a rounded rectangle to the path. Radii are clamped to half the
// shorter side so that neighbouring corners never overlap.
void rounded_rect_path(cairo_t* cr, Rect r, Radii radii) {
    double w = r.width();
    double h = r.height();
    if (w <= 0 || h <= 0)
        return;
    if (radii.is_zero()) {
        cairo_rectangle(cr, r.x0, r.y0, w, h);
        return;
    }
    double limit = std::min(w, h) / 2;
    auto clamp = [&](double v) { return std::clamp(v, 0.0, limit); };
    double tl = clamp(radii.top_left), tr = clamp(radii.top_right);
    double br = clamp(radii.bottom_right), bl = clamp(radii.bottom_left);
    constexpr double kQuarter = M_PI / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.x1 - tr, r.y0 + tr, tr, -kQuarter, 0);
    cairo_arc(cr, r.x1 - br, r.y1 - br, br, 0, kQuarter);
    cairo_arc(cr, r.x0 + bl, r.y1 - bl, bl, kQuarter, 2 * kQuarter);
    cairo_arc(cr, r.x0 + tl, r.y0 + tl, tl, 2 * kQuarter, 3 * kQuarter);
    cairo_close_path(cr);
}

Radii grown(Radii r, double d) {
    auto g = [&](double v) { return std::max(0.0, v + d); };
    return {g(r.top_left), g(r.top_right), g(r.bottom_right), g(r.bottom_left)};
}

struct ScaledKey {
    const Image* image;
    int width;
    int height;
    auto operator<=>(const ScaledKey&) const = default;
};

struct ScaledEntry {
    std::weak_ptr<const Image> source; // detects an address reused by a new image
    CairoSurface surface;
    uint64_t last_used = 0;
};

constexpr size_t kScaledCacheEntries = 96;

// Rounded shapes and texts repeat from frame to frame (every card of a list
// has the same size), and rasterising an anti-aliased rounded path or a run
// of glyphs costs far more than blending a small ready-made bitmap. Both are
// therefore rasterised once per size and sub-pixel phase (a quarter pixel)
// and blended from then on.
constexpr int kPhases = 4;
constexpr size_t kMaskBudget = 16u << 20;
constexpr size_t kSpriteBudget = 48u << 20;
constexpr double kMaxCachedSide = 640; // larger shapes are drawn directly

int quarter(double v) {
    return static_cast<int>(std::lround(v * kPhases));
}

struct ShapeKey {
    bool stroke = false;
    int width = 0; // device size, quarter pixels
    int height = 0;
    std::array<int, 4> radii{};
    int line = 0; // stroke width, quarter pixels
    int phase_x = 0;
    int phase_y = 0;
    auto operator<=>(const ShapeKey&) const = default;
};

struct CardKey {
    ShapeKey shape;
    std::array<float, 4> fill{};
    std::array<float, 4> border{};
    auto operator<=>(const CardKey&) const = default;
};

struct SpriteKey {
    const ShapedText* text = nullptr;
    std::array<float, 4> color{};
    int scale = 0; // device scale, thousandths
    int phase_x = 0;
    int phase_y = 0;
    auto operator<=>(const SpriteKey&) const = default;
};

struct CachedSurface {
    CairoSurface surface;
    double offset_x = 0; // device position of the surface relative to the whole-pixel origin
    double offset_y = 0;
    size_t bytes = 0;
    uint64_t last_used = 0;
    std::weak_ptr<const ShapedText> text; // sprites only: detects a reused address
};

template <typename Key> void evict_lru(std::map<Key, CachedSurface>& cache, size_t& bytes, size_t budget) {
    while (bytes > budget && !cache.empty()) {
        auto oldest = std::min_element(cache.begin(), cache.end(), [](const auto& a, const auto& b) {
            return a.second.last_used < b.second.last_used;
        });
        bytes -= oldest->second.bytes;
        cache.erase(oldest);
    }
}

// Splits a device coordinate into whole pixels and a quarter-pixel phase.
std::pair<double, int> split_phase(double v) {
    double whole = std::floor(v);
    int phase = std::clamp(quarter(v - whole), 0, kPhases);
    if (phase == kPhases) {
        whole += 1;
        phase = 0;
    }
    return {whole, phase};
}

} // namespace

struct CairoRenderer::Impl {
    std::map<ScaledKey, ScaledEntry> scaled;
    std::map<ShapeKey, CachedSurface> masks;
    std::map<SpriteKey, CachedSurface> sprites;
    std::map<CardKey, CachedSurface> cards;
    size_t card_bytes = 0;
    size_t mask_bytes = 0;
    size_t sprite_bytes = 0;
    std::vector<float> opacity_stack; // alphas of the open opacity groups
    int clip_depth = 0;
    uint64_t frame = 0;
    Stats stats;

    // Fills or strokes a rounded rectangle through the mask cache; false
    // when the shape is not worth caching (the caller draws it directly).
    bool rounded_cached(cairo_t* cr, Rect rect, Radii radii, Color color, double line, double scale);
    void bordered(cairo_t* cr, const draw::BorderedRect& card, double scale);
    void text_cached(cairo_t* cr, const std::shared_ptr<const ShapedText>& text, Point origin, Color color,
                     double scale);

    // The image resampled to w x h device pixels, cached while it is drawn.
    cairo_surface_t* scaled_image(const std::shared_ptr<const Image>& image, int w, int h);
    void evict();
    void draw(cairo_t* cr, const DrawCommand& command, double scale);
};

cairo_surface_t* CairoRenderer::Impl::scaled_image(const std::shared_ptr<const Image>& image, int w, int h) {
    ScaledKey key{image.get(), w, h};
    auto it = scaled.find(key);
    if (it != scaled.end() && it->second.source.lock() == image) {
        it->second.last_used = frame;
        return it->second.surface.get();
    }
    CairoSurface source(cairo_image_surface_create_for_data(const_cast<uint8_t*>(image->pixels.data()),
                                                            CAIRO_FORMAT_ARGB32, image->width, image->height,
                                                            image->stride));
    CairoSurface target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    CairoContext cr(cairo_create(target.get()));
    cairo_scale(cr.get(), static_cast<double>(w) / image->width, static_cast<double>(h) / image->height);
    cairo_set_source_surface(cr.get(), source.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_paint(cr.get());
    cr.reset();
    cairo_surface_flush(target.get());
    ++stats.images_scaled;
    auto& entry = scaled[key];
    entry.source = image;
    entry.surface = std::move(target);
    entry.last_used = frame;
    return entry.surface.get();
}

bool CairoRenderer::Impl::rounded_cached(cairo_t* cr, Rect rect, Radii radii, Color color, double line,
                                         double scale) {
    double x = rect.x0, y = rect.y0;
    cairo_user_to_device(cr, &x, &y);
    double w = rect.width() * scale;
    double h = rect.height() * scale;
    if (w <= 0 || h <= 0 || w > kMaxCachedSide || h > kMaxCachedSide || !std::isfinite(x) ||
        !std::isfinite(y))
        return false;
    auto [whole_x, phase_x] = split_phase(x);
    auto [whole_y, phase_y] = split_phase(y);
    ShapeKey key{line > 0,
                 quarter(w),
                 quarter(h),
                 {quarter(radii.top_left * scale), quarter(radii.top_right * scale),
                  quarter(radii.bottom_right * scale), quarter(radii.bottom_left * scale)},
                 quarter(line * scale),
                 phase_x,
                 phase_y};
    auto it = masks.find(key);
    if (it == masks.end()) {
        double pad = line > 0 ? std::ceil(line * scale) + 1 : 1;
        int mw = static_cast<int>(std::ceil(w + 2 * pad + 1));
        int mh = static_cast<int>(std::ceil(h + 2 * pad + 1));
        CachedSurface entry;
        entry.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, mw, mh));
        CairoContext mc(cairo_create(entry.surface.get()));
        double ox = pad + static_cast<double>(phase_x) / kPhases;
        double oy = pad + static_cast<double>(phase_y) / kPhases;
        Radii device{radii.top_left * scale, radii.top_right * scale, radii.bottom_right * scale,
                     radii.bottom_left * scale};
        rounded_rect_path(mc.get(), Rect{ox, oy, ox + w, oy + h}, device);
        cairo_set_source_rgba(mc.get(), 0, 0, 0, 1);
        if (line > 0) {
            cairo_set_line_width(mc.get(), line * scale);
            cairo_stroke(mc.get());
        } else {
            cairo_fill(mc.get());
        }
        mc.reset();
        cairo_surface_flush(entry.surface.get());
        entry.offset_x = -pad;
        entry.offset_y = -pad;
        entry.bytes = static_cast<size_t>(cairo_image_surface_get_stride(entry.surface.get())) * mh;
        mask_bytes += entry.bytes;
        ++stats.masks_built;
        it = masks.emplace(key, std::move(entry)).first;
    }
    it->second.last_used = frame;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    set_color(cr, color);
    cairo_mask_surface(cr, it->second.surface.get(), whole_x + it->second.offset_x,
                       whole_y + it->second.offset_y);
    cairo_restore(cr);
    return true;
}

// Most texts have no colour glyphs: they are rasterised once in white, kept
// as an alpha mask and blended in any colour. A text with colour emoji is
// kept as a colour sprite per text colour instead.
void CairoRenderer::Impl::text_cached(cairo_t* cr, const std::shared_ptr<const ShapedText>& text,
                                      Point origin, Color color, double scale) {
    double x = origin.x, y = origin.y;
    cairo_user_to_device(cr, &x, &y);
    auto [whole_x, phase_x] = split_phase(x);
    auto [whole_y, phase_y] = split_phase(y);
    int scale_key = static_cast<int>(std::lround(scale * 1000));
    double px = static_cast<double>(phase_x) / kPhases;
    double py = static_cast<double>(phase_y) / kPhases;

    auto find_valid = [&](const SpriteKey& key) {
        auto it = sprites.find(key);
        if (it != sprites.end() && it->second.text.lock() != text) {
            sprite_bytes -= it->second.bytes;
            sprites.erase(it);
            return sprites.end();
        }
        return it;
    };
    // Rasterises the text in `ink` colour into a new ARGB sprite; nothing
    // when it is too large to keep.
    auto rasterise = [&](Color ink_color) -> std::optional<CachedSurface> {
        PangoRectangle ink;
        pango_layout_get_extents(text->layout.get(), &ink, nullptr);
        double ink_x0 = std::floor(static_cast<double>(ink.x) / PANGO_SCALE * scale + px) - 1;
        double ink_y0 = std::floor(static_cast<double>(ink.y) / PANGO_SCALE * scale + py) - 1;
        double ink_x1 = std::ceil(static_cast<double>(ink.x + ink.width) / PANGO_SCALE * scale + px) + 1;
        double ink_y1 = std::ceil(static_cast<double>(ink.y + ink.height) / PANGO_SCALE * scale + py) + 1;
        int sw = std::max(1, static_cast<int>(ink_x1 - ink_x0));
        int sh = std::max(1, static_cast<int>(ink_y1 - ink_y0));
        if (sw > 4096 || sh > 4096)
            return std::nullopt;
        CachedSurface entry;
        entry.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sw, sh));
        CairoContext sc(cairo_create(entry.surface.get()));
        cairo_translate(sc.get(), px - ink_x0, py - ink_y0);
        cairo_scale(sc.get(), scale, scale);
        set_color(sc.get(), ink_color);
        cairo_move_to(sc.get(), 0, 0);
        pango_cairo_show_layout(sc.get(), text->layout.get());
        sc.reset();
        cairo_surface_flush(entry.surface.get());
        entry.offset_x = ink_x0;
        entry.offset_y = ink_y0;
        entry.text = text;
        ++stats.sprites_built;
        return entry;
    };
    auto store = [&](const SpriteKey& key, CachedSurface entry) {
        entry.bytes = entry.surface
                          ? static_cast<size_t>(cairo_image_surface_get_stride(entry.surface.get())) *
                                cairo_image_surface_get_height(entry.surface.get())
                          : 64;
        sprite_bytes += entry.bytes;
        return sprites.emplace(key, std::move(entry)).first;
    };

    SpriteKey plain_key{text.get(), {-1, -1, -1, -1}, scale_key, phase_x, phase_y};
    auto plain = find_valid(plain_key);
    if (plain == sprites.end()) {
        auto white = rasterise(Color{1, 1, 1, 1});
        if (!white) {
            cairo_save(cr);
            set_color(cr, color);
            cairo_move_to(cr, origin.x, origin.y);
            pango_cairo_show_layout(cr, text->layout.get());
            cairo_restore(cr);
            return;
        }
        cairo_surface_t* argb = white->surface.get();
        int w = cairo_image_surface_get_width(argb);
        int h = cairo_image_surface_get_height(argb);
        int stride = cairo_image_surface_get_stride(argb);
        const uint8_t* data = cairo_image_surface_get_data(argb);
        bool colourless = true;
        for (int row = 0; row < h && colourless; ++row) {
            const auto* p = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(row) * stride);
            for (int col = 0; col < w; ++col) {
                uint32_t a = p[col] >> 24;
                if (((p[col] >> 16) & 0xff) != a || ((p[col] >> 8) & 0xff) != a || (p[col] & 0xff) != a) {
                    colourless = false;
                    break;
                }
            }
        }
        CachedSurface entry;
        entry.offset_x = white->offset_x;
        entry.offset_y = white->offset_y;
        entry.text = text;
        if (colourless) {
            entry.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h));
            uint8_t* mask = cairo_image_surface_get_data(entry.surface.get());
            int mask_stride = cairo_image_surface_get_stride(entry.surface.get());
            for (int row = 0; row < h; ++row) {
                const auto* p = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(row) * stride);
                for (int col = 0; col < w; ++col)
                    mask[static_cast<size_t>(row) * mask_stride + col] = static_cast<uint8_t>(p[col] >> 24);
            }
            cairo_surface_mark_dirty(entry.surface.get());
        }
        plain = store(plain_key, std::move(entry));
    }
    plain->second.last_used = frame;
    if (plain->second.surface) {
        cairo_save(cr);
        cairo_identity_matrix(cr);
        set_color(cr, color);
        cairo_mask_surface(cr, plain->second.surface.get(), whole_x + plain->second.offset_x,
                           whole_y + plain->second.offset_y);
        cairo_restore(cr);
        return;
    }

    SpriteKey key{text.get(), {color.r, color.g, color.b, color.a}, scale_key, phase_x, phase_y};
    auto it = find_valid(key);
    if (it == sprites.end()) {
        auto sprite = rasterise(color);
        if (!sprite)
            return;
        it = store(key, std::move(*sprite));
    }
    it->second.last_used = frame;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, it->second.surface.get(), whole_x + it->second.offset_x,
                             whole_y + it->second.offset_y);
    cairo_paint(cr);
    cairo_restore(cr);
}

namespace {
// Draws fill and border directly; the card cache falls back to this for
// shapes too large to keep.
void draw_bordered_direct(cairo_t* cr, const draw::BorderedRect& c) {
    rounded_rect_path(cr, c.rect, c.radii);
    set_color(cr, c.fill);
    cairo_fill(cr);
    if (c.border_width <= 0 || c.border.a <= 0)
        return;
    double half = c.border_width / 2;
    Radii inner{std::max(0.0, c.radii.top_left - half), std::max(0.0, c.radii.top_right - half),
                std::max(0.0, c.radii.bottom_right - half), std::max(0.0, c.radii.bottom_left - half)};
    rounded_rect_path(cr, c.rect.inset(half), inner);
    set_color(cr, c.border);
    cairo_set_line_width(cr, c.border_width);
    cairo_stroke(cr);
}
} // namespace

void CairoRenderer::Impl::bordered(cairo_t* cr, const draw::BorderedRect& c, double scale) {
    double x = c.rect.x0, y = c.rect.y0;
    cairo_user_to_device(cr, &x, &y);
    double w = c.rect.width() * scale;
    double h = c.rect.height() * scale;
    if (w <= 0 || h <= 0)
        return;
    if (w > kMaxCachedSide || h > kMaxCachedSide || !std::isfinite(x) || !std::isfinite(y)) {
        draw_bordered_direct(cr, c);
        return;
    }
    auto [whole_x, phase_x] = split_phase(x);
    auto [whole_y, phase_y] = split_phase(y);
    CardKey key{ShapeKey{true,
                         quarter(w),
                         quarter(h),
                         {quarter(c.radii.top_left * scale), quarter(c.radii.top_right * scale),
                          quarter(c.radii.bottom_right * scale), quarter(c.radii.bottom_left * scale)},
                         quarter(c.border_width * scale),
                         phase_x,
                         phase_y},
                {c.fill.r, c.fill.g, c.fill.b, c.fill.a},
                {c.border.r, c.border.g, c.border.b, c.border.a}};
    auto it = cards.find(key);
    if (it == cards.end()) {
        int sw = static_cast<int>(std::ceil(w + 3));
        int sh = static_cast<int>(std::ceil(h + 3));
        CachedSurface entry;
        entry.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sw, sh));
        CairoContext sc(cairo_create(entry.surface.get()));
        cairo_translate(sc.get(), 1 + static_cast<double>(phase_x) / kPhases,
                        1 + static_cast<double>(phase_y) / kPhases);
        cairo_scale(sc.get(), scale, scale);
        draw::BorderedRect local = c;
        local.rect = Rect{0, 0, c.rect.width(), c.rect.height()};
        draw_bordered_direct(sc.get(), local);
        sc.reset();
        cairo_surface_flush(entry.surface.get());
        entry.offset_x = -1;
        entry.offset_y = -1;
        entry.bytes = static_cast<size_t>(cairo_image_surface_get_stride(entry.surface.get())) * sh;
        card_bytes += entry.bytes;
        ++stats.masks_built;
        it = cards.emplace(key, std::move(entry)).first;
    }
    it->second.last_used = frame;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, it->second.surface.get(), whole_x + it->second.offset_x,
                             whole_y + it->second.offset_y);
    cairo_paint(cr);
    cairo_restore(cr);
}

void CairoRenderer::Impl::evict() {
    while (scaled.size() > kScaledCacheEntries) {
        auto oldest = std::min_element(scaled.begin(), scaled.end(), [](const auto& a, const auto& b) {
            return a.second.last_used < b.second.last_used;
        });
        scaled.erase(oldest);
    }
    evict_lru(masks, mask_bytes, kMaskBudget);
    evict_lru(sprites, sprite_bytes, kSpriteBudget);
    evict_lru(cards, card_bytes, kMaskBudget);
}

void CairoRenderer::Impl::draw(cairo_t* cr, const DrawCommand& command, double scale) {
    std::visit(
        [&](const auto& c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, draw::FillRect>) {
                if (!c.radii.is_zero() && rounded_cached(cr, c.rect, c.radii, c.color, 0, scale))
                    return;
                rounded_rect_path(cr, c.rect, c.radii);
                set_color(cr, c.color);
                cairo_fill(cr);
            } else if constexpr (std::is_same_v<T, draw::StrokeRect>) {
                if (c.width > 0 && rounded_cached(cr, c.rect, c.radii, c.color, c.width, scale))
                    return;
                rounded_rect_path(cr, c.rect, c.radii);
                set_color(cr, c.color);
                cairo_set_line_width(cr, c.width);
                cairo_stroke(cr);
            } else if constexpr (std::is_same_v<T, draw::FillGradient>) {
                CairoPattern pattern(cairo_pattern_create_linear(c.gradient.start.x, c.gradient.start.y,
                                                                 c.gradient.end.x, c.gradient.end.y));
                for (const auto& stop : c.gradient.stops)
                    cairo_pattern_add_color_stop_rgba(pattern.get(), stop.offset, stop.color.r, stop.color.g,
                                                      stop.color.b, stop.color.a);
                rounded_rect_path(cr, c.rect, c.radii);
                cairo_set_source(cr, pattern.get());
                cairo_fill(cr);
            } else if constexpr (std::is_same_v<T, draw::Shadow>) {
                // A soft shadow as concentric rounded rectangles whose alpha
                // falls off quadratically: close to a blurred edge, at a tiny
                // fraction of a real blur's cost.
                constexpr int kSteps = 6;
                Rect base = c.rect.translated(c.offset);
                for (int i = kSteps; i >= 1; --i) {
                    double t = static_cast<double>(i) / kSteps;
                    double grow = c.blur * t;
                    float alpha = c.color.a * static_cast<float>((1 - t) * (1 - t) + 0.08) / kSteps * 2.2f;
                    Rect layer = base.inset(-grow);
                    Radii layer_radii = grown(c.radii, grow);
                    Color layer_color = c.color.with_alpha(std::min(alpha, 1.0f));
                    if (rounded_cached(cr, layer, layer_radii, layer_color, 0, scale))
                        continue;
                    rounded_rect_path(cr, layer, layer_radii);
                    set_color(cr, layer_color);
                    cairo_fill(cr);
                }
            } else if constexpr (std::is_same_v<T, draw::Line>) {
                cairo_move_to(cr, c.from.x, c.from.y);
                cairo_line_to(cr, c.to.x, c.to.y);
                set_color(cr, c.color);
                cairo_set_line_width(cr, c.width);
                cairo_stroke(cr);
            } else if constexpr (std::is_same_v<T, draw::Circle>) {
                cairo_new_sub_path(cr);
                cairo_arc(cr, c.center.x, c.center.y, std::max(0.0, c.radius), 0, 2 * M_PI);
                set_color(cr, c.color);
                if (c.stroke_width > 0) {
                    cairo_set_line_width(cr, c.stroke_width);
                    cairo_stroke(cr);
                } else {
                    cairo_fill(cr);
                }
            } else if constexpr (std::is_same_v<T, draw::PushClip>) {
                ++clip_depth;
                cairo_save(cr);
                rounded_rect_path(cr, c.rect, c.radii);
                if (c.rect.is_empty())
                    cairo_rectangle(cr, 0, 0, 0, 0);
                cairo_clip(cr);
            } else if constexpr (std::is_same_v<T, draw::PopClip>) {
                // A pop without its push would put cairo into an error
                // state that drops the rest of the frame; ignore it.
                if (clip_depth > 0) {
                    --clip_depth;
                    cairo_restore(cr);
                }
            } else if constexpr (std::is_same_v<T, draw::PushOpacity>) {
                cairo_push_group(cr);
                opacity_stack.push_back(c.opacity);
            } else if constexpr (std::is_same_v<T, draw::PopOpacity>) {
                if (opacity_stack.empty())
                    return;
                float opacity = opacity_stack.back();
                opacity_stack.pop_back();
                cairo_pop_group_to_source(cr);
                cairo_paint_with_alpha(cr, std::clamp(opacity, 0.0f, 1.0f));
            } else if constexpr (std::is_same_v<T, draw::ImageCover>) {
                if (!c.image || c.image->width <= 0 || c.image->height <= 0 || c.rect.is_empty())
                    return;
                double cover = std::max(c.rect.width() / c.image->width, c.rect.height() / c.image->height);
                double draw_w = c.image->width * cover;
                double draw_h = c.image->height * cover;
                int pixel_w = std::max(1, static_cast<int>(std::lround(draw_w * scale)));
                int pixel_h = std::max(1, static_cast<int>(std::lround(draw_h * scale)));
                cairo_surface_t* surface = scaled_image(c.image, pixel_w, pixel_h);
                cairo_save(cr);
                rounded_rect_path(cr, c.rect, c.radii);
                cairo_clip(cr);
                // The cached copy already has the device size: blending it
                // untransformed at a whole pixel keeps pixman on its fast path.
                double x = c.rect.x0 + (c.rect.width() - draw_w) / 2;
                double y = c.rect.y0 + (c.rect.height() - draw_h) / 2;
                cairo_user_to_device(cr, &x, &y);
                cairo_identity_matrix(cr);
                cairo_set_source_surface(cr, surface, std::round(x), std::round(y));
                if (c.opacity >= 1)
                    cairo_paint(cr);
                else
                    cairo_paint_with_alpha(cr, std::max(0.0f, c.opacity));
                cairo_restore(cr);
            } else if constexpr (std::is_same_v<T, draw::BorderedRect>) {
                bordered(cr, c, scale);
            } else if constexpr (std::is_same_v<T, draw::Text>) {
                if (c.text)
                    text_cached(cr, c.text, c.origin, c.color, scale);
            }
        },
        command);
}

CairoRenderer::CairoRenderer() : m_impl(std::make_unique<Impl>()) {}
CairoRenderer::~CairoRenderer() = default;

CairoRenderer::Stats CairoRenderer::stats() const {
    return m_impl->stats;
}

void CairoRenderer::render(const Scene& scene, cairo_t* cr, double scale, Color background) {
    ++m_impl->frame;
    m_impl->opacity_stack.clear();
    m_impl->clip_depth = 0;
    cairo_save(cr);
    // Most frames begin by filling the whole window; clearing first would
    // write every pixel twice.
    bool covered = false;
    if (!scene.commands().empty()) {
        if (const auto* fill = std::get_if<draw::FillRect>(&scene.commands().front())) {
            covered = fill->color.a >= 1 && fill->radii.is_zero() && fill->rect.x0 <= 0 &&
                      fill->rect.y0 <= 0 && fill->rect.x1 >= scene.size().width &&
                      fill->rect.y1 >= scene.size().height && scene.size().width > 0;
        }
    }
    if (!covered) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        set_color(cr, background);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    cairo_scale(cr, scale, scale);
    for (const auto& command : scene.commands())
        m_impl->draw(cr, command, scale);
    // An unbalanced scene must not leak clips or groups into the next frame.
    for (; m_impl->clip_depth > 0; --m_impl->clip_depth)
        cairo_restore(cr);
    while (!m_impl->opacity_stack.empty()) {
        m_impl->opacity_stack.pop_back();
        cairo_pop_group_to_source(cr);
        cairo_paint(cr);
    }
    cairo_restore(cr);
    m_impl->evict();
}

void CairoRenderer::render_into(const Scene& scene, uint8_t* data, int width, int height, int stride,
                                double scale, Color background) {
    CairoSurface surface(
        cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, width, height, stride));
    CairoContext cr(cairo_create(surface.get()));
    render(scene, cr.get(), scale, background);
    cr.reset();
    cairo_surface_flush(surface.get());
}

CairoRenderer::Pixels CairoRenderer::render_to_pixels(const Scene& scene, int width, int height, double scale,
                                                      Color background) {
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    pixels.data.assign(static_cast<size_t>(pixels.stride) * static_cast<size_t>(height), 0);
    render_into(scene, pixels.data.data(), width, height, pixels.stride, scale, background);
    return pixels;
}

} // namespace kavu::ui
