// Replicas that see the same changes in any order converge.

#include "doc_dump.h"

#include <algorithm>
#include <functional>
#include <random>

#include <gtest/gtest.h>

namespace crdt {
namespace {

using testing::actor;
using testing::dump;

void sync(Document& a, Document& b) {
    ASSERT_TRUE(a.merge(b).ok());
    ASSERT_TRUE(b.merge(a).ok());
}

// Two replicas forked from a common base, each making one edit concurrently.
struct ClassicCase {
    const char* name;
    std::function<void(Document&)> base;
    std::function<void(Document&)> left;
    std::function<void(Document&)> right;
    std::string expected;
};

ObjId key_obj(Document& d, const char* key) {
    return d.get(ObjId::root(), key)->id;
}

TEST(Concurrency, ClassicCasesConvergeToTheExpectedResult) {
    auto root = ObjId::root();
    std::vector<ClassicCase> cases{
        {"put on one key keeps both, greater actor wins the read", [](Document&) {},
         [&](Document& d) { ASSERT_TRUE(d.put(root, "k", std::string("left")).ok()); },
         [&](Document& d) { ASSERT_TRUE(d.put(root, "k", std::string("right")).ok()); },
         "{k:conflict2='left''right',}"},
        {"insert at one index orders greater id first",
         [&](Document& d) {
             auto l = *d.put_object(root, "l", ObjType::List);
             ASSERT_TRUE(d.insert(l, 0, int64_t{0}).ok());
         },
         [&](Document& d) { ASSERT_TRUE(d.insert(key_obj(d, "l"), 1, int64_t{1}).ok()); },
         [&](Document& d) { ASSERT_TRUE(d.insert(key_obj(d, "l"), 1, int64_t{2}).ok()); }, "{l:[0,2,1,],}"},
        {"text insert at one place",
         [&](Document& d) {
             ASSERT_TRUE(d.splice_text(*d.put_object(root, "t", ObjType::Text), 0, 0, "ac").ok());
         },
         [&](Document& d) { ASSERT_TRUE(d.splice_text(key_obj(d, "t"), 1, 0, "XY").ok()); },
         [&](Document& d) { ASSERT_TRUE(d.splice_text(key_obj(d, "t"), 1, 0, "b").ok()); }, "{t:\"abXYc\",}"},
        {"delete of a key against a concurrent put keeps the put",
         [&](Document& d) { ASSERT_TRUE(d.put(root, "k", int64_t{1}).ok()); },
         [&](Document& d) { ASSERT_TRUE(d.delete_key(root, "k").ok()); },
         [&](Document& d) { ASSERT_TRUE(d.put(root, "k", int64_t{2}).ok()); }, "{k:2,}"},
        {"delete of a list element against a concurrent put keeps the element",
         [&](Document& d) {
             auto l = *d.put_object(root, "l", ObjType::List);
             ASSERT_TRUE(d.insert(l, 0, int64_t{1}).ok());
             ASSERT_TRUE(d.insert(l, 1, int64_t{2}).ok());
         },
         [&](Document& d) { ASSERT_TRUE(d.delete_at(key_obj(d, "l"), 0).ok()); },
         [&](Document& d) { ASSERT_TRUE(d.put(key_obj(d, "l"), 0, int64_t{9}).ok()); }, "{l:[9,2,],}"},
        {"deleted text still anchors a concurrent insert",
         [&](Document& d) {
             ASSERT_TRUE(d.splice_text(*d.put_object(root, "t", ObjType::Text), 0, 0, "hello").ok());
         },
         [&](Document& d) { ASSERT_TRUE(d.splice_text(key_obj(d, "t"), 1, 3, "").ok()); },
         [&](Document& d) { ASSERT_TRUE(d.splice_text(key_obj(d, "t"), 3, 0, "_").ok()); }, "{t:\"h_o\",}"},
        {"edit inside a map deleted concurrently is gone with it",
         [&](Document& d) {
             ASSERT_TRUE(d.put(*d.put_object(root, "m", ObjType::Map), "a", int64_t{1}).ok());
         },
         [&](Document& d) { ASSERT_TRUE(d.delete_key(root, "m").ok()); },
         [&](Document& d) { ASSERT_TRUE(d.put(key_obj(d, "m"), "b", int64_t{2}).ok()); }, "{}"},
        {"put_object replacing a scalar against a concurrent put",
         [&](Document& d) { ASSERT_TRUE(d.put(root, "k", int64_t{1}).ok()); },
         [&](Document& d) {
             ASSERT_TRUE(d.put(*d.put_object(root, "k", ObjType::Map), "x", int64_t{1}).ok());
         },
         [&](Document& d) { ASSERT_TRUE(d.put(root, "k", int64_t{2}).ok()); }, "{k:conflict2={x:1,}2,}"},
        {"concurrent increments add up", [&](Document& d) { ASSERT_TRUE(d.put(root, "c", Counter{1}).ok()); },
         [&](Document& d) { ASSERT_TRUE(d.increment(root, "c", 2).ok()); },
         [&](Document& d) { ASSERT_TRUE(d.increment(root, "c", 3).ok()); }, "{c:counter(6),}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Document base(actor(1));
        c.base(base);
        base.commit();
        Document left = base.fork(actor(2));
        Document right = base.fork(actor(3));
        c.left(left);
        c.right(right);
        left.commit();
        right.commit();
        Document l2 = left.fork(actor(4)), r2 = right.fork(actor(5));
        ASSERT_TRUE(l2.merge(right).ok());
        ASSERT_TRUE(r2.merge(left).ok());
        EXPECT_EQ(dump(l2), c.expected);
        EXPECT_EQ(dump(r2), c.expected);
        EXPECT_EQ(l2.heads(), r2.heads());
        EXPECT_EQ(l2.heads().size(), 2u);
    }
}

// Random edits on three replicas with random partial syncs; every replica
// then receives everything in a different order.
class RandomEditor {
public:
    explicit RandomEditor(uint32_t seed) : m_rng(seed) {}

    void edit(Document& d) {
        auto root = ObjId::root();
        static const char* keys[] = {"a", "b", "c", "list", "text"};
        auto list = d.get(root, "list");
        auto text = d.get(root, "text");
        switch (pick(8)) {
        case 0:
            (void)d.put(root, keys[pick(3)], static_cast<int64_t>(pick(100)));
            break;
        case 1:
            (void)d.delete_key(root, keys[pick(3)]);
            break;
        case 2:
            if (!list || !list->is(ObjType::List)) {
                (void)d.put_object(root, "list", ObjType::List);
            } else {
                size_t n = d.length(list->id);
                (void)d.insert(list->id, pick(n + 1), static_cast<int64_t>(pick(1000)));
            }
            break;
        case 3:
            if (list && list->is(ObjType::List) && d.length(list->id) > 0) {
                size_t n = d.length(list->id);
                if (pick(2))
                    (void)d.delete_at(list->id, pick(n));
                else
                    (void)d.put(list->id, pick(n), std::string("p") + std::to_string(pick(10)));
            }
            break;
        case 4:
        case 5:
        case 6:
            if (!text || !text->is(ObjType::Text)) {
                (void)d.put_object(root, "text", ObjType::Text);
            } else {
                size_t n = d.length(text->id);
                size_t pos = pick(n + 1);
                size_t del = pick(std::min<size_t>(n - pos, 3) + 1);
                static const char* ins[] = {"", "x", "yz", "é", "hello", "🙂"};
                (void)d.splice_text(text->id, pos, del, ins[pick(6)]);
            }
            break;
        case 7:
            if (auto m = d.put_object(root, keys[pick(3)], ObjType::Map))
                (void)d.put(*m, "inner", static_cast<int64_t>(pick(5)));
            break;
        }
    }
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_rng); }

private:
    std::mt19937 m_rng;
};

TEST(Concurrency, ThreeReplicasConvergeInEveryMergeOrder) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomEditor ed(seed);
        std::vector<Document> replicas;
        for (uint8_t i = 0; i < 3; ++i)
            replicas.emplace_back(actor(static_cast<uint8_t>(10 + i)));
        std::vector<std::vector<uint8_t>> all_changes; // each replica's own changes
        for (int round = 0; round < 30; ++round) {
            Document& d = replicas[ed.pick(3)];
            for (size_t k = ed.pick(4) + 1; k > 0; --k)
                ed.edit(d);
            d.commit(round);
            if (ed.pick(3) == 0) {
                size_t a = ed.pick(3), b = ed.pick(3);
                if (a != b)
                    ASSERT_TRUE(replicas[a].merge(replicas[b]).ok());
            }
        }
        std::vector<std::vector<uint8_t>> sets;
        for (auto& r : replicas)
            sets.push_back(r.changes_since(std::span<const ChangeHash>{}));
        std::vector<int> order{0, 1, 2};
        std::string expected;
        std::vector<ChangeHash> expected_heads;
        do {
            Document fresh(actor(99));
            for (int i : order)
                ASSERT_TRUE(fresh.apply_changes(sets[static_cast<size_t>(i)]).ok());
            EXPECT_EQ(fresh.queued_changes(), 0u);
            if (expected.empty()) {
                expected = dump(fresh);
                expected_heads = fresh.heads();
            }
            EXPECT_EQ(dump(fresh), expected);
            EXPECT_EQ(fresh.heads(), expected_heads);
        } while (std::next_permutation(order.begin(), order.end()));
        // Pairwise merging converges to the same.
        sync(replicas[0], replicas[1]);
        sync(replicas[1], replicas[2]);
        sync(replicas[0], replicas[1]);
        for (auto& r : replicas) {
            EXPECT_EQ(dump(r), expected);
            EXPECT_EQ(r.heads(), expected_heads);
        }
        // And the state survives a save and load.
        auto loaded = Document::load(replicas[2].save());
        ASSERT_TRUE(loaded.ok());
        EXPECT_EQ(dump(*loaded), expected);
        EXPECT_EQ(loaded->heads(), expected_heads);
    }
}

