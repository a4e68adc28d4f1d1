#include "actions/action_json.h"
#include "actions/resources.h"
#include "doc/apply.h"
#include "doc/readers.h"
#include "doc/seed.h"

#include <kavu_actions/action_address.h>

#include <gtest/gtest.h>

namespace chat {
namespace {

using kavu::actions::ActionArgs;
using kavu::actions::ActionSpec;
using kavu::actions::OperationType;
using kavu::actions::Resource;

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc::seed_demo(m_doc);
        refresh();
    }
    void refresh() {
        m_view.workspaces = doc::list_workspaces(m_doc);
        m_view.categories = doc::list_categories(m_doc);
        m_view.channels = doc::list_channels(m_doc);
        m_view.users = doc::list_people(m_doc);
        m_view.messages = doc::read_messages(m_doc, "c_crit");
    }
    ResourceContext context(std::string person = "u_me") {
        return ResourceContext{.view = m_view,
                               .doc = &m_doc,
                               .current_workspace = "ws_acme",
                               .current_channel = "c_crit",
                               .local_person = std::move(person),
                               .mention_people = {{"u_lena", "Lena Moss", false}},
                               .clock = [] { return int64_t{1234}; }};
    }
    Resource at(const std::string& address, std::string person = "u_me") {
        auto r = resource_by_address(context(std::move(person)), address);
        EXPECT_TRUE(r) << address;
        return r ? std::move(*r) : Resource({"none", ""}, "");
    }
    static std::vector<std::string> ids(const Resource& r) {
        std::vector<std::string> out;
        for (const ActionSpec& s : r.actions())
            out.push_back(s.id());
        return out;
    }
    static ChatAction built(const Resource& r, std::string_view id, std::string text = {}) {
        const ActionSpec* spec = r.find_action(id);
        EXPECT_TRUE(spec) << id;
        auto decoded = decode_json<ChatAction>(spec->encode(ActionArgs::value(std::move(text))).payload);
        EXPECT_TRUE(decoded) << (decoded ? "" : decoded.error_text());
        return decoded ? decoded.value() : ChatAction{};
    }

    crdt::Document m_doc;
    ViewState m_view;
};

TEST_F(ResourcesTest, TreeHoldsWorkspacesChannelsCategoriesThenPeople) {
    auto roots = resource_tree(context());
    ASSERT_EQ(roots.size(), 4u);
    EXPECT_EQ(roots[0].address().encode(), "chat.workspace:ws_acme");
    EXPECT_EQ(roots[0].title(), "Acme Design");
    EXPECT_EQ(roots[0].type_label(), "Workspace");
    EXPECT_EQ(ids(roots[0]), (std::vector<std::string>{"open", "new-channel", "new-category"}));
    // Six channels, then two categories.
    ASSERT_EQ(roots[0].children().size(), 8u);
    EXPECT_EQ(roots[0].children()[0].title(), "# general");
    EXPECT_EQ(roots[0].children()[6].kind(), "chat.category");
    EXPECT_EQ(roots[3].kind(), "chat.people");
    EXPECT_EQ(roots[3].title(), "People");
    EXPECT_EQ(roots[3].children().size(), 6u);

    int deletes = 0;
    for (Resource& r : roots)
        r.for_each_action([&](ActionSpec& s) {
            if (s.id() == "delete") {
                ++deletes;
                EXPECT_TRUE(s.is_destructive());
            } else {
                EXPECT_FALSE(s.is_destructive()) << s.id();
            }
        });
    EXPECT_EQ(deletes, 13 + 5);
}

TEST_F(ResourcesTest, ChannelActionsFollowItsState) {
    Resource general = at("chat.channel:c_general");
    EXPECT_EQ(ids(general), (std::vector<std::string>{"open", "post", "attach", "rename", "archive",
                                                      "mark-read", "delete"}));
    EXPECT_TRUE(general.children().empty());

    doc::apply_action(m_doc, {ChatAction::ArchiveChannel{.id = "c_general", .archived = true}});
    refresh();
    Resource archived = at("chat.channel:c_general");
    EXPECT_FALSE(archived.find_action("archive"));
    EXPECT_EQ(built(archived, "unarchive"), (ChatAction{ChatAction::ArchiveChannel{.id = "c_general"}}));

    auto mark = std::get<ChatAction::MarkRead>(built(at("chat.channel:c_crit"), "mark-read").value);
    EXPECT_EQ(mark.count, static_cast<int64_t>(doc::top_level_count(m_doc, "c_crit")));
    EXPECT_EQ(mark.user, "u_me");

    Resource voice = at("chat.channel:c_huddle");
    EXPECT_EQ(voice.title(), "🔊 Design Huddle");
    ASSERT_EQ(voice.children().size(), 1u);
    EXPECT_EQ(voice.children()[0].title(), "Call: 🔊 Design Huddle");
}

