#include <ui/widgets/context_menu.h>
#include <ui/widgets/semantic_actions.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kavu::ui;
using namespace kavu::ui::widget;
using ::testing::ElementsAre;

namespace {

AccessNode node(std::string id, AccessKind kind) {
    AccessNode n;
    n.id = std::move(id);
    n.kind = kind;
    return n;
}

TEST(SemanticActions, BindingsFollowTheTreeAndTheKinds) {
    ContextMenu menu;
    menu.push("Rename");
    menu.open_at({10, 10});
    AccessNode root =
        node("chat", AccessKind::Window)
            .with_children(
                {node("chat.send", AccessKind::Button), node("chat.call-mute", AccessKind::Toggle),
                 node("chat.composer", AccessKind::MultilineTextField),
                 node("conversation-heading", AccessKind::Heading), node("", AccessKind::Button),
                 node("message-list", AccessKind::List).with_children({node("m_1", AccessKind::ListItem)}),
                 menu.accessibility()});
    std::vector<SemanticBinding> bindings = semantic_action_bindings(root);
    std::vector<std::string> ids;
    for (const SemanticBinding& b : bindings)
        ids.push_back(b.node_id);
    EXPECT_THAT(ids,
                ElementsAre("chat.send", "chat.call-mute", "chat.composer", "m_1", "context-menu:item:0"));
    EXPECT_THAT(bindings[1].actions, ElementsAre(SemanticAction::Toggle, SemanticAction::Click));
    EXPECT_THAT(bindings[2].actions,
                ElementsAre(SemanticAction::Focus, SemanticAction::SetValue, SemanticAction::InsertText));
}

TEST(SemanticActions, NamesRoundTrip) {
    for (SemanticAction a : {SemanticAction::Click, SemanticAction::Toggle, SemanticAction::Focus,
                             SemanticAction::SetValue, SemanticAction::InsertText})
        EXPECT_EQ(parse_semantic_action(semantic_action_name(a)), a);
    EXPECT_EQ(semantic_action_name(SemanticAction::SetValue), "set-value");
    EXPECT_FALSE(parse_semantic_action("press"));
}

} // namespace
