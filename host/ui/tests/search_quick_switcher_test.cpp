#include <ui/search/quick_switcher.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

using namespace kavu::ui;
using nlohmann::json;

namespace {

// An application with a navigation tree whose resources open through the
// perform-operation hook.
class NavigatingApp : public App {
public:
    std::optional<json> navigation_tree() override { return tree; }
    std::optional<json> resource_by_address(std::string_view address) override {
        if (address == "chat.channel:gone")
            return std::nullopt;
        return json{{"address", address},
                    {"actions", json::array({{{"id", "open"},
                                              {"kind", "chat.operation"},
                                              {"payload", {{"type", "Open"}, {"address", address}}}}})}};
    }
    kavu::Result<json> perform_operation(std::string_view kind, const json& payload) override {
        performed.push_back(std::string(kind) + " " + payload.at("address").get<std::string>());
        return json::object();
    }

    json tree = {{"title", "Chat"},
                 {"children",
                  {{{"title", "Conversations"},
                    {"children",
                     {{{"group", "Conversations"},
                       {"title", "#design"},
                       {"subtitle", "Acme · Pixel polish"},
                       {"address", "chat.channel:c_design"},
                       {"search_text", "design Pixel polish Acme"}},
                      {{"group", "Conversations"},
                       {"title", "#designers"},
                       {"address", "chat.channel:c_designers"},
                       {"search_text", "designers Acme"}},
                      {{"group", "Conversations"},
                       {"title", "#gone"},
                       {"address", "chat.channel:gone"},
                       {"search_text", "gone designing"}}}}},
                   {{"group", "People"},
                    {"title", "Lena"},
                    {"kind_label", "Person"},
                    {"address", "chat.person:u_lena"},
                    {"search_text", "Lena u_lena"}}}}};
    std::vector<std::string> performed;
};

class QuickSwitcherTest : public ::testing::Test {
protected:
    bool send(Event event) { return m_host.handle_event(event, m_context, m_app); }
    bool key(Keycode code, uint32_t modifiers = 0) {
        return send(KeyPress{.key = code, .modifiers = modifiers, .repeat = false});
    }
    void type(std::string text) { send(TextEntered{std::move(text)}); }

    Theme m_theme = Theme::dark();
    HeadlessServices m_services;
    EventContext m_context{m_theme, Rect{0, 0, 1280, 800}, Instant{}, m_services};
    NavigatingApp m_app;
    QuickSwitcherHost m_host;
};

TEST_F(QuickSwitcherTest, CtrlKOpensTypingRanksEnterOpens) {
    EXPECT_FALSE(key('k'));
    EXPECT_FALSE(key(keys::kDown));
    EXPECT_TRUE(key('k', mods::kCtrl));
    EXPECT_TRUE(m_host.is_open());
    EXPECT_EQ(m_host.catalog().stats().entries, 4u);
    type("design");
    AccessNode tree = m_host.with_accessibility(AccessNode{});
    const AccessNode* results = tree.find("quick-switcher:results");
    ASSERT_NE(results, nullptr);
    ASSERT_EQ(results->children.size(), 3u);
    EXPECT_EQ(results->children[0].id, "quick-switcher:result:chat.channel:c_design");
    EXPECT_TRUE(results->children[0].state); // the best result is selected
    key(keys::kDown);
    EXPECT_TRUE(key(keys::kEnter));
    EXPECT_FALSE(m_host.is_open());
    EXPECT_THAT(m_app.performed, ::testing::ElementsAre("chat.operation chat.channel:c_designers"));
}

TEST_F(QuickSwitcherTest, TyposEscapeAndClicks) {
    key('k', mods::kCtrl);
    type("lnea");
    AccessNode tree = m_host.with_accessibility(AccessNode{});
    ASSERT_EQ(tree.find("quick-switcher:results")->children.size(), 1u);
    EXPECT_TRUE(key(keys::kEscape));
    EXPECT_FALSE(m_host.is_open());
    EXPECT_TRUE(m_app.performed.empty());

    key('k', mods::kCtrl);
    type("lena");
    tree = m_host.with_accessibility(AccessNode{});
    Rect row = tree.find("quick-switcher:result:chat.person:u_lena")->bounds;
    send(PointerPress{.pos = row.center(), .button = PointerButton::Primary, .clicks = 1, .modifiers = 0});
    EXPECT_THAT(m_app.performed, ::testing::ElementsAre("chat.operation chat.person:u_lena"));

    // A press outside the panel closes without opening anything.
    key('k', mods::kCtrl);
    send(PointerPress{.pos = {5, 795}, .button = PointerButton::Primary, .clicks = 1, .modifiers = 0});
    EXPECT_FALSE(m_host.is_open());
    EXPECT_EQ(m_app.performed.size(), 1u);
}

TEST_F(QuickSwitcherTest, ARemovedEntryIsDroppedAndAMissingResourceFailsQuietly) {
    key('k', mods::kCtrl);
    type("designing");
    key(keys::kEnter); // "chat.channel:gone" has no resource any more
    EXPECT_FALSE(m_host.is_open());
    EXPECT_TRUE(m_app.performed.empty());

    m_app.tree["children"][0]["children"].erase(2);
    key('k', mods::kCtrl);
    EXPECT_EQ(m_host.catalog().stats().entries, 3u);
    EXPECT_EQ(m_host.catalog().find("chat.channel:gone"), nullptr);

    Scene scene;
    FrameContext frame{m_theme, Rect{0, 0, 1280, 800}, Instant{}, m_services};
    m_host.draw(scene, frame);
    EXPECT_FALSE(scene.commands().empty());
    EXPECT_EQ(scene.depth(), 0);
}

TEST(PerformSearchAction, ReportsWhatIsMissing) {
    NavigatingApp app;
    EXPECT_TRUE(perform_search_action(app, {.resource = "chat.channel:c_design", .action = "open"}));
    auto missing = perform_search_action(app, {.resource = "chat.channel:gone", .action = "open"});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error_text(), "no resource at chat.channel:gone");
    auto no_action = perform_search_action(app, {.resource = "chat.channel:c_design", .action = "delete"});
    EXPECT_EQ(no_action.error_text(), "chat.channel:c_design has no \"delete\" action");
}

} // namespace
