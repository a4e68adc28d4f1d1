#include <ui/search/search_catalog.h>
#include <ui/search/search_text.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace kavu::ui;
using ::testing::ElementsAre;

namespace {

SearchEntry entry(std::string address, std::string search_text, std::string title = {}) {
    SearchEntry e;
    e.address = std::move(address);
    e.group = "Conversations";
    e.title = title.empty() ? search_text : std::move(title);
    e.search_text = std::move(search_text);
    return e;
}

std::vector<std::string> addresses(const SearchPage& page) {
    std::vector<std::string> out;
    for (const SearchResult& r : page.results)
        out.push_back(r.address);
    return out;
}

TEST(SearchText, NormalizeFoldsCaseAccentsAndSeparators) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"Café  Zürich—2024!", "cafe zurich 2024"},
        {"ÀÉÎÕÜ ñ Ç", "aeiou n c"},
        {"Straße Øresund Łódź", "strasse oresund lodz"},
        {"e\xCC\x81te", "ete"},        // decomposed accent stays inside the word
        {"\xFF\xFEok \xE2\x82", "ok"}, // invalid and truncated UTF-8 are separators
        {"ＡＢＣ ﬁle", "abc file"},    // full-width and ligature compatibility forms
        {"ship🚀it #general", "ship it general"},
        {"  \t\n ", ""},
        {"ΑΘΗΝΑ Київ", "αθηνα киів"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(normalize_search_text(c.in), c.out) << c.in;
}

TEST(SearchText, TokensAreDistinctAndSplitUnspacedScripts) {
    EXPECT_THAT(index_tokens("Ship it, SHIP it now"), ElementsAre("ship", "it", "now"));
    EXPECT_THAT(index_tokens("東京タワー tour"), ElementsAre("東", "京", "タ", "ワ", "ー", "tour"));
    EXPECT_TRUE(index_tokens("— !! —").empty());
}

TEST(SearchText, GramsArePaddedCodePointTrigrams) {
    EXPECT_THAT(index_grams("abc"), ElementsAre(" ab", "abc", "bc "));
    EXPECT_THAT(index_grams("a"), ElementsAre(" a "));
    EXPECT_THAT(index_grams("aaaa"), ElementsAre(" aa", "aaa", "aa "));
    EXPECT_THAT(index_grams("ñu"), ElementsAre(" ñu", "ñu "));
    EXPECT_TRUE(index_grams("").empty());
}

