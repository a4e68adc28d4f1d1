#include "actions/action_json.h"
#include "app/chat_app.h"
#include "doc/apply.h"
#include "doc/readers.h"
#include "doc/schema.h"
#include "doc/writers.h"

#include <kavu_actions/action_spec.h>
#include <ui/presence.h>
#include <ui/scene.h>

#include <gtest/gtest.h>

namespace chat::app {
namespace {

using kavu::actions::OperationType;
namespace ui = kavu::ui;

// A screenshot-variant ChatApp over an in-memory document, driven through
// its hooks the way the toolkit drives it.
class ChatAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.set_clock([] { return int64_t{1782480000}; });
        sync();
    }
    void sync() {
        ui::SyncContext context{&m_doc, ui::Instant{}, m_services};
        m_app.sync(context);
    }
    PerformResult perform(const ChatOperation& op, OperationType type = OperationType::View) {
        return m_app.perform(type, kOperationKind, encode_json(op));
    }
    const ChannelEntry& channel(std::string_view id) {
        const ChannelEntry* c = m_app.view().find_channel(id);
        EXPECT_TRUE(c) << id;
        static ChannelEntry none;
        return c ? *c : none;
    }
    size_t reported() const { return m_app.action_host().changes().size(); }
    std::string post_from_lena(std::string_view channel, std::string_view text,
                               std::optional<std::string> parent = std::nullopt) {
        std::string id = "m_lena" + std::to_string(++m_posts);
        doc::apply_action(m_doc, {ChatAction::SendMessage{.channel = std::string(channel),
                                                          .id = id,
                                                          .author = "u_lena",
                                                          .ts = 1782479000,
                                                          .text = std::string(text),
                                                          .parent = std::move(parent)}});
        return id;
    }
    std::vector<MessageView> messages(std::string_view channel) { return doc::read_messages(m_doc, channel); }

    crdt::Document m_doc;
    ui::HeadlessServices m_services;
    ChatApp m_app;
    int m_posts = 0;
};

TEST_F(ChatAppTest, ScreenshotVariantKeepsTheDemoSelectionAndReadsIt) {
    const Selection& s = m_app.selection();
    EXPECT_EQ(s.workspace, "ws_acme");
    EXPECT_EQ(s.context_workspace, "ws_acme");
    EXPECT_EQ(s.channel, "c_crit");
    EXPECT_EQ(s.thread, "m_concept");
    EXPECT_FALSE(m_app.flags().live);
    EXPECT_EQ(m_app.view().workspaces.size(), 3u);
    EXPECT_EQ(channel("c_crit").unread, 0u);
    EXPECT_GT(channel("c_general").unread, 0u);
    EXPECT_EQ(doc::read_marker(m_doc, "c_crit", "u_me"),
              static_cast<int64_t>(doc::top_level_count(m_doc, "c_crit")));
    EXPECT_EQ(m_app.composers().main.placeholder(), "Message #design-crit");
    EXPECT_EQ(m_app.composers().thread.placeholder(), "Reply…");

    // People of the workspace: sorted by name, the local person among them.
    std::vector<std::string> names;
    for (const PersonEntry& p : m_app.view().people)
        names.push_back(p.name);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(m_app.view().find_person("u_me"));

    // A second synchronisation finds nothing to mark.
    size_t before = reported();
    sync();
    EXPECT_EQ(reported(), before);
}

TEST_F(ChatAppTest, InteractiveVariantStartsEmptyAndSettlesOnTheHomeWorkspace) {
    crdt::Document doc;
    ChatApp live;
    live.make_interactive(LocalIdentity{.id = "u_kim", .name = "Kim Park", .initials = "KP", .color_idx = 3},
                          nullptr);
    EXPECT_TRUE(live.selection().workspace.empty());
    EXPECT_TRUE(live.selection().channel.empty());
    EXPECT_FALSE(live.selection().thread);
    ui::SyncContext context{&doc, ui::Instant{}, m_services};
    live.sync(context);
    EXPECT_EQ(live.selection().workspace, "ws_home");
    EXPECT_EQ(live.selection().context_workspace, "ws_home");
    EXPECT_EQ(live.selection().channel, "c_general");
    const PersonEntry* me = live.view().find_user("u_kim");
    ASSERT_TRUE(me);
    EXPECT_EQ(me->name, "Kim Park");
    EXPECT_EQ(me->color_idx, 3);
}

