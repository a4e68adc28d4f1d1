#include <ui/access_node.h>

#include <nlohmann/json.hpp>

namespace kavu::ui {

std::string_view access_kind_name(AccessKind kind) {
    switch (kind) {
    case AccessKind::Window:
        return "window";
    case AccessKind::Group:
        return "group";
    case AccessKind::Heading:
        return "heading";
    case AccessKind::Label:
        return "label";
    case AccessKind::Button:
        return "button";
    case AccessKind::Toggle:
        return "toggle";
    case AccessKind::List:
        return "list";
    case AccessKind::ListItem:
        return "list item";
    case AccessKind::SelectableItem:
        return "selectable item";
    case AccessKind::TextField:
        return "text field";
    case AccessKind::MultilineTextField:
        return "multi-line text field";
    case AccessKind::Menu:
        return "menu";
    case AccessKind::MenuItem:
        return "menu item";
    case AccessKind::Image:
        return "image";
    }
    return "group";
}

const AccessNode* AccessNode::find(std::string_view node_id) const {
    if (id == node_id)
        return this;
    for (const auto& child : children) {
        if (const auto* found = child.find(node_id))
            return found;
    }
    return nullptr;
}

namespace {
nlohmann::ordered_json to_json(const AccessNode& node) {
    nlohmann::ordered_json j;
    j["id"] = node.id;
    j["label"] = node.label;
    j["description"] = node.description;
    j["bounds"] = {node.bounds.x0, node.bounds.y0, node.bounds.x1, node.bounds.y1};
    j["kind"] = access_kind_name(node.kind);
    j["state"] = node.state;
    auto children = nlohmann::ordered_json::array();
    for (const auto& child : node.children)
        children.push_back(to_json(child));
    j["children"] = std::move(children);
    return j;
}
} // namespace

std::string access_tree_json(const AccessNode& root) {
    // Labels come from user content; invalid UTF-8 is replaced rather than
    // failing the dump.
    return to_json(root).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace kavu::ui
