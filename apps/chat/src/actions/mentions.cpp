#include "actions/mentions.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace chat {

namespace {

struct Decoded {
    char32_t cp = 0;
    size_t len = 1;
};

// One code point of UTF-8; a malformed byte decodes as itself, one byte long.
Decoded decode_at(std::string_view s, size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80)
        return {b, 1};
    size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (len == 0 || i + len > s.size())
        return {b, 1};
    char32_t cp = b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return {b, 1};
        cp = (cp << 6) | (c & 0x3F);
    }
    return {cp, len};
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Simple case mapping for the scripts names are commonly written in.
char32_t to_lower(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 32;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (odd_upper ? (c % 2 == 1) : (c % 2 == 0))
            return c + 1;
        return c;
    }
    if (c == 0x130)
        return 'i'; // Turkish dotted capital I: shrinks from two bytes to one
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

std::string lowercase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        Decoded d = decode_at(s, i);
        if (d.len == 1 && d.cp >= 0x80)
            out += s[i]; // malformed byte kept as it is
        else
            encode(to_lower(d.cp), out);
        i += d.len;
    }
    return out;
}

bool is_white_space(char32_t c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Letters and digits in the Unicode sense, approximated without tables:
// every code point outside the known punctuation, symbol, space and emoji
// blocks counts, which errs towards "no mention" at a name's end.
bool is_letter_or_digit(char32_t c) {
    if (c < 0x80)
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (is_white_space(c))
        return false;
    if (c >= 0xA1 && c <= 0xBF)
        return c == 0xAA || c == 0xB2 || c == 0xB3 || c == 0xB5 || c == 0xB9 || c == 0xBA ||
               (c >= 0xBC && c <= 0xBE);
    if (c == 0xD7 || c == 0xF7)
        return false;
    if (c >= 0x2000 && c <= 0x2BFF) // punctuation, symbols, arrows, maths, shapes
        return false;
    if (c >= 0x3000 && c <= 0x303F) // CJK punctuation
        return false;
    if ((c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xFF00 && c <= 0xFF0F))
        return false;
    if (c >= 0x1F000 && c <= 0x1FAFF) // emoji and pictographs
        return false;
    return true;
}

// The code point that ends just before byte `i`.
char32_t previous_code_point(std::string_view s, size_t i) {
    size_t start = i - 1;
    while (start > 0 && i - start < 4 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80)
        --start;
    Decoded d = decode_at(s, start);
    return start + d.len == i ? d.cp : static_cast<unsigned char>(s[i - 1]);
}

} // namespace

std::vector<Mention> find_mentions(std::string_view text, const std::vector<MentionCandidate>& people) {
    std::vector<const MentionCandidate*> order;
    order.reserve(people.size());
    for (const auto& p : people)
        order.push_back(&p);
    std::stable_sort(order.begin(), order.end(), [](const MentionCandidate* a, const MentionCandidate* b) {
        return a->name.size() > b->name.size();
    });

    std::string lowered = lowercase(text);
    bool folded = lowered.size() == text.size();
    std::string_view haystack = folded ? std::string_view(lowered) : text;

    // Names as they are compared; nothing for a name that cannot take part.
    std::vector<std::optional<std::string>> names;
    names.reserve(order.size());
    for (const MentionCandidate* p : order) {
        if (p->name.empty()) {
            names.emplace_back();
            continue;
        }
        if (!folded) {
            names.emplace_back(p->name);
            continue;
        }
        std::string low = lowercase(p->name);
        if (low.size() != p->name.size())
            names.emplace_back();
        else
            names.emplace_back(std::move(low));
    }

    std::vector<Mention> out;
    size_t i = 0;
    while (i < haystack.size()) {
        size_t at = haystack.find('@', i);
        if (at == std::string_view::npos)
            break;
        i = at + 1;
        if (at > 0 && !is_white_space(previous_code_point(text, at)))
            continue;
        for (size_t k = 0; k < order.size(); ++k) {
            if (!names[k])
                continue;
            const std::string& name = *names[k];
            if (haystack.substr(at + 1, name.size()) != name)
                continue;
            size_t end = at + 1 + name.size();
            if (end < text.size() && is_letter_or_digit(decode_at(text, end).cp))
                continue;
            out.push_back(Mention{.user = order[k]->id,
                                  .start = at,
                                  .len = 1 + order[k]->name.size(),
                                  .is_agent = order[k]->agent});
            i = end;
            break;
        }
    }
    return out;
}

} // namespace chat
