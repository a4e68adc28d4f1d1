#include <ui/surface.h>

#include <algorithm>

namespace kavu::ui {

namespace surface {

void shadow(Scene& scene, Rect rect, double radius, double elevation, const Theme& theme) {
    if (elevation <= 0)
        return;
    float strength = theme.kind == ThemeKind::Dark ? 0.55f : 0.22f;
    Color shade{0, 0, 0, std::min(1.0f, strength * static_cast<float>(std::min(elevation, 4.0)) / 2.0f)};
    scene.shadow(rect, Radii::all(radius), shade, 4 + 5 * elevation, {0, 1 + elevation});
}

void card(Scene& scene, Rect rect, double radius, Color fill, const Theme& theme, double elevation) {
    shadow(scene, rect, radius, elevation, theme);
    scene.fill_bordered(rect, fill, theme.edge, 1, Radii::all(radius));
}

void separator(Scene& scene, double x0, double x1, double y, const Theme& theme) {
    scene.fill_rect({x0, y, x1, y + 1}, Colors::hairline_on(theme.surface));
}

void vertical_separator(Scene& scene, double x, double y0, double y1, const Theme& theme) {
    scene.fill_rect({x, y0, x + 1, y1}, Colors::hairline_on(theme.surface));
}

Color edge_on(Color background, const Theme& theme) {
    // The theme's edge is tuned for its surface; on a much lighter or darker
    // background the hairline of that background reads better.
    if (color::is_dark(background) == color::is_dark(theme.surface))
        return theme.edge;
    return Colors::hairline_on(background);
}

void edge_outline(Scene& scene, Rect rect, double radius, const Theme& theme) {
    // Half a pixel inside, so the one-pixel line covers whole pixels.
    scene.stroke_rect(rect.inset(0.5), theme.edge, 1, Radii::all(std::max(0.0, radius - 0.5)));
}

void soft_outline(Scene& scene, Rect rect, double radius, Color color, double width) {
    for (int i = 0; i < 3; ++i) {
        double grow = width * (i + 1) / 3.0;
        scene.stroke_rect(rect.inset(-grow / 2), color.faded(0.55f / (i + 1)), width / 3.0 + 0.5,
                          Radii::all(radius + grow / 2));
    }
}

void floating_drag_grip(Scene& scene, Point center, const Theme& theme, bool active) {
    Color c = active ? theme.on_surface.faded(0.7f) : theme.on_surface_muted.faded(0.55f);
    scene.fill_rounded({center.x - 18, center.y - 2, center.x + 18, center.y + 2}, 2, c);
}

} // namespace surface

namespace chrome::shell {
void panel_border(Scene& scene, Rect panel, Edge edge, const Theme& theme) {
    Color c = Colors::hairline_on(theme.surface);
    switch (edge) {
    case Edge::Left:
        scene.fill_rect({panel.x0, panel.y0, panel.x0 + 1, panel.y1}, c);
        break;
    case Edge::Right:
        scene.fill_rect({panel.x1 - 1, panel.y0, panel.x1, panel.y1}, c);
        break;
    case Edge::Top:
        scene.fill_rect({panel.x0, panel.y0, panel.x1, panel.y0 + 1}, c);
        break;
    case Edge::Bottom:
        scene.fill_rect({panel.x0, panel.y1 - 1, panel.x1, panel.y1}, c);
        break;
    }
}
} // namespace chrome::shell

} // namespace kavu::ui