TEST_F(ChatAppTest, RedrawRequestIsReportedOnce) {
    ASSERT_EQ(perform({ChatOperation::OpenChannel{.workspace = "ws_acme", .channel = "c_general"}}).status,
              PerformStatus::Done);
    EXPECT_TRUE(m_app.take_redraw_request());
    EXPECT_FALSE(m_app.take_redraw_request());
}

TEST_F(ChatAppTest, OperationFailuresAndTypeChecks) {
    m_app.set_import_starter([](const std::string&, const std::string& path) { return path == "/ok"; });
    struct Case {
        std::string kind;
        std::string payload;
        OperationType type;
        PerformResult expected;
    };
    auto op = [](const ChatOperation& o) { return encode_json(o); };
    const std::string open_general =
        op({ChatOperation::OpenChannel{.workspace = "ws_acme", .channel = "c_general"}});
    const Case cases[] = {
        {"chat.action", open_general, OperationType::View, PerformResult::not_handled()},
        {"chat.operation", open_general, OperationType::Query, PerformResult::not_handled()},
        {"chat.operation", open_general, OperationType::Effect,
         PerformResult::failed("Chat navigation requires a View operation")},
        {"chat.operation", op({ChatOperation::ImportAttachment{.channel = "c_crit", .path = "/ok"}}),
         OperationType::View, PerformResult::failed("attachment import requires an Effect operation")},
        {"chat.operation", op({ChatOperation::OpenChannel{.workspace = "ws_kavu", .channel = "c_general"}}),
         OperationType::View, PerformResult::failed("conversation no longer exists")},
        {"chat.operation", op({ChatOperation::OpenWorkspace{.workspace = "ws_gone"}}), OperationType::View,
         PerformResult::failed("workspace no longer exists")},
        {"chat.operation",
         op({ChatOperation::OpenCategory{.workspace = "ws_kavu", .category = "cat_acme_main"}}),
         OperationType::View, PerformResult::failed("category no longer exists")},
        {"chat.operation",
         op({ChatOperation::RevealMessage{.workspace = "ws_acme", .channel = "c_crit", .message = "m_gone"}}),
         OperationType::View, PerformResult::failed("message no longer exists")},
        {"chat.operation", op({ChatOperation::OpenPerson{.user = "u_gone"}}), OperationType::View,
         PerformResult::failed("person no longer exists")},
        {"chat.operation", op({ChatOperation::ImportAttachment{.channel = "c_crit", .path = ""}}),
         OperationType::Effect, PerformResult::failed("attachment path is empty")},
        {"chat.operation", op({ChatOperation::ImportAttachment{.channel = "c_gone", .path = "/ok"}}),
         OperationType::Effect, PerformResult::failed("conversation no longer exists")},
        {"chat.operation", op({ChatOperation::ImportAttachment{.channel = "c_crit", .path = "/no"}}),
         OperationType::Effect, PerformResult::failed("attachment import was not accepted")},
        {"chat.operation", op({ChatOperation::ImportAttachment{.channel = "c_crit", .path = "/ok"}}),
         OperationType::Effect, PerformResult::done()},
    };
    Selection before = m_app.selection();
    for (const Case& c : cases) {
        EXPECT_EQ(m_app.perform(c.type, c.kind, c.payload), c.expected) << c.payload;
        EXPECT_EQ(m_app.selection().channel, before.channel) << c.payload;
        EXPECT_EQ(m_app.selection().thread, before.thread) << c.payload;
    }
    PerformResult garbled = m_app.perform(OperationType::View, "chat.operation", "{\"OpenChannel\":");
    EXPECT_EQ(garbled.status, PerformStatus::Failed);
    EXPECT_FALSE(garbled.message.empty());
}

TEST_F(ChatAppTest, RevealLeavesTheChannelUnreadAndOpeningReadsIt) {
    std::string id = post_from_lena("c_general", "news");
    sync();
    uint32_t unread = channel("c_general").unread;
    ASSERT_GT(unread, 1u);

    ASSERT_EQ(
        perform({ChatOperation::RevealMessage{.workspace = "ws_acme", .channel = "c_general", .message = id}})
            .status,
        PerformStatus::Done);
    sync();
    EXPECT_EQ(m_app.selection().channel, "c_general");
    EXPECT_EQ(m_app.selection().reveal, id);
    EXPECT_TRUE(m_app.navigation().reveal_pending);
    EXPECT_FALSE(m_app.selection().thread); // no parent: the open thread closes
    EXPECT_EQ(doc::read_marker(m_doc, "c_general", "u_me"), 0);

    ASSERT_EQ(perform({ChatOperation::OpenChannel{.workspace = "ws_acme", .channel = "c_general"}}).status,
              PerformStatus::Done);
    sync();
    EXPECT_FALSE(m_app.selection().reveal);
    EXPECT_EQ(doc::read_marker(m_doc, "c_general", "u_me"), static_cast<int64_t>(unread));
    EXPECT_EQ(channel("c_general").unread, 0u);
}

