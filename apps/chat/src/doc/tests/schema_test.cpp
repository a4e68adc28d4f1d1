#include "doc/schema.h"

#include "doc_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace chat::doc {
namespace {

using testing::DocFixture;

TEST(Schema, ReadIntTakesAnyNumericScalar) {
    DocFixture f;
    ObjId m = f.map({"m"});
    struct Case {
        const char* key;
        crdt::Scalar value;
        std::optional<int64_t> expected;
    };
    const Case cases[] = {
        {"int", int64_t{-7}, -7},
        {"uint", uint64_t{9}, 9},
        {"f64", -2.9, -2},
        {"f64up", 2.9, 2},
        {"huge", 1e30, std::numeric_limits<int64_t>::max()},
        {"tiny", -1e30, std::numeric_limits<int64_t>::min()},
        {"nan", std::nan(""), std::nullopt},
        {"counter", crdt::Counter{5}, 5},
        {"timestamp", crdt::Timestamp{1234}, 1234},
        {"bool", true, std::nullopt},
        {"str", std::string("3"), std::nullopt},
        {"null", crdt::Null{}, std::nullopt},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(f.doc.put(m, c.key, c.value).ok()) << c.key;
    for (const Case& c : cases)
        EXPECT_EQ(read_int(f.doc, m, c.key), c.expected) << c.key;
    EXPECT_EQ(read_int(f.doc, m, "missing"), std::nullopt);
}

TEST(Schema, TypedReadsAndFinds) {
    DocFixture f;
    ObjId m = f.map({"m"});
    put_str(f.doc, m, "s", "plain");
    put_bool(f.doc, m, "b", true);
    put_int(f.doc, m, "i", 1);
    ObjId t = ensure_text(f.doc, m, "t");
    ASSERT_TRUE(f.doc.splice_text(t, 0, 0, "rich").ok());
    ensure_list(f.doc, m, "l");

    EXPECT_EQ(read_str(f.doc, m, "s"), "plain");
    EXPECT_EQ(read_str(f.doc, m, "t"), std::nullopt);
    EXPECT_EQ(read_text(f.doc, m, "t"), "rich");
    EXPECT_EQ(read_text(f.doc, m, "s"), "plain");
    EXPECT_EQ(read_text(f.doc, m, "i"), std::nullopt);
    EXPECT_TRUE(read_bool(f.doc, m, "b"));
    EXPECT_FALSE(read_bool(f.doc, m, "i"));
    EXPECT_EQ(find_bool(f.doc, m, "i"), std::nullopt);
    EXPECT_TRUE(find_list(f.doc, m, "l"));
    EXPECT_FALSE(find_map(f.doc, m, "l"));
    EXPECT_FALSE(find_list(f.doc, std::optional<ObjId>{}, "l"));
}

TEST(Schema, EnsureReplacesAValueOfAnotherKind) {
    DocFixture f;
    ObjId m = f.map({"m"});
    put_str(f.doc, m, "x", "scalar");
    ObjId inner = ensure_map(f.doc, m, "x");
    EXPECT_EQ(find_map(f.doc, m, "x"), inner);
    EXPECT_EQ(ensure_map(f.doc, m, "x"), inner) << "an existing map is returned, not replaced";
    ObjId list = ensure_list(f.doc, m, "x");
    EXPECT_EQ(find_list(f.doc, m, "x"), list);
    EXPECT_FALSE(find_map(f.doc, m, "x"));
}

TEST(Schema, SpliceTextDiffedReachesTheNewText) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "hello"},          {"hello", ""},  {"hello", "hello"},  {"hello", "help"},
        {"abc", "abxc"},        {"aaaa", "aa"}, {"a❤️b", "a❤b"}, {"a❤b", "a❤️b"},
        {"日本語", "日本人語"}, {"ééé", "éé"},  {"x🎉y", "x👍y"},      {"🎉", "🎊"},
    };
    for (auto [before, after] : cases) {
        DocFixture f;
        ObjId t = ensure_text(f.doc, f.map({"m"}), "t");
        splice_text_diffed(f.doc, t, before);
        splice_text_diffed(f.doc, t, after);
        EXPECT_EQ(f.doc.text(t), after) << before << " -> " << after;
    }
}

TEST(Schema, SpliceTextDiffedKeepsConcurrentEdits) {
    DocFixture f;
    ObjId t = ensure_text(f.doc, f.map({"m"}), "t");
    splice_text_diffed(f.doc, t, "the quick fox");
    crdt::Document other = f.doc.fork(crdt::ActorId{{1}});
    // Replacing the whole content would drop the other side's edit; the
    // smallest splice touches only the changed word.
    splice_text_diffed(f.doc, t, "the slow fox");
    ObjId other_t = other.get(*find_map(other, kRoot, "m"), "t")->id;
    splice_text_diffed(other, other_t, "the quick fox jumps");
    other.commit();
    f.doc.commit();
    ASSERT_TRUE(f.doc.merge(other).ok());
    EXPECT_EQ(f.doc.text(t), "the slow fox jumps");
}

TEST(Schema, MessageIdCharset) {
    EXPECT_TRUE(is_valid_message_id("m_0123-abcXYZ"));
    EXPECT_TRUE(is_valid_message_id(std::string(128, 'a')));
    EXPECT_FALSE(is_valid_message_id(std::string(129, 'a')));
    EXPECT_FALSE(is_valid_message_id(""));
    EXPECT_FALSE(is_valid_message_id("m 1"));
    EXPECT_FALSE(is_valid_message_id("m.1"));
    EXPECT_FALSE(is_valid_message_id("m\xc3\xa9"));
    EXPECT_EQ(thread_draft_key("c_crit", "m_concept"), "c_crit::t::m_concept");
}

} // namespace
} // namespace chat::doc
