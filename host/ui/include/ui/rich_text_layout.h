#pragma once

#include <ui/color.h>
#include <ui/geometry.h>
#include <ui/text_renderer.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kavu::ui {

// One styled run of a paragraph. Runs without a colour take the colour the
// paragraph is drawn with; a background marks spans such as mentions.
struct TextSpan {
    std::string text;
    bool bold = false;
    std::optional<Color> color;
    std::optional<Color> background;
    bool operator==(const TextSpan&) const = default;
};

// A paragraph of styled runs, shaped and wrapped to a width. Shaping the same
// runs, size and width again returns the cached layout.
class RichTextLayout {
public:
    RichTextLayout() = default;

    static RichTextLayout shape(std::span<const TextSpan> spans, float size, double max_width);

    double width() const { return m_size.width; }
    double height() const { return m_size.height; }
    Size size() const { return m_size; }
    bool is_empty() const { return !m_shaped; }
    const std::shared_ptr<const ShapedText>& shaped() const { return m_shaped; }

private:
    std::shared_ptr<const ShapedText> m_shaped;
    Size m_size;
};

} // namespace kavu::ui
