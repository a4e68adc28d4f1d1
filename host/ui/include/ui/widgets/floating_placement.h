#pragma once

#include <ui/app.h>
#include <ui/geometry.h>

#include <chrono>
#include <optional>

namespace kavu::ui {

// What ending a drag suggests to the window loop, which decides whether to
// detach the card or take it back.
enum class DragOutcome {
    None,             // no drag was in progress
    Stayed,           // attached and released inside the window: kept (clamped) there
    LeftWindow,       // attached and released with its centre outside the window
    ReturnedToWindow, // detached and released with its centre inside the window
};

// The place of a floating card (a call kept visible while the person works):
// inside the window, below the application's chrome, or detached to the
// desktop. Rectangles are window coordinates; a detached card may lie outside
// the window. Time comes in as `now`, so tests and shots can fix it.
class FloatingPlacement {
public:
    static constexpr double kMargin = 16;
    static constexpr std::chrono::milliseconds kHandoffDuration{320};

    explicit FloatingPlacement(Size size = {320, 180}) : m_size(size) {}

    // The area the card lives in while attached (the window less its chrome).
    // The card keeps its place relative to the area's bottom right corner
    // until it is first moved, and is kept inside the area.
    void set_attached_chrome(Rect area);
    // Back to the initial state: attached, at the bottom right, no drag, no hand-off.
    void reset();

    void begin_drag(Point pointer);
    void update_drag(Point pointer);
    DragOutcome end_drag();
    bool is_dragging() const { return m_drag_offset.has_value(); }

    // Moves the card out of the window to the given rectangle on the desktop.
    void detach_to_desktop(Rect desktop_rect);
    // Brings a detached card back: it glides from where it stands to a place
    // inside the attached area; the application confirms when it draws it again.
    void reattach_to_app(Instant now);
    // The application draws the card again; ends a hand-off. False when none was pending.
    bool confirm_app_adoption();
    bool is_detached() const { return m_detached; }
    bool is_handoff_animating(Instant now) const;
    bool awaits_adoption() const { return m_handoff.has_value(); }
    // Freezes the hand-off at this many milliseconds after its start (or
    // shows the resting card when there is none) for screenshots.
    void pin_handoff_for_visual_review(double ms) { m_pinned_ms = ms; }

    // Where the card rests (the drag's position while dragging).
    Rect rect() const;
    // Where to draw the card in this frame: rect(), or a point along the hand-off.
    Rect presentation_transform(Instant now) const;

private:
    struct Handoff {
        Rect from;
        Rect to;
        Instant start;
    };
    Rect clamped(Rect r) const;
    Rect default_rect() const;

    Size m_size;
    std::optional<Rect> m_area;
    std::optional<Rect> m_rect; // nothing until placed; then kept across area changes
    bool m_detached = false;
    std::optional<Point> m_drag_offset;
    std::optional<Handoff> m_handoff;
    std::optional<double> m_pinned_ms;
};

namespace floating_surface {
// The rectangle to hand to the window system for a card: whole pixels that
// cover the card, at least one pixel in each direction.
Rect protocol_rect(Rect card);
} // namespace floating_surface

} // namespace kavu::ui
