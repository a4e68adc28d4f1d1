#include <ui/widgets/text_input.h>

#include "text/text_shaper.h"

#include <ui/text_renderer.h>

#include <glib.h>
#include <pango/pango.h>

#include <algorithm>
#include <memory>

namespace kavu::ui {

namespace {

constexpr double kCaretWidth = 1.5;
constexpr float kSelectionAlpha = 0.35f;
// A selected line break is shown as a sliver after the line's last glyph.
constexpr double kNewlineSelectionWidth = 5;

double from_pango(int units) {
    return static_cast<double>(units) / PANGO_SCALE;
}
int to_pango(double px) {
    return static_cast<int>(px * PANGO_SCALE);
}

// Byte offset of `index` advanced by `trailing` characters, as pango reports
// positions after a hit.
std::size_t advance_chars(const std::string& text, int index, int trailing) {
    const char* p = text.data() + std::clamp(index, 0, static_cast<int>(text.size()));
    const char* end = text.data() + text.size();
    for (int i = 0; i < trailing && p < end; ++i)
        p = g_utf8_next_char(p);
    return static_cast<std::size_t>(std::min(p, end) - text.data());
}

struct XRange {
    double x0;
    double x1;
    double y0;
    double y1;
};

// The visual rectangles covering bytes [start, end) of the layout, in layout
// coordinates, one or more per line.
std::vector<XRange> range_boxes(PangoLayout* layout, std::size_t start, std::size_t end, bool mark_newlines) {
    std::vector<XRange> boxes;
    std::unique_ptr<PangoLayoutIter, decltype(&pango_layout_iter_free)> iter(pango_layout_get_iter(layout),
                                                                             &pango_layout_iter_free);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter.get());
        int y0 = 0, y1 = 0;
        pango_layout_iter_get_line_yrange(iter.get(), &y0, &y1);
        auto line_start = static_cast<std::size_t>(line->start_index);
        auto line_end = line_start + static_cast<std::size_t>(line->length);
        std::size_t s = std::max(start, line_start);
        std::size_t e = std::min(end, line_end);
        if (s < e) {
            int* ranges = nullptr;
            int n = 0;
            pango_layout_line_get_x_ranges(line, static_cast<int>(s), static_cast<int>(e), &ranges, &n);
            for (int i = 0; i < n; ++i)
                boxes.push_back({from_pango(ranges[2 * i]), from_pango(ranges[2 * i + 1]), from_pango(y0),
                                 from_pango(y1)});
            g_free(ranges);
        }
        if (mark_newlines && start <= line_end && end > line_end) {
            PangoRectangle logical;
            pango_layout_line_get_extents(line, nullptr, &logical);
            double x = from_pango(logical.x + logical.width);
            boxes.push_back({x, x + kNewlineSelectionWidth, from_pango(y0), from_pango(y1)});
        }
    } while (pango_layout_iter_next_line(iter.get()));
    return boxes;
}

} // namespace

void TextInput::set_text(std::string_view text) {
    m_buffer.set_text(text);
    m_reported = m_buffer.text();
    m_goal_x.reset();
    scroll_to_caret();
}

void TextInput::set_cursor_pos(std::size_t offset) {
    m_buffer.set_caret(offset);
    m_goal_x.reset();
    scroll_to_caret();
}

void TextInput::insert_at_cursor(std::string_view text) {
    m_buffer.insert(text);
    m_goal_x.reset();
    scroll_to_caret();
}

std::optional<TextRange> TextInput::selection_range_public() const {
    if (!m_buffer.has_selection())
        return std::nullopt;
    return m_buffer.selection();
}

void TextInput::apply_layout_external(Rect rect) {
    if (!rect.is_finite())
        return;
    bool resized = rect.size() != m_rect.size();
    m_rect = rect;
    // A text loaded before the field had a size, or rewrapped to a new
    // width, scrolls so that the caret shows.
    if (resized)
        scroll_to_caret();
    else
        clamp_scroll();
}

Rect TextInput::content_box() const {
    return m_rect.inset(m_pad_x, m_pad_y);
}

double TextInput::wrap_width() const {
    return std::max(1.0, m_rect.width() - 2 * m_pad_x);
}

namespace {
TextStyle field_style(float size, double width) {
    return TextStyle{.size = size, .weight = FontWeight::Regular, .wrap = Wrap::Word, .max_width = width};
}
} // namespace

double TextInput::content_height() const {
    return TextShaper::instance()
        .shape(m_buffer.display_text(), field_style(m_text_size, wrap_width()))
        ->size.height;
}

Rect TextInput::caret_rect_in_content(std::size_t offset) const {
    auto shaped = TextShaper::instance().shape(m_buffer.text(), field_style(m_text_size, wrap_width()));
    PangoRectangle strong;
    pango_layout_get_cursor_pos(shaped->layout.get(), static_cast<int>(offset), &strong, nullptr);
    return Rect::from_xywh(from_pango(strong.x), from_pango(strong.y), kCaretWidth,
                           from_pango(strong.height));
}

