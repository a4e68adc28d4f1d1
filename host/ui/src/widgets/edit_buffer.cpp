#include <ui/widgets/edit_buffer.h>

#include <glib.h>
#include <pango/pango.h>

#include <algorithm>
#include <memory>

namespace kavu::ui {

namespace {

constexpr std::size_t kUndoDepth = 200;

// Valid UTF-8 with newlines and tabs as the only control characters; CR LF
// and lone CR become LF.
std::string clean_text(std::string_view text) {
    std::unique_ptr<gchar, decltype(&g_free)> valid(
        g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())), &g_free);
    std::string out;
    std::string_view v(valid.get());
    out.reserve(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        char c = v[i];
        if (c == '\r') {
            out.push_back('\n');
            if (i + 1 < v.size() && v[i + 1] == '\n')
                ++i;
        } else if (c == '\n' || c == '\t' || static_cast<unsigned char>(c) >= 0x20) {
            if (c != 0x7F)
                out.push_back(c);
        }
    }
    return out;
}

bool has_whitespace(std::string_view text) {
    return text.find_first_of(" \t\n") != std::string_view::npos;
}

} // namespace

void EditBuffer::set_text(std::string_view text) {
    m_text = clean_text(text);
    m_attrs.reset();
    m_caret = m_anchor = m_text.size();
    m_undo.clear();
    m_redo.clear();
    m_last_edit = EditKind::None;
    m_preedit.clear();
    m_preedit_cursor = 0;
}

const EditBuffer::Attrs& EditBuffer::attrs() const {
    if (m_attrs)
        return *m_attrs;
    Attrs a;
    glong chars = g_utf8_strlen(m_text.data(), static_cast<gssize>(m_text.size()));
    std::vector<PangoLogAttr> log(static_cast<std::size_t>(chars) + 1);
    pango_get_log_attrs(m_text.data(), static_cast<int>(m_text.size()), -1, pango_language_get_default(),
                        log.data(), static_cast<int>(log.size()));
    a.offsets.reserve(log.size());
    const char* p = m_text.data();
    for (glong i = 0; i <= chars; ++i) {
        a.offsets.push_back(static_cast<std::size_t>(p - m_text.data()));
        a.cursor.push_back(log[i].is_cursor_position || i == 0 || i == chars);
        a.word_start.push_back(log[i].is_word_start);
        a.word_end.push_back(log[i].is_word_end);
        if (i < chars)
            p = g_utf8_next_char(p);
    }
    m_attrs = std::move(a);
    return *m_attrs;
}

// The index of the last position whose offset is at or before `offset`.
std::size_t EditBuffer::position_index(std::size_t offset) const {
    const Attrs& a = attrs();
    auto it = std::upper_bound(a.offsets.begin(), a.offsets.end(), offset);
    return it == a.offsets.begin() ? 0 : static_cast<std::size_t>(it - a.offsets.begin()) - 1;
}

std::size_t EditBuffer::snap_to_boundary(std::size_t offset) const {
    const Attrs& a = attrs();
    std::size_t i = position_index(std::min(offset, m_text.size()));
    while (i > 0 && !a.cursor[i])
        --i;
    return a.offsets[i];
}

std::size_t EditBuffer::previous_boundary(std::size_t offset) const {
    const Attrs& a = attrs();
    std::size_t i = position_index(offset);
    if (i == 0)
        return 0;
    do
        --i;
    while (i > 0 && !a.cursor[i]);
    return a.offsets[i];
}

std::size_t EditBuffer::next_boundary(std::size_t offset) const {
    const Attrs& a = attrs();
    std::size_t i = position_index(offset);
    std::size_t last = a.offsets.size() - 1;
    if (i >= last)
        return m_text.size();
    do
        ++i;
    while (i < last && !a.cursor[i]);
    return a.offsets[i];
}

std::size_t EditBuffer::word_left_of(std::size_t offset) const {
    const Attrs& a = attrs();
    std::size_t i = position_index(offset);
    while (i > 0) {
        --i;
        if (a.word_start[i])
            return a.offsets[i];
    }
    return 0;
}

std::size_t EditBuffer::word_right_of(std::size_t offset) const {
    const Attrs& a = attrs();
    std::size_t i = position_index(offset);
    std::size_t last = a.offsets.size() - 1;
    while (i < last) {
        ++i;
        if (a.word_end[i])
            return a.offsets[i];
    }
    return m_text.size();
}

std::size_t EditBuffer::line_start(std::size_t offset) const {
    offset = std::min(offset, m_text.size());
    std::size_t nl = offset == 0 ? std::string::npos : m_text.rfind('\n', offset - 1);
    return nl == std::string::npos ? 0 : nl + 1;
}

