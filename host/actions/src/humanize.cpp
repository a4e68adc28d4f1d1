#include <kavu_actions/humanize.h>

#include <nlohmann/json.hpp>

#include <vector>

namespace kavu::actions {

namespace {

bool is_upper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool is_lower(char c) {
    return c >= 'a' && c <= 'z';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_separator(char c) {
    return c == '_' || c == '-' || c == '.' || c == ' ';
}
char to_lower(char c) {
    return is_upper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}
char to_upper(char c) {
    return is_lower(c) ? static_cast<char>(c - 'a' + 'A') : c;
}

std::vector<std::string_view> split_words(std::string_view s) {
    std::vector<std::string_view> words;
    size_t start = 0;
    auto flush = [&](size_t end) {
        if (end > start)
            words.push_back(s.substr(start, end - start));
        start = end;
    };
    for (size_t i = 0; i < s.size(); i++) {
        char c = s[i];
        if (is_separator(c)) {
            flush(i);
            start = i + 1;
            continue;
        }
        if (i == start || !is_upper(c))
            continue;
        char prev = s[i - 1];
        bool next_lower = i + 1 < s.size() && is_lower(s[i + 1]);
        // "sendMessage" and "v2Frame" break before the capital; "HTTPServer"
        // breaks before the capital that starts the last word.
        if (is_lower(prev) || is_digit(prev) || (is_upper(prev) && next_lower))
            flush(i);
    }
    flush(s.size());
    return words;
}

bool is_acronym(std::string_view word) {
    if (word.size() < 2)
        return false;
    for (char c : word) {
        if (is_lower(c))
            return false;
    }
    return is_upper(word[0]);
}

} // namespace

std::string humanize_identifier(std::string_view identifier) {
    std::string out;
    for (auto word : split_words(identifier)) {
        bool first = out.empty();
        if (!first)
            out.push_back(' ');
        if (is_acronym(word)) {
            out.append(word);
            continue;
        }
        for (size_t i = 0; i < word.size(); i++)
            out.push_back(first && i == 0 ? to_upper(word[i]) : to_lower(word[i]));
    }
    return out;
}

std::string default_label(const nlohmann::json& payload) {
    std::string label;
    if (payload.is_object() && payload.size() == 1)
        label = humanize_identifier(payload.begin().key());
    else if (payload.is_string())
        label = humanize_identifier(payload.get_ref<const std::string&>());
    return label.empty() ? "Update" : label;
}

} // namespace kavu::actions
