#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

// Folds case, removes accents and turns every run of characters that are
// neither letters nor digits into one space, with no space at either end.
// "Café  Zürich—2024!" becomes "cafe zurich 2024". Invalid UTF-8 bytes are
// treated as separators, so any input gives valid UTF-8.
std::string normalize_search_text(std::string_view text);

// The distinct words of a text, normalised, in order of first appearance.
// Han, kana and other scripts written without spaces give one token per
// character, so a query for part of such a run still finds it.
std::vector<std::string> index_tokens(std::string_view text);

// The character trigrams of one normalised token, padded with a space at each
// end (" ab", "abc", "bc "), distinct, in order. A token of one character
// gives one gram. The catalog matches typos by counting shared grams.
std::vector<std::string> index_grams(std::string_view token);

// Edit distance with adjacent transpositions (optimal string alignment),
// counted in code points, or limit + 1 when the distance exceeds limit.
int bounded_edit_distance(std::string_view a, std::string_view b, int limit);

} // namespace kavu::ui
