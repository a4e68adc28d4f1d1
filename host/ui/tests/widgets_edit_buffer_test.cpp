#include <ui/widgets/edit_buffer.h>

#include <gtest/gtest.h>

#include <glib.h>

#include <random>

#include <string>
#include <variant>
#include <vector>

using namespace kavu::ui;

namespace {

// One step of a case: a key press, or text typed (committed by the keyboard
// or the input method).
using Step = std::variant<KeyPress, std::string>;

KeyPress key(Keycode code, uint32_t modifiers = 0) {
    return KeyPress{.key = code, .modifiers = modifiers};
}

constexpr uint32_t kShift = mods::kShift;
constexpr uint32_t kCtrl = mods::kCtrl;

struct Case {
    const char* name;
    std::string text; // initial text, caret at its end
    std::vector<Step> steps;
    std::string expected;
    std::size_t caret;
    std::size_t anchor;
};

void run(EditBuffer& buffer, MemoryClipboard& clipboard, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        if (const auto* k = std::get_if<KeyPress>(&step))
            buffer.handle_key(*k, clipboard);
        else
            buffer.insert(std::get<std::string>(step));
    }
}

const std::string kThumb = "👍🏽";            // emoji and skin-tone modifier
const std::string kFamily = "👨‍👩‍👧"; // emoji joined by zero-width joiners
const std::string kFlag = "🇫🇮";                   // regional indicator pair
const std::string kAcute = "e\xCC\x81";           // e and a combining acute accent

