#include <ui/text_renderer.h>

#include <vector>

namespace kavu::ui {

namespace {

constexpr std::string_view kEllipsis = "…";

// Byte offsets of every code point boundary after the first, ending with the
// text's length. Continuation bytes never start a boundary, so a cut never
// splits a character even in malformed text.
std::vector<size_t> code_point_ends(std::string_view text) {
    std::vector<size_t> ends;
    for (size_t i = 1; i <= text.size(); ++i) {
        if (i == text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            ends.push_back(i);
    }
    return ends;
}

} // namespace

std::string cut_text_to_width(std::string_view text, double max_width,
                              const std::function<double(std::string_view)>& measure) {
    if (max_width <= 0)
        return {};
    if (measure(text) <= max_width)
        return std::string(text);
    auto ends = code_point_ends(text);
    auto fits = [&](size_t count) {
        std::string candidate(text.substr(0, count == 0 ? 0 : ends[count - 1]));
        candidate += kEllipsis;
        return measure(candidate) <= max_width;
    };
    // Widths grow with the prefix, so the longest fitting prefix is found by
    // bisection over the number of code points.
    size_t lo = 0;
    size_t hi = ends.size();
    while (lo < hi) {
        size_t mid = (lo + hi + 1) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    std::string result(text.substr(0, lo == 0 ? 0 : ends[lo - 1]));
    result += kEllipsis;
    return result;
}

} // namespace kavu::ui
