#include "doc/readers.h"

#include "doc_fixture.h"

#include <gtest/gtest.h>

namespace chat::doc {
namespace {

using testing::DocFixture;

std::vector<std::string> ids_of(const auto& entries) {
    std::vector<std::string> ids;
    for (const auto& e : entries)
        ids.push_back(e.id);
    return ids;
}

TEST(Readers, EmptyDocumentReadsAsNothing) {
    DocFixture f;
    EXPECT_TRUE(list_workspaces(f.doc).empty());
    EXPECT_TRUE(list_categories(f.doc).empty());
    EXPECT_TRUE(list_channels(f.doc).empty());
    EXPECT_TRUE(list_people(f.doc).empty());
    EXPECT_TRUE(call_participants(f.doc, "c").empty());
    EXPECT_TRUE(read_messages(f.doc, "c").empty());
    EXPECT_EQ(unread_count(f.doc, "c", "u"), 0u);
    EXPECT_EQ(draft_text(f.doc, "c"), std::nullopt);
}

TEST(Readers, ChannelsSortByUnsignedLow32OrderThenKey) {
    DocFixture f;
    ObjId channels = f.map({"channels"});
    auto add = [&](std::string_view id, crdt::Scalar order, std::optional<std::string> kind) {
        ObjId c = ensure_map(f.doc, channels, id);
        ASSERT_TRUE(f.doc.put(c, "order", order).ok());
        if (kind)
            put_str(f.doc, c, "kind", *kind);
    };
    add("c_b", int64_t{1}, "voice");
    add("c_a", int64_t{1}, "Voice");
    add("c_wrap", int64_t{(1LL << 32) + 1}, std::nullopt);
    add("c_neg", int64_t{-1}, "text"); // 0xFFFFFFFF as unsigned: last
    add("c_float", 0.9, std::nullopt);
    put_str(f.doc, channels, "c_scalar", "not a map");

    auto list = list_channels(f.doc);
    EXPECT_EQ(ids_of(list), (std::vector<std::string>{"c_float", "c_a", "c_b", "c_wrap", "c_neg"}));
    EXPECT_FALSE(list[1].voice) << "only exactly \"voice\" is a voice channel";
    EXPECT_TRUE(list[2].voice);
    EXPECT_FALSE(list[3].voice);
    EXPECT_EQ(list[3].order, 1u);
}

TEST(Readers, WorkspacesCategoriesAndPeopleDefaults) {
    DocFixture f;
    write_workspace(f.doc, "ws_2", "Two", "TW", 4, 2);
    write_workspace(f.doc, "ws_1", "One", "ON", 1, 1);
    write_category(f.doc, "cat_z", "ws_1", "Z", 0);
    f.map({"categories", "cat_bare"});
    write_person(f.doc, "u_b", "Bee", "B", 2, PresenceStatus::Dnd);
    ObjId odd = f.map({"users", "u_a"});
    put_str(f.doc, odd, "status", "away");
    put_bool(f.doc, odd, "agent", true);

    EXPECT_EQ(ids_of(list_workspaces(f.doc)), (std::vector<std::string>{"ws_1", "ws_2"}));
    EXPECT_EQ(list_workspaces(f.doc)[1],
              (WorkspaceEntry{.id = "ws_2", .name = "Two", .glyph = "TW", .color_idx = 4, .order = 2}));
    auto categories = list_categories(f.doc);
    EXPECT_EQ(ids_of(categories), (std::vector<std::string>{"cat_bare", "cat_z"}));
    EXPECT_EQ(categories[0], (CategoryEntry{.id = "cat_bare"}));
    auto people = list_people(f.doc);
    ASSERT_EQ(people.size(), 2u);
    EXPECT_EQ(people[0], (PersonEntry{.id = "u_a", .status = PresenceStatus::Online, .agent = true}));
    EXPECT_EQ(people[1].status, PresenceStatus::Dnd);
}

TEST(Readers, ParticipantsTalkingFirstThenById) {
    DocFixture f;
    auto seat = [&](std::string_view user, bool talking, std::string_view ticket) {
        ObjId p = f.map({"voice", "c", user});
        put_bool(f.doc, p, "talking", talking);
        put_str(f.doc, p, "ticket", ticket);
    };
    seat("u_c", false, "");
    seat("u_b", true, "tk");
    seat("u_a", false, "ta");
    put_int(f.doc, f.map({"voice", "c"}), "u_scalar", 1);
    auto people = call_participants(f.doc, "c");
    ASSERT_EQ(people.size(), 3u);
    EXPECT_EQ(people[0].user, "u_b");
    EXPECT_EQ(people[1].user, "u_a");
    EXPECT_EQ(people[2].user, "u_c");
    EXPECT_EQ(people[1].ticket, "ta");
    EXPECT_EQ(people[2].ticket, std::nullopt) << "an empty ticket is no ticket";
}

TEST(Readers, MessagesToleratePartialAndOlderRecords) {
    DocFixture f;
    // A channel that is not under "channels" is still readable.
    ObjId list = f.list("c_orphan");
    ObjId plain = f.append_map(list);
    put_str(f.doc, plain, "id", "m_plain");
    put_str(f.doc, plain, "text", "stored as a plain string");
    put_str(f.doc, plain, "parent", "");
    put_str(f.doc, plain, "reference", "{not json");
    ObjId a = ensure_map(f.doc, plain, "attachment");
    put_str(f.doc, a, "kind", "image");
    put_str(f.doc, a, "blob", "");
    put_str(f.doc, a, "path", "kavu-demo://call-grid");
    put_int(f.doc, a, "w", (1LL << 32) + 5);

    ASSERT_TRUE(f.doc.insert(list, f.doc.length(list), crdt::Scalar{std::string("junk")}).ok());

    ObjId rich = f.append_map(list);
    put_str(f.doc, rich, "id", "m_rich");
    put_str(f.doc, rich, "parent", "m_plain");
    put_str(f.doc, rich, "reference", R"({"kind":"chat.channel","id":"c","label":"#c"})");
    ObjId audio = ensure_map(f.doc, rich, "attachment");
    put_str(f.doc, audio, "kind", "audio");
    put_str(f.doc, audio, "blob", std::string(64, 'a'));
    ObjId mentions = ensure_list(f.doc, rich, "mentions");
    ObjId m1 = f.append_map(mentions);
    put_str(f.doc, m1, "user", "u_a");
    put_int(f.doc, m1, "start", -3);
    put_int(f.doc, m1, "len", 4);
    put_bool(f.doc, m1, "agent", true);
    put_str(f.doc, f.append_map(mentions), "user", "");
    ObjId history = ensure_list(f.doc, rich, "history");
    ObjId h = f.append_map(history);
    put_str(f.doc, h, "text", "first");
    put_int(f.doc, h, "ts", 5);
    f.append_map(history);

    auto views = read_messages(f.doc, "c_orphan");
    ASSERT_EQ(views.size(), 2u) << "a scalar element is skipped, later ones are read";
    EXPECT_EQ(views[0].text, "stored as a plain string");
    EXPECT_EQ(views[0].parent, std::nullopt);
    EXPECT_EQ(views[0].reference, std::nullopt);
    EXPECT_EQ(views[0].attachment,
              (Attachment{Attachment::Image{.name = "", .blob = "kavu-demo://call-grid", .w = 5, .h = 0}}));
    EXPECT_EQ(views[0].channel, "c_orphan");

    EXPECT_EQ(views[1].parent, "m_plain");
    EXPECT_EQ(views[1].reference, (ResourceRef{.kind = "chat.channel", .id = "c", .label = "#c"}));
    EXPECT_EQ(views[1].attachment, std::nullopt);
    EXPECT_EQ(views[1].mentions,
              (std::vector<Mention>{{.user = "u_a", .start = 0, .len = 4, .is_agent = true}}));
    EXPECT_EQ(views[1].history, (std::vector<HistoryEntry>{{"first", 5}, {"", 0}}));
    EXPECT_EQ(views[1].text, "");
}

TEST(Readers, ReactionGroupsByCountThenEmojiBytes) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> stored;
        std::vector<ReactionGroup> expected;
    };
    const Case cases[] = {
        {{{"👍", "u1"}, {"🎉", "u2"}, {"👍", "u3"}, {"👍", "u1"}}, {{"👍", {"u1", "u3"}}, {"🎉", {"u2"}}}},
        {{{"👍", "u1"}, {"🎉", "u2"}}, {{"🎉", {"u2"}}, {"👍", {"u1"}}}},
        {{{"", "u1"}, {"b", "u1"}, {"a", "u2"}, {"b", "u2"}}, {{"b", {"u1", "u2"}}, {"a", {"u2"}}}},
    };
    for (const Case& c : cases) {
        DocFixture f;
        ObjId m = f.append_map(f.list("c"));
        ObjId rx = ensure_list(f.doc, m, "reactions");
        for (auto& [emoji, user] : c.stored) {
            ObjId e = f.append_map(rx);
            put_str(f.doc, e, "emoji", emoji);
            put_str(f.doc, e, "user", user);
        }
        EXPECT_EQ(read_messages(f.doc, "c").at(0).reactions, c.expected);
    }
}

TEST(Readers, UnreadCountsTopLevelMessagesOnly) {
    DocFixture f;
    f.channel("c");
    for (int i = 0; i < 5; ++i)
        f.apply(f.send("c", "m" + std::to_string(i)));
    for (int i = 0; i < 3; ++i) {
        auto reply = f.send("c", "r" + std::to_string(i));
        reply.parent = "m0";
        f.apply(reply);
    }
    ASSERT_EQ(read_messages(f.doc, "c").size(), 8u);
    EXPECT_EQ(top_level_count(f.doc, "c"), 5u);
    EXPECT_EQ(unread_count(f.doc, "c", "u"), 5u);
    const std::pair<int64_t, uint32_t> cases[] = {{2, 3}, {9, 0}, {5, 0}, {-4, 5}, {INT64_MIN, 5}};
    for (auto [marker, unread] : cases) {
        f.apply(ChatAction::MarkRead{.channel = "c", .user = "u", .count = marker});
        EXPECT_EQ(read_marker(f.doc, "c", "u"), marker);
        EXPECT_EQ(unread_count(f.doc, "c", "u"), unread) << marker;
    }
}

TEST(Readers, DraftText) {
    DocFixture f;
    set_draft(f.doc, "c", "typing");
    set_draft(f.doc, thread_draft_key("c", "m"), "reply");
    EXPECT_EQ(draft_text(f.doc, "c"), "typing");
    EXPECT_EQ(draft_text(f.doc, "c::t::m"), "reply");
    clear_draft(f.doc, "c");
    EXPECT_EQ(draft_text(f.doc, "c"), "");
    EXPECT_EQ(draft_text(f.doc, "other"), std::nullopt);
}

} // namespace
} // namespace chat::doc
