#pragma once

#include <ui/color.h>
#include <ui/geometry.h>
#include <ui/scene.h>
#include <ui/theme.h>

namespace kavu::ui {

// Small drawing recipes shared by every panel, so cards and edges look alike.
namespace surface {

// A card: a soft shadow (when elevation > 0), the fill, and a hairline edge.
void card(Scene& scene, Rect rect, double radius, Color fill, const Theme& theme, double elevation = 0);
// A soft shadow under a rounded rectangle; elevation 1 is a resting card,
// 3 a floating popup.
void shadow(Scene& scene, Rect rect, double radius, double elevation, const Theme& theme);
// A one-pixel horizontal line from x0 to x1 at y, in the theme's hairline colour.
void separator(Scene& scene, double x0, double x1, double y, const Theme& theme);
void vertical_separator(Scene& scene, double x, double y0, double y1, const Theme& theme);
// The edge colour to outline something drawn on `background`.
Color edge_on(Color background, const Theme& theme);
// A one-pixel outline inside the rounded rectangle in the theme's edge colour.
void edge_outline(Scene& scene, Rect rect, double radius, const Theme& theme);
// A wide, faint outline (a glow) around a rounded rectangle.
void soft_outline(Scene& scene, Rect rect, double radius, Color color, double width = 3);
// The grip of a draggable floating card: a short pill centred at `center`.
void floating_drag_grip(Scene& scene, Point center, const Theme& theme, bool active = false);

} // namespace surface

namespace chrome::shell {
enum class Edge { Left, Top, Right, Bottom };
// The border between a side panel and its neighbour, on the given edge.
void panel_border(Scene& scene, Rect panel, Edge edge, const Theme& theme);
} // namespace chrome::shell

} // namespace kavu::ui
