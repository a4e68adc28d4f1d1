#include <ui/search/search_catalog.h>

#include <ui/search/search_text.h>

#include <algorithm>
#include <cassert>

namespace kavu::ui {

namespace {

// Score of one query word against one entry word. The bands never overlap,
// so an exact word always outranks a prefix, and a prefix a typo, whatever
// the bonuses inside a band.
constexpr double kExactScore = 100;
constexpr double kPrefixBase = 50;       // plus up to 10 for the share of the word typed
constexpr double kFuzzyScore = 30;       // minus 10 per edit beyond the first
constexpr double kTitleBonus = 5;        // the word also appears in the title
constexpr double kLengthPenalty = 0.001; // per title byte, at most kMaxPenaltyBytes
constexpr std::size_t kMaxPenaltyBytes = 200;

std::size_t code_point_count(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::size_t first_code_point_bytes(std::string_view text) {
    std::size_t n = 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        ++n;
    return std::min(n, text.size());
}

// Among equal matches the shorter title is the more specific result.
double title_penalty(const std::string& title) {
    return kLengthPenalty * static_cast<double>(std::min(title.size(), kMaxPenaltyBytes));
}

int typo_limit(std::size_t length) {
    if (length < 3)
        return 0;
    return length >= 8 ? 2 : 1;
}

struct TermMatch {
    std::uint32_t term = 0;
    double score = 0;
    SearchMatch kind = SearchMatch::Exact;
};

} // namespace

// Per-query working arrays, kept between queries so a query allocates only
// when the catalog has grown. Stamps avoid clearing them; one record per
// document keeps a posting's bookkeeping in one cache line.
struct SearchCatalog::Scratch {
    struct DocState {
        std::uint32_t query = 0;
        std::uint32_t token = 0;
        double total = 0;
        double token_best = 0;
        std::uint16_t matched = 0;
        std::uint8_t worst = 0;
        std::uint8_t token_kind = 0;
    };
    std::uint32_t query_stamp = 0;
    std::uint32_t token_stamp = 0;
    std::vector<DocState> docs;
    std::vector<DocId> touched;
    std::vector<std::uint32_t> term_stamp;
    std::vector<std::uint16_t> term_count;
    std::uint32_t term_round = 0;

