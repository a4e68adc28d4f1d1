#include <kavu_actions/action_address.h>
#include <kavu_actions/action_context.h>
#include <kavu_actions/action_spec.h>
#include <kavu_actions/humanize.h>
#include <kavu_actions/resource.h>

#include <gtest/gtest.h>

using namespace kavu::actions;
using nlohmann::json;

namespace {

TEST(ActionAddress, EncodesAndParsesAtTheFirstColon) {
    struct Case {
        std::string text;
        std::optional<ActionAddress> parsed;
    };
    const Case cases[] = {
        {"chat.channel:c_1", ActionAddress{"chat.channel", "c_1"}},
        {"chat.reaction:m_1:👍", ActionAddress{"chat.reaction", "m_1:👍"}},
        {"chat.people:", ActionAddress{"chat.people", ""}},
        {"", std::nullopt},
        {"no colon", std::nullopt},
        {":c_1", std::nullopt},
        {"chat channel:c_1", std::nullopt},
        {"chat.channel\n:c_1", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto parsed = ActionAddress::parse(c.text);
        EXPECT_EQ(parsed, c.parsed);
        if (parsed) {
            EXPECT_EQ(parsed->encode(), c.text);
        }
    }
}

TEST(Humanize, TurnsIdentifiersIntoLabels) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"SendMessage", "Send message"},
        {"SetCallState", "Set call state"},
        {"send_message", "Send message"},
        {"new-channel", "New channel"},
        {"chat.open", "Chat open"},
        {"setCallTicket", "Set call ticket"},
        {"OpenURL", "Open URL"},
        {"HTTPServerError", "HTTP server error"},
        {"Vp8Frame", "Vp8 frame"},
        {"  leading__and--doubled  ", "Leading and doubled"},
        {"ÄrgerlichesDing", "Ärgerliches ding"},
        {"", ""},
    };
    for (auto [identifier, label] : cases)
        EXPECT_EQ(humanize_identifier(identifier), label) << identifier;
}

TEST(Humanize, DefaultLabelOfAPayload) {
    EXPECT_EQ(default_label(json{{"DeleteChannel", {{"id", "c_1"}}}}), "Delete channel");
    EXPECT_EQ(default_label(json("OpenWorkspace")), "Open workspace");
    EXPECT_EQ(default_label(json{{"a", 1}, {"b", 2}}), "Update");
    EXPECT_EQ(default_label(json::object()), "Update");
    EXPECT_EQ(default_label(json::array({"SendMessage"})), "Update");
    EXPECT_EQ(default_label(json(42)), "Update");
    EXPECT_EQ(default_label(json("")), "Update");
}

TEST(ActionSpec, EncodesItsPayloadCompactly) {
    auto spec = ActionSpec::action("delete", "Delete channel", "chat.action",
                                   json{{"DeleteChannel", {{"id", "c_1"}}}});
    EXPECT_FALSE(spec.is_destructive());
    EXPECT_EQ(spec.encode(),
              (EncodedAction{"chat.action", R"({"DeleteChannel":{"id":"c_1"}})", std::nullopt}));
    EXPECT_TRUE(spec.destructive().is_destructive());

    auto open = ActionSpec::operation("open", "Open workspace", "chat.operation", OperationType::View,
                                      json{{"OpenWorkspace", {{"workspace", "w_1"}}}});
    EXPECT_EQ(open.encode().operation, OperationType::View);

    // Invalid UTF-8 in a text is replaced rather than failing the encoding.
    auto odd = ActionSpec::action("x", "X", "k", json("\xff"));
    EXPECT_EQ(odd.encode().payload, "\"\xEF\xBF\xBD\"");
}

TEST(ActionSpec, ATextParameterIsReadUnderValue) {
    auto spec = ActionSpec::with_text("rename", "Rename channel", {"Name", "channel name…"}, "chat.action",
                                      std::nullopt, [](std::string_view text) {
                                          return json{{"RenameChannel", {{"id", "c_1"}, {"name", text}}}};
                                      });
    EXPECT_EQ(spec.parameter(), (TextParameter{"Name", "channel name…"}));
    EXPECT_TRUE(spec.payload().is_null());
    EXPECT_EQ(spec.encode(ActionArgs::value("general")).payload,
              R"({"RenameChannel":{"id":"c_1","name":"general"}})");
    EXPECT_EQ(spec.encode(ActionArgs().set_text("other", "x")).payload,
              R"({"RenameChannel":{"id":"c_1","name":""}})");
    EXPECT_EQ(ActionArgs().text("value"), "");
}

