#include "actions/mentions.h"

#include <gtest/gtest.h>

namespace chat {
namespace {

const std::vector<MentionCandidate> kPeople = {
    {"u_ann", "Ann", false}, {"u_anna", "Anna", false}, {"u_bot", "Build Bot", true},
    {"u_zoe", "Zoë", false}, {"u_blank", "", false},
};

struct Case {
    const char* text;
    std::vector<Mention> expected;
};

TEST(FindMentions, Table) {
    const Case cases[] = {
        {"@Anna hi", {{"u_anna", 0, 5, false}}},
        {"@Ann hi", {{"u_ann", 0, 4, false}}},
        {"hey @anna!", {{"u_anna", 4, 5, false}}},
        {"mail@Ann", {}}, // marker after a letter
        {"x7@Ann", {}},   // marker after a digit
        {"@Annx", {}},    // name runs on into a letter
        {"@Ann2", {}},    // ... or a digit
        {"@Annë", {}},    // ... or a non-ASCII letter
        {"@Ann🎉", {{"u_ann", 0, 4, false}}},
        {"ask @build bot, then @ANN.", {{"u_bot", 4, 10, true}, {"u_ann", 21, 4, false}}},
        {"@zoë and\t@Zoë", {{"u_zoe", 0, 5, false}, {"u_zoe", 10, 5, false}}},
        {"@@Ann", {}},
        {"@ @Ann", {{"u_ann", 2, 4, false}}},
        {"", {}},
        {"@", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(find_mentions(c.text, kPeople), c.expected) << c.text;
}

TEST(FindMentions, EqualLengthNamesKeepListOrder) {
    std::vector<MentionCandidate> twins = {{"u_1", "Sam", false}, {"u_2", "sam", false}};
    auto found = find_mentions("@SAM", twins);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].user, "u_1");
}

TEST(FindMentions, LengthChangingTextComparesCaseSensitively) {
    // U+0130 lowercases to one byte fewer, so the text is matched as written.
    std::vector<MentionCandidate> people = {{"u_i", "İpek", false}, {"u_a", "Ann", false}};
    EXPECT_EQ(find_mentions("İ @İpek @ann", people), (std::vector<Mention>{{"u_i", 3, 6, false}}));
    EXPECT_EQ(find_mentions("@İpek @Ann", people),
              (std::vector<Mention>{{"u_i", 0, 6, false}, {"u_a", 7, 4, false}}));
}

} // namespace
} // namespace chat
