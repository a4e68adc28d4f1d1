// Sequential semantics of the document operations.

#include <crdt/document.h>

#include <gtest/gtest.h>

namespace crdt {
namespace {

ActorId actor(uint8_t n) {
    ActorId a;
    a.bytes.fill(n);
    return a;
}

std::string str_of(const std::optional<Value>& v) {
    if (!v || !v->str())
        return "<none>";
    return *v->str();
}

TEST(Document, MapPutGetDeleteAndKeyOrder) {
    Document doc(actor(1));
    auto root = ObjId::root();
    ASSERT_TRUE(doc.put(root, "zeta", std::string("z")).ok());
    ASSERT_TRUE(doc.put(root, "alpha", int64_t{-5}).ok());
    ASSERT_TRUE(doc.put(root, "Beta", true).ok());
    ASSERT_TRUE(doc.put(root, "\xc3\xa9t\xc3\xa9", uint64_t{7}).ok());
    EXPECT_EQ(doc.keys(root), (std::vector<std::string>{"Beta", "alpha", "zeta", "\xc3\xa9t\xc3\xa9"}));
    EXPECT_EQ(doc.length(root), 4u);
    EXPECT_EQ(doc.get(root, "alpha")->scalar, Scalar{int64_t{-5}});
    ASSERT_TRUE(doc.put(root, "alpha", 2.5).ok());
    EXPECT_EQ(doc.get(root, "alpha")->scalar, Scalar{2.5});
    EXPECT_EQ(doc.get_all(root, "alpha").size(), 1u);
    ASSERT_TRUE(doc.delete_key(root, "alpha").ok());
    EXPECT_FALSE(doc.get(root, "alpha"));
    EXPECT_TRUE(doc.delete_key(root, "missing").ok());
    EXPECT_EQ(doc.keys(root), (std::vector<std::string>{"Beta", "zeta", "\xc3\xa9t\xc3\xa9"}));
    auto entries = doc.entries(root);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].first, "zeta");
    EXPECT_EQ(str_of(entries[1].second), "z");
}

TEST(Document, EveryScalarKindRoundTripsThroughSave) {
    std::vector<Scalar> scalars{Null{},           true,        int64_t{-1} << 62,       ~uint64_t{0}, -0.125,
                                std::string("x"), Counter{41}, Timestamp{1700000000123}};
    Document doc(actor(1));
    for (size_t i = 0; i < scalars.size(); ++i)
        ASSERT_TRUE(doc.put(ObjId::root(), "k" + std::to_string(i), scalars[i]).ok());
    auto loaded = Document::load(doc.save());
    ASSERT_TRUE(loaded.ok()) << loaded.error_text();
    for (size_t i = 0; i < scalars.size(); ++i) {
        EXPECT_EQ(doc.get(ObjId::root(), "k" + std::to_string(i))->scalar, scalars[i]) << i;
        EXPECT_EQ(loaded->get(ObjId::root(), "k" + std::to_string(i))->scalar, scalars[i]) << i;
    }
}

TEST(Document, NestedObjectsAndReplacement) {
    Document doc(actor(1));
    auto map = doc.put_object(ObjId::root(), "m", ObjType::Map);
    ASSERT_TRUE(map.ok());
    EXPECT_EQ(doc.object_type(*map), ObjType::Map);
    ASSERT_TRUE(doc.put(*map, "a", int64_t{1}).ok());
    auto v = doc.get(ObjId::root(), "m");
    ASSERT_TRUE(v && v->is(ObjType::Map));
    EXPECT_EQ(v->id, *map);
    // Replacing the object with a list leaves the old map unreachable.
    auto list = doc.put_object(ObjId::root(), "m", ObjType::List);
    ASSERT_TRUE(list.ok());
    EXPECT_TRUE(doc.get(ObjId::root(), "m")->is(ObjType::List));
    EXPECT_EQ(doc.length(*list), 0u);
    // Wrong kinds are errors, not crashes.
    EXPECT_FALSE(doc.put(*list, "k", int64_t{1}).ok());
    EXPECT_FALSE(doc.insert(ObjId::root(), 0, int64_t{1}).ok());
    EXPECT_FALSE(doc.splice_text(*list, 0, 0, "x").ok());
    EXPECT_FALSE(doc.put(ObjId{999, 0}, "k", int64_t{1}).ok());
    EXPECT_FALSE(doc.get(*list, "k"));
}