std::size_t EditBuffer::line_end(std::size_t offset) const {
    std::size_t nl = m_text.find('\n', std::min(offset, m_text.size()));
    return nl == std::string::npos ? m_text.size() : nl;
}

TextRange EditBuffer::selection() const {
    return {std::min(m_caret, m_anchor), std::max(m_caret, m_anchor)};
}

std::string EditBuffer::selected_text() const {
    TextRange r = selection();
    return m_text.substr(r.start, r.end - r.start);
}

void EditBuffer::set_caret(std::size_t offset, Extend extend) {
    m_caret = snap_to_boundary(offset);
    if (extend == Extend::No)
        m_anchor = m_caret;
    m_last_edit = EditKind::None;
}

void EditBuffer::select(TextRange range) {
    m_anchor = snap_to_boundary(range.start);
    m_caret = snap_to_boundary(range.end);
    m_last_edit = EditKind::None;
}

void EditBuffer::select_all() {
    select({0, m_text.size()});
}

void EditBuffer::select_word_at(std::size_t offset) {
    const Attrs& a = attrs();
    std::size_t i = position_index(snap_to_boundary(offset));
    std::size_t start = i;
    while (start > 0 && !a.word_start[start])
        --start;
    std::size_t end = i;
    std::size_t last = a.offsets.size() - 1;
    while (end < last && !a.word_end[end])
        ++end;
    // Between words (on spaces or punctuation) select the one cluster.
    if (!a.word_start[start] || end == i) {
        std::size_t at = a.offsets[i];
        select({at, next_boundary(at)});
        return;
    }
    select({a.offsets[start], a.offsets[end]});
}

void EditBuffer::select_line_at(std::size_t offset) {
    std::size_t end = line_end(offset);
    select({line_start(offset), end < m_text.size() ? end + 1 : end});
}

void EditBuffer::replace(TextRange range, std::string_view with, EditKind kind) {
    if (range.empty() && with.empty())
        return;
    bool coalesce = kind != EditKind::Other && kind == m_last_edit && !has_selection();
    if (!coalesce) {
        m_undo.push_back(Snapshot{m_text, m_caret, m_anchor});
        if (m_undo.size() > kUndoDepth)
            m_undo.erase(m_undo.begin());
    }
    m_redo.clear();
    m_text.replace(range.start, range.end - range.start, with);
    m_attrs.reset();
    m_caret = m_anchor = range.start + with.size();
    // A word typed after a space is its own undo step.
    m_last_edit = kind == EditKind::Typing && has_whitespace(with) ? EditKind::None : kind;
}

void EditBuffer::insert(std::string_view text) {
    std::string clean = clean_text(text);
    if (clean.empty() && !has_selection())
        return;
    replace(selection(), clean, clean.size() <= 4 ? EditKind::Typing : EditKind::Other);
    m_caret = m_anchor = snap_to_boundary(m_caret);
}

void EditBuffer::backspace(Extend by_word) {
    if (has_selection()) {
        replace(selection(), {}, EditKind::Other);
        return;
    }
    std::size_t from = by_word == Extend::Yes ? word_left_of(m_caret) : previous_boundary(m_caret);
    replace({from, m_caret}, {}, by_word == Extend::Yes ? EditKind::Other : EditKind::Deleting);
}

void EditBuffer::delete_forward(Extend by_word) {
    if (has_selection()) {
        replace(selection(), {}, EditKind::Other);
        return;
    }
    std::size_t to = by_word == Extend::Yes ? word_right_of(m_caret) : next_boundary(m_caret);
    replace({m_caret, to}, {}, by_word == Extend::Yes ? EditKind::Other : EditKind::Deleting);
}

void EditBuffer::collapse_or_move(std::size_t target, Extend extend) {
    m_caret = target;
    if (extend == Extend::No)
        m_anchor = m_caret;
    m_last_edit = EditKind::None;
}

void EditBuffer::move_left(Extend extend) {
    if (extend == Extend::No && has_selection())
        return collapse_or_move(selection().start, extend);
    collapse_or_move(previous_boundary(m_caret), extend);
}

void EditBuffer::move_right(Extend extend) {
    if (extend == Extend::No && has_selection())
        return collapse_or_move(selection().end, extend);
    collapse_or_move(next_boundary(m_caret), extend);
}

void EditBuffer::move_word_left(Extend extend) {
    collapse_or_move(word_left_of(m_caret), extend);
}
void EditBuffer::move_word_right(Extend extend) {
    collapse_or_move(word_right_of(m_caret), extend);
}
void EditBuffer::move_line_start(Extend extend) {
    collapse_or_move(line_start(m_caret), extend);
}
void EditBuffer::move_line_end(Extend extend) {
    collapse_or_move(line_end(m_caret), extend);
}

