#include <ui/layout.h>

#include <cmath>
#include <unordered_map>

namespace kavu::ui {

void LayoutBuilder::place(std::string id, Rect rect, std::string parent) {
    LayoutNode node;
    node.id = std::move(id);
    node.parent = std::move(parent);
    node.rect = rect;
    m_nodes.push_back(std::move(node));
}

void LayoutBuilder::anchor(std::string id, Size size, Anchor anchor, Point margin, std::string parent) {
    LayoutNode node;
    node.id = std::move(id);
    node.parent = std::move(parent);
    node.size = size;
    node.anchor = anchor;
    node.margin = margin;
    m_nodes.push_back(std::move(node));
}

std::optional<Rect> LayoutResult::rect(std::string_view id) const {
    for (const auto& e : m_entries) {
        if (e.id == id)
            return e.rect;
    }
    return std::nullopt;
}

namespace {

Rect anchored(Rect parent, const LayoutNode& n) {
    double w = n.size.width;
    double h = n.size.height;
    switch (n.anchor) {
    case Anchor::TopLeft:
        return Rect::from_xywh(parent.x0 + n.margin.x, parent.y0 + n.margin.y, w, h);
    case Anchor::TopRight:
        return Rect::from_xywh(parent.x1 - n.margin.x - w, parent.y0 + n.margin.y, w, h);
    case Anchor::BottomLeft:
        return Rect::from_xywh(parent.x0 + n.margin.x, parent.y1 - n.margin.y - h, w, h);
    case Anchor::BottomRight:
        return Rect::from_xywh(parent.x1 - n.margin.x - w, parent.y1 - n.margin.y - h, w, h);
    case Anchor::Center:
        return Rect::from_xywh(parent.x0 + (parent.width() - w) / 2 + n.margin.x,
                               parent.y0 + (parent.height() - h) / 2 + n.margin.y, w, h);
    }
    return {};
}

} // namespace

kavu::Result<LayoutResult> LayoutResult::compute(const LayoutBuilder& builder) {
    auto fail = [](std::string node, std::string reason) {
        return WidgetLayoutError{std::move(node), std::move(reason)}.to_error();
    };
    Rect window = builder.window();
    if (!window.is_finite() || window.is_empty())
        return fail({}, "the window has no area");
    LayoutResult result;
    result.m_window = window;
    std::unordered_map<std::string, Rect> placed;
    for (const auto& node : builder.nodes()) {
        if (node.id.empty())
            return fail({}, "a node has no id");
        if (placed.count(node.id))
            return fail(node.id, "the id is used twice");
        Rect parent = window;
        if (!node.parent.empty()) {
            auto it = placed.find(node.parent);
            if (it == placed.end())
                return fail(node.id, "unknown parent \"" + node.parent + "\"");
            parent = it->second;
        }
        Rect rect;
        if (node.rect) {
            rect = *node.rect;
            if (!rect.is_finite() || rect.width() < 0 || rect.height() < 0)
                return fail(node.id, "the rectangle is not a valid size");
        } else {
            if (!std::isfinite(node.size.width) || !std::isfinite(node.size.height) || node.size.width < 0 ||
                node.size.height < 0 || !std::isfinite(node.margin.x) || !std::isfinite(node.margin.y))
                return fail(node.id, "the size is not a valid size");
            rect = anchored(parent, node);
        }
        placed.emplace(node.id, rect);
        result.m_entries.push_back({node.id, rect});
    }
    return result;
}

} // namespace kavu::ui