TEST(Document, ListInsertPutDeleteAndBounds) {
    Document doc(actor(1));
    auto list = *doc.put_object(ObjId::root(), "l", ObjType::List);
    for (int64_t i = 0; i < 200; ++i)
        ASSERT_TRUE(doc.insert(list, static_cast<size_t>(i), i).ok());
    ASSERT_TRUE(doc.insert(list, 0, std::string("front")).ok());
    ASSERT_TRUE(doc.insert(list, 100, std::string("middle")).ok());
    EXPECT_EQ(doc.length(list), 202u);
    EXPECT_EQ(str_of(doc.get(list, 0)), "front");
    EXPECT_EQ(str_of(doc.get(list, 100)), "middle");
    EXPECT_EQ(doc.get(list, 101)->scalar, Scalar{int64_t{99}});
    EXPECT_EQ(doc.get(list, 201)->scalar, Scalar{int64_t{199}});
    EXPECT_FALSE(doc.get(list, 202));
    ASSERT_TRUE(doc.put(list, 1, std::string("one")).ok());
    EXPECT_EQ(str_of(doc.get(list, 1)), "one");
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(doc.delete_at(list, 10).ok());
    EXPECT_EQ(doc.length(list), 152u);
    EXPECT_EQ(doc.get(list, 10)->scalar, Scalar{int64_t{59}});
    EXPECT_FALSE(doc.insert(list, 153, int64_t{0}).ok());
    EXPECT_FALSE(doc.put(list, 152, int64_t{0}).ok());
    EXPECT_FALSE(doc.delete_at(list, 152).ok());
    auto inner = doc.insert_object(list, 152, ObjType::Map);
    ASSERT_TRUE(inner.ok());
    ASSERT_TRUE(doc.put(*inner, "x", int64_t{1}).ok());
    EXPECT_TRUE(doc.get(list, 152)->is(ObjType::Map));
}

TEST(Document, TextSpliceCountsCodePoints) {
    Document doc(actor(1));
    auto text = *doc.put_object(ObjId::root(), "t", ObjType::Text);
    ASSERT_TRUE(doc.splice_text(text, 0, 0, "héllo wörld").ok());
    EXPECT_EQ(doc.length(text), 11u);
    ASSERT_TRUE(doc.splice_text(text, 1, 4, "i 👋").ok());
    EXPECT_EQ(doc.text(text), "hi 👋 wörld");
    EXPECT_EQ(doc.length(text), 10u);
    ASSERT_TRUE(doc.splice_text(text, 10, 0, "!").ok());
    ASSERT_TRUE(doc.delete_at(text, 0).ok());
    EXPECT_EQ(doc.text(text), "i 👋 wörld!");
    EXPECT_EQ(str_of(doc.get(text, 2)), "👋");
    EXPECT_FALSE(doc.splice_text(text, 11, 0, "x").ok());
    EXPECT_FALSE(doc.splice_text(text, 5, 7, "").ok());
    EXPECT_FALSE(doc.splice_text(text, 0, 0, "\xff").ok());
    EXPECT_EQ(doc.text(text), "i 👋 wörld!");
    EXPECT_EQ(doc.text(ObjId::root()), "");
}

TEST(Document, LargeSpliceIsOneOperation) {
    Document doc(actor(1));
    auto text = *doc.put_object(ObjId::root(), "t", ObjType::Text);
    doc.commit();
    std::string paste(5000, 'a');
    ASSERT_TRUE(doc.splice_text(text, 0, 0, paste).ok());
    EXPECT_EQ(doc.pending_ops(), 1u);
    ASSERT_TRUE(doc.splice_text(text, 100, 4800, "").ok());
    EXPECT_EQ(doc.pending_ops(), 2u);
    EXPECT_EQ(doc.length(text), 200u);
}

