#include "render/cairo_renderer.h"

#include "core/handles.h"
#include "text/shaped_text.h"

#include <ui/image_store.h>

#include <pango/pangocairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <map>
#include <unistd.h>

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

} // namespace

struct CairoRenderer::Impl {
    std::map<ScaledKey, ScaledEntry> scaled;
    std::vector<float> opacity_stack; // alphas of the open opacity groups
    uint64_t frame = 0;

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
    auto& entry = scaled[key];
    entry.source = image;
    entry.surface = std::move(target);
    entry.last_used = frame;
    return entry.surface.get();
}

void CairoRenderer::Impl::evict() {
    while (scaled.size() > kScaledCacheEntries) {
        auto oldest = std::min_element(scaled.begin(), scaled.end(), [](const auto& a, const auto& b) {
            return a.second.last_used < b.second.last_used;
        });
        scaled.erase(oldest);
    }
}

void CairoRenderer::Impl::draw(cairo_t* cr, const DrawCommand& command, double scale) {
    std::visit(
        [&](const auto& c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, draw::FillRect>) {
                rounded_rect_path(cr, c.rect, c.radii);
                set_color(cr, c.color);
                cairo_fill(cr);
            } else if constexpr (std::is_same_v<T, draw::StrokeRect>) {
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
                    rounded_rect_path(cr, base.inset(-grow), grown(c.radii, grow));
                    set_color(cr, c.color.with_alpha(std::min(alpha, 1.0f)));
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
                cairo_save(cr);
                rounded_rect_path(cr, c.rect, c.radii);
                if (c.rect.is_empty())
                    cairo_rectangle(cr, 0, 0, 0, 0);
                cairo_clip(cr);
            } else if constexpr (std::is_same_v<T, draw::PopClip>) {
                cairo_restore(cr);
            } else if constexpr (std::is_same_v<T, draw::PushOpacity>) {
                cairo_push_group(cr);
                opacity_stack.push_back(c.opacity);
            } else if constexpr (std::is_same_v<T, draw::PopOpacity>) {
                float opacity = opacity_stack.empty() ? 1.0f : opacity_stack.back();
                if (!opacity_stack.empty())
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
                double x = c.rect.x0 + (c.rect.width() - draw_w) / 2;
                double y = c.rect.y0 + (c.rect.height() - draw_h) / 2;
                cairo_translate(cr, x, y);
                cairo_scale(cr, draw_w / pixel_w, draw_h / pixel_h);
                cairo_set_source_surface(cr, surface, 0, 0);
                if (c.opacity >= 1)
                    cairo_paint(cr);
                else
                    cairo_paint_with_alpha(cr, std::max(0.0f, c.opacity));
                cairo_restore(cr);
            } else if constexpr (std::is_same_v<T, draw::Text>) {
                if (!c.text)
                    return;
                set_color(cr, c.color);
                cairo_move_to(cr, c.origin.x, c.origin.y);
                pango_cairo_show_layout(cr, c.text->layout.get());
            }
        },
        command);
}

CairoRenderer::CairoRenderer() : m_impl(std::make_unique<Impl>()) {}
CairoRenderer::~CairoRenderer() = default;

void CairoRenderer::render(const Scene& scene, cairo_t* cr, double scale, Color background) {
    ++m_impl->frame;
    m_impl->opacity_stack.clear();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    set_color(cr, background);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_scale(cr, scale, scale);
    for (const auto& command : scene.commands())
        m_impl->draw(cr, command, scale);
    // An unbalanced scene must not leak clips or groups into the next frame.
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

kavu::Result<std::vector<uint8_t>> encode_pixels_png(const CairoRenderer::Pixels& pixels) {
    CairoSurface surface(cairo_image_surface_create_for_data(const_cast<uint8_t*>(pixels.data.data()),
                                                             CAIRO_FORMAT_ARGB32, pixels.width, pixels.height,
                                                             pixels.stride));
    std::vector<uint8_t> out;
    auto status = cairo_surface_write_to_png_stream(
        surface.get(),
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(closure);
            bytes->insert(bytes->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &out);
    if (status != CAIRO_STATUS_SUCCESS)
        return kavu::make_error(std::string("cannot encode PNG: ") + cairo_status_to_string(status));
    return out;
}

kavu::Result<void> write_file_atomically(const std::filesystem::path& path,
                                         const std::vector<uint8_t>& bytes) {
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return kavu::make_error("cannot write " + path.string() + ": " + std::strerror(errno));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::string why = std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return kavu::make_error("cannot write " + path.string() + ": " + why);
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        std::string why = std::strerror(errno);
        ::unlink(tmp.c_str());
        return kavu::make_error("cannot write " + path.string() + ": " + why);
    }
    return {};
}

} // namespace kavu::ui
