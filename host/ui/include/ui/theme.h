#pragma once

#include <ui/color.h>

#include <optional>
#include <string_view>

namespace kavu::ui {

enum class ThemeKind { Dark, Light };

// The values every drawing of the application takes its colours and spacing
// from. Sizes are logical pixels, text sizes points, times milliseconds.
struct Theme {
    ThemeKind kind = ThemeKind::Dark;

    Color surface;          // window background
    Color surface_raised;   // panels and cards over the surface
    Color surface_sunken;   // side bars and wells
    Color on_surface;       // body text; contrast >= 4.5 on every surface
    Color on_surface_muted; // secondary text; contrast >= 4.5 on the surface
    Color accent;           // selection, primary buttons, links
    Color on_accent;        // text on the accent
    Color danger;           // destructive actions and errors
    Color on_danger;
    Color success; // online presence, "speaking" rings
    Color warning;
    Color edge; // outlines of cards and fields
    Color focus_ring;
    Color mention_background;

    float scrim_alpha = 0.6f; // full-window scrim behind overlays, before the caller's fade

    double pad_small = 8;  // padding inside small elements
    double pad_outer = 16; // padding from panel edges
    double gap = 8;        // gap between neighbouring items
    double spacing = 8;    // gap between buttons of a row
    double control_height = 32;
    double corner_radius = 10;
    double button_padding = 12; // horizontal padding of a text button

    float body_size = 14;  // message text, points
    float small_size = 12; // captions
    float title_size = 17;

    double motion_ms = 180; // duration of open/close transitions
    float scale = 1;        // UI zoom factor the application multiplies its sizes by

    static Theme dark();
    static Theme light();
    static Theme for_kind(ThemeKind kind) { return kind == ThemeKind::Dark ? dark() : light(); }
    Theme with_scale(float s) const {
        Theme t = *this;
        t.scale = s;
        return t;
    }
};

// "dark" or "light"; nothing for any other text.
std::optional<ThemeKind> parse_theme_kind(std::string_view text);

} // namespace kavu::ui
