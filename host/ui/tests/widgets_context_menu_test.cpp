#include <ui/widgets/context_menu.h>

#include <gtest/gtest.h>

using namespace kavu::ui;

namespace {

class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_menu.push("Delete", MenuItemStyle::Destructive);
        m_menu.push("Archive / unarchive");
        m_menu.push("Rename");
        m_menu.open_at_clamped({240, 230}, m_window);
    }
    ContextMenuResponse send(Event event) { return m_menu.handle_event(event, m_context); }
    ContextMenuResponse key(Keycode code) {
        return send(KeyPress{.key = code, .modifiers = 0, .repeat = false});
    }
    ContextMenuResponse press(Point at, PointerButton button = PointerButton::Primary) {
        return send(PointerPress{.pos = at, .button = button, .clicks = 1, .modifiers = 0});
    }

    Rect m_window{0, 0, 1280, 800};
    Theme m_theme = Theme::dark();
    HeadlessServices m_services;
    EventContext m_context{m_theme, m_window, Instant{}, m_services};
    ContextMenu m_menu;
};

TEST_F(ContextMenuTest, KeyboardWalksAndChooses) {
    EXPECT_TRUE(m_menu.is_open());
    EXPECT_EQ(m_menu.rect().origin(), (Point{240, 230}));
    key(keys::kDown);
    EXPECT_EQ(m_menu.hovered(), 0u);
    key(keys::kDown);
    key(keys::kDown);
    key(keys::kDown); // wraps to the first
    EXPECT_EQ(m_menu.hovered(), 0u);
    key(keys::kUp); // wraps to the last
    EXPECT_EQ(m_menu.hovered(), 2u);
    key(keys::kUp);
    ContextMenuResponse chosen = key(keys::kEnter);
    EXPECT_EQ(chosen.chosen, 1u);
    EXPECT_FALSE(chosen.stays_open);
    EXPECT_FALSE(m_menu.is_open());
    EXPECT_FALSE(key(keys::kDown).consumed); // closed menus take nothing
}

TEST_F(ContextMenuTest, EnterWithoutHoverAndEscape) {
    ContextMenuResponse nothing = key(keys::kEnter);
    EXPECT_TRUE(nothing.consumed);
    EXPECT_FALSE(nothing.chosen);
    EXPECT_TRUE(nothing.stays_open);
    EXPECT_TRUE(send(TextEntered{"x"}).consumed);
    ContextMenuResponse escape = key(keys::kEscape);
    EXPECT_TRUE(escape.consumed);
    EXPECT_FALSE(escape.stays_open);
    EXPECT_FALSE(m_menu.is_open());
}

TEST_F(ContextMenuTest, PointerHoversChoosesAndDismisses) {
    Point second{m_menu.rect().center().x, m_menu.rect().y0 + 6 + 30 + 15};
    EXPECT_TRUE(send(PointerMove{.pos = second, .modifiers = 0}).consumed);
    EXPECT_EQ(m_menu.hovered(), 1u);
    ContextMenuResponse chosen = press(second);
    EXPECT_EQ(chosen.chosen, 1u);
    EXPECT_FALSE(m_menu.is_open());

    m_menu.open_at({100, 100});
    ContextMenuResponse outside = press({900, 700});
    EXPECT_TRUE(outside.consumed);
    EXPECT_FALSE(outside.stays_open);
    EXPECT_FALSE(m_menu.is_open());
    // A secondary press elsewhere closes the menu and is left to the owner.
    m_menu.open_at({100, 100});
    EXPECT_FALSE(press({900, 700}, PointerButton::Secondary).consumed);
    EXPECT_FALSE(m_menu.is_open());
}

TEST_F(ContextMenuTest, ClampedIntoTheBounds) {
    m_menu.open_at_clamped({1270, 790}, m_window);
    Rect r = m_menu.rect();
    EXPECT_LE(r.x1, m_window.x1);
    EXPECT_LE(r.y1, m_window.y1);
    EXPECT_GE(r.width(), 180);
    EXPECT_EQ(r.height(), 6 + 3 * 30 + 6);
    m_menu.open_at_clamped({-50, -50}, m_window, 2);
    EXPECT_GE(m_menu.rect().x0, 0);
    EXPECT_EQ(m_menu.rect().height(), 2 * (6 + 3 * 30 + 6));
}

TEST_F(ContextMenuTest, AccessibilityAndSemanticChoice) {
    AccessNode tree = m_menu.accessibility();
    EXPECT_EQ(tree.kind, AccessKind::Menu);
    ASSERT_EQ(tree.children.size(), 3u);
    EXPECT_EQ(tree.children[0].id, "context-menu:item:0");
    EXPECT_EQ(tree.children[0].label, "Delete");
    EXPECT_EQ(tree.children[2].kind, AccessKind::MenuItem);

    EXPECT_FALSE(m_menu.perform_semantic_action("context-menu:item:7"));
    EXPECT_FALSE(m_menu.perform_semantic_action("chat.send"));
    auto chosen = m_menu.perform_semantic_action("context-menu:item:2");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->chosen, 2u);
    EXPECT_FALSE(m_menu.is_open());
    EXPECT_FALSE(m_menu.perform_semantic_action("context-menu:item:2")); // closed now

    ContextMenu keyed;
    keyed.push_keyed("rename", "Rename");
    keyed.open_at({0, 0});
    EXPECT_EQ(keyed.accessibility().children.at(0).id, "context-menu:item:rename");
    EXPECT_EQ(keyed.perform_semantic_action("context-menu:item:rename")->chosen, 0u);
}

TEST_F(ContextMenuTest, DrawsOnlyWhileOpen) {
    Scene open;
    key(keys::kDown);
    m_menu.draw(open, m_theme);
    EXPECT_GT(open.commands().size(), 4u);
    EXPECT_EQ(open.depth(), 0);
    m_menu.close();
    Scene closed;
    m_menu.draw(closed, m_theme);
    EXPECT_TRUE(closed.commands().empty());
}

} // namespace
