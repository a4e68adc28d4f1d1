#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kavu::ui {

// One thing a person can jump to. The address ("chat.channel:c_1") is the
// entry's identity: upserting the same address replaces the entry.
struct SearchEntry {
    std::string address;
    std::string group;
    std::string title;
    std::string subtitle;
    std::string kind_label;
    // The text the catalog indexes; the other texts are only shown.
    std::string search_text;

    bool operator==(const SearchEntry&) const = default;
};

// How the weakest query word matched the entry.
enum class SearchMatch { Exact, Prefix, Fuzzy };

// The action an activated result performs: the resource's "open" action.
struct SearchActionAddress {
    std::string resource;
    std::string action;

    bool operator==(const SearchActionAddress&) const = default;
};

struct SearchResult {
    std::string address;
    std::string group;
    std::string title;
    std::string subtitle;
    std::string kind_label;
    double score = 0;
    SearchMatch match = SearchMatch::Exact;

    SearchActionAddress action_address() const { return {.resource = address, .action = "open"}; }
};

// Where the next page starts: just after the result with this sort key.
// Keyed rather than counted, so a catalog that changes between pages never
// repeats a result on the next page; cursor_is_current tells whether it may
// have moved results the person has not seen yet.
struct SearchCursor {
    std::string query;
    std::uint64_t revision = 0;
    double score = 0;
    std::string address;

    bool operator==(const SearchCursor&) const = default;
};

struct SearchPage {
    std::vector<SearchResult> results;
    // Present when more results follow.
    std::optional<SearchCursor> next;
    // Every result of the query, on all pages. A first page of a very broad
    // one-word query stops counting early and gives an upper estimate.
    std::size_t total = 0;
    bool total_is_estimate = false;
};

struct SearchStats {
    std::size_t entries = 0;
    std::size_t terms = 0;
    std::size_t grams = 0;
    std::size_t postings = 0;
    std::uint64_t revision = 0;

    bool operator==(const SearchStats&) const = default;
};

// An in-memory full-text index over SearchEntry values. Each query word must
// match a word of the entry exactly, as a prefix, or within a small edit
// distance (a typo); results rank exact above prefix above fuzzy matches.
class SearchCatalog {
public:
    SearchCatalog();
    ~SearchCatalog();
    SearchCatalog(const SearchCatalog&) = delete;
    SearchCatalog& operator=(const SearchCatalog&) = delete;

    // Adds or replaces the entry under its address. Replacing an entry with
    // the same search text leaves the index untouched.
    void upsert(SearchEntry entry);
    // Removes the entry under the address; false when there was none.
    bool remove_postings(std::string_view address);
    void clear();

    const SearchEntry* find(std::string_view address) const;
    // Calls visit(address) for every entry, in no particular order.
    template <typename Visit> void for_each_address(Visit&& visit) const {
        for (const auto& [address, doc] : m_by_address)
            visit(address);
    }

    // The page of results after the cursor (from the start without one). A
    // cursor issued for another query is ignored.
    SearchPage query_page(std::string_view query, std::size_t page_size,
                          const std::optional<SearchCursor>& after = std::nullopt) const;

    SearchStats stats() const;
    // True while nothing has changed since the cursor's page was computed.
    bool cursor_is_current(const SearchCursor& cursor) const { return cursor.revision == m_revision; }
    std::uint64_t revision() const { return m_revision; }

private:
    using DocId = std::uint32_t;
    using TermId = std::uint32_t;

    struct Posting {
        DocId doc = 0;
        // The document's version when indexed, shifted left once; the low
        // bit says the word also appears in the entry's title.
        std::uint32_t tag = 0;
    };
    struct Term {
        std::string text;
        std::uint32_t length = 0; // in code points
        std::vector<Posting> postings;
        std::uint32_t stale = 0;
    };
    struct Doc {
        SearchEntry entry;
        std::string normalized_text;
        std::string normalized_title;
        std::vector<TermId> terms;
        bool live = false;
    };
    struct Scratch;

    TermId ensure_term(const std::string& text);
    void unindex(DocId doc);
    void index(DocId doc);
    void compact(Term& term);

    std::vector<Doc> m_docs;
    // Bumped when a document's postings become stale; a posting counts only
    // while its recorded version equals its document's.
    std::vector<std::uint32_t> m_versions;
    // Subtracted from every score of the document; see title_penalty.
    std::vector<double> m_penalties;
    std::vector<DocId> m_free;
    std::unordered_map<std::string, DocId> m_by_address;
    std::map<std::string, TermId, std::less<>> m_dictionary;
    std::vector<Term> m_terms;
    std::unordered_map<std::string, std::vector<TermId>> m_grams;
    std::size_t m_live = 0;
    std::uint64_t m_revision = 1;
    mutable std::unique_ptr<Scratch> m_scratch;
};

} // namespace kavu::ui
