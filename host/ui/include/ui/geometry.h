#pragma once

#include <algorithm>
#include <cmath>

namespace kavu::ui {

// Coordinates are logical pixels. In a window they are the drawable's pixels;
// the theme's scale factor tells the application how much to enlarge.
struct Point {
    double x = 0;
    double y = 0;

    Point operator+(Point o) const { return {x + o.x, y + o.y}; }
    Point operator-(Point o) const { return {x - o.x, y - o.y}; }
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;

    bool operator==(const Size&) const = default;
};

// An axis-aligned rectangle from (x0, y0) inclusive to (x1, y1) exclusive.
struct Rect {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;

    static Rect from_xywh(double x, double y, double w, double h) { return {x, y, x + w, y + h}; }
    static Rect from_origin_size(Point p, Size s) { return {p.x, p.y, p.x + s.width, p.y + s.height}; }

    double width() const { return x1 - x0; }
    double height() const { return y1 - y0; }
    Size size() const { return {width(), height()}; }
    Point origin() const { return {x0, y0}; }
    Point center() const { return {(x0 + x1) / 2, (y0 + y1) / 2}; }
    bool is_empty() const { return !(x1 > x0 && y1 > y0); }
    bool is_finite() const {
        return std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1);
    }
    bool contains(Point p) const { return p.x >= x0 && p.x < x1 && p.y >= y0 && p.y < y1; }

    Rect inset(double d) const { return {x0 + d, y0 + d, x1 - d, y1 - d}; }
    Rect inset(double dx, double dy) const { return {x0 + dx, y0 + dy, x1 - dx, y1 - dy}; }
    Rect translated(Point d) const { return {x0 + d.x, y0 + d.y, x1 + d.x, y1 + d.y}; }
    Rect intersect(const Rect& o) const {
        return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    }
    Rect united(const Rect& o) const {
        return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
    }
    bool intersects(const Rect& o) const { return !intersect(o).is_empty(); }

    bool operator==(const Rect&) const = default;
};

// Corner radii, clockwise from the top left. Each is clamped when drawn so that
// two neighbouring corners never overlap.
struct Radii {
    double top_left = 0;
    double top_right = 0;
    double bottom_right = 0;
    double bottom_left = 0;

    static Radii all(double r) { return {r, r, r, r}; }
    static Radii top(double r) { return {r, r, 0, 0}; }
    static Radii bottom(double r) { return {0, 0, r, r}; }
    bool is_zero() const { return top_left <= 0 && top_right <= 0 && bottom_right <= 0 && bottom_left <= 0; }
    bool operator==(const Radii&) const = default;
};

} // namespace kavu::ui