TEST_F(ChatAppTest, RevealWithAParentOpensTheThreadAndTheRightPanel) {
    std::string reply = messages("c_crit").back().id; // a reply in the m_concept thread
    ASSERT_EQ(perform({ChatOperation::OpenChannel{.workspace = "ws_acme", .channel = "c_general"}}).status,
              PerformStatus::Done);
    m_app.interface_state().right_open_override = false;
    ASSERT_EQ(
        perform({ChatOperation::RevealMessage{
                    .workspace = "ws_acme", .channel = "c_crit", .message = reply, .parent = "m_concept"}})
            .status,
        PerformStatus::Done);
    EXPECT_EQ(m_app.selection().thread, "m_concept");
    EXPECT_TRUE(m_app.navigation().thread_shown);
    EXPECT_EQ(m_app.interface_state().right_open_override, true);
    EXPECT_FALSE(m_app.navigation().read_marking);
}

TEST_F(ChatAppTest, OpenCategoryAndOpenPerson) {
    doc::apply_action(
        m_doc, {ChatAction::CreateCategory{.workspace = "ws_acme", .id = "cat_empty", .name = "Empty"}});
    sync();
    ASSERT_EQ(perform({ChatOperation::OpenCategory{.workspace = "ws_acme", .category = "cat_empty"}}).status,
              PerformStatus::Done);
    EXPECT_TRUE(m_app.selection().channel.empty());
    ASSERT_EQ(
        perform({ChatOperation::OpenCategory{.workspace = "ws_kavu", .category = "cat_kavu_eng"}}).status,
        PerformStatus::Done);
    EXPECT_EQ(m_app.selection().channel, "c_kernel");
    sync();

    // Nobody has spoken in Kavu Core: Lena is not one of its people, so
    // opening her goes to the first channel she took part in.
    ASSERT_FALSE(m_app.view().find_person("u_lena"));
    ASSERT_EQ(perform({ChatOperation::OpenPerson{.user = "u_lena"}}).status, PerformStatus::Done);
    EXPECT_EQ(m_app.selection().workspace, "ws_acme");
    EXPECT_EQ(m_app.selection().channel, "c_general");
    EXPECT_EQ(m_app.selection().focused_person, "u_lena");
    EXPECT_EQ(m_app.interface_state().right_open_override, true);

    // A member of the current workspace only gets the focus.
    ASSERT_EQ(perform({ChatOperation::OpenChannel{.workspace = "ws_acme", .channel = "c_crit"}}).status,
              PerformStatus::Done);
    sync();
    ASSERT_EQ(perform({ChatOperation::OpenPerson{.user = "u_theo"}}).status, PerformStatus::Done);
    EXPECT_EQ(m_app.selection().channel, "c_crit");
    EXPECT_EQ(m_app.selection().focused_person, "u_theo");
}

TEST_F(ChatAppTest, SendingFromTheComposers) {
    // A blank draft sends nothing and stays.
    m_app.composers().thread_focus = false;
    m_app.store_draft(false, "  \n ");
    size_t count = messages("c_crit").size();
    m_app.send_from_composer();
    EXPECT_EQ(messages("c_crit").size(), count);
    EXPECT_EQ(doc::draft_text(m_doc, "c_crit"), "  \n ");

    m_app.store_draft(false, "ping @lena moss ");
    m_app.interface_state().scroll_offset = 120;
    m_app.send_from_composer();
    auto after = messages("c_crit");
    ASSERT_EQ(after.size(), count + 1);
    EXPECT_EQ(after.back().text, "ping @lena moss ");
    EXPECT_EQ(after.back().author, "u_me");
    EXPECT_EQ(after.back().ts, 1782480000);
    EXPECT_FALSE(after.back().parent);
    EXPECT_EQ(after.back().mentions, (std::vector<Mention>{{"u_lena", 5, 10, false}}));
    EXPECT_FALSE(doc::draft_text(m_doc, "c_crit").value_or("").size());
    EXPECT_EQ(m_app.interface_state().scroll_offset, 0);
    EXPECT_EQ(m_app.view().messages.size(), count + 1);

    // From the thread composer: a reply to the open thread; the channel's
    // own draft is left alone.
    m_app.store_draft(false, "keep me");
    m_app.composers().thread_focus = true;
    m_app.store_draft(true, "in thread");
    m_app.send_from_composer();
    after = messages("c_crit");
    EXPECT_EQ(after.back().text, "in thread");
    EXPECT_EQ(after.back().parent, "m_concept");
    EXPECT_FALSE(doc::draft_text(m_doc, doc::thread_draft_key("c_crit", "m_concept")).value_or("").size());
    EXPECT_EQ(doc::draft_text(m_doc, "c_crit"), "keep me");
    EXPECT_EQ(m_app.composers().main.text(), "keep me");
}

