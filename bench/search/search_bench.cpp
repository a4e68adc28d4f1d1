// Query latency of the search catalog over 100,000 entries shaped like a busy
// chat workspace: a Zipf-distributed vocabulary of 20,000 words, messages of
// 6 to 16 words, and conversations, categories and people among them.
#include <ui/search/search_catalog.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace kavu::ui;

namespace {

constexpr int kEntries = 100'000;
constexpr int kVocabulary = 20'000;
constexpr std::size_t kPageSize = 20;

struct Corpus {
    std::vector<std::string> words;
    std::vector<std::string> people;
    SearchCatalog catalog;
};

std::vector<std::string> make_words(std::mt19937& rng) {
    static const char* syllables[] = {"ka",  "vu",  "ri",  "lo",   "men", "sa",  "to",  "ne", "pi",
                                      "dor", "ar",  "el",  "ship", "ta",  "mo",  "lin", "qu", "ze",
                                      "bra", "ver", "on",  "is",   "cu",  "fen", "ro",  "di", "gal",
                                      "ux",  "per", "sti", "wa",   "hel", "no",  "tri"};
    constexpr int count = sizeof(syllables) / sizeof(syllables[0]);
    std::uniform_int_distribution<int> pick(0, count - 1);
    std::uniform_int_distribution<int> parts(2, 4);
    std::vector<std::string> words;
    std::vector<std::string> seen;
    while (static_cast<int>(words.size()) < kVocabulary) {
        std::string word;
        for (int n = parts(rng); n > 0; --n)
            word += syllables[pick(rng)];
        words.push_back(std::move(word));
        if (words.size() % 4096 == 0) {
            std::sort(words.begin(), words.end());
            words.erase(std::unique(words.begin(), words.end()), words.end());
        }
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    std::shuffle(words.begin(), words.end(), rng);
    return words;
}

Corpus& corpus() {
    static Corpus* built = [] {
        auto* c = new Corpus;
        std::mt19937 rng(20240611);
        c->words = make_words(rng);
        // Zipf weights: the rank-r word is used in proportion to 1 / r.
        std::vector<double> weights(c->words.size());
        for (std::size_t r = 0; r < weights.size(); ++r)
            weights[r] = 1.0 / static_cast<double>(r + 1);
        std::discrete_distribution<std::size_t> zipf(weights.begin(), weights.end());
        std::uniform_int_distribution<int> length(6, 16);
        for (int i = 0; i < 400; ++i)
            c->people.push_back(c->words[1000 + i] + " " + c->words[3000 + i]);
        for (int i = 0; i < kEntries; ++i) {
            SearchEntry e;
            if (i < 400) {
                e.address = "chat.person:u_" + std::to_string(i);
                e.group = "People";
                e.title = c->people[i];
                e.kind_label = "Person";
                e.search_text = c->people[i] + " u_" + std::to_string(i);
            } else if (i < 2400) {
                std::string name = c->words[zipf(rng)] + "-" + c->words[zipf(rng)];
                e.address = "chat.channel:c_" + std::to_string(i);
                e.group = "Conversations";
                e.title = "#" + name;
                e.search_text = name + " " + c->words[zipf(rng)] + " " + c->words[zipf(rng)] + " Acme";
            } else {
                std::string text;
                for (int n = length(rng); n > 0; --n)
                    text += (text.empty() ? "" : " ") + c->words[zipf(rng)];
                const std::string& author = c->people[static_cast<std::size_t>(i) % c->people.size()];
                e.address = "chat.message:m_" + std::to_string(i);
                e.group = "Messages";
                e.title = text.substr(0, 96);
                e.search_text = author + " " + text + " ";
            }
            c->catalog.upsert(std::move(e));
        }
        return c;
    }();
    return *built;
}

std::string with_swapped_letters(std::string word) {
    std::swap(word[2], word[3]);
    return word;
}

void run_query(benchmark::State& state, const std::string& query) {
    const SearchCatalog& catalog = corpus().catalog;
    std::size_t found = 0;
    for (auto _ : state) {
        SearchPage page = catalog.query_page(query, kPageSize);
        found = page.total;
        benchmark::DoNotOptimize(page);
    }
    state.counters["matches"] = static_cast<double>(found);
}

// Word ranks: 5 is among the most frequent words (in about 5% of the
// messages), 300 is common, 5000 rare.
void BM_ExactFrequentWord(benchmark::State& state) {
    run_query(state, corpus().words[5]);
}
void BM_ExactCommonWord(benchmark::State& state) {
    run_query(state, corpus().words[300]);
}
void BM_ExactRareWord(benchmark::State& state) {
    run_query(state, corpus().words[5000]);
}
void BM_PrefixThreeLetters(benchmark::State& state) {
    run_query(state, corpus().words[300].substr(0, 3));
}
void BM_PrefixOneLetter(benchmark::State& state) {
    run_query(state, corpus().words[300].substr(0, 1));
}
void BM_TypoCommonWord(benchmark::State& state) {
    run_query(state, with_swapped_letters(corpus().words[300]));
}
void BM_TypoRareWord(benchmark::State& state) {
    run_query(state, with_swapped_letters(corpus().words[5000]));
}
void BM_TwoWords(benchmark::State& state) {
    run_query(state, corpus().words[40] + " " + corpus().words[300]);
}
void BM_PersonName(benchmark::State& state) {
    run_query(state, corpus().people[17]);
}
void BM_NextPage(benchmark::State& state) {
    const SearchCatalog& catalog = corpus().catalog;
    const std::string& query = corpus().words[300];
    std::optional<SearchCursor> cursor = catalog.query_page(query, kPageSize).next;
    for (auto _ : state)
        benchmark::DoNotOptimize(catalog.query_page(query, kPageSize, cursor));
}

void BM_IndexRebuildUnchanged(benchmark::State& state) {
    // Re-upserting an unchanged navigation tree, as every refresh does.
    SearchCatalog& catalog = corpus().catalog;
    std::vector<SearchEntry> entries;
    for (int i = 2400; i < 12'400; ++i)
        entries.push_back(*catalog.find("chat.message:m_" + std::to_string(i)));
    for (auto _ : state)
        for (const SearchEntry& e : entries)
            catalog.upsert(e);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(entries.size()));
}

} // namespace

BENCHMARK(BM_ExactFrequentWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExactCommonWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExactRareWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefixThreeLetters)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefixOneLetter)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypoCommonWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypoRareWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwoWords)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PersonName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IndexRebuildUnchanged)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