    void fit(std::size_t doc_count, std::size_t terms) {
        if (docs.size() < doc_count)
            docs.resize(doc_count);
        if (term_stamp.size() < terms) {
            term_stamp.resize(terms, 0);
            term_count.resize(terms, 0);
        }
    }
};

SearchCatalog::SearchCatalog() : m_scratch(std::make_unique<Scratch>()) {}
SearchCatalog::~SearchCatalog() = default;

SearchCatalog::TermId SearchCatalog::ensure_term(const std::string& text) {
    auto [it, inserted] = m_dictionary.try_emplace(text, static_cast<TermId>(m_terms.size()));
    if (!inserted)
        return it->second;
    TermId id = it->second;
    Term term;
    term.text = text;
    term.length = static_cast<std::uint32_t>(code_point_count(text));
    m_terms.push_back(std::move(term));
    for (std::string& gram : index_grams(text))
        m_grams[std::move(gram)].push_back(id);
    return id;
}

void SearchCatalog::compact(Term& term) {
    std::erase_if(term.postings, [&](const Posting& p) { return (p.tag >> 1) != m_versions[p.doc]; });
    term.stale = 0;
}

void SearchCatalog::unindex(DocId doc) {
    // Bumping the version makes every posting of the document stale at once;
    // lists are swept only when stale postings outnumber live ones, so
    // replacing an entry costs its own words, not the length of their lists.
    m_versions[doc] = (m_versions[doc] + 1) & 0x7FFFFFFFu;
    for (TermId id : m_docs[doc].terms) {
        Term& term = m_terms[id];
        ++term.stale;
        if (term.stale * 2 > term.postings.size())
            compact(term);
    }
    m_docs[doc].terms.clear();
}

void SearchCatalog::index(DocId doc) {
    Doc& d = m_docs[doc];
    std::vector<std::string> title_tokens = index_tokens(d.normalized_title);
    for (std::string& token : index_tokens(d.normalized_text)) {
        bool in_title = std::find(title_tokens.begin(), title_tokens.end(), token) != title_tokens.end();
        TermId id = ensure_term(token);
        m_terms[id].postings.push_back(
            Posting{.doc = doc, .tag = (m_versions[doc] << 1) | (in_title ? 1u : 0u)});
        d.terms.push_back(id);
    }
}

void SearchCatalog::upsert(SearchEntry entry) {
    std::string normalized_text = normalize_search_text(entry.search_text);
    std::string normalized_title = normalize_search_text(entry.title);
    auto found = m_by_address.find(entry.address);
    if (found != m_by_address.end()) {
        Doc& doc = m_docs[found->second];
        if (doc.entry == entry)
            return;
        ++m_revision;
        m_penalties[found->second] = title_penalty(entry.title);
        if (doc.normalized_text == normalized_text && doc.normalized_title == normalized_title) {
            doc.entry = std::move(entry);
            return;
        }
        unindex(found->second);
        doc.entry = std::move(entry);
        doc.normalized_text = std::move(normalized_text);
        doc.normalized_title = std::move(normalized_title);
        index(found->second);
        return;
    }
    ++m_revision;
    DocId id;
    if (!m_free.empty()) {
        id = m_free.back();
        m_free.pop_back();
    } else {
        id = static_cast<DocId>(m_docs.size());
        m_docs.emplace_back();
        m_versions.push_back(0);
        m_penalties.push_back(0);
    }
    m_penalties[id] = title_penalty(entry.title);
    Doc& doc = m_docs[id];
    m_by_address.emplace(entry.address, id);
    doc.entry = std::move(entry);
    doc.normalized_text = std::move(normalized_text);
    doc.normalized_title = std::move(normalized_title);
    doc.live = true;
    ++m_live;
    index(id);
}

bool SearchCatalog::remove_postings(std::string_view address) {
    auto found = m_by_address.find(std::string(address));
    if (found == m_by_address.end())
        return false;
    DocId id = found->second;
    m_by_address.erase(found);
    unindex(id);
    m_docs[id] = Doc{};
    m_free.push_back(id);
    --m_live;
    ++m_revision;
    return true;
}

void SearchCatalog::clear() {
    m_docs.clear();
    m_versions.clear();
    m_penalties.clear();
    m_free.clear();
    m_by_address.clear();
    m_dictionary.clear();
    m_terms.clear();
    m_grams.clear();
    m_live = 0;
    ++m_revision;
}

const SearchEntry* SearchCatalog::find(std::string_view address) const {
    auto found = m_by_address.find(std::string(address));
    return found == m_by_address.end() ? nullptr : &m_docs[found->second].entry;
}

SearchStats SearchCatalog::stats() const {
    std::size_t postings = 0;
    for (const Term& term : m_terms)
        postings += term.postings.size() - term.stale;
    return SearchStats{.entries = m_live,
                       .terms = m_terms.size(),
                       .grams = m_grams.size(),
                       .postings = postings,
                       .revision = m_revision};
}

SearchPage SearchCatalog::query_page(std::string_view query, std::size_t page_size,
                                     const std::optional<SearchCursor>& after) const {
    SearchPage page;
    std::vector<std::string> tokens = index_tokens(query);
    if (tokens.empty() || page_size == 0 || m_live == 0)
        return page;
    std::string key;
    for (const std::string& token : tokens)
        key += (key.empty() ? "" : " ") + token;
    const SearchCursor* cursor = after && after->query == key ? &*after : nullptr;

    Scratch& s = *m_scratch;
    s.fit(m_docs.size(), m_terms.size());
    if (++s.query_stamp == 0) {
        for (Scratch::DocState& d : s.docs)
            d.query = 0;
        s.query_stamp = 1;
    }
    s.touched.clear();

    std::vector<TermMatch> matches;
    std::size_t estimated_extra = 0;
    for (std::size_t ti = 0; ti < tokens.size(); ++ti) {
        const std::string& token = tokens[ti];
        std::size_t length = code_point_count(token);
        matches.clear();
        if (++s.term_round == 0) {
            std::fill(s.term_stamp.begin(), s.term_stamp.end(), 0);
            s.term_round = 1;
        }
        auto claim = [&](TermId id) {
            if (s.term_stamp[id] == s.term_round)
                return false;
            s.term_stamp[id] = s.term_round;
            s.term_count[id] = 0;
            return true;
        };

        // Exact and prefix matches are one walk of the sorted dictionary.
        for (auto it = m_dictionary.lower_bound(token); it != m_dictionary.end(); ++it) {
            if (!it->first.starts_with(token))
                break;
            TermId id = it->second;
            claim(id);
            double score = it->first.size() == token.size()
                               ? kExactScore
                               : kPrefixBase + 10.0 * static_cast<double>(length) / m_terms[id].length;
            matches.push_back({id, score, score == kExactScore ? SearchMatch::Exact : SearchMatch::Prefix});
        }

        int limit = typo_limit(length);
        if (limit > 0) {
            auto consider = [&](TermId id) {
                const Term& term = m_terms[id];
                if (std::abs(static_cast<int>(term.length) - static_cast<int>(length)) > limit)
                    return;
                int distance = bounded_edit_distance(token, term.text, limit);
                if (distance <= limit)
                    matches.push_back({id, kFuzzyScore - 10.0 * (distance - 1), SearchMatch::Fuzzy});
            };
            // Candidates share enough trigrams: one edit changes at most three
            // of them, a swap four. At least one shared gram per allowed edit
            // keeps long words from all matching on one common gram. Counts
            // live in term_count for claimed terms; terms already matched
            // above are marked with count UINT16_MAX.
            for (const TermMatch& m : matches)
                s.term_count[m.term] = UINT16_MAX;
            std::vector<std::string> grams = index_grams(token);
            int needed = std::max(limit, static_cast<int>(grams.size()) - 4 * limit);
            for (const std::string& gram : grams) {
                auto found = m_grams.find(gram);
                if (found == m_grams.end())
                    continue;
                for (TermId id : found->second) {
                    claim(id);
                    if (s.term_count[id] != UINT16_MAX && ++s.term_count[id] == needed)
                        consider(id);
                }
            }
            // Short words share too few trigrams to survive a swapped or
            // replaced letter; compare them with every word of about their
            // length that starts with the same letter.
            if (length <= 5) {
                std::string_view first(token.data(), first_code_point_bytes(token));
                for (auto it = m_dictionary.lower_bound(first); it != m_dictionary.end(); ++it) {
                    if (!it->first.starts_with(first))
                        break;
                    TermId id = it->second;
                    bool fresh = claim(id);
                    if (fresh || (s.term_count[id] != UINT16_MAX && s.term_count[id] < needed)) {
                        s.term_count[id] = UINT16_MAX;
                        consider(id);
                    }
                }
            }
        }

        if (++s.token_stamp == 0) {
            for (Scratch::DocState& d : s.docs)
                d.token = 0;
            s.token_stamp = 1;
        }
        // A one-word first page may stop early: with the words taken best
        // first, once a page of entries already outscores anything the
        // remaining words could give, the rest cannot reach the page. The
        // total is then an upper estimate.
        bool may_stop = tokens.size() == 1 && !cursor;
        if (may_stop)
            std::stable_sort(matches.begin(), matches.end(),
                             [](const TermMatch& a, const TermMatch& b) { return a.score > b.score; });
        std::size_t since_check = 0;
        for (std::size_t mi = 0; mi < matches.size(); ++mi) {
            const TermMatch& m = matches[mi];
            const Term& term = m_terms[m.term];
            // Without stale postings in the list, skip the version lookups.
            bool check_versions = term.stale != 0;
            for (const Posting& p : term.postings) {
                DocId doc = p.doc;
                if (check_versions && (p.tag >> 1) != m_versions[doc])
                    continue;
                Scratch::DocState& d = s.docs[doc];
                if (ti == 0) {
                    if (d.query != s.query_stamp) {
                        d = Scratch::DocState{.query = s.query_stamp};
                        s.touched.push_back(doc);
                    }
                } else if (d.query != s.query_stamp || d.matched != ti) {
                    continue;
                }
                double score = m.score + ((p.tag & 1) ? kTitleBonus : 0);
                if (d.token != s.token_stamp || score > d.token_best) {
                    d.token = s.token_stamp;
                    d.token_best = score;
                    d.token_kind = static_cast<std::uint8_t>(m.kind);
                }
            }
            since_check += term.postings.size();
            // Checking costs a pass over the entries seen so far, so check
            // only after reading at least half as many postings again.
            if (!may_stop || mi + 1 == matches.size() || 2 * since_check < s.touched.size() ||
                s.touched.size() < page_size)
                continue;
            since_check = 0;
            double reachable = matches[mi + 1].score + kTitleBonus;
            std::size_t beyond = 0;
            for (DocId doc : s.touched)
                if (s.docs[doc].token_best - kLengthPenalty * kMaxPenaltyBytes > reachable)
                    ++beyond;
            if (beyond < page_size)
                continue;
            for (std::size_t rest = mi + 1; rest < matches.size(); ++rest) {
                const Term& skipped = m_terms[matches[rest].term];
                estimated_extra += skipped.postings.size() - skipped.stale;
            }
            break;
        }
        // Entries that missed this word drop out: every word must match.
        std::size_t kept = 0;
        for (DocId doc : s.touched) {
            Scratch::DocState& d = s.docs[doc];
            if (d.token != s.token_stamp || d.matched != ti)
                continue;
            d.matched = static_cast<std::uint16_t>(ti + 1);
            d.total += d.token_best;
            d.worst = std::max(d.worst, d.token_kind);
            s.touched[kept++] = doc;
        }
        s.touched.resize(kept);
        if (kept == 0)
            return page;
    }

    struct Ranked {
        double score;
        DocId doc;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(s.touched.size());
    for (DocId doc : s.touched) {
        ranked.push_back({s.docs[doc].total - m_penalties[doc], doc});
    }
    page.total = ranked.size() + estimated_extra;
    page.total_is_estimate = estimated_extra > 0;
    auto before = [&](const Ranked& a, const Ranked& b) {
        if (a.score != b.score)
            return a.score > b.score;
        return m_docs[a.doc].entry.address < m_docs[b.doc].entry.address;
    };
    if (cursor) {
        std::erase_if(ranked, [&](const Ranked& r) {
            if (r.score != cursor->score)
                return r.score > cursor->score;
            return m_docs[r.doc].entry.address <= cursor->address;
        });
    }
    std::size_t take = std::min(page_size, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(take), ranked.end(),
                      before);
    for (std::size_t i = 0; i < take; ++i) {
        const SearchEntry& entry = m_docs[ranked[i].doc].entry;
        page.results.push_back(SearchResult{.address = entry.address,
                                            .group = entry.group,
                                            .title = entry.title,
                                            .subtitle = entry.subtitle,
                                            .kind_label = entry.kind_label,
                                            .score = ranked[i].score,
                                            .match = static_cast<SearchMatch>(s.docs[ranked[i].doc].worst)});
    }
    if (ranked.size() > take) {
        const Ranked& last = ranked[take - 1];
        page.next = SearchCursor{.query = key,
                                 .revision = m_revision,
                                 .score = last.score,
                                 .address = m_docs[last.doc].entry.address};
    }
    return page;
}

} // namespace kavu::ui
