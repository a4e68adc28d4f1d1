#include <ui/color.h>

#include <algorithm>
#include <cmath>

namespace kavu::ui {

namespace color {

namespace {
double linear_channel(float c) {
    double v = std::clamp(static_cast<double>(c), 0.0, 1.0);
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
} // namespace

double relative_luminance(Color c) {
    return 0.2126 * linear_channel(c.r) + 0.7152 * linear_channel(c.g) + 0.0722 * linear_channel(c.b);
}

double contrast_ratio(Color a, Color b) {
    double la = relative_luminance(a);
    double lb = relative_luminance(b);
    if (la < lb)
        std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

Color mix(Color a, Color b, double t) {
    float k = static_cast<float>(std::clamp(t, 0.0, 1.0));
    return {a.r + (b.r - a.r) * k, a.g + (b.g - a.g) * k, a.b + (b.b - a.b) * k, a.a + (b.a - a.a) * k};
}

Color over(Color top, Color bottom) {
    float k = std::clamp(top.a, 0.0f, 1.0f);
    return {top.r * k + bottom.r * (1 - k), top.g * k + bottom.g * (1 - k), top.b * k + bottom.b * (1 - k),
            1.0f};
}

bool is_dark(Color c) {
    return relative_luminance(c) < 0.18;
}

} // namespace color

Color Colors::lift(Color surface, float amount) {
    // A full step (1.0) moves 16% of the way towards the far end, enough to
    // read as a raised control without losing the surface's hue.
    Color target = color::is_dark(surface) ? Color{1, 1, 1, surface.a} : Color{0, 0, 0, surface.a};
    return color::mix(surface, target, 0.16 * std::max(0.0f, amount));
}

Color Colors::hairline_on(Color background) {
    return color::is_dark(background) ? Color{1, 1, 1, 0.10f} : Color{0, 0, 0, 0.12f};
}

} // namespace kavu::ui
