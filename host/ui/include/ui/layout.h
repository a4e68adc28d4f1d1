#pragma once

#include <base/result.h>
#include <ui/geometry.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

// Why a frame could not be laid out. Its display form is the error text a
// shot reports.
struct WidgetLayoutError {
    std::string node; // the node at fault, empty for the frame itself
    std::string reason;

    std::string display() const { return node.empty() ? reason : "layout of \"" + node + "\": " + reason; }
    kavu::Error to_error() const { return kavu::make_error(display()); }
};

enum class Anchor { TopLeft, TopRight, BottomLeft, BottomRight, Center };

// A node as the application describes it: a fixed rectangle, or a size
// anchored to a corner of its parent (the window when `parent` is empty)
// with a margin.
struct LayoutNode {
    std::string id;
    std::string parent;
    std::optional<Rect> rect;
    Size size;
    Anchor anchor = Anchor::TopLeft;
    Point margin;
};

// The application's description of one frame's layout.
class LayoutBuilder {
public:
    explicit LayoutBuilder(Rect window) : m_window(window) {}

    Rect window() const { return m_window; }
    void place(std::string id, Rect rect, std::string parent = {});
    void anchor(std::string id, Size size, Anchor anchor, Point margin = {}, std::string parent = {});
    const std::vector<LayoutNode>& nodes() const { return m_nodes; }

private:
    Rect m_window;
    std::vector<LayoutNode> m_nodes;
};

struct LayoutEntry {
    std::string id;
    Rect rect;
};

// The computed rectangles, in window coordinates.
class LayoutResult {
public:
    Rect window() const { return m_window; }
    std::optional<Rect> rect(std::string_view id) const;
    const std::vector<LayoutEntry>& entries() const { return m_entries; }

    // Resolves the nodes in order; a parent must come before its children.
    // Fails on an empty or duplicate id, an unknown parent, a size that is
    // negative or not finite, or a window with no area.
    static kavu::Result<LayoutResult> compute(const LayoutBuilder& builder);

private:
    Rect m_window;
    std::vector<LayoutEntry> m_entries;
};

} // namespace kavu::ui
