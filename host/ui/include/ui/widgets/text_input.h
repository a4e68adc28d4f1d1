#pragma once

#include <ui/access_node.h>
#include <ui/app.h>
#include <ui/event.h>
#include <ui/geometry.h>
#include <ui/scene.h>
#include <ui/theme.h>
#include <ui/widgets/edit_buffer.h>

#include <optional>
#include <string>
#include <string_view>

namespace kavu::ui {

// What one event did to a text input.
struct TextInputResponse {
    bool consumed = false;
    bool submit = false;  // Enter without Shift: the owner sends or saves
    bool changed = false; // the text changed (take_dirty yields it)
};

// An assistive technology acting on the field: set its whole value, or
// insert at the caret.
enum class TextActionKind { SetValue, Insert };
struct TextAction {
    TextActionKind kind = TextActionKind::SetValue;
    std::string text;
};

// A multi-line text field: the editing model of EditBuffer drawn with pango
// layouts that wrap to the field's width, with a caret, selection, inline
// input-method composition, a placeholder and vertical scrolling inside its
// box. The owner places it (apply_layout_external), gives it focus, feeds it
// events and draws it each frame.
class TextInput {
public:
    // A field edited only on this machine.
    static TextInput local() { return TextInput(); }

    const std::string& text() const { return m_buffer.text(); }
    // Replaces the text (a draft loaded): not reported by take_dirty.
    void set_text(std::string_view text);
    void set_placeholder(std::string placeholder) { m_placeholder = std::move(placeholder); }
    const std::string& placeholder() const { return m_placeholder; }
    // Places the caret at a byte offset (snapped to a character boundary).
    void set_cursor_pos(std::size_t offset);
    std::size_t cursor_pos() const { return m_buffer.caret(); }
    // Inserts at the caret, replacing the selection (an emoji from a picker).
    void insert_at_cursor(std::string_view text);
    // The person whose typing this field carries.
    void set_local_author(std::string author) { m_author = std::move(author); }
    const std::string& local_author() const { return m_author; }
    // The selected byte range, or nothing without a selection.
    std::optional<TextRange> selection_range_public() const;

    void set_focused(bool focused) { m_focused = focused; }
    bool focused() const { return m_focused; }
    void set_text_size(float size) { m_text_size = size; }
    // Space between the box and the text.
    void set_padding(double x, double y) { m_pad_x = x, m_pad_y = y; }

    // The box the field occupies this frame, in window coordinates.
    void apply_layout_external(Rect rect);
    Rect rect() const { return m_rect; }
    // Height of the whole text wrapped to the current box, and the scroll.
    double content_height() const;
    double scroll_offset() const { return m_scroll; }
    // The caret in window coordinates (for the input method's window).
    Rect caret_rect() const;

    void draw(Scene& scene, const Theme& theme) const;
    TextInputResponse handle_event(const Event& event, EventContext& context);
    // Assistive set-value and insert; true when the text changed.
    bool perform_action(const TextAction& action);
    // The text, when it changed since it was set or last taken.
    std::optional<std::string> take_dirty();

    AccessNode accessibility(std::string id, std::string label) const;
    const EditBuffer& buffer() const { return m_buffer; }

private:
    TextInput() = default;

    Rect content_box() const;
    double wrap_width() const;
    std::size_t offset_at(Point window_point) const;
    Rect caret_rect_in_content(std::size_t offset) const;
    bool move_visual_line(int direction, Extend extend);
    bool move_visual_line_edge(bool to_end, Extend extend);
    void scroll_to_caret();
    void clamp_scroll();
    TextInputResponse handle_key(const KeyPress& key, EventContext& context);

    EditBuffer m_buffer;
    std::string m_placeholder;
    std::string m_author;
    std::string m_reported;
    Rect m_rect;
    double m_scroll = 0;
    double m_pad_x = 11;
    double m_pad_y = 8;
    float m_text_size = 15;
    bool m_focused = false;
    bool m_selecting = false;
    std::optional<double> m_goal_x; // kept across consecutive Up and Down
};

} // namespace kavu::ui