// Splits an encoding of several changes into single changes.
std::vector<std::vector<uint8_t>> split_changes(std::span<const uint8_t> bytes) {
    std::vector<std::vector<uint8_t>> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        uint64_t len = 0;
        int shift = 0;
        size_t start = pos;
        while (bytes[pos] & 0x80)
            len |= uint64_t(bytes[pos++] & 0x7f) << shift, shift += 7;
        len |= uint64_t(bytes[pos++]) << shift;
        out.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(start),
                         bytes.begin() + static_cast<ptrdiff_t>(pos + len));
        pos += len;
    }
    return out;
}

TEST(Concurrency, ChangesWaitForMissingDependencies) {
    Document src(actor(1));
    auto text = *src.put_object(ObjId::root(), "t", ObjType::Text);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(src.splice_text(text, 0, 0, std::to_string(i)).ok());
        src.commit(i);
    }
    auto each = split_changes(src.changes_since(std::span<const ChangeHash>{}));
    ASSERT_EQ(each.size(), 5u);
    Document dst(actor(2));
    for (size_t i = each.size(); i-- > 1;) {
        auto r = dst.apply_changes(each[i]);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(*r, 0u);
    }
    EXPECT_EQ(dst.queued_changes(), 4u);
    EXPECT_FALSE(dst.get(ObjId::root(), "t"));
    auto r = dst.apply_changes(each[0]);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(*r, 5u);
    EXPECT_EQ(dst.queued_changes(), 0u);
    EXPECT_EQ(dump(dst), dump(src));
    EXPECT_EQ(dst.heads(), src.heads());
    // Duplicates are ignored.
    EXPECT_EQ(*dst.apply_changes(src.changes_since(std::span<const ChangeHash>{})), 0u);
    EXPECT_EQ(dump(dst), dump(src));
}

