#include <ui/widgets/semantic_actions.h>

#include <array>
#include <utility>

namespace kavu::ui::widget {

namespace {

constexpr std::array<std::pair<SemanticAction, std::string_view>, 5> kNames{{
    {SemanticAction::Click, "click"},
    {SemanticAction::Toggle, "toggle"},
    {SemanticAction::Focus, "focus"},
    {SemanticAction::SetValue, "set-value"},
    {SemanticAction::InsertText, "insert-text"},
}};

void collect(const AccessNode& node, std::vector<SemanticBinding>& out) {
    std::vector<SemanticAction> actions = semantic_actions_for(node.kind);
    if (!actions.empty() && !node.id.empty())
        out.push_back(SemanticBinding{.node_id = node.id, .actions = std::move(actions)});
    for (const AccessNode& child : node.children)
        collect(child, out);
}

} // namespace

std::string_view semantic_action_name(SemanticAction action) {
    for (const auto& [a, name] : kNames)
        if (a == action)
            return name;
    return {};
}

std::optional<SemanticAction> parse_semantic_action(std::string_view name) {
    for (const auto& [a, n] : kNames)
        if (n == name)
            return a;
    return std::nullopt;
}

std::vector<SemanticAction> semantic_actions_for(AccessKind kind) {
    switch (kind) {
    case AccessKind::Button:
    case AccessKind::MenuItem:
    case AccessKind::ListItem:
    case AccessKind::SelectableItem:
        return {SemanticAction::Click};
    case AccessKind::Toggle:
        return {SemanticAction::Toggle, SemanticAction::Click};
    case AccessKind::TextField:
    case AccessKind::MultilineTextField:
        return {SemanticAction::Focus, SemanticAction::SetValue, SemanticAction::InsertText};
    case AccessKind::Window:
    case AccessKind::Group:
    case AccessKind::Heading:
    case AccessKind::Label:
    case AccessKind::List:
    case AccessKind::Menu:
    case AccessKind::Image:
        return {};
    }
    return {};
}

std::vector<SemanticBinding> semantic_action_bindings(const AccessNode& root) {
    std::vector<SemanticBinding> out;
    collect(root, out);
    return out;
}

} // namespace kavu::ui::widget
