#pragma once

#include <ui/app.h>
#include <ui/geometry.h>
#include <ui/scene.h>
#include <ui/theme.h>

#include <chrono>
#include <optional>
#include <string>

namespace kavu::ui {

// A tooltip: its text and the rectangle of the thing it explains.
struct Tooltip {
    Rect anchor;
    std::string text;

    bool operator==(const Tooltip&) const = default;
};

// Decides when a tooltip shows. The pointer's tooltip is reported on every
// move; it shows after resting on the same anchor for the show delay, and at
// once when another tooltip was showing a moment ago (moving along a toolbar).
class TooltipHost {
public:
    static constexpr std::chrono::milliseconds kShowDelay{500};
    static constexpr std::chrono::milliseconds kWarmPeriod{300};

    explicit TooltipHost(std::chrono::milliseconds show_delay = kShowDelay) : m_delay(show_delay) {}

    // The tooltip under the pointer, or nothing. True when what is shown changed.
    bool on_pointer(std::optional<Tooltip> tooltip, Instant now);
    // Shows a pending tooltip once its delay has passed. True when it appeared.
    bool tick(Instant now);
    void hide();

    const std::optional<Tooltip>& visible() const { return m_visible; }
    // True while a tooltip waits for its delay (the loop keeps drawing frames).
    bool is_pending() const { return m_pending.has_value(); }
    std::optional<Instant> deadline() const;

private:
    std::chrono::milliseconds m_delay;
    std::optional<Tooltip> m_pending;
    Instant m_pending_since;
    std::optional<Tooltip> m_visible;
    std::optional<Instant> m_last_hidden;
};

namespace tooltip {
// Draws the tooltip's bubble under its anchor (above it when there is no room
// below), centred on it and kept inside the window. Returns the bubble.
Rect draw_hover_tooltip(Scene& scene, const Theme& theme, const Tooltip& tooltip, Rect window);
} // namespace tooltip

} // namespace kavu::ui
