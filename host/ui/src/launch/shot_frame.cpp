#include "render/cairo_renderer.h"

#include <ui/floating_surface_provider.h>
#include <ui/persist.h>
#include <ui/shot_frame.h>

namespace kavu::ui {

namespace {
// Shots draw at a fixed instant so that time-dependent drawing (animations,
// relative times) comes out the same on every run.
const Instant kShotInstant = Instant{} + std::chrono::hours(24);
} // namespace

ShotFrame ShotFrame::create(uint32_t width, uint32_t height, Theme theme) {
    return ShotFrame(width, height, theme);
}

ShotFrame::ShotFrame(uint32_t width, uint32_t height, Theme theme)
    : m_width(width), m_height(height), m_theme(theme), m_now(kShotInstant) {
    auto doc = persist::open("shot", persist::Options{});
    // Opening an in-memory document touches no file and cannot fail.
    m_document = doc.release_value();
}

ShotFrame::~ShotFrame() = default;
ShotFrame::ShotFrame(ShotFrame&&) noexcept = default;
ShotFrame& ShotFrame::operator=(ShotFrame&&) noexcept = default;

Rect ShotFrame::window() const {
    return {0, 0, static_cast<double>(m_width), static_cast<double>(m_height)};
}

crdt::Document& ShotFrame::document() {
    return m_document->doc();
}

void ShotFrame::sync(App& app) {
    SyncContext context{&m_document->doc(), m_now, m_services};
    app.sync(context);
}

kavu::Result<void> ShotFrame::layout(App& app) {
    LayoutBuilder builder(window());
    app.build_layout(builder);
    auto result = LayoutResult::compute(builder);
    if (!result)
        return result.error();
    app.apply_layout(*result);
    return {};
}

Scene ShotFrame::draw(App& app) {
    Scene scene(window().size());
    FrameContext frame{m_theme, window(), m_now, m_services};
    app.draw_with_presence(scene, frame, PresenceCtx{});
    return scene;
}

void ShotFrame::draw_floating_surfaces(App& app, Scene& scene) {
    auto* provider = app.floating_surface_provider();
    if (!provider)
        return;
    FrameContext frame{m_theme, window(), m_now, m_services};
    for (const auto& surface : provider->floating_surfaces()) {
        if (surface.detached)
            provider->draw_floating_surface(surface.key, scene, frame);
    }
}

kavu::Result<std::vector<uint8_t>> ShotFrame::png_bytes(const Scene& scene) {
    if (m_width == 0 || m_height == 0 || m_width > 16384 || m_height > 16384)
        return kavu::make_error("screenshot size " + std::to_string(m_width) + "x" +
                                std::to_string(m_height) + " is out of range");
    CairoRenderer renderer;
    auto pixels = renderer.render_to_pixels(scene, static_cast<int>(m_width), static_cast<int>(m_height), 1.0,
                                            m_theme.surface);
    return encode_pixels_png(pixels);
}

kavu::Result<void> ShotFrame::write_png(const Scene& scene, const std::filesystem::path& path) {
    auto bytes = png_bytes(scene);
    if (!bytes)
        return bytes.error();
    return write_file_atomically(path, *bytes);
}

} // namespace kavu::ui
