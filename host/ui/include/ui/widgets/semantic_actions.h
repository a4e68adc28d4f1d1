#pragma once

#include <ui/access_node.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui::widget {

// What an assistive technology may ask of a node.
enum class SemanticAction { Click, Toggle, Focus, SetValue, InsertText };

// "click", "toggle", "focus", "set-value", "insert-text".
std::string_view semantic_action_name(SemanticAction action);
std::optional<SemanticAction> parse_semantic_action(std::string_view name);

// The actions a node of this kind answers to.
std::vector<SemanticAction> semantic_actions_for(AccessKind kind);

struct SemanticBinding {
    std::string node_id;
    std::vector<SemanticAction> actions;

    bool operator==(const SemanticBinding&) const = default;
};

// Every node of the tree that answers to an action, depth first, with its
// actions; nodes without an id cannot be named and are left out.
std::vector<SemanticBinding> semantic_action_bindings(const AccessNode& root);

} // namespace kavu::ui::widget
