#pragma once

#include <ui/event.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

// Byte range [start, end) in the buffer's text.
struct TextRange {
    std::size_t start = 0;
    std::size_t end = 0;

    bool empty() const { return start == end; }
    bool operator==(const TextRange&) const = default;
};

enum class Extend { No, Yes };

// What a key did to the buffer.
struct KeyOutcome {
    bool handled = false;
    bool submit = false; // Enter without Shift: the owner sends the text
};

// The editing model of a text field, without drawing: UTF-8 text, a caret
// and a selection anchor (byte offsets, always on grapheme cluster
// boundaries), undo and redo, and the input method's uncommitted text.
// Grapheme clusters and words come from pango's log attributes, so an emoji
// with modifiers, a letter with combining marks or a CJK character moves and
// deletes as one.
class EditBuffer {
public:
    EditBuffer() = default;

    const std::string& text() const { return m_text; }
    // Replaces the text (a draft loaded, not an edit): clears the history and
    // the selection and puts the caret at the end. Invalid UTF-8 is repaired.
    void set_text(std::string_view text);

    std::size_t caret() const { return m_caret; }
    std::size_t anchor() const { return m_anchor; }
    TextRange selection() const;
    bool has_selection() const { return m_caret != m_anchor; }
    std::string selected_text() const;
    // Places the caret at the nearest cluster boundary at or before `offset`
    // (clamped to the text).
    void set_caret(std::size_t offset, Extend extend = Extend::No);
    void select(TextRange range);
    void select_all();
    void select_word_at(std::size_t offset);
    void select_line_at(std::size_t offset);

    // Typing and pasting: replaces the selection. Control characters other
    // than newline and tab are dropped, CR LF becomes LF.
    void insert(std::string_view text);
    void backspace(Extend by_word = Extend::No);
    void delete_forward(Extend by_word = Extend::No);

    void move_left(Extend extend);
    void move_right(Extend extend);
    void move_word_left(Extend extend);
    void move_word_right(Extend extend);
    void move_line_start(Extend extend);
    void move_line_end(Extend extend);
    // Up and down by logical line, keeping the column in clusters. A text
    // field that wraps overrides these with its layout's lines.
    void move_line_up(Extend extend);
    void move_line_down(Extend extend);

    bool undo();
    bool redo();
    bool can_undo() const { return !m_undo.empty(); }
    bool can_redo() const { return !m_redo.empty(); }

    void copy(Clipboard& clipboard) const;
    void cut(Clipboard& clipboard);
    void paste(Clipboard& clipboard);

    // The input method's composition, shown at the caret until committed.
    void set_preedit(std::string text, int cursor);
    const std::string& preedit() const { return m_preedit; }
    int preedit_cursor() const { return m_preedit_cursor; }
    // The text as shown: the composition spliced in at the caret.
    std::string display_text() const;

    // The keyboard bindings of a text field; Enter without Shift asks to submit.
    KeyOutcome handle_key(const KeyPress& key, Clipboard& clipboard);

    // Boundaries, exposed for the widget's pointer and line handling.
    std::size_t previous_boundary(std::size_t offset) const;
    std::size_t next_boundary(std::size_t offset) const;
    std::size_t snap_to_boundary(std::size_t offset) const;
    std::size_t line_start(std::size_t offset) const;
    std::size_t line_end(std::size_t offset) const;

private:
    enum class EditKind { None, Typing, Deleting, Other };
    struct Snapshot {
        std::string text;
        std::size_t caret = 0;
        std::size_t anchor = 0;
    };
    struct Attrs {
        std::vector<std::size_t> offsets; // byte offset of each boundary position
        std::vector<bool> cursor;
        std::vector<bool> word_start;
        std::vector<bool> word_end;
    };

    const Attrs& attrs() const;
    std::size_t position_index(std::size_t offset) const;
    void replace(TextRange range, std::string_view with, EditKind kind);
    void collapse_or_move(std::size_t target, Extend extend);
    std::size_t word_left_of(std::size_t offset) const;
    std::size_t word_right_of(std::size_t offset) const;
    bool step_history(std::vector<Snapshot>& from, std::vector<Snapshot>& to);

    std::string m_text;
    std::size_t m_caret = 0;
    std::size_t m_anchor = 0;
    std::string m_preedit;
    int m_preedit_cursor = 0;
    std::vector<Snapshot> m_undo;
    std::vector<Snapshot> m_redo;
    EditKind m_last_edit = EditKind::None;
    mutable std::optional<Attrs> m_attrs;
};

} // namespace kavu::ui