TEST(EditBuffer, KeySequences) {
    const Case cases[] = {
        {"typing accented text", "", {"h", "é", "l"}, "hél", 4, 4},
        {"backspace removes a toned emoji whole", "hi " + kThumb, {key(keys::kBackspace)}, "hi ", 3, 3},
        {"backspace removes a joined emoji whole", "a" + kFamily, {key(keys::kBackspace)}, "a", 1, 1},
        {"left steps over a flag", "x" + kFlag, {key(keys::kLeft)}, "x" + kFlag, 1, 1},
        {"combining mark moves with its letter",
         kAcute + "x",
         {key(keys::kLeft), key(keys::kLeft)},
         kAcute + "x",
         0,
         0},
        {"delete removes letter and mark", kAcute + "x", {key(keys::kHome), key(keys::kDelete)}, "x", 0, 0},
        {"CJK characters step one at a time",
         "日本語",
         {key(keys::kLeft), key(keys::kBackspace)},
         "日語",
         3,
         3},
        {"shift-left selects clusters",
         "ab" + kThumb,
         {key(keys::kLeft, kShift), key(keys::kLeft, kShift)},
         "ab" + kThumb,
         1,
         2 + kThumb.size()},
        {"typing replaces the selection",
         "abcdef",
         {key(keys::kLeft, kShift), key(keys::kLeft, kShift), key(keys::kLeft, kShift), "X"},
         "abcX",
         4,
         4},
        {"left collapses a selection to its start",
         "abcdef",
         {key(keys::kLeft, kShift), key(keys::kLeft, kShift), key(keys::kLeft)},
         "abcdef",
         4,
         4},
        {"ctrl-left walks word starts",
         "hello big world",
         {key(keys::kLeft, kCtrl), key(keys::kLeft, kCtrl)},
         "hello big world",
         6,
         6},
        {"ctrl-shift-right selects to the word end",
         "hello big world",
         {key(keys::kHome), key(keys::kRight, kCtrl), key(keys::kRight, kCtrl | kShift)},
         "hello big world",
         9,
         5},
        {"ctrl-backspace deletes the word",
         "hello big world",
         {key(keys::kBackspace, kCtrl)},
         "hello big ",
         10,
         10},
        {"ctrl-delete deletes to the word end",
         "hello big world",
         {key(keys::kHome), key(keys::kDelete, kCtrl)},
         " big world",
         0,
         0},
        {"home and shift-end stay on the line",
         "one\ntwo",
         {key(keys::kHome), key(keys::kEnd, kShift)},
         "one\ntwo",
         7,
         4},
        {"ctrl-home goes to the very start", "one\ntwo", {key(keys::kHome, kCtrl)}, "one\ntwo", 0, 0},
        {"up and down keep the column",
         "abcd\nxy\nlonger",
         {key(keys::kUp), key(keys::kUp), key(keys::kDown)},
         "abcd\nxy\nlonger",
         7,
         7},
        {"up from the first line goes to the start", "abc", {key(keys::kUp)}, "abc", 0, 0},
        {"shift-enter inserts a newline", "ab", {key(keys::kEnter, kShift), "c"}, "ab\nc", 4, 4},
        {"undo takes back a word at a time", "", {"h", "i", " ", "y", "o", key('z', kCtrl)}, "hi ", 3, 3},
        {"undo twice, redo once",
         "",
         {"h", "i", " ", "y", "o", key('z', kCtrl), key('z', kCtrl), key('z', kCtrl | kShift)},
         "hi ",
         3,
         3},
        {"an edit after undo drops the redo",
         "",
         {"a", "b", key('z', kCtrl), "c", key('y', kCtrl)},
         "c",
         1,
         1},
        {"cut and paste twice",
         "abc def",
         {key('a', kCtrl), key('x', kCtrl), key('v', kCtrl), key('v', kCtrl)},
         "abc defabc def",
         14,
         14},
        {"undo restores a cut",
         "abc def",
         {key('a', kCtrl), key('x', kCtrl), key('z', kCtrl)},
         "abc def",
         7,
         0},
        {"control characters are dropped",
         "",
         {std::string("a\r\nb\x01\x7F"
                      "c\r")},
         "a\nbc\n",
         5,
         5},
        {"invalid UTF-8 is repaired", "", {std::string("ok\xFF")}, "ok\xEF\xBF\xBD", 5, 5},
        {"alt chords are not editing keys", "ab", {key(keys::kBackspace, mods::kAlt)}, "ab", 2, 2},
    };
    for (const Case& c : cases) {
        EditBuffer buffer;
        MemoryClipboard clipboard;
        buffer.set_text(c.text);
        run(buffer, clipboard, c.steps);
        EXPECT_EQ(buffer.text(), c.expected) << c.name;
        EXPECT_EQ(buffer.caret(), c.caret) << c.name;
        EXPECT_EQ(buffer.anchor(), c.anchor) << c.name;
    }
}

TEST(EditBuffer, EnterSubmitsAndLeavesTheText) {
    EditBuffer buffer;
    MemoryClipboard clipboard;
    buffer.set_text("ship it");
    KeyOutcome outcome = buffer.handle_key(key(keys::kEnter), clipboard);
    EXPECT_TRUE(outcome.handled);
    EXPECT_TRUE(outcome.submit);
    EXPECT_EQ(buffer.text(), "ship it");
    EXPECT_FALSE(buffer.handle_key(key(keys::kEnter, kShift), clipboard).submit);
    EXPECT_FALSE(buffer.handle_key(key(keys::kTab), clipboard).handled);
    EXPECT_FALSE(buffer.handle_key(key(keys::kEscape), clipboard).handled);
}

TEST(EditBuffer, CopyLeavesTheClipboardAloneWithoutSelection) {
    EditBuffer buffer;
    MemoryClipboard clipboard;
    clipboard.set_text("kept");
    buffer.set_text("abc");
    buffer.handle_key(key('c', kCtrl), clipboard);
    buffer.handle_key(key('x', kCtrl), clipboard);
    EXPECT_EQ(clipboard.text(), "kept");
    buffer.select({1, 3});
    buffer.handle_key(key('c', kCtrl), clipboard);
    EXPECT_EQ(clipboard.text(), "bc");
}