void EditBuffer::move_line_up(Extend extend) {
    std::size_t start = line_start(m_caret);
    if (start == 0)
        return collapse_or_move(0, extend);
    std::size_t column = position_index(m_caret) - position_index(start);
    std::size_t prev_start = line_start(start - 1);
    std::size_t target = std::min(attrs().offsets[position_index(prev_start) + column], start - 1);
    collapse_or_move(snap_to_boundary(target), extend);
}

void EditBuffer::move_line_down(Extend extend) {
    std::size_t end = line_end(m_caret);
    if (end == m_text.size())
        return collapse_or_move(end, extend);
    std::size_t column = position_index(m_caret) - position_index(line_start(m_caret));
    std::size_t next_start = end + 1;
    std::size_t next_end = line_end(next_start);
    std::size_t index = std::min(position_index(next_start) + column, position_index(next_end));
    collapse_or_move(snap_to_boundary(attrs().offsets[index]), extend);
}

bool EditBuffer::undo() {
    return step_history(m_undo, m_redo);
}

bool EditBuffer::redo() {
    return step_history(m_redo, m_undo);
}

// Restores the newest snapshot of `from`, saving the current state on `to`.
bool EditBuffer::step_history(std::vector<Snapshot>& from, std::vector<Snapshot>& to) {
    if (from.empty())
        return false;
    to.push_back(Snapshot{m_text, m_caret, m_anchor});
    Snapshot s = std::move(from.back());
    from.pop_back();
    m_text = std::move(s.text);
    m_caret = s.caret;
    m_anchor = s.anchor;
    m_attrs.reset();
    m_last_edit = EditKind::None;
    return true;
}

void EditBuffer::copy(Clipboard& clipboard) const {
    if (has_selection())
        clipboard.set_text(selected_text());
}

void EditBuffer::cut(Clipboard& clipboard) {
    if (!has_selection())
        return;
    clipboard.set_text(selected_text());
    replace(selection(), {}, EditKind::Other);
}

void EditBuffer::paste(Clipboard& clipboard) {
    std::string text = clean_text(clipboard.text());
    if (text.empty())
        return;
    replace(selection(), text, EditKind::Other);
    m_caret = m_anchor = snap_to_boundary(m_caret);
}

void EditBuffer::set_preedit(std::string text, int cursor) {
    m_preedit = clean_text(text);
    m_preedit_cursor = std::clamp(cursor, 0, static_cast<int>(m_preedit.size()));
}

std::string EditBuffer::display_text() const {
    if (m_preedit.empty())
        return m_text;
    std::string shown = m_text;
    shown.insert(m_caret, m_preedit);
    return shown;
}

KeyOutcome EditBuffer::handle_key(const KeyPress& key, Clipboard& clipboard) {
    const uint32_t m = key.modifiers & (mods::kShift | mods::kCtrl | mods::kAlt | mods::kSuper);
    const bool ctrl = (m & mods::kCtrl) != 0;
    const bool only_ctrl_shift = (m & ~(mods::kCtrl | mods::kShift)) == 0;
    const Extend extend = (m & mods::kShift) ? Extend::Yes : Extend::No;
    const Extend word = ctrl ? Extend::Yes : Extend::No;
    if (!only_ctrl_shift)
        return {};
    switch (key.key) {
    case keys::kEnter:
        if (m == mods::kShift) {
            insert("\n");
            return {.handled = true};
        }
        return {.handled = true, .submit = true};
    case keys::kBackspace:
        backspace(word);
        return {.handled = true};
    case keys::kDelete:
        delete_forward(word);
        return {.handled = true};
    case keys::kLeft:
        ctrl ? move_word_left(extend) : move_left(extend);
        return {.handled = true};
    case keys::kRight:
        ctrl ? move_word_right(extend) : move_right(extend);
        return {.handled = true};
    case keys::kUp:
        ctrl ? collapse_or_move(0, extend) : move_line_up(extend);
        return {.handled = true};
    case keys::kDown:
        ctrl ? collapse_or_move(m_text.size(), extend) : move_line_down(extend);
        return {.handled = true};
    case keys::kHome:
        ctrl ? collapse_or_move(0, extend) : move_line_start(extend);
        return {.handled = true};
    case keys::kEnd:
        ctrl ? collapse_or_move(m_text.size(), extend) : move_line_end(extend);
        return {.handled = true};
    default:
        break;
    }
    if (!ctrl)
        return {};
    switch (key.key) {
    case 'a':
        select_all();
        return {.handled = true};
    case 'c':
        copy(clipboard);
        return {.handled = true};
    case 'x':
        cut(clipboard);
        return {.handled = true};
    case 'v':
        paste(clipboard);
        return {.handled = true};
    case 'z':
        extend == Extend::Yes ? redo() : undo();
        return {.handled = true};
    case 'y':
        redo();
        return {.handled = true};
    default:
        return {};
    }
}

} // namespace kavu::ui
