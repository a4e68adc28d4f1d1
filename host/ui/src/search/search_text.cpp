#include <ui/search/search_text.h>

#include <glib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kavu::ui {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[i], advancing i. Malformed sequences give
// U+FFFD and consume one byte, so decoding always makes progress.
char32_t decode_utf8(std::string_view text, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= text.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        unsigned char c = byte(i + k);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return cp;
}

void append_utf8(std::string& out, char32_t cp) {
    char buf[6];
    int n = g_unichar_to_utf8(static_cast<gunichar>(cp), buf);
    out.append(buf, static_cast<std::size_t>(n));
}

std::vector<char32_t> code_points(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        out.push_back(decode_utf8(text, i));
    return out;
}

// Letters that carry no combining mark in Unicode but that a person typing
// on a plain keyboard writes without the stroke.
std::string_view fold_special(char32_t c) {
    switch (c) {
    case U'ß':
        return "ss";
    case U'ø':
        return "o";
    case U'ł':
        return "l";
    case U'đ':
        return "d";
    case U'æ':
        return "ae";
    case U'œ':
        return "oe";
    case U'ı':
        return "i";
    case U'þ':
        return "th";
    default:
        return {};
    }
}

// Appends the folded form of one non-ASCII code point; returns false when it
// is a separator. Combining marks vanish without splitting the word.
bool fold_non_ascii(char32_t c, std::string& out, bool& mark_only) {
    mark_only = false;
    if (c == kReplacement)
        return false;
    gunichar decomposed[G_UNICHAR_MAX_DECOMPOSITION_LENGTH];
    gsize n = g_unichar_fully_decompose(static_cast<gunichar>(c), TRUE, decomposed,
                                        G_UNICHAR_MAX_DECOMPOSITION_LENGTH);
    bool any = false;
    bool all_marks = true;
    for (gsize k = 0; k < n; ++k) {
        gunichar d = decomposed[k];
        if (g_unichar_ismark(d))
            continue;
        all_marks = false;
        d = g_unichar_tolower(d);
        if (auto special = fold_special(d); !special.empty()) {
            out.append(special);
            any = true;
        } else if (d < 0x80 ? g_ascii_isalnum(static_cast<gchar>(d)) : g_unichar_isalnum(d)) {
            append_utf8(out, d);
            any = true;
        } else {
            return any;
        }
    }
    mark_only = all_marks && n > 0;
    return any;
}

bool is_unspaced_script(char32_t c) {
    switch (g_unichar_get_script(static_cast<gunichar>(c))) {
    case G_UNICODE_SCRIPT_HAN:
    case G_UNICODE_SCRIPT_HIRAGANA:
    case G_UNICODE_SCRIPT_KATAKANA:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string normalize_search_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool pending_space = false;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++i;
            if (g_ascii_isalnum(static_cast<gchar>(b))) {
                if (pending_space && !out.empty())
                    out.push_back(' ');
                pending_space = false;
                out.push_back(g_ascii_tolower(static_cast<gchar>(b)));
            } else {
                pending_space = true;
            }
            continue;
        }
        char32_t c = decode_utf8(text, i);
        std::string folded;
        bool mark_only = false;
        if (fold_non_ascii(c, folded, mark_only)) {
            if (pending_space && !out.empty())
                out.push_back(' ');
            pending_space = false;
            out += folded;
        } else if (!mark_only) {
            pending_space = true;
        }
    }
    return out;
}

std::vector<std::string> index_tokens(std::string_view text) {
    std::string normalized = normalize_search_text(text);
    std::vector<std::string> tokens;
    auto add = [&](std::string token) {
        if (!token.empty() && std::find(tokens.begin(), tokens.end(), token) == tokens.end())
            tokens.push_back(std::move(token));
    };
    std::string current;
    std::string_view view = normalized;
    for (std::size_t i = 0; i < view.size();) {
        if (view[i] == ' ') {
            add(std::move(current));
            current.clear();
            ++i;
            continue;
        }
        std::size_t start = i;
        char32_t c = decode_utf8(view, i);
        if (c >= 0x80 && is_unspaced_script(c)) {
            add(std::move(current));
            current.clear();
            add(std::string(view.substr(start, i - start)));
        } else {
            current.append(view.substr(start, i - start));
        }
    }
    add(std::move(current));
    return tokens;
}

std::vector<std::string> index_grams(std::string_view token) {
    std::vector<std::string> grams;
    if (token.empty())
        return grams;
    // Byte offsets of each code point of " token ", plus the end.
    std::string padded;
    padded.reserve(token.size() + 2);
    padded.push_back(' ');
    padded.append(token);
    padded.push_back(' ');
    std::vector<std::size_t> starts;
    std::string_view view = padded;
    for (std::size_t i = 0; i < view.size();) {
        starts.push_back(i);
        decode_utf8(view, i);
    }
    starts.push_back(view.size());
    std::size_t count = starts.size() - 1;
    if (count < 3)
        return grams;
    for (std::size_t k = 0; k + 3 <= count; ++k) {
        std::string gram(view.substr(starts[k], starts[k + 3] - starts[k]));
        if (std::find(grams.begin(), grams.end(), gram) == grams.end())
            grams.push_back(std::move(gram));
    }
    return grams;
}

int bounded_edit_distance(std::string_view a_text, std::string_view b_text, int limit) {
    if (a_text == b_text)
        return 0;
    // Words are short: decode into stack buffers and fall back to the heap
    // only for long ones, since typo matching calls this thousands of times
    // per query.
    constexpr std::size_t kInline = 48;
    char32_t a_inline[kInline], b_inline[kInline];
    int row_inline[3 * (kInline + 1)];
    std::vector<char32_t> a_heap, b_heap;
    std::vector<int> row_heap;
    auto decode = [](std::string_view text, char32_t* inline_buf, std::vector<char32_t>& heap) {
        if (text.size() > kInline) {
            heap = code_points(text);
            return std::pair<const char32_t*, int>(heap.data(), static_cast<int>(heap.size()));
        }
        int n = 0;
        for (std::size_t i = 0; i < text.size();)
            inline_buf[n++] = decode_utf8(text, i);
        return std::pair<const char32_t*, int>(inline_buf, n);
    };
    auto [a, n] = decode(a_text, a_inline, a_heap);
    auto [b, m] = decode(b_text, b_inline, b_heap);
    if (std::abs(n - m) > limit)
        return limit + 1;
    int* rows = row_inline;
    if (static_cast<std::size_t>(m) > kInline) {
        row_heap.resize(3 * (static_cast<std::size_t>(m) + 1));
        rows = row_heap.data();
    }
    // Three rolling rows of the optimal-string-alignment table.
    int* before = rows;
    int* previous = rows + (m + 1);
    int* current = rows + 2 * (m + 1);
    for (int j = 0; j <= m; ++j)
        previous[j] = j;
    for (int i = 1; i <= n; ++i) {
        current[0] = i;
        int row_min = current[0];
        for (int j = 1; j <= m; ++j) {
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int best = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, before[j - 2] + 1);
            current[j] = best;
            row_min = std::min(row_min, best);
        }
        if (row_min > limit)
            return limit + 1;
        int* recycled = before;
        before = previous;
        previous = current;
        current = recycled;
    }
    return std::min(previous[m], limit + 1);
}

} // namespace kavu::ui
