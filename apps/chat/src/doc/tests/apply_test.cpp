#include "doc/apply.h"

#include "doc_fixture.h"

#include <gtest/gtest.h>

namespace chat::doc {
namespace {

using A = ChatAction;
using testing::DocFixture;

const std::string kBlob(64, 'a');

std::vector<std::string> message_ids(const crdt::Document& doc, std::string_view channel) {
    std::vector<std::string> ids;
    for (const MessageView& m : read_messages(doc, channel))
        ids.push_back(m.id);
    return ids;
}

TEST(ApplySend, ChecksEachConditionInTurn) {
    struct Case {
        const char* what;
        std::function<void(A::SendMessage&)> change;
        bool accepted;
    };
    auto with_attachment = [](Attachment a) { return [a](A::SendMessage& s) { s.attachment = a; }; };
    auto image = [](uint32_t w, uint32_t h, std::string blob = kBlob, std::string name = "a.png") {
        return Attachment{Attachment::Image{.name = name, .blob = blob, .w = w, .h = h}};
    };
    auto video = [](uint32_t w, uint32_t h, uint64_t size) {
        return Attachment{Attachment::Video{.name = "v.webm", .blob = kBlob, .w = w, .h = h, .size = size}};
    };
    auto file = [](uint64_t size) {
        return Attachment{Attachment::File{.name = "f", .blob = kBlob, .size = size}};
    };
    const Case cases[] = {
        {"plain", [](A::SendMessage&) {}, true},
        {"unknown channel", [](A::SendMessage& s) { s.channel = "c_none"; }, false},
        {"128-byte id", [](A::SendMessage& s) { s.id = std::string(128, 'x'); }, true},
        {"129-byte id", [](A::SendMessage& s) { s.id = std::string(129, 'x'); }, false},
        {"empty id", [](A::SendMessage& s) { s.id = ""; }, false},
        {"space in id", [](A::SendMessage& s) { s.id = "m 1"; }, false},
        {"dot in id", [](A::SendMessage& s) { s.id = "m.1"; }, false},
        {"65536-byte text", [](A::SendMessage& s) { s.text = std::string(65536, 't'); }, true},
        {"65537-byte text", [](A::SendMessage& s) { s.text = std::string(65537, 't'); }, false},
        {"image", with_attachment(image(16384, 1)), true},
        {"image width 0", with_attachment(image(0, 10)), false},
        {"image too tall", with_attachment(image(10, 16385)), false},
        {"upper-case blob", with_attachment(image(1, 1, std::string(64, 'F'))), true},
        {"63-digit blob", with_attachment(image(1, 1, std::string(63, 'a'))), false},
        {"non-hex blob", with_attachment(image(1, 1, std::string(63, 'a') + "g")), false},
        {"demo blob", with_attachment(image(1, 1, "kavu-demo://call-grid")), false},
        {"empty name", with_attachment(image(1, 1, kBlob, "")), false},
        {"255-byte name", with_attachment(image(1, 1, kBlob, std::string(255, 'n'))), true},
        {"256-byte name", with_attachment(image(1, 1, kBlob, std::string(256, 'n'))), false},
        {"tab in name", with_attachment(image(1, 1, kBlob, "a\tb")), false},
        {"DEL in name", with_attachment(image(1, 1, kBlob, "a\x7f")), false},
        {"C1 control in name", with_attachment(image(1, 1, kBlob, "a\xc2\x85")), false},
        {"accented name", with_attachment(image(1, 1, kBlob, "caf\xc3\xa9.png")), true},
        {"invalid UTF-8 name", with_attachment(image(1, 1, kBlob, "a\xff")), false},
        {"video 0x0", with_attachment(video(0, 0, 1)), true},
        {"video empty", with_attachment(video(0, 0, 0)), false},
        {"video 32 MiB", with_attachment(video(1, 1, 33554432)), true},
        {"file 32 MiB + 1", with_attachment(file(33554433)), false},
        {"file 1 byte", with_attachment(file(1)), true},
        {"reply to a root", [](A::SendMessage& s) { s.parent = "m_root"; }, true},
        {"reply to a reply", [](A::SendMessage& s) { s.parent = "m_reply"; }, false},
        {"reply to a missing parent", [](A::SendMessage& s) { s.parent = "m_gone"; }, true},
        {"empty parent", [](A::SendMessage& s) { s.parent = ""; }, true},
        {"id used in another channel", [](A::SendMessage& s) { s.id = "m_elsewhere"; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DocFixture f;
        f.channel("c");
        f.channel("d");
        f.apply(f.send("d", "m_elsewhere"));
        f.apply(f.send("c", "m_root"));
        auto reply = f.send("c", "m_reply");
        reply.parent = "m_root";
        f.apply(reply);
        f.settle();

        auto send = f.send("c", "m_new", "hello");
        c.change(send);
        f.apply(send);
        EXPECT_EQ(f.writes() > 0, c.accepted);
        auto ids = message_ids(f.doc, send.channel);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), send.id), c.accepted ? 1 : 0);
    }
}

// A message id is unique across the whole document, however the other
// message arrived: sent here, written raw, merged from a peer, or sent into
// another document (which must not make the id look taken here).
TEST(ApplySend, IdIsCheckedAgainstTheWholeDocumentWhateverChangedIt) {
    DocFixture a, b;
    a.channel("c1");
    a.channel("c2");
    b.channel("c1");

    a.apply(a.send("c1", "m1"));
    a.apply(a.send("c2", "m1"));
    EXPECT_EQ(message_ids(a.doc, "c2"), std::vector<std::string>{});

    b.apply(b.send("c1", "m1"));
    EXPECT_EQ(message_ids(b.doc, "c1"), std::vector<std::string>{"m1"});

    ObjId raw = a.append_map(a.list("c2"));
    put_str(a.doc, raw, "id", "m2");
    a.apply(a.send("c1", "m2"));
    EXPECT_EQ(message_ids(a.doc, "c1"), std::vector<std::string>{"m1"});

    crdt::Document peer = a.doc.fork(crdt::ActorId{{9}});
    DocFixture p;
    p.doc = std::move(peer);
    p.apply(p.send("c2", "m3"));
    a.apply(a.send("c2", "m4"));
    ASSERT_TRUE(a.doc.merge(p.doc).ok());
    a.apply(a.send("c1", "m3"));
    a.apply(a.send("c1", "m5"));
    EXPECT_EQ(message_ids(a.doc, "c1"), (std::vector<std::string>{"m1", "m5"}));
}

TEST(ApplySend, StoresEveryFieldOfTheAction) {
    DocFixture f;
    f.channel("c");
    A::SendMessage send{
        .channel = "c",
        .id = "m_1",
        .author = "u_me",
        .ts = 1782477600,
        .text = "hi @Lena",
        .parent = "m_missing",
        .attachment = Attachment{Attachment::Video{.name = "v", .blob = kBlob, .w = 2, .h = 3, .size = 4}},
        .mentions = {Mention{.user = "u_lena", .start = 3, .len = 5, .is_agent = false}},
        .reference =
            ResourceRef{.kind = "chat.channel", .id = "c", .label = "#c", .span = Span{.start = 1, .end = 2}},
    };
    f.apply(send);
    auto views = read_messages(f.doc, "c");
    ASSERT_EQ(views.size(), 1u);
    const MessageView& v = views[0];
    EXPECT_EQ(v.id, "m_1");
    EXPECT_EQ(v.author, "u_me");
    EXPECT_EQ(v.ts, 1782477600);
    EXPECT_EQ(v.text, "hi @Lena");
    EXPECT_EQ(v.parent, "m_missing");
    EXPECT_EQ(v.attachment, send.attachment);
    EXPECT_EQ(v.mentions, send.mentions);
    EXPECT_EQ(v.reference, send.reference);
    EXPECT_FALSE(v.edited);
    EXPECT_FALSE(v.work);
    EXPECT_TRUE(v.history.empty());
    EXPECT_TRUE(v.reactions.empty());
}

struct ApplyFixture : DocFixture, ::testing::Test {
    ApplyFixture() {
        channel("c");
        apply(send("c", "m", "first"));
    }
    MessageView message() { return read_messages(doc, "c").at(0); }
};

TEST_F(ApplyFixture, EditKeepsHistoryAndSkipsSameText) {
    settle();
    apply(A::EditMessage{.channel = "c", .id = "m", .text = "first", .ts = 9});
    EXPECT_EQ(writes(), 0u);
    EXPECT_FALSE(message().edited);

    apply(A::EditMessage{.channel = "c", .id = "m", .text = "second", .ts = 10});
    apply(A::EditMessage{.channel = "c", .id = "m", .text = "third", .ts = 11});
    apply(A::EditMessage{.channel = "c", .id = "nope", .text = "x", .ts = 12});
    apply(A::EditMessage{.channel = "c", .id = "m", .text = std::string(65537, 'x'), .ts = 13});
    MessageView v = message();
    EXPECT_EQ(v.text, "third");
    EXPECT_TRUE(v.edited);
    EXPECT_EQ(v.history, (std::vector<HistoryEntry>{{"first", 10}, {"second", 11}}));
}

TEST_F(ApplyFixture, EditOfAPlainStringTextMakesItATextObject) {
    ObjId m = *find_message(doc, "c", "m");
    put_str(doc, m, "text", "old plain");
    apply(A::EditMessage{.channel = "c", .id = "m", .text = "new", .ts = 3});
    EXPECT_TRUE(doc.get(m, "text")->is(crdt::ObjType::Text));
    EXPECT_EQ(message().text, "new");
    EXPECT_EQ(message().history.at(0).text, "old plain");
}

TEST_F(ApplyFixture, ReactionsArePairsStoredOnce) {
    A::AddReaction add{.channel = "c", .msg = "m", .emoji = "👍", .user = "u1"};
    apply(add);
    settle();
    apply(add);
    EXPECT_EQ(writes(), 0u);
    apply(A::RemoveReaction{.channel = "c", .msg = "m", .emoji = "👍", .user = "u2"});
    apply(A::RemoveReaction{.channel = "c", .msg = "gone", .emoji = "👍", .user = "u1"});
    EXPECT_EQ(writes(), 0u);
    EXPECT_EQ(message().reactions, (std::vector<ReactionGroup>{{"👍", {"u1"}}}));
    apply(A::RemoveReaction{.channel = "c", .msg = "m", .emoji = "👍", .user = "u1"});
    EXPECT_TRUE(message().reactions.empty());
}

TEST_F(ApplyFixture, PinArchiveAndCallFlagsWriteOnlyChanges) {
    settle();
    apply(A::PinMessage{.channel = "c", .msg = "m", .pinned = false});
    apply(A::ArchiveChannel{.id = "c", .archived = false});
    apply(A::RenameChannel{.id = "c_none", .name = "x"});
    apply(A::RenameCategory{.id = "k_none", .name = "x"});
    apply(A::SetCategoryCollapsed{.id = "k_none", .collapsed = true});
    apply(A::DeleteMessage{.channel = "c", .id = "nope"});
    apply(A::PinMessage{.channel = "c", .msg = "nope", .pinned = true});
    apply(A::SetAgentWork{.channel = "c", .msg = "nope", .work = {}});
    apply(A::LeaveCall{.channel = "c_none", .user = "u"});
    EXPECT_EQ(writes(), 0u);

    apply(A::PinMessage{.channel = "c", .msg = "m", .pinned = true});
    EXPECT_TRUE(message().pinned);

    apply(A::JoinCall{.channel = "v", .user = "u"});
    apply(A::SetScreenShare{.channel = "v", .user = "u", .sharing = true});
    apply(A::SetCallTicket{.channel = "v", .user = "u", .ticket = "tk"});
    settle();
    apply(A::JoinCall{.channel = "v", .user = "u"});
    apply(A::SetScreenShare{.channel = "v", .user = "u", .sharing = true});
    apply(A::SetCallTicket{.channel = "v", .user = "u", .ticket = "tk"});
    EXPECT_EQ(writes(), 0u);
    EXPECT_EQ(call_participants(doc, "v"),
              (std::vector<CallParticipant>{{.user = "u", .ticket = "tk", .sharing = true}}));
}

TEST_F(ApplyFixture, CallJoinKeepsFlagsAndStateOverwritesFour) {
    apply(A::JoinCall{.channel = "v", .user = "u"});
    apply(A::SetCallState{.channel = "v", .user = "u", .talking = true, .muted = true, .deafened = true});
    apply(A::SetScreenShare{.channel = "v", .user = "u", .sharing = true});
    apply(A::JoinCall{.channel = "v", .user = "u"});
    CallParticipant expected{.user = "u", .talking = true, .muted = true, .deafened = true, .sharing = true};
    EXPECT_EQ(call_participants(doc, "v"), std::vector<CallParticipant>{expected});

    apply(A::SetCallState{.channel = "v", .user = "u", .audio_only = true});
    expected = {.user = "u", .audio_only = true, .sharing = true};
    EXPECT_EQ(call_participants(doc, "v"), std::vector<CallParticipant>{expected});

    apply(A::LeaveCall{.channel = "v", .user = "u"});
    EXPECT_TRUE(call_participants(doc, "v").empty());
}

TEST_F(ApplyFixture, MarkReadStoresLowerCountsToo) {
    apply(A::MarkRead{.channel = "c", .user = "u", .count = 5});
    apply(A::MarkRead{.channel = "c", .user = "u", .count = 3});
    EXPECT_EQ(read_marker(doc, "c", "u"), 3);
}

TEST(ApplyChannels, CreateAppendsToItsSiblingsAndRecreateRewrites) {
    DocFixture f;
    f.apply(A::CreateChannel{.workspace = "w", .category = "k", .id = "c1", .name = "one"});
    f.apply(A::CreateChannel{
        .workspace = "w", .category = "k", .id = "c2", .name = "two", .kind = ChannelKind::Voice});
    f.apply(A::CreateChannel{.workspace = "w", .category = "", .id = "c3", .name = "three"});
    ObjId c1 = *find_map(f.doc, f.map({"channels"}), "c1");
    put_str(f.doc, c1, "topic", "old topic");
    f.apply(A::CreateChannel{.workspace = "w", .category = "k", .id = "c1", .name = "again"});

    auto channels = list_channels(f.doc);
    ASSERT_EQ(channels.size(), 3u);
    EXPECT_EQ(channels[0].id, "c3");
    EXPECT_EQ(channels[0].order, 0u);
    EXPECT_EQ(channels[1].id, "c2");
    EXPECT_TRUE(channels[1].voice);
    EXPECT_TRUE(find_map(f.doc, f.map({"voice"}), "c2")) << "a voice channel gets its participant map";
    EXPECT_EQ(channels[2].id, "c1");
    EXPECT_EQ(channels[2].order, 2u) << "recomputed over siblings that include itself";
    EXPECT_EQ(channels[2].topic, "");
    EXPECT_EQ(channels[2].name, "again");
}

TEST(ApplyChannels, ReorderSwapsWithTheNeighbour) {
    DocFixture f;
    f.channel("c_a", "w", "k", 2);
    f.channel("c_b", "w", "k", 5);
    f.channel("c_other", "w", "k2", 3);
    f.settle();
    f.apply(A::ReorderChannel{.id = "c_a", .up = true});
    f.apply(A::ReorderChannel{.id = "c_b", .up = false});
    f.apply(A::ReorderChannel{.id = "c_none", .up = false});
    EXPECT_EQ(f.writes(), 0u);

    f.apply(A::ReorderChannel{.id = "c_a", .up = false});
    auto order_of = [&](std::string_view id) {
        for (auto& c : list_channels(f.doc))
            if (c.id == id)
                return c.order;
        return 99u;
    };
    EXPECT_EQ(order_of("c_a"), 5u);
    EXPECT_EQ(order_of("c_b"), 2u);
    EXPECT_EQ(order_of("c_other"), 3u);
}

TEST(ApplyChannels, DeleteCategoryMovesChannelsAfterTheUncategorised) {
    DocFixture f;
    f.apply(A::CreateCategory{.workspace = "w", .id = "k", .name = "K"});
    f.apply(A::CreateCategory{.workspace = "w", .id = "k2", .name = "K2"});
    EXPECT_EQ(list_categories(f.doc).at(1).order, 1u);
    f.channel("c_a", "w", "k", 0);
    f.channel("c_b", "w", "k", 1);
    f.channel("c_free", "w", "", 3);
    f.channel("c_free2", "w", "", 0);
    f.channel("c_elsewhere", "w2", "", 7);
    f.apply(A::DeleteCategory{.id = "k"});

    for (const ChannelEntry& c : list_channels(f.doc)) {
        if (c.id == "c_a")
            EXPECT_EQ(c.order, 4u);
        if (c.id == "c_b")
            EXPECT_EQ(c.order, 5u);
        EXPECT_NE(c.category, "k");
    }
    EXPECT_EQ(list_categories(f.doc).size(), 1u);
}

TEST(ApplyChannels, DeleteChannelLeavesMarkersAndThreadDrafts) {
    DocFixture f;
    f.channel("c", "w", "k", 0, true);
    f.apply(f.send("c", "m"));
    f.apply(A::MarkRead{.channel = "c", .user = "u", .count = 1});
    f.apply(A::JoinCall{.channel = "c", .user = "u"});
    set_draft(f.doc, "c", "main");
    set_draft(f.doc, thread_draft_key("c", "m"), "thread");
    f.apply(A::DeleteChannel{.id = "c"});

    EXPECT_TRUE(list_channels(f.doc).empty());
    EXPECT_TRUE(read_messages(f.doc, "c").empty());
    EXPECT_TRUE(call_participants(f.doc, "c").empty());
    EXPECT_EQ(draft_text(f.doc, "c"), std::nullopt);
    EXPECT_EQ(draft_text(f.doc, "c::t::m"), "thread");
    EXPECT_EQ(read_marker(f.doc, "c", "u"), 1);
}

TEST(ApplyMessages, DeleteLeavesTheThreadReplies) {
    DocFixture f;
    f.channel("c");
    f.apply(f.send("c", "m_root"));
    auto reply = f.send("c", "m_reply");
    reply.parent = "m_root";
    f.apply(reply);
    f.apply(A::DeleteMessage{.channel = "c", .id = "m_root"});
    EXPECT_EQ(message_ids(f.doc, "c"), std::vector<std::string>{"m_reply"});
}

TEST(Writers, RefreshPersonWritesOnlyDifferences) {
    DocFixture f;
    EXPECT_TRUE(refresh_person(f.doc, "u", "Ann", "AN", 3, PresenceStatus::Online));
    f.settle();
    EXPECT_FALSE(refresh_person(f.doc, "u", "Ann", "AN", 3, PresenceStatus::Online));
    EXPECT_EQ(f.writes(), 0u);
    EXPECT_TRUE(refresh_person(f.doc, "u", "Ann", "AN", 3, PresenceStatus::Idle));
    EXPECT_EQ(f.writes(), 1u);
    EXPECT_EQ(
        list_people(f.doc).at(0),
        (PersonEntry{
            .id = "u", .name = "Ann", .initials = "AN", .color_idx = 3, .status = PresenceStatus::Idle}));
}

TEST(Writers, MigrationMovesBoundedDemoPaths) {
    DocFixture f;
    ObjId list = f.list("c");
    auto add = [&](std::string_view blob, std::string_view path) {
        ObjId a = ensure_map(f.doc, f.append_map(list), "attachment");
        put_str(f.doc, a, "kind", "image");
        if (!blob.empty())
            put_str(f.doc, a, "blob", blob);
        put_str(f.doc, a, "path", path);
        return a;
    };
    ObjId moved = add("", "kavu-demo://call-grid");
    ObjId kept_blob = add("kavu-demo://x", "kavu-demo://y");
    ObjId foreign = add("", "/home/me/file.png");
    ObjId too_long = add("", "kavu-demo://" + std::string(245, 'x'));
    for (int i = 0; i < 40; ++i)
        add("", "kavu-demo://n" + std::to_string(i));
    migrate_attachment_paths(f.doc);

    EXPECT_EQ(read_str(f.doc, moved, "blob"), "kavu-demo://call-grid");
    EXPECT_EQ(read_str(f.doc, moved, "path"), std::nullopt);
    EXPECT_EQ(read_str(f.doc, kept_blob, "path"), "kavu-demo://y");
    EXPECT_EQ(read_str(f.doc, foreign, "path"), "/home/me/file.png");
    EXPECT_EQ(read_str(f.doc, too_long, "blob"), std::nullopt);
    size_t migrated = 0;
    size_t n = f.doc.length(list);
    for (size_t i = 0; i < n; ++i) {
        auto a = find_map(f.doc, map_at(f.doc, list, i), "attachment");
        if (a && read_str(f.doc, *a, "path") == std::nullopt)
            ++migrated;
    }
    EXPECT_EQ(migrated, 32u) << "at most 32 moves per run";
}

} // namespace
} // namespace chat::doc