TEST_F(ChatAppTest, ReadOnlyRefusesSends) {
    m_app.permissions().revoke(ui::Permission::WriteDocument);
    m_app.store_draft(false, "hello");
    size_t count = messages("c_crit").size();
    m_app.send_from_composer();
    EXPECT_EQ(messages("c_crit").size(), count);
}

TEST_F(ChatAppTest, InlineEdit) {
    m_app.start_edit("m_theo"); // someone else's message
    EXPECT_FALSE(m_app.composers().editing);
    m_app.start_edit("m_me1");
    ASSERT_EQ(m_app.composers().editing, "m_me1");
    EXPECT_EQ(m_app.composers().editor.cursor_pos(), m_app.composers().editor.text().size());

    m_app.composers().editor.set_text("   ");
    m_app.save_edit(); // blank: the edit ends without an action
    EXPECT_FALSE(m_app.composers().editing);
    EXPECT_FALSE(m_app.view().find_message("m_me1")->edited);

    // Saved after moving to another channel: the edit still lands.
    m_app.start_edit("m_me1");
    m_app.composers().editor.set_text("Changed my mind ");
    m_app.select_channel("c_general");
    m_app.save_edit();
    m_app.select_channel("c_crit");
    const MessageView* m = m_app.view().find_message("m_me1");
    EXPECT_EQ(m->text, "Changed my mind ");
    EXPECT_TRUE(m->edited);
    EXPECT_TRUE(m_app.composers().editor.text().empty());
}

TEST_F(ChatAppTest, RenameCommitsTrimmedNamesOnly) {
    m_app.start_rename({RenameTarget::Kind::Channel, "c_random"});
    EXPECT_EQ(m_app.composers().rename.text(), "random");
    m_app.composers().rename.set_text("   ");
    size_t before = reported();
    m_app.commit_rename();
    EXPECT_EQ(reported(), before);
    EXPECT_FALSE(m_app.composers().renaming);

    m_app.start_rename({RenameTarget::Kind::Category, "cat_acme_main"});
    m_app.composers().rename.set_text("  Main  ");
    m_app.commit_rename();
    EXPECT_EQ(m_app.view().find_category("cat_acme_main")->name, "Main");
    EXPECT_TRUE(m_app.composers().rename.text().empty());
}

TEST_F(ChatAppTest, ReactionTogglesAddThenRemove) {
    auto mine = [&] {
        for (const ReactionGroup& g : m_app.view().find_message("m_me1")->reactions)
            if (g.emoji == "🙌")
                return std::find(g.users.begin(), g.users.end(), "u_me") != g.users.end();
        return false;
    };
    m_app.toggle_reaction("m_me1", "🙌");
    EXPECT_TRUE(mine());
    m_app.toggle_reaction("m_me1", "🙌");
    EXPECT_FALSE(mine());
}

