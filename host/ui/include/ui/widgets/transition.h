#pragma once

#include <ui/app.h>

#include <chrono>
#include <optional>

namespace kavu::ui {

// A value that eases between 0 (closed) and 1 (open) over a duration. It reads
// no clock: every change and every reading takes `now`. Reversing midway
// starts from the current value and takes the share of the duration that the
// remaining distance needs, so the value never jumps.
class Transition {
public:
    using Duration = std::chrono::duration<double, std::milli>;

    static Transition open(Duration duration) { return Transition(true, duration); }
    static Transition closed(Duration duration) { return Transition(false, duration); }
    // On the theme's motion timing.
    static Transition open(const Theme& theme) { return open(Duration(theme.motion_ms)); }
    static Transition closed(const Theme& theme) { return closed(Duration(theme.motion_ms)); }

    // Starts moving towards the state; nothing happens when already heading there.
    void set_open(bool open, Instant now);
    // Jumps to the state without animating.
    void snap(bool open);
    // Holds the value still (a screenshot shows a moment of the motion) until
    // the next set_open or snap.
    void pin(double value);

    bool is_open() const { return m_open; }
    double value(Instant now) const;
    bool is_animating(Instant now) const;

private:
    Transition(bool open, Duration duration) : m_open(open), m_from(open ? 1 : 0), m_duration(duration) {}
    double target() const { return m_open ? 1 : 0; }

    bool m_open = false;
    double m_from = 0;
    Instant m_start;
    Duration m_run{0};
    Duration m_duration;
    std::optional<double> m_pinned;
};

} // namespace kavu::ui
