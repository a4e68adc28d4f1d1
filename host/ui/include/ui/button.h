#pragma once

#include <ui/color.h>
#include <ui/geometry.h>
#include <ui/scene.h>
#include <ui/text_renderer.h>
#include <ui/theme.h>

#include <optional>
#include <string_view>

namespace kavu::ui {

enum class ButtonKind { Primary, Secondary, Danger, Ghost };

struct ButtonStyle {
    ButtonKind kind = ButtonKind::Secondary;
    double radius = 8;
    float text_size = 13;
    FontWeight weight = FontWeight::Medium;
    bool hovered = false;
    bool pressed = false;
    bool disabled = false;
    std::optional<Color> fill; // overrides the kind's fill
    std::optional<Color> text_color;
};

struct Button {
    // Width of a button for `label`: the text plus the theme's button padding on each side.
    static double width_for(std::string_view label, const ButtonStyle& style, const Theme& theme);
    // Draws the button with its label centred.
    static void paint(Scene& scene, Rect rect, std::string_view label, const ButtonStyle& style,
                      const Theme& theme);
};

} // namespace kavu::ui