TEST_F(ChatAppTest, ContextMenuItems) {
    // Archiving another channel keeps the selection.
    m_app.carry_out_menu_item({MenuSubject::Kind::Channel, "c_random"}, MenuItem::ArchiveUnarchive);
    EXPECT_TRUE(channel("c_random").archived);
    EXPECT_EQ(m_app.selection().channel, "c_crit");
    m_app.carry_out_menu_item({MenuSubject::Kind::Channel, "c_random"}, MenuItem::ArchiveUnarchive);
    EXPECT_FALSE(channel("c_random").archived);

    // Deleting the current channel moves to the workspace's first channel.
    m_app.carry_out_menu_item({MenuSubject::Kind::Channel, "c_crit"}, MenuItem::Delete);
    EXPECT_FALSE(m_app.view().find_channel("c_crit"));
    EXPECT_EQ(m_app.selection().channel, "c_general");
    sync();
    EXPECT_FALSE(m_app.selection().thread); // its thread went with it

    // New voice channel in a category, then its rename starts.
    m_app.carry_out_menu_item({MenuSubject::Kind::Category, "cat_acme_voice"}, MenuItem::NewVoiceChannel);
    ASSERT_TRUE(m_app.composers().renaming);
    const ChannelEntry* created = m_app.view().find_channel(m_app.composers().renaming->id);
    ASSERT_TRUE(created);
    EXPECT_EQ(created->name, "New Voice");
    EXPECT_TRUE(created->voice);
    EXPECT_EQ(created->category, "cat_acme_voice");
    EXPECT_EQ(m_app.composers().rename.text(), "New Voice");

    m_app.carry_out_menu_item({MenuSubject::Kind::Workspace, "ws_acme"}, MenuItem::NewCategory);
    ASSERT_TRUE(m_app.composers().renaming);
    EXPECT_EQ(m_app.view().find_category(m_app.composers().renaming->id)->name, "New Category");

    m_app.carry_out_menu_item({MenuSubject::Kind::Category, "cat_acme_main"}, MenuItem::CollapseExpand);
    EXPECT_TRUE(m_app.view().find_category("cat_acme_main")->collapsed);

    // Through the toolkit's assistive path.
    ASSERT_EQ(perform({ChatOperation::OpenChannel{.workspace = "ws_acme", .channel = "c_general"}}).status,
              PerformStatus::Done);
    sync();
    std::string msg = m_app.view().messages.front().id;
    m_app.open_context_menu({MenuSubject::Kind::Message, msg}, {10, 10});
    EXPECT_TRUE(m_app.menu_shown());
    EXPECT_TRUE(m_app.activate_context_menu_item("context-menu:item:10")); // Pin / unpin
    EXPECT_TRUE(m_app.view().find_message(msg)->pinned);
}

TEST_F(ChatAppTest, SidebarSelectionPaths) {
    std::string id = post_from_lena("c_frontend", "look");
    sync();
    ASSERT_GT(channel("c_frontend").unread, 0u);
    m_app.select_inbox();
    EXPECT_TRUE(m_app.navigation().inbox_view);
    EXPECT_FALSE(m_app.selection().thread);
    m_app.select_channel("c_frontend");
    EXPECT_TRUE(m_app.navigation().inbox_view); // stays in the inbox
    EXPECT_EQ(m_app.selection().channel, "c_frontend");
    EXPECT_EQ(channel("c_frontend").unread, 0u);
    EXPECT_EQ(doc::read_marker(m_doc, "c_frontend", "u_me"), 1);

    // A channel of another workspace, then back to the context workspace.
    m_app.select_channel("c_kernel");
    EXPECT_EQ(m_app.selection().workspace, "ws_kavu");
    m_app.select_current_context();
    EXPECT_FALSE(m_app.navigation().inbox_view);
    EXPECT_EQ(m_app.selection().workspace, "ws_acme");
    EXPECT_EQ(m_app.selection().channel, "c_general");
}

TEST_F(ChatAppTest, JoiningAVoiceChannelKeepsTheSelectionAndSwitchesCalls) {
    m_app.select_channel("c_huddle");
    EXPECT_EQ(m_app.selection().channel, "c_crit");
    ASSERT_TRUE(m_app.call().call().in_call);
    EXPECT_EQ(m_app.call().call().channel, "c_huddle");
    m_app.select_voice_channel("c_standup");
    EXPECT_EQ(m_app.call().call().channel, "c_standup");
    auto in = [&](std::string_view channel) {
        for (const CallParticipant& p : doc::call_participants(m_doc, channel))
            if (p.user == "u_me")
                return true;
        return false;
    };
    EXPECT_TRUE(in("c_standup"));
    EXPECT_FALSE(in("c_huddle"));

    // Deafening mutes; unmuting undeafens.
    m_app.call().toggle_deafen();
    EXPECT_TRUE(m_app.call().call().muted);
    EXPECT_TRUE(m_app.call().call().deafened);
    m_app.call().toggle_mute();
    EXPECT_FALSE(m_app.call().call().muted);
    EXPECT_FALSE(m_app.call().call().deafened);

    // A leave asked for runs at the next synchronisation.
    m_app.call().set_pending_leave();
    sync();
    EXPECT_FALSE(m_app.call().call().in_call);
    EXPECT_FALSE(in("c_standup"));
}