Rect TextInput::caret_rect() const {
    Rect box = content_box();
    return caret_rect_in_content(m_buffer.caret()).translated({box.x0, box.y0 - m_scroll});
}

std::size_t TextInput::offset_at(Point window_point) const {
    Rect box = content_box();
    auto shaped = TextShaper::instance().shape(m_buffer.text(), field_style(m_text_size, wrap_width()));
    int index = 0, trailing = 0;
    pango_layout_xy_to_index(shaped->layout.get(), to_pango(window_point.x - box.x0),
                             to_pango(window_point.y - box.y0 + m_scroll), &index, &trailing);
    return m_buffer.snap_to_boundary(advance_chars(m_buffer.text(), index, trailing));
}

void TextInput::clamp_scroll() {
    double overflow = std::max(0.0, content_height() - content_box().height());
    m_scroll = std::clamp(m_scroll, 0.0, overflow);
}

void TextInput::scroll_to_caret() {
    if (m_rect.is_empty())
        return;
    Rect caret = caret_rect_in_content(m_buffer.caret());
    double view = content_box().height();
    if (caret.y0 < m_scroll)
        m_scroll = caret.y0;
    else if (caret.y1 > m_scroll + view)
        m_scroll = caret.y1 - view;
    clamp_scroll();
}

bool TextInput::move_visual_line(int direction, Extend extend) {
    auto shaped = TextShaper::instance().shape(m_buffer.text(), field_style(m_text_size, wrap_width()));
    PangoLayout* layout = shaped->layout.get();
    int line = 0, x = 0;
    pango_layout_index_to_line_x(layout, static_cast<int>(m_buffer.caret()), FALSE, &line, &x);
    double goal = m_goal_x.value_or(from_pango(x));
    int target = line + direction;
    std::size_t offset;
    if (target < 0) {
        offset = 0;
    } else if (target >= pango_layout_get_line_count(layout)) {
        offset = m_buffer.text().size();
    } else {
        int index = 0, trailing = 0;
        pango_layout_line_x_to_index(pango_layout_get_line_readonly(layout, target), to_pango(goal), &index,
                                     &trailing);
        offset = advance_chars(m_buffer.text(), index, trailing);
    }
    m_buffer.set_caret(offset, extend);
    m_goal_x = goal;
    return true;
}

bool TextInput::move_visual_line_edge(bool to_end, Extend extend) {
    auto shaped = TextShaper::instance().shape(m_buffer.text(), field_style(m_text_size, wrap_width()));
    PangoLayout* layout = shaped->layout.get();
    int line_index = 0, x = 0;
    pango_layout_index_to_line_x(layout, static_cast<int>(m_buffer.caret()), FALSE, &line_index, &x);
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, line_index);
    if (!line)
        return false;
    auto start = static_cast<std::size_t>(line->start_index);
    std::size_t end = start + static_cast<std::size_t>(line->length);
    const std::string& text = m_buffer.text();
    // A line broken by wrapping ends where the next begins; stop before the
    // space it broke at so the caret stays on this line.
    if (to_end && end < text.size() && text[end] != '\n' && end > start)
        end = m_buffer.previous_boundary(end);
    m_buffer.set_caret(to_end ? end : start, extend);
    return true;
}

TextInputResponse TextInput::handle_key(const KeyPress& key, EventContext& context) {
    const uint32_t m = key.modifiers & (mods::kShift | mods::kCtrl | mods::kAlt | mods::kSuper);
    const Extend extend = (m & mods::kShift) ? Extend::Yes : Extend::No;
    const bool plain = (m & ~mods::kShift) == 0;
    TextInputResponse response;
    if (plain && (key.key == keys::kUp || key.key == keys::kDown)) {
        response.consumed = move_visual_line(key.key == keys::kUp ? -1 : 1, extend);
        scroll_to_caret();
        return response;
    }
    m_goal_x.reset();
    if (plain && (key.key == keys::kHome || key.key == keys::kEnd)) {
        response.consumed = move_visual_line_edge(key.key == keys::kEnd, extend);
    } else {
        std::string before = m_buffer.text();
        KeyOutcome outcome = m_buffer.handle_key(key, context.services.clipboard());
        response.consumed = outcome.handled;
        response.submit = outcome.submit;
        response.changed = m_buffer.text() != before;
    }
    scroll_to_caret();
    return response;
}

