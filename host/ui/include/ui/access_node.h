#pragma once

#include <ui/geometry.h>

#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

// What an accessibility node is, as assistive technologies understand it.
enum class AccessKind {
    Window,
    Group,
    Heading,
    Label,
    Button,
    Toggle,
    List,
    ListItem,
    SelectableItem,
    TextField,
    MultilineTextField,
    Menu,
    MenuItem,
    Image,
};

// "button", "toggle", "list item", ...: the kind as the JSON dump writes it.
std::string_view access_kind_name(AccessKind kind);

// One node of the accessibility tree. `id` is a stable semantic id that an
// assistive action names to act on the node; `state` is the node's on/selected
// flag (pressed toggle, current item, ...).
struct AccessNode {
    std::string id;
    std::string label;
    std::string description;
    Rect bounds;
    AccessKind kind = AccessKind::Group;
    bool state = false;
    std::vector<AccessNode> children;

    AccessNode with_children(std::vector<AccessNode> nodes) && {
        children = std::move(nodes);
        return std::move(*this);
    }
    AccessNode with_children(std::vector<AccessNode> nodes) const& {
        AccessNode copy = *this;
        copy.children = std::move(nodes);
        return copy;
    }
    // Depth-first search by id.
    const AccessNode* find(std::string_view node_id) const;

    bool operator==(const AccessNode&) const = default;
};

// The tree as JSON: {"id", "label", "description", "bounds": [x0, y0, x1, y1],
// "kind", "state", "children": [...]}, indented, with a trailing newline.
std::string access_tree_json(const AccessNode& root);

} // namespace kavu::ui