TEST_F(ResourcesTest, TextParametersAreTrimmedWithDefaults) {
    Resource ws = at("chat.workspace:ws_acme");
    auto channel = std::get<ChatAction::CreateChannel>(built(ws, "new-channel", "  \t").value);
    EXPECT_EQ(channel.name, "new-channel");
    EXPECT_EQ(channel.workspace, "ws_acme");
    EXPECT_EQ(channel.id.size(), 2u + 32u);
    EXPECT_EQ(std::get<ChatAction::CreateCategory>(built(ws, "new-category", "").value).name, "New Category");
    EXPECT_EQ(std::get<ChatAction::CreateCategory>(built(ws, "new-category", " Ops ").value).name, "Ops");

    auto post =
        std::get<ChatAction::SendMessage>(built(at("chat.channel:c_crit"), "post", " hi @lena moss ").value);
    EXPECT_EQ(post.text, "hi @lena moss");
    EXPECT_EQ(post.ts, 1234);
    EXPECT_EQ(post.author, "u_me");
    EXPECT_EQ(post.mentions, (std::vector<Mention>{{"u_lena", 3, 10, false}}));

    Resource crit = at("chat.channel:c_crit");
    const ActionSpec* attach = crit.find_action("attach");
    ASSERT_TRUE(attach);
    EXPECT_EQ(attach->operation_type(), OperationType::Effect);
    auto op = decode_json<ChatOperation>(attach->encode(ActionArgs::value("/tmp/a.png")).payload);
    ASSERT_TRUE(op);
    EXPECT_EQ(op.value(),
              (ChatOperation{ChatOperation::ImportAttachment{.channel = "c_crit", .path = "/tmp/a.png"}}));
}

TEST_F(ResourcesTest, CallOffersJoinOrTheControls) {
    EXPECT_EQ(ids(at("chat.call:c_huddle")), (std::vector<std::string>{"open", "join"}));
    Resource mine = at("chat.call:c_huddle", "u_theo"); // muted, not deafened, with camera
    EXPECT_EQ(ids(mine), (std::vector<std::string>{"open", "leave", "unmute", "deafen", "audio-only"}));
    EXPECT_EQ(built(mine, "deafen"), (ChatAction{ChatAction::SetCallState{.channel = "c_huddle",
                                                                          .user = "u_theo",
                                                                          .talking = false,
                                                                          .muted = true,
                                                                          .deafened = true,
                                                                          .audio_only = false}}));
    EXPECT_EQ(
        built(mine, "unmute"),
        (ChatAction{ChatAction::SetCallState{.channel = "c_huddle", .user = "u_theo", .talking = true}}));
    EXPECT_EQ(ids(at("chat.call:c_huddle", "u_nika")).back(), "enable-camera");
    EXPECT_FALSE(resource_by_address(context(), "chat.call:c_crit")); // a text channel has no call
}

TEST_F(ResourcesTest, MessagesReactionsAndAttachments) {
    Resource m = at("chat.message:m_concept");
    EXPECT_EQ(m.title().rfind("Lena Moss: Here's the frame", 0), 0u);
    EXPECT_EQ(ids(m), (std::vector<std::string>{"open", "edit", "react", "pin", "delete"}));
    ASSERT_EQ(m.children().size(), 3u); // the attachment, then two reactions
    EXPECT_EQ(m.children()[0].address().encode(), "chat.attachment:m_concept");
    EXPECT_EQ(m.children()[1].address().encode(), "chat.reaction:m_concept:\u2764\uFE0F");
    EXPECT_EQ(m.children()[1].title(), "\u2764\uFE0F · 3");
    EXPECT_EQ(ids(m.children()[1]), (std::vector<std::string>{"open-message", "remove"}));
    EXPECT_EQ(ids(at("chat.reaction:m_concept:🔥")), (std::vector<std::string>{"open-message", "add"}));

    doc::apply_action(m_doc,
                      {ChatAction::PinMessage{.channel = "c_crit", .msg = "m_concept", .pinned = true}});
    refresh();
    EXPECT_EQ(ids(at("chat.message:m_concept"))[3], "unpin");

    // A message outside the current channel is found through the document.
    auto general = doc::read_messages(m_doc, "c_general");
    ASSERT_FALSE(general.empty());
    EXPECT_EQ(at("chat.message:" + general[0].id).title().rfind("Mira Stone: Welcome", 0), 0u);
    EXPECT_FALSE(resource_by_address(context(), "chat.message:nope"));
    EXPECT_FALSE(resource_by_address(context(), "chat.reaction:m_concept:🦄"));
    EXPECT_FALSE(resource_by_address(context(), "bogus"));
}

TEST_F(ResourcesTest, SearchResourcesOfferOpenOnly) {
    for (std::string address : {"chat.workspace:ws_kavu", "chat.channel:c_kernel",
                                "chat.category:cat_acme_main", "chat.person:u_lena", "chat.message:m_theo"}) {
        auto r = search_resource(context(), address);
        ASSERT_TRUE(r) << address;
        EXPECT_EQ(ids(*r), std::vector<std::string>{"open"}) << address;
        EXPECT_TRUE(r->children().empty());
        EXPECT_EQ(r->title(), at(address).title());
    }
    EXPECT_FALSE(search_resource(context(), "chat.call:c_huddle"));
}

TEST_F(ResourcesTest, JsonCarriesWhatTheToolkitReads) {
    auto json = resource_json(at("chat.channel:c_crit"));
    EXPECT_EQ(json["address"], "chat.channel:c_crit");
    EXPECT_EQ(json["actions"][0]["id"], "open");
    EXPECT_EQ(json["actions"][0]["kind"], "chat.operation");
    EXPECT_EQ(json["actions"][0]["operation"], "View");
    EXPECT_EQ(json["actions"][0]["payload"]["OpenChannel"]["channel"], "c_crit");
    EXPECT_EQ(json["actions"][1]["parameter"]["placeholder"], "type a message…");
    EXPECT_EQ(json["actions"][6]["destructive"], true);
}

} // namespace
} // namespace chat
