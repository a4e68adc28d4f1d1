#include <ui/avatar.h>
#include <ui/text_renderer.h>

#include <glib.h>

#include <vector>

namespace kavu::ui {

namespace {

// The first character of a word, upper-cased, as UTF-8.
std::string first_letter_upper(std::string_view word) {
    const char* p = word.data();
    if (!g_utf8_validate(p, static_cast<gssize>(word.size()), nullptr))
        return std::string(1, word.front());
    gunichar c = g_utf8_get_char(p);
    c = g_unichar_toupper(c);
    char buf[8] = {};
    int n = g_unichar_to_utf8(c, buf);
    return std::string(buf, static_cast<size_t>(n));
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

std::string Avatar::initials_for_name(std::string_view name) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < name.size()) {
        while (i < name.size() && is_space(name[i]))
            ++i;
        size_t start = i;
        while (i < name.size() && !is_space(name[i]))
            ++i;
        if (i > start)
            words.push_back(name.substr(start, i - start));
    }
    if (words.empty())
        return {};
    std::string initials = first_letter_upper(words.front());
    if (words.size() > 1)
        initials += first_letter_upper(words.back());
    return initials;
}

void Avatar::draw_at(Scene& scene, Point origin, double size, std::string_view initials, Color color,
                     const Theme& theme, PresenceDot dot) {
    double r = size / 2;
    Point center{origin.x + r, origin.y + r};
    scene.fill_circle(center, r, color);
    if (!initials.empty()) {
        float text_size = static_cast<float>(size * 0.4);
        Color text =
            color::contrast_ratio(color, Color{1, 1, 1, 1}) >= color::contrast_ratio(color, Color{0, 0, 0, 1})
                ? Color{1, 1, 1, 1}
                : Color::rgb(0x111218);
        Size t = TextRenderer::measure_weighted(initials, text_size, FontWeight::SemiBold);
        TextRenderer::draw_text_weighted(scene, initials, {center.x - t.width / 2, center.y - t.height / 2},
                                         text_size, FontWeight::SemiBold, text);
    }
    if (dot == PresenceDot::None)
        return;
    Color dot_color = theme.on_surface_muted;
    switch (dot) {
    case PresenceDot::Online:
        dot_color = theme.success;
        break;
    case PresenceDot::Idle:
        dot_color = theme.warning;
        break;
    case PresenceDot::Busy:
        dot_color = theme.danger;
        break;
    default:
        break;
    }
    double dr = std::max(3.0, size * 0.16);
    Point dc{origin.x + size - dr * 0.8, origin.y + size - dr * 0.8};
    scene.fill_circle(dc, dr + 2, theme.surface);
    scene.fill_circle(dc, dr, dot_color);
}

} // namespace kavu::ui