TEST(SearchText, BoundedEditDistance) {
    struct Case {
        std::string a, b;
        int limit, expected;
    };
    const Case cases[] = {
        {"address", "address", 2, 0}, {"adress", "address", 2, 1},
        {"teh", "the", 1, 1},         {"kitten", "sitting", 3, 3},
        {"kitten", "sitting", 1, 2},  {"abc", "", 1, 2},
        {"ñandu", "nandu", 1, 1},     {"", "", 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bounded_edit_distance(c.a, c.b, c.limit), c.expected) << c.a << " / " << c.b;
}

TEST(SearchCatalog, RanksExactBeforePrefixBeforeTypo) {
    SearchCatalog catalog;
    catalog.upsert(entry("chat.channel:typo", "desing review"));
    catalog.upsert(entry("chat.channel:prefix", "designers lounge"));
    catalog.upsert(entry("chat.channel:exact", "design"));
    catalog.upsert(entry("chat.channel:other", "release train"));

    SearchPage page = catalog.query_page("Design", 10);
    EXPECT_THAT(addresses(page),
                ElementsAre("chat.channel:exact", "chat.channel:prefix", "chat.channel:typo"));
    ASSERT_EQ(page.results.size(), 3u);
    EXPECT_EQ(page.results[0].match, SearchMatch::Exact);
    EXPECT_EQ(page.results[1].match, SearchMatch::Prefix);
    EXPECT_EQ(page.results[2].match, SearchMatch::Fuzzy);
    EXPECT_EQ(page.total, 3u);
    EXPECT_FALSE(page.next.has_value());
}

TEST(SearchCatalog, TyposStillFindTheirWord) {
    SearchCatalog catalog;
    catalog.upsert(entry("chat.message:m1", "Lena Please check the address"));
    catalog.upsert(entry("chat.message:m2", "Nika the message grid is ready"));
    catalog.upsert(entry("chat.channel:c1", "frontend Pixel polish Kavu"));
    struct Case {
        std::string query;
        std::string found;
    };
    const Case cases[] = {
        {"adress", "chat.message:m1"},   // missing letter
        {"adderss", "chat.message:m1"},  // swapped letters
        {"mesage", "chat.message:m2"},   // missing letter in a middle
        {"frontned", "chat.channel:c1"}, // swap near the end of a long word
        {"pixle", "chat.channel:c1"},    // short word, swapped last letters
        {"chekc adress", "chat.message:m1"}, {"zurich", ""},
    };
    for (const Case& c : cases) {
        SearchPage page = catalog.query_page(c.query, 5);
        if (c.found.empty()) {
            EXPECT_TRUE(page.results.empty()) << c.query;
        } else {
            ASSERT_FALSE(page.results.empty()) << c.query;
            EXPECT_EQ(page.results[0].address, c.found) << c.query;
        }
    }
}

TEST(SearchCatalog, EveryQueryWordMustMatchAndAccentsDoNotMatter) {
    SearchCatalog catalog;
    catalog.upsert(entry("chat.channel:zurich", "Zürich office Acme"));
    catalog.upsert(entry("chat.channel:berlin", "Berlin office Acme"));
    EXPECT_THAT(addresses(catalog.query_page("office zurich", 10)), ElementsAre("chat.channel:zurich"));
    EXPECT_THAT(addresses(catalog.query_page("ZÜRICH", 10)), ElementsAre("chat.channel:zurich"));
    EXPECT_TRUE(catalog.query_page("office tokyo", 10).results.empty());
    EXPECT_TRUE(catalog.query_page("  ", 10).results.empty());
}

TEST(SearchCatalog, TitleWordsOutrankTheSameWordElsewhere) {
    // Searching for an author's name finds the person first, then their messages.
    SearchCatalog catalog;
    catalog.upsert(SearchEntry{.address = "chat.message:m1",
                               .group = "Messages",
                               .title = "Moving the sync to 3pm",
                               .subtitle = "Lena · #general · Acme",
                               .kind_label = "",
                               .search_text = "Lena Moving the sync to 3pm"});
    catalog.upsert(SearchEntry{.address = "chat.person:u_lena",
                               .group = "People",
                               .title = "Lena",
                               .subtitle = "",
                               .kind_label = "Person",
                               .search_text = "Lena u_lena"});
    SearchPage page = catalog.query_page("lena", 10);
    EXPECT_THAT(addresses(page), ElementsAre("chat.person:u_lena", "chat.message:m1"));
    EXPECT_EQ(page.results[0].action_address(),
              (SearchActionAddress{.resource = "chat.person:u_lena", .action = "open"}));
    EXPECT_EQ(page.results[0].kind_label, "Person");
}

TEST(SearchCatalog, UpsertReplacesAndRemoveForgets) {
    SearchCatalog catalog;
    catalog.upsert(entry("chat.channel:c1", "general"));
    catalog.upsert(entry("chat.channel:c1", "announcements"));
    EXPECT_TRUE(catalog.query_page("general", 10).results.empty());
    EXPECT_THAT(addresses(catalog.query_page("announce", 10)), ElementsAre("chat.channel:c1"));
    EXPECT_EQ(catalog.stats().entries, 1u);

    // A display-only change keeps the index but shows the new title.
    SearchEntry renamed = entry("chat.channel:c1", "announcements", "#news");
    catalog.upsert(renamed);
    EXPECT_EQ(catalog.query_page("announcements", 10).results.at(0).title, "#news");

    EXPECT_TRUE(catalog.remove_postings("chat.channel:c1"));
    EXPECT_FALSE(catalog.remove_postings("chat.channel:c1"));
    EXPECT_TRUE(catalog.query_page("announcements", 10).results.empty());
    EXPECT_EQ(catalog.find("chat.channel:c1"), nullptr);

    // A freed slot taken by another entry never inherits the old postings.
    catalog.upsert(entry("chat.channel:c2", "random"));
    EXPECT_TRUE(catalog.query_page("announcements", 10).results.empty());
    EXPECT_THAT(addresses(catalog.query_page("random", 10)), ElementsAre("chat.channel:c2"));
    EXPECT_EQ(catalog.stats().entries, 1u);
}

TEST(SearchCatalog, RepeatedReplacementKeepsPostingsBounded) {
    SearchCatalog catalog;
    for (int i = 0; i < 50; ++i)
        catalog.upsert(entry("chat.message:m" + std::to_string(i), "shared words here"));
    for (int round = 0; round < 40; ++round)
        for (int i = 0; i < 50; ++i)
            catalog.upsert(entry("chat.message:m" + std::to_string(i),
                                 std::string("shared words ") + (round % 2 ? "there" : "elsewhere")));
    SearchStats stats = catalog.stats();
    EXPECT_EQ(stats.entries, 50u);
    EXPECT_EQ(stats.postings, 150u);
    EXPECT_EQ(catalog.query_page("shared", 100).total, 50u);
    EXPECT_EQ(catalog.query_page("there", 100).total, 50u);
    EXPECT_EQ(catalog.query_page("elsewhere", 100).total, 0u);
}

TEST(SearchCatalog, BroadOneWordFirstPageStopsEarlyWithTheExactTop) {
    // Short words are read first, but longer words in titles outrank them;
    // the early stop must not cut those off.
    SearchCatalog catalog;
    for (int i = 0; i < 10; ++i) {
        std::string n = std::to_string(i);
        catalog.upsert(entry("chat.message:a" + n, "kx filler", "plain " + n));
        catalog.upsert(entry("chat.message:b" + n, "kxyzw filler", "kxyzw " + n));
        catalog.upsert(entry("chat.message:c" + n, "kxyzwvutsr filler", "plain " + n));
    }
    SearchPage exact = catalog.query_page("k", 1000);
    EXPECT_FALSE(exact.total_is_estimate);
    EXPECT_EQ(exact.total, 30u);
    SearchPage first = catalog.query_page("k", 5);
    EXPECT_TRUE(first.total_is_estimate);
    EXPECT_EQ(first.total, 30u);
    ASSERT_EQ(first.results.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(first.results[i].address, exact.results[i].address);
    EXPECT_EQ(first.results[0].address.substr(0, 14), "chat.message:b");
    // The next page comes from the exact path and continues where it stopped.
    SearchPage second = catalog.query_page("k", 5, first.next);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(second.results[i].address, exact.results[5 + i].address);
}

TEST(SearchCatalog, PagesFollowTheCursorWithoutRepeats) {
    SearchCatalog catalog;
    for (int i = 0; i < 25; ++i)
        catalog.upsert(entry("chat.channel:c" + std::to_string(100 + i), "team room " + std::to_string(i)));
    std::set<std::string> seen;
    std::optional<SearchCursor> cursor;
    int pages = 0;
    do {
        SearchPage page = catalog.query_page("team", 10, cursor);
        EXPECT_EQ(page.total, 25u);
        for (const SearchResult& r : page.results)
            EXPECT_TRUE(seen.insert(r.address).second) << r.address;
        cursor = page.next;
        ++pages;
        if (cursor) {
            EXPECT_TRUE(catalog.cursor_is_current(*cursor));
        }
    } while (cursor && pages < 10);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(seen.size(), 25u);

    SearchCursor first_page_end = *catalog.query_page("team", 10).next;
    // A cursor of another query starts that query from its beginning.
    EXPECT_EQ(catalog.query_page("room", 10, first_page_end).results.size(), 10u);
    EXPECT_EQ(addresses(catalog.query_page("room", 10, first_page_end)),
              addresses(catalog.query_page("room", 10)));

    catalog.upsert(entry("chat.channel:new", "team room new"));
    EXPECT_FALSE(catalog.cursor_is_current(first_page_end));
    SearchPage second = catalog.query_page("team", 10, first_page_end);
    EXPECT_EQ(second.results.size(), 10u);
    EXPECT_EQ(second.total, 26u);
}

} // namespace