TEST(Document, CounterIncrements) {
    Document doc(actor(1));
    ASSERT_TRUE(doc.put(ObjId::root(), "c", Counter{10}).ok());
    ASSERT_TRUE(doc.increment(ObjId::root(), "c", 5).ok());
    ASSERT_TRUE(doc.increment(ObjId::root(), "c", -2).ok());
    EXPECT_EQ(doc.get(ObjId::root(), "c")->scalar, Scalar{Counter{13}});
    ASSERT_TRUE(doc.put(ObjId::root(), "n", int64_t{1}).ok());
    EXPECT_FALSE(doc.increment(ObjId::root(), "n", 1).ok());
    EXPECT_FALSE(doc.increment(ObjId::root(), "missing", 1).ok());
}

TEST(Document, PendingChangeCommitAndRollback) {
    Document doc(actor(1));
    EXPECT_FALSE(doc.commit());
    ASSERT_TRUE(doc.put(ObjId::root(), "a", int64_t{1}).ok());
    EXPECT_EQ(doc.pending_ops(), 1u);
    EXPECT_EQ(doc.get(ObjId::root(), "a")->scalar, Scalar{int64_t{1}});
    auto h1 = doc.commit(1000, "first");
    ASSERT_TRUE(h1);
    EXPECT_EQ(doc.pending_ops(), 0u);
    EXPECT_EQ(doc.heads(), std::vector<ChangeHash>{*h1});

    auto text = *doc.put_object(ObjId::root(), "t", ObjType::Text);
    ASSERT_TRUE(doc.splice_text(text, 0, 0, "abc").ok());
    ASSERT_TRUE(doc.put(ObjId::root(), "a", int64_t{2}).ok());
    doc.rollback();
    EXPECT_EQ(doc.pending_ops(), 0u);
    EXPECT_FALSE(doc.get(ObjId::root(), "t"));
    EXPECT_EQ(doc.get(ObjId::root(), "a")->scalar, Scalar{int64_t{1}});
    EXPECT_EQ(doc.heads(), std::vector<ChangeHash>{*h1});

    ASSERT_TRUE(doc.put(ObjId::root(), "b", int64_t{3}).ok());
    auto heads = doc.heads(); // commits the pending change
    ASSERT_EQ(heads.size(), 1u);
    EXPECT_NE(heads[0], *h1);
    EXPECT_EQ(doc.clock().at(actor(1)), 2u);
}

TEST(Document, ActorIds) {
    Document a;
    Document b;
    EXPECT_NE(a.actor_id(), b.actor_id());
    auto hex = a.actor_id().hex();
    EXPECT_EQ(hex.size(), 32u);
    EXPECT_EQ(ActorId::from_hex(hex), a.actor_id());
    EXPECT_FALSE(ActorId::from_hex("zz"));
    a.set_actor_id(actor(9));
    EXPECT_EQ(a.actor_id(), actor(9));
    ASSERT_TRUE(a.put(ObjId::root(), "k", int64_t{1}).ok());
    a.commit();
    EXPECT_EQ(a.clock().at(actor(9)), 1u);
}

// Caches above the document key on revision(): it must move with every
// content change, whatever its source, stay put on reads, and never repeat
// across documents.
TEST(Document, RevisionTracksEveryContentChange) {
    Document a(actor(1));
    Document b(actor(2));
    EXPECT_NE(a.revision(), b.revision());
    auto root = ObjId::root();

    uint64_t r0 = a.revision();
    ASSERT_TRUE(a.put(root, "k", int64_t{1}).ok());
    uint64_t r1 = a.revision();
    EXPECT_NE(r1, r0);
    (void)a.get(root, "k");
    (void)a.keys(root);
    EXPECT_EQ(a.revision(), r1);
    a.commit(1);
    EXPECT_EQ(a.revision(), r1);

    auto t = a.put_object(root, "t", ObjType::Text);
    ASSERT_TRUE(t.ok());
    uint64_t r2 = a.revision();
    ASSERT_TRUE(a.splice_text(*t, 0, 0, "hi").ok());
    EXPECT_NE(a.revision(), r2);
    uint64_t r3 = a.revision();
    a.rollback();
    EXPECT_NE(a.revision(), r3);

    uint64_t rb = b.revision();
    ASSERT_TRUE(b.apply_changes(a.changes_since(std::span<const ChangeHash>{})).ok());
    EXPECT_NE(b.revision(), rb);
    EXPECT_NE(b.revision(), a.revision());
}

} // namespace
} // namespace crdt