TEST(ActionSpec, OperationTypeMismatchesNameTheSubject) {
    struct Case {
        OperationType declared, dispatched;
        std::string_view subject;
        std::optional<std::string> error;
    };
    const Case cases[] = {
        {OperationType::Effect, OperationType::View, "attachment import",
         "attachment import requires an Effect operation"},
        {OperationType::View, OperationType::Effect, "Chat navigation",
         "Chat navigation requires a View operation"},
        {OperationType::View, OperationType::Query, "Chat navigation",
         "Chat navigation requires a View operation"},
        {OperationType::View, OperationType::View, "Chat navigation", std::nullopt},
    };
    for (const auto& c : cases) {
        auto checked = enforce_operation_type(c.declared, c.dispatched, c.subject);
        ASSERT_EQ(checked.ok(), !c.error);
        if (c.error) {
            EXPECT_EQ(checked.error_text(), *c.error);
            EXPECT_EQ(checked.error().kind, ActionError::Kind::OperationMismatch);
        }
    }
    auto spec =
        ActionSpec::operation("open", "Open workspace", "chat.operation", OperationType::View, json{});
    EXPECT_TRUE(enforce_operation_type(spec, OperationType::View));
    EXPECT_EQ(enforce_operation_type(spec, OperationType::Effect).error_text(),
              "Open workspace requires a View operation");
    auto action = ActionSpec::action("x", "Do it", "chat.action", json{});
    EXPECT_FALSE(enforce_operation_type(action, OperationType::View));
}

TEST(Resource, BuildsATreeThatCanBeSearchedAndMarked) {
    auto action = [](std::string id) { return ActionSpec::action(id, id, "chat.action", json{}); };
    Resource root =
        Resource({"chat.workspace", "w_1"}, "Home")
            .with_type_label("Workspace")
            .with_action(action("open"))
            .with_child(
                Resource({"chat.channel", "c_1"}, "# general")
                    .with_action(action("rename"))
                    .with_action(action("delete"))
                    .with_child(
                        Resource({"chat.call", "c_1"}, "Call: # general").with_action(action("delete"))));
    ASSERT_EQ(root.children().size(), 1u);
    EXPECT_EQ(root.type_label(), "Workspace");
    EXPECT_EQ(root.children()[0].actions()[1].id(), "delete");

    const Resource* call = root.find({"chat.call", "c_1"});
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->title(), "Call: # general");
    EXPECT_EQ(root.find({"chat.call", "c_2"}), nullptr);
    EXPECT_NE(root.children()[0].find_action("rename"), nullptr);
    EXPECT_EQ(root.find_action("rename"), nullptr);

    std::vector<std::string> order;
    root.for_each_action([&](ActionSpec& spec) {
        order.push_back(spec.id());
        if (spec.id() == "delete")
            spec.destructive();
    });
    EXPECT_EQ(order, (std::vector<std::string>{"open", "rename", "delete", "delete"}));
    EXPECT_TRUE(root.children()[0].find_action("delete")->is_destructive());
    EXPECT_TRUE(call->find_action("delete")->is_destructive());
    EXPECT_FALSE(root.find_action("open")->is_destructive());
}

TEST(ActionContext, EnrichmentFillsOnlyWhatIsEmpty) {
    ActionContext defaults{.app_id = "org.kavu.Chat", .app_name = "Chat", .label = "Update", .time = 7};
    ActionContext context{.label = "Send message",
                          .resource_kind = "chat.message",
                          .resource_id = "m_1",
                          .resource_name = "Message"};
    auto enriched = context.enriched_by(defaults);
    EXPECT_EQ(enriched, (ActionContext{.app_id = "org.kavu.Chat",
                                       .app_name = "Chat",
                                       .label = "Send message",
                                       .resource_kind = "chat.message",
                                       .resource_id = "m_1",
                                       .resource_name = "Message",
                                       .time = 7}));
    EXPECT_EQ(enriched.address().encode(), "chat.message:m_1");
}

} // namespace
