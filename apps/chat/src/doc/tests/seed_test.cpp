#include "doc/seed.h"

#include "doc_fixture.h"

#include <gtest/gtest.h>

namespace chat::doc {
namespace {

using testing::DocFixture;

TEST(Seed, SeededDocumentIsLeftAlone) {
    DocFixture f;
    put_bool(f.doc, kRoot, "seeded", true);
    seed_home(f.doc, "u_x", "X", "XX");
    seed_demo(f.doc);
    EXPECT_EQ(f.doc.keys(kRoot), std::vector<std::string>{"seeded"});
}

TEST(Seed, HomeContent) {
    DocFixture f;
    seed_home(f.doc, "u_ann", "Ann", "AN");
    seed_demo(f.doc);
    EXPECT_TRUE(read_bool(f.doc, kRoot, "seeded"));
    EXPECT_EQ(list_people(f.doc),
              (std::vector<PersonEntry>{{.id = "u_ann", .name = "Ann", .initials = "AN"}}));
    EXPECT_EQ(list_workspaces(f.doc),
              (std::vector<WorkspaceEntry>{{.id = "ws_home", .name = "My Workspace", .glyph = "MW"}}));
    EXPECT_EQ(list_categories(f.doc),
              (std::vector<CategoryEntry>{
                  {.id = "cat_home_text", .workspace = "ws_home", .name = "Channels", .order = 0},
                  {.id = "cat_home_voice", .workspace = "ws_home", .name = "Voice", .order = 1}}));
    EXPECT_EQ(list_channels(f.doc),
              (std::vector<ChannelEntry>{
                  {.id = "c_general", .workspace = "ws_home", .category = "cat_home_text", .name = "general"},
                  {.id = "c_lounge",
                   .workspace = "ws_home",
                   .category = "cat_home_voice",
                   .name = "Lounge",
                   .voice = true}}));
    EXPECT_TRUE(find_map(f.doc, find_map(f.doc, kRoot, "voice"), "c_lounge"));
}

TEST(Seed, DemoContentShape) {
    DocFixture f;
    seed_demo(f.doc);
    EXPECT_EQ(list_people(f.doc).size(), 6u);
    EXPECT_EQ(list_workspaces(f.doc).size(), 3u);
    EXPECT_EQ(list_categories(f.doc).size(), 5u);
    auto channels = list_channels(f.doc);
    ASSERT_EQ(channels.size(), 13u);
    EXPECT_EQ(std::count_if(channels.begin(), channels.end(), [](auto& c) { return c.voice; }), 3);

    auto people = list_people(f.doc);
    EXPECT_EQ(people[0],
              (PersonEntry{.id = "u_lena", .name = "Lena Moss", .initials = "LM", .color_idx = 1}));
    EXPECT_EQ(people[2].id, "u_mira");
    EXPECT_EQ(people[2].status, PresenceStatus::Offline);
    EXPECT_EQ(people[5].status, PresenceStatus::Idle);

    auto huddle = call_participants(f.doc, "c_huddle");
    ASSERT_EQ(huddle.size(), 3u);
    EXPECT_EQ(huddle[0], (CallParticipant{.user = "u_lena", .talking = true}));
    EXPECT_EQ(huddle[1], (CallParticipant{.user = "u_nika", .audio_only = true}));
    EXPECT_EQ(huddle[2], (CallParticipant{.user = "u_theo", .muted = true}));

    auto crit = read_messages(f.doc, "c_crit");
    ASSERT_EQ(crit.size(), 11u);
    const char* fixed[] = {"m_open", "m_concept", "m_me1", "m_theo", "m_oskar", "m_clip", "m_nika", "m_me2"};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(crit[i].id, fixed[i]);
        EXPECT_EQ(crit[i].parent, std::nullopt);
    }
    const int64_t reply_times[] = {1782472020, 1782472080, 1782472200};
    for (size_t i = 8; i < 11; ++i) {
        EXPECT_EQ(crit[i].parent, "m_concept") << "replies come after m_me2 though they are older";
        EXPECT_EQ(crit[i].ts, reply_times[i - 8]);
        EXPECT_EQ(crit[i].id.size(), 34u);
    }
    EXPECT_EQ(crit[9].reactions, (std::vector<ReactionGroup>{{"👍", {"u_me"}}}));

    const MessageView& concept_msg = crit[1];
    EXPECT_EQ(
        concept_msg.reactions,
        (std::vector<ReactionGroup>{{"\u2764\uFE0F", {"u_me", "u_nika", "u_theo"}}, {"🔥", {"u_oskar"}}}));
    EXPECT_EQ(concept_msg.reactions[0].emoji, "\xE2\x9D\xA4\xEF\xB8\x8F");
    EXPECT_EQ(concept_msg.attachment,
              (Attachment{Attachment::Image{
                  .name = "call-overlay-v3.png", .blob = "kavu-demo://call-grid", .w = 640, .h = 360}}));
    EXPECT_EQ(crit[4].attachment,
              (Attachment{Attachment::File{
                  .name = "moq-over-nexo.md", .blob = "demo:moq-over-nexo", .size = 18944}}));
    EXPECT_EQ(crit[5].attachment, (Attachment{Attachment::Video{.name = "tile-promotion.webm",
                                                                .blob = "demo:tile-promotion",
                                                                .w = 1280,
                                                                .h = 720,
                                                                .size = 6815744}}));

    const MessageView& nika = crit[6];
    EXPECT_TRUE(nika.edited);
    EXPECT_EQ(
        nika.history,
        (std::vector<HistoryEntry>{
            {"Wired up screen-share — the presenter gets a featured tile, everyone else goes to a filmstrip.",
             1782475020}}));
    ASSERT_EQ(nika.reactions.size(), 2u);
    EXPECT_EQ(nika.reactions[0], (ReactionGroup{"🚀", {"u_me", "u_lena", "u_theo", "u_oskar"}}));
    EXPECT_EQ(nika.reactions[1], (ReactionGroup{"👀", {"u_mira"}}));
    EXPECT_EQ(crit[0].text,
              "Morning! Pushed the new call overlay mock — pulling tiles into a 2x2 grid reads way "
              "calmer than the old filmstrip.");

    auto general = read_messages(f.doc, "c_general");
    ASSERT_EQ(general.size(), 1u);
    EXPECT_EQ(general[0].author, "u_mira");
    EXPECT_EQ(general[0].ts, 1782464400);
    EXPECT_EQ(general[0].reactions, (std::vector<ReactionGroup>{{"👋", {"u_me", "u_lena", "u_theo"}}}));
    EXPECT_EQ(unread_count(f.doc, "c_crit", "u_me"), 8u);
}

} // namespace
} // namespace chat::doc