TEST_F(ChatAppTest, ToolkitHooks) {
    EXPECT_EQ(m_app.type_name(), "chat::app::ChatApp");
    EXPECT_EQ(m_app.display_name(), "ChatApp");
    EXPECT_EQ(m_app.operation_kinds(), std::vector<std::string>{"chat.operation"});

    auto tree = m_app.resource_tree();
    ASSERT_TRUE(tree && tree->is_array());
    EXPECT_EQ(tree->size(), 4u);
    EXPECT_EQ(tree->back()["address"], "chat.people:");
    auto person = m_app.resource_by_address("chat.person:u_lena");
    ASSERT_TRUE(person);
    EXPECT_EQ((*person)["title"], "Lena Moss");
    EXPECT_FALSE(m_app.resource_by_address("chat.person:u_gone"));

    // The toolkit's entry takes each operation as its declared type.
    auto opened = m_app.perform_operation(
        "chat.operation", nlohmann::json::parse(encode_json(ChatOperation{
                              ChatOperation::OpenChannel{.workspace = "ws_kavu", .channel = "c_kernel"}})));
    EXPECT_TRUE(opened);
    EXPECT_EQ(m_app.selection().channel, "c_kernel");
    sync();
    auto import = m_app.perform_operation(
        "chat.operation", nlohmann::json::parse(encode_json(ChatOperation{
                              ChatOperation::ImportAttachment{.channel = "c_kernel", .path = "/x"}})));
    ASSERT_FALSE(import);
    EXPECT_EQ(import.error_text(), "attachment import was not accepted");

    // The checkpoint is handed over once.
    ASSERT_TRUE(m_app.perform_operation(
        "chat.operation", nlohmann::json::parse(encode_json(ChatOperation{
                              ChatOperation::OpenChannel{.workspace = "ws_acme", .channel = "c_crit"}}))));
    sync();
    (void)m_app.change_checkpoint();
    m_app.toggle_reaction("m_me1", "👍");
    EXPECT_TRUE(m_app.change_checkpoint());
    EXPECT_FALSE(m_app.change_checkpoint());
}

TEST_F(ChatAppTest, PresenceNamesAndMentionCandidates) {
    ui::PresenceCtx presence("u_me", std::nullopt,
                             {{"u_lena", "  Lena (laptop) "}, {"u_guest", "Guest"}, {"u_blank", "   "}});
    ui::Scene scene;
    ui::Theme theme;
    ui::FrameContext frame{theme, ui::Rect{0, 0, 800, 600}, ui::Instant{}, m_services};
    m_app.draw_with_presence(scene, frame, presence);
    EXPECT_EQ(m_app.person_name("u_lena"), "Lena (laptop)");
    EXPECT_EQ(m_app.person_name("u_blank"), "u_blank");
    EXPECT_EQ(m_app.person_name("u_theo"), "Theo Lund");
    EXPECT_EQ(m_app.window_rect(), (ui::Rect{0, 0, 800, 600}));
    auto candidates = m_app.mention_candidates();
    auto guest = std::find_if(candidates.begin(), candidates.end(),
                              [](const MentionCandidate& c) { return c.id == "u_guest"; });
    ASSERT_NE(guest, candidates.end());
    EXPECT_EQ(guest->name, "Guest");
    EXPECT_TRUE(std::is_sorted(candidates.begin(), candidates.end(),
                               [](const auto& a, const auto& b) { return a.name < b.name; }));

    // A participant the context no longer lists is forgotten.
    m_app.draw_with_presence(scene, frame, ui::PresenceCtx("u_me", std::nullopt, {}));
    EXPECT_EQ(m_app.person_name("u_lena"), "Lena Moss");
}

TEST_F(ChatAppTest, EmptyCurrentChannelMarksNothingRead) {
    post_from_lena("c_general", "unread");
    doc::apply_action(
        m_doc, {ChatAction::CreateChannel{.workspace = "ws_acme", .category = "", .id = "c_x", .name = "x"}});
    sync();
    m_app.selection().channel.clear();
    size_t before = reported();
    m_app.mark_current_channel_read();
    EXPECT_EQ(reported(), before);
}

} // namespace
} // namespace chat::app