TEST(EditBuffer, ClickSelectionsSnapToWordsLinesAndClusters) {
    EditBuffer buffer;
    buffer.set_text("Please check teh adress\nsecond line");
    buffer.select_word_at(14); // inside "teh"
    EXPECT_EQ(buffer.selected_text(), "teh");
    buffer.select_word_at(12); // the space after "check"
    EXPECT_EQ(buffer.selected_text(), " ");
    buffer.select_line_at(3);
    EXPECT_EQ(buffer.selected_text(), "Please check teh adress\n");
    buffer.select_line_at(30);
    EXPECT_EQ(buffer.selected_text(), "second line");

    buffer.set_text("a" + kThumb);
    buffer.set_caret(3); // inside the emoji's bytes
    EXPECT_EQ(buffer.caret(), 1u);
    buffer.set_caret(1000);
    EXPECT_EQ(buffer.caret(), buffer.text().size());
}

TEST(EditBuffer, PreeditIsShownAtTheCaretUntilCommitted) {
    EditBuffer buffer;
    buffer.set_text("ab");
    buffer.set_caret(1);
    buffer.set_preedit("にほ", 3);
    EXPECT_EQ(buffer.display_text(), "aにほb");
    EXPECT_EQ(buffer.text(), "ab");
    EXPECT_EQ(buffer.preedit_cursor(), 3);
    buffer.set_preedit("", 0);
    buffer.insert("日本");
    EXPECT_EQ(buffer.display_text(), "a日本b");
    EXPECT_EQ(buffer.caret(), 7u);
}

TEST(EditBuffer, SetTextClearsHistory) {
    EditBuffer buffer;
    buffer.insert("x");
    EXPECT_TRUE(buffer.can_undo());
    buffer.set_text("draft");
    EXPECT_FALSE(buffer.can_undo());
    EXPECT_FALSE(buffer.undo());
    EXPECT_EQ(buffer.caret(), 5u);
}

TEST(EditBuffer, RandomEditsKeepTheCaretOnClustersAndUndoRestoresAll) {
    const std::vector<std::string> pieces = {"a",     " ",   "é",    kAcute, kThumb,
                                             kFamily, kFlag, "日本", "\n",   "xyz"};
    const std::vector<KeyPress> moves = {key(keys::kLeft),
                                         key(keys::kRight),
                                         key(keys::kLeft, kShift),
                                         key(keys::kRight, kCtrl),
                                         key(keys::kLeft, kCtrl | kShift),
                                         key(keys::kUp),
                                         key(keys::kDown, kShift),
                                         key(keys::kHome),
                                         key(keys::kEnd, kShift),
                                         key(keys::kBackspace),
                                         key(keys::kDelete),
                                         key(keys::kBackspace, kCtrl),
                                         key('x', kCtrl),
                                         key('v', kCtrl),
                                         key('c', kCtrl)};
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        EditBuffer buffer;
        MemoryClipboard clipboard;
        std::string start = "Hi " + kThumb + " " + kAcute + "\n" + kFamily + "日本語";
        buffer.set_text(start);
        for (int step = 0; step < 60; ++step) {
            if (rng() % 3 == 0)
                buffer.insert(pieces[rng() % pieces.size()]);
            else
                buffer.handle_key(moves[rng() % moves.size()], clipboard);
            const std::string& text = buffer.text();
            ASSERT_TRUE(g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr));
            ASSERT_LE(buffer.caret(), text.size());
            ASSERT_LE(buffer.anchor(), text.size());
            ASSERT_EQ(buffer.snap_to_boundary(buffer.caret()), buffer.caret()) << "round " << round;
            ASSERT_EQ(buffer.snap_to_boundary(buffer.anchor()), buffer.anchor()) << "round " << round;
        }
        while (buffer.undo()) {
        }
        EXPECT_EQ(buffer.text(), start) << "round " << round;
    }
}

} // namespace
