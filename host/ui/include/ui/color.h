#pragma once

#include <cstdint>

namespace kavu::ui {

// A straight (not premultiplied) sRGB colour with alpha, each 0..1.
struct Color {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 1;

    // 0xRRGGBB, opaque.
    static constexpr Color rgb(uint32_t hex) {
        return {static_cast<float>((hex >> 16) & 0xff) / 255.0f,
                static_cast<float>((hex >> 8) & 0xff) / 255.0f, static_cast<float>(hex & 0xff) / 255.0f,
                1.0f};
    }
    // 0xRRGGBBAA.
    static constexpr Color rgba(uint32_t hex) {
        return {static_cast<float>((hex >> 24) & 0xff) / 255.0f,
                static_cast<float>((hex >> 16) & 0xff) / 255.0f,
                static_cast<float>((hex >> 8) & 0xff) / 255.0f, static_cast<float>(hex & 0xff) / 255.0f};
    }
    constexpr Color with_alpha(float alpha) const { return {r, g, b, alpha}; }
    // Multiplies the existing alpha.
    constexpr Color faded(float factor) const { return {r, g, b, a * factor}; }

    bool operator==(const Color&) const = default;
};

namespace color {

// WCAG relative luminance of the colour's RGB (alpha ignored), 0..1.
double relative_luminance(Color c);
// WCAG contrast ratio of two opaque colours, 1..21, symmetric.
double contrast_ratio(Color a, Color b);
// Linear interpolation in sRGB, t clamped to 0..1; alpha interpolates too.
Color mix(Color a, Color b, double t);
// `top` composited over an opaque `bottom`; the result is opaque.
Color over(Color top, Color bottom);
bool is_dark(Color c);

} // namespace color

// Derived colours used by the drawing helpers, the same on every theme.
struct Colors {
    // Moves a surface colour away from its background by `amount` (0 none,
    // 1 a strong step): towards white on dark colours, towards black on light
    // ones. Buttons use 0.72, hovered rows 0.35.
    static Color lift(Color surface, float amount);
    // A translucent one-pixel line colour that stays visible on `background`.
    static Color hairline_on(Color background);
};

} // namespace kavu::ui
