#pragma once

#include <base/result.h>
#include <ui/app.h>
#include <ui/scene.h>
#include <ui/theme.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace kavu::ui {

class PersistedDocument;

// Renders one frame of an application without a window: the same hooks a
// window run calls, at a fixed size and instant, so the same inputs give the
// same PNG bytes.
class ShotFrame {
public:
    // Spelled `create` because `new` is reserved. Width and height are pixels.
    static ShotFrame create(uint32_t width, uint32_t height, Theme theme);
    ~ShotFrame();
    ShotFrame(ShotFrame&&) noexcept;
    ShotFrame& operator=(ShotFrame&&) noexcept;

    Rect window() const;
    const Theme& theme() const { return m_theme; }
    // The in-memory document the application synchronises with.
    crdt::Document& document();
    HeadlessServices& services() { return m_services; }
    Instant now() const { return m_now; }

    void sync(App& app);
    // Fails with the WidgetLayoutError's display text.
    kavu::Result<void> layout(App& app);
    Scene draw(App& app);
    // Paints floating surfaces (cards detached from the window) into the
    // scene where they would stand on the desktop.
    void draw_floating_surfaces(App& app, Scene& scene);
    // Rasterises the scene and writes it as a PNG.
    kavu::Result<void> write_png(const Scene& scene, const std::filesystem::path& path);
    // The same, as PNG bytes.
    kavu::Result<std::vector<uint8_t>> png_bytes(const Scene& scene);

private:
    ShotFrame(uint32_t width, uint32_t height, Theme theme);

    uint32_t m_width = 0;
    uint32_t m_height = 0;
    Theme m_theme;
    Instant m_now;
    HeadlessServices m_services;
    std::unique_ptr<PersistedDocument> m_document;
};

} // namespace kavu::ui
