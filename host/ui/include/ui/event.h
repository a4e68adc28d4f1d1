#pragma once

#include <ui/geometry.h>

#include <cstdint>
#include <string>
#include <variant>

namespace kavu::ui {

// Key codes. Printable keys use their lower-case Unicode code point ('a',
// '1', ' '); the named keys below sit above the Unicode range.
using Keycode = int32_t;

namespace keys {
inline constexpr Keycode kUnknown = 0;
inline constexpr Keycode kBackspace = 8;
inline constexpr Keycode kTab = 9;
inline constexpr Keycode kEnter = 13;
inline constexpr Keycode kEscape = 27;
inline constexpr Keycode kSpace = 32;
inline constexpr Keycode kDelete = 127;
inline constexpr Keycode kNamedBase = 0x40000000;
inline constexpr Keycode kLeft = kNamedBase + 1;
inline constexpr Keycode kRight = kNamedBase + 2;
inline constexpr Keycode kUp = kNamedBase + 3;
inline constexpr Keycode kDown = kNamedBase + 4;
inline constexpr Keycode kHome = kNamedBase + 5;
inline constexpr Keycode kEnd = kNamedBase + 6;
inline constexpr Keycode kPageUp = kNamedBase + 7;
inline constexpr Keycode kPageDown = kNamedBase + 8;
inline constexpr Keycode kInsert = kNamedBase + 9;
inline constexpr Keycode kF1 = kNamedBase + 0x10; // F1..F12 are consecutive
inline constexpr Keycode kF12 = kF1 + 11;
} // namespace keys

// Modifier bits of key and pointer events.
namespace mods {
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kShift = 1u << 0;
inline constexpr uint32_t kCtrl = 1u << 1;
inline constexpr uint32_t kAlt = 1u << 2;
inline constexpr uint32_t kSuper = 1u << 3;
} // namespace mods

enum class PointerButton : uint8_t { Primary, Secondary, Middle, Back, Forward };

struct PointerMove {
    Point pos;
    uint32_t modifiers = 0;
};

// `clicks` counts presses in quick succession at one place: 2 for a double
// click, 3 for a triple click.
struct PointerPress {
    Point pos;
    PointerButton button = PointerButton::Primary;
    int clicks = 1;
    uint32_t modifiers = 0;
};

struct PointerRelease {
    Point pos;
    PointerButton button = PointerButton::Primary;
    uint32_t modifiers = 0;
};

// The pointer left the window.
struct PointerLeave {};

// Scroll amounts in logical pixels; positive dy scrolls the content down
// (towards later content), positive dx to the right.
struct Wheel {
    Point pos;
    double dx = 0;
    double dy = 0;
    bool precise = false; // from a touchpad, already smooth
    uint32_t modifiers = 0;
};

struct KeyPress {
    Keycode key = keys::kUnknown;
    uint32_t modifiers = 0;
    bool repeat = false;
};

struct KeyRelease {
    Keycode key = keys::kUnknown;
    uint32_t modifiers = 0;
};

// Committed text from the keyboard or an input method, UTF-8.
struct TextEntered {
    std::string text;
};

// The input method's uncommitted text, shown inline at the caret. An empty
// text ends the composition. Cursor and selection are byte offsets into it.
struct ImeComposition {
    std::string preedit;
    int cursor = 0;
    int selection_length = 0;
};

struct FocusChange {
    bool focused = false;
};

using Event = std::variant<PointerMove, PointerPress, PointerRelease, PointerLeave, Wheel, KeyPress,
                           KeyRelease, TextEntered, ImeComposition, FocusChange>;

// True when exactly the given modifiers are held (Shift, Ctrl, Alt, Super).
inline bool has_only(uint32_t modifiers, uint32_t wanted) {
    return modifiers == wanted;
}

// The system clipboard as the window offers it. Tests use MemoryClipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual std::string text() = 0;
    virtual void set_text(const std::string& text) = 0;
};

class MemoryClipboard final : public Clipboard {
public:
    std::string text() override { return m_text; }
    void set_text(const std::string& text) override { m_text = text; }

private:
    std::string m_text;
};

} // namespace kavu::ui