TEST(Concurrency, ChangesSinceHeadsAndClock) {
    Document a(actor(1));
    ASSERT_TRUE(a.put(ObjId::root(), "x", int64_t{1}).ok());
    a.commit();
    Document b = a.fork(actor(2));
    auto base_heads = a.heads();
    auto base_clock = a.clock();
    ASSERT_TRUE(a.put(ObjId::root(), "y", int64_t{2}).ok());
    a.commit();
    ASSERT_TRUE(a.put(ObjId::root(), "z", int64_t{3}).ok());
    a.commit();
    EXPECT_EQ(split_changes(a.changes_since(base_heads)).size(), 2u);
    EXPECT_EQ(split_changes(a.changes_since(base_clock)).size(), 2u);
    EXPECT_TRUE(a.changes_since(a.heads()).empty());
    ASSERT_TRUE(b.apply_changes(a.changes_since(base_heads)).ok());
    EXPECT_EQ(dump(b), dump(a));
}

TEST(Concurrency, MalformedChangesAreRejectedWithoutEffect) {
    Document src(actor(1));
    auto list = *src.put_object(ObjId::root(), "l", ObjType::List);
    ASSERT_TRUE(src.insert(list, 0, std::string("value")).ok());
    auto text = *src.put_object(ObjId::root(), "t", ObjType::Text);
    ASSERT_TRUE(src.splice_text(text, 0, 0, "abc").ok());
    auto bytes = src.changes_since(std::span<const ChangeHash>{});
    Document base(actor(2));
    ASSERT_TRUE(base.put(ObjId::root(), "mine", int64_t{1}).ok());
    base.commit();
    const std::string before = dump(base);
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        Document dst = base.fork(actor(3));
        EXPECT_FALSE(dst.apply_changes(std::span(bytes).first(cut)).ok()) << cut;
        EXPECT_EQ(dump(dst), before);
    }
    // A flipped byte either still forms a valid change, or is rejected and
    // changes nothing.
    for (size_t i = 0; i < bytes.size(); ++i) {
        for (uint8_t flip : {0x01, 0x80, 0xff}) {
            auto copy = bytes;
            copy[i] ^= flip;
            Document dst = base.fork(actor(3));
            auto heads = dst.heads();
            if (!dst.apply_changes(copy).ok()) {
                EXPECT_EQ(dump(dst), before) << i;
                EXPECT_EQ(dst.heads(), heads) << i;
            }
        }
    }
    Document dst = base.fork(actor(3));
    ASSERT_TRUE(dst.apply_changes(bytes).ok());
    EXPECT_EQ(dump(dst), "{l:['value',],mine:1,t:\"abc\",}");
}

TEST(Concurrency, ChangeReferringToAMissingObjectIsRejected) {
    // A change that puts into an object its author had but the receiver
    // never saw (its dependency list is forged empty) must not apply halfway.
    Document a(actor(1));
    auto m = *a.put_object(ObjId::root(), "m", ObjType::Map);
    a.commit();
    auto first = a.changes_since(std::span<const ChangeHash>{});
    ASSERT_TRUE(a.put(m, "x", int64_t{1}).ok());
    a.commit();
    Document b(actor(2));
    ASSERT_TRUE(b.apply_changes(first).ok());
    EXPECT_EQ(dump(b), "{m:{},}");
}

} // namespace
} // namespace crdt