TextInputResponse TextInput::handle_event(const Event& event, EventContext& context) {
    TextInputResponse response;
    if (const auto* press = std::get_if<PointerPress>(&event)) {
        if (press->button != PointerButton::Primary || !m_rect.contains(press->pos))
            return response;
        m_focused = true;
        m_goal_x.reset();
        std::size_t at = offset_at(press->pos);
        if (press->clicks >= 3) {
            m_buffer.select_line_at(at);
        } else if (press->clicks == 2) {
            m_buffer.select_word_at(at);
        } else {
            m_buffer.set_caret(at, (press->modifiers & mods::kShift) ? Extend::Yes : Extend::No);
            m_selecting = true;
        }
        response.consumed = true;
    } else if (const auto* move = std::get_if<PointerMove>(&event)) {
        if (m_rect.contains(move->pos))
            context.services.set_cursor(CursorShape::Text);
        if (!m_selecting)
            return response;
        m_buffer.set_caret(offset_at(move->pos), Extend::Yes);
        scroll_to_caret();
        response.consumed = true;
    } else if (std::holds_alternative<PointerRelease>(event)) {
        response.consumed = m_selecting;
        m_selecting = false;
    } else if (const auto* wheel = std::get_if<Wheel>(&event)) {
        if (!m_rect.contains(wheel->pos) || content_height() <= content_box().height())
            return response;
        m_scroll += wheel->dy;
        clamp_scroll();
        response.consumed = true;
    } else if (const auto* key = std::get_if<KeyPress>(&event)) {
        if (!m_focused)
            return response;
        response = handle_key(*key, context);
    } else if (const auto* typed = std::get_if<TextEntered>(&event)) {
        if (!m_focused)
            return response;
        std::string before = m_buffer.text();
        m_buffer.set_preedit({}, 0);
        m_buffer.insert(typed->text);
        m_goal_x.reset();
        scroll_to_caret();
        response.consumed = true;
        response.changed = m_buffer.text() != before;
    } else if (const auto* ime = std::get_if<ImeComposition>(&event)) {
        if (!m_focused)
            return response;
        m_buffer.set_preedit(ime->preedit, ime->cursor);
        response.consumed = true;
    } else if (const auto* focus = std::get_if<FocusChange>(&event)) {
        if (!focus->focused) {
            m_selecting = false;
            m_buffer.set_preedit({}, 0);
        }
    }
    if (m_focused && response.consumed)
        context.services.set_text_input_area(caret_rect());
    return response;
}

bool TextInput::perform_action(const TextAction& action) {
    std::string before = m_buffer.text();
    if (action.kind == TextActionKind::SetValue)
        m_buffer.select_all();
    if (action.text.empty() && action.kind == TextActionKind::SetValue)
        m_buffer.backspace();
    else
        m_buffer.insert(action.text);
    m_goal_x.reset();
    scroll_to_caret();
    return m_buffer.text() != before;
}

std::optional<std::string> TextInput::take_dirty() {
    if (m_buffer.text() == m_reported)
        return std::nullopt;
    m_reported = m_buffer.text();
    return m_reported;
}

void TextInput::draw(Scene& scene, const Theme& theme) const {
    if (m_rect.is_empty())
        return;
    Rect box = content_box();
    TextStyle style = field_style(m_text_size, wrap_width());
    Point origin{box.x0, box.y0 - m_scroll};
    ScopedClip clip(scene, m_rect);
    std::string shown = m_buffer.display_text();
    if (shown.empty()) {
        if (!m_placeholder.empty())
            TextRenderer::draw_styled(scene, m_placeholder, origin, style, theme.on_surface_muted);
    } else {
        auto shaped = TextShaper::instance().shape(shown, style);
        PangoLayout* layout = shaped->layout.get();
        if (m_buffer.has_selection() && m_buffer.preedit().empty()) {
            TextRange sel = m_buffer.selection();
            Color fill = theme.accent.with_alpha(kSelectionAlpha);
            for (const XRange& r : range_boxes(layout, sel.start, sel.end, true))
                scene.fill_rect({origin.x + r.x0, origin.y + r.y0, origin.x + r.x1, origin.y + r.y1}, fill);
        }
        scene.text(shaped, origin, theme.on_surface);
        if (!m_buffer.preedit().empty()) {
            std::size_t start = m_buffer.caret();
            for (const XRange& r : range_boxes(layout, start, start + m_buffer.preedit().size(), false))
                scene.line({origin.x + r.x0, origin.y + r.y1 - 1}, {origin.x + r.x1, origin.y + r.y1 - 1},
                           theme.on_surface, 1);
        }
    }
    if (m_focused) {
        std::size_t caret = m_buffer.caret() + static_cast<std::size_t>(m_buffer.preedit_cursor());
        auto shaped = TextShaper::instance().shape(shown, style);
        PangoRectangle strong;
        pango_layout_get_cursor_pos(shaped->layout.get(), static_cast<int>(caret), &strong, nullptr);
        scene.fill_rect(Rect::from_xywh(origin.x + from_pango(strong.x), origin.y + from_pango(strong.y),
                                        kCaretWidth, from_pango(strong.height)),
                        theme.on_surface);
    }
}

AccessNode TextInput::accessibility(std::string id, std::string label) const {
    AccessNode node;
    node.id = std::move(id);
    node.label = std::move(label);
    node.description = m_buffer.text().empty() ? m_placeholder : m_buffer.text();
    node.bounds = m_rect;
    node.kind = AccessKind::MultilineTextField;
    node.state = m_focused;
    return node;
}

} // namespace kavu::ui
