#pragma once

#include <ui/color.h>
#include <ui/geometry.h>

#include <memory>
#include <variant>
#include <vector>

namespace kavu::ui {

struct Image;
struct ShapedText;

struct GradientStop {
    double offset = 0; // 0..1 along the gradient line
    Color color;
    bool operator==(const GradientStop&) const = default;
};

struct LinearGradient {
    Point start;
    Point end;
    std::vector<GradientStop> stops;
    bool operator==(const LinearGradient&) const = default;
};

namespace draw {

struct FillRect {
    Rect rect;
    Radii radii;
    Color color;
};
struct StrokeRect {
    Rect rect; // the stroke is centred on this outline
    Radii radii;
    Color color;
    double width = 1;
};
// A filled rounded rectangle with a border drawn just inside its edge: the
// usual card, drawn in one pass.
struct BorderedRect {
    Rect rect;
    Radii radii;
    Color fill;
    Color border;
    double border_width = 1;
};
struct FillGradient {
    Rect rect;
    Radii radii;
    LinearGradient gradient;
};
// A soft shadow cast by a rounded rectangle: darkest under its edge, fading
// out over `blur` pixels.
struct Shadow {
    Rect rect;
    Radii radii;
    Color color;
    double blur = 8;
    Point offset;
};
struct Line {
    Point from;
    Point to;
    Color color;
    double width = 1;
};
struct Circle {
    Point center;
    double radius = 0;
    Color color;
    double stroke_width = 0; // 0 fills the disc, otherwise a ring of this width
};
struct PushClip {
    Rect rect;
    Radii radii;
};
struct PopClip {};
// Everything until the matching PopOpacity is composited with this opacity.
struct PushOpacity {
    float opacity = 1;
};
struct PopOpacity {};
// The image scaled to cover `rect` (keeping its proportions, centred and
// cropped) and clipped to the rounded rectangle.
struct ImageCover {
    std::shared_ptr<const Image> image;
    Rect rect;
    Radii radii;
    float opacity = 1;
};
// Shaped text with its layout box's top left at `origin`. Runs without their
// own colour take `color`.
struct Text {
    std::shared_ptr<const ShapedText> text;
    Point origin;
    Color color;
};

} // namespace draw

using DrawCommand = std::variant<draw::FillRect, draw::StrokeRect, draw::FillGradient, draw::Shadow,
                                 draw::Line, draw::Circle, draw::PushClip, draw::PopClip, draw::PushOpacity,
                                 draw::PopOpacity, draw::ImageCover, draw::Text, draw::BorderedRect>;

// One frame's drawing, recorded in order as plain commands in logical pixels.
// Recording does no rasterising, so frames can be built and inspected without
// a window; a renderer plays the commands into pixels afterwards. Clips and
// opacity layers nest and must be balanced.
class Scene {
public:
    Scene() = default;
    explicit Scene(Size size) : m_size(size) {}

    Size size() const { return m_size; }
    const std::vector<DrawCommand>& commands() const { return m_commands; }
    void clear() {
        m_commands.clear();
        m_depth = 0;
    }
    // Empties the scene for a new frame of this size, keeping its storage.
    void reset(Size size) {
        clear();
        m_size = size;
    }

    void fill_rect(Rect rect, Color color, Radii radii = {}) { push(draw::FillRect{rect, radii, color}); }
    void fill_rounded(Rect rect, double radius, Color color) { fill_rect(rect, color, Radii::all(radius)); }
    void stroke_rect(Rect rect, Color color, double width, Radii radii = {}) {
        push(draw::StrokeRect{rect, radii, color, width});
    }
    void fill_bordered(Rect rect, Color fill, Color border, double border_width, Radii radii = {}) {
        push(draw::BorderedRect{rect, radii, fill, border, border_width});
    }
    void fill_gradient(Rect rect, LinearGradient gradient, Radii radii = {}) {
        push(draw::FillGradient{rect, radii, std::move(gradient)});
    }
    // A vertical gradient from `top` to `bottom` over the rectangle.
    void fill_vertical_gradient(Rect rect, Color top, Color bottom, Radii radii = {});
    void shadow(Rect rect, Radii radii, Color color, double blur, Point offset = {}) {
        push(draw::Shadow{rect, radii, color, blur, offset});
    }
    void line(Point from, Point to, Color color, double width = 1) {
        push(draw::Line{from, to, color, width});
    }
    void fill_circle(Point center, double radius, Color color) {
        push(draw::Circle{center, radius, color, 0});
    }
    void stroke_circle(Point center, double radius, Color color, double width) {
        push(draw::Circle{center, radius, color, width});
    }
    void image_cover(std::shared_ptr<const Image> image, Rect rect, Radii radii = {}, float opacity = 1) {
        push(draw::ImageCover{std::move(image), rect, radii, opacity});
    }
    void text(std::shared_ptr<const ShapedText> shaped, Point origin, Color color) {
        push(draw::Text{std::move(shaped), origin, color});
    }

    void push_clip(Rect rect, Radii radii = {}) {
        ++m_depth;
        push(draw::PushClip{rect, radii});
    }
    void pop_clip() {
        --m_depth;
        push(draw::PopClip{});
    }
    void push_opacity(float opacity) {
        ++m_depth;
        push(draw::PushOpacity{opacity});
    }
    void pop_opacity() {
        --m_depth;
        push(draw::PopOpacity{});
    }
    // Open clips and layers; 0 when balanced.
    int depth() const { return m_depth; }

    void append(const Scene& other) {
        m_commands.insert(m_commands.end(), other.m_commands.begin(), other.m_commands.end());
        m_depth += other.m_depth;
    }

private:
    void push(DrawCommand command) { m_commands.push_back(std::move(command)); }

    Size m_size;
    std::vector<DrawCommand> m_commands;
    int m_depth = 0;
};

// Balances a clip with RAII: `ScopedClip clip(scene, rect);`.
class ScopedClip {
public:
    ScopedClip(Scene& scene, Rect rect, Radii radii = {}) : m_scene(scene) { m_scene.push_clip(rect, radii); }
    ~ScopedClip() { m_scene.pop_clip(); }
    ScopedClip(const ScopedClip&) = delete;
    ScopedClip& operator=(const ScopedClip&) = delete;

private:
    Scene& m_scene;
};

class ScopedOpacity {
public:
    ScopedOpacity(Scene& scene, float opacity) : m_scene(scene) { m_scene.push_opacity(opacity); }
    ~ScopedOpacity() { m_scene.pop_opacity(); }
    ScopedOpacity(const ScopedOpacity&) = delete;
    ScopedOpacity& operator=(const ScopedOpacity&) = delete;

private:
    Scene& m_scene;
};

} // namespace kavu::ui
