#include <ui/widgets/text_input.h>

#include <gtest/gtest.h>

#include <variant>

using namespace kavu::ui;

namespace {

class TextInputTest : public ::testing::Test {
protected:
    TextInputResponse send(TextInput& input, Event event) { return input.handle_event(event, m_context); }
    TextInputResponse key(TextInput& input, Keycode code, uint32_t modifiers = 0) {
        return send(input, KeyPress{.key = code, .modifiers = modifiers, .repeat = false});
    }
    TextInput focused_input(Rect rect, std::string_view text) {
        TextInput input = TextInput::local();
        input.apply_layout_external(rect);
        input.set_text(text);
        input.set_focused(true);
        return input;
    }

    Theme m_theme = Theme::dark();
    HeadlessServices m_services;
    EventContext m_context{m_theme, Rect{0, 0, 1280, 800}, Instant{}, m_services};
};

TEST_F(TextInputTest, TypedTextIsReportedOnceAndLoadedTextNever) {
    TextInput input = TextInput::local();
    input.apply_layout_external({100, 100, 500, 140});
    input.set_text("draft");
    EXPECT_FALSE(input.take_dirty());
    EXPECT_FALSE(send(input, TextEntered{"!"}).consumed); // not focused
    input.set_focused(true);
    TextInputResponse typed = send(input, TextEntered{"!"});
    EXPECT_TRUE(typed.consumed);
    EXPECT_TRUE(typed.changed);
    EXPECT_EQ(input.take_dirty(), "draft!");
    EXPECT_FALSE(input.take_dirty());
    // An edit that ends where it started reports nothing.
    send(input, TextEntered{"x"});
    key(input, keys::kBackspace);
    EXPECT_FALSE(input.take_dirty());
    input.insert_at_cursor("🎉");
    EXPECT_EQ(input.take_dirty(), "draft!🎉");
    EXPECT_TRUE(m_services.text_input_area().has_value());
}

TEST_F(TextInputTest, EnterSubmitsShiftEnterBreaksTheLine) {
    TextInput input = focused_input({0, 0, 400, 60}, "hello");
    TextInputResponse enter = key(input, keys::kEnter);
    EXPECT_TRUE(enter.submit);
    EXPECT_FALSE(enter.changed);
    TextInputResponse shift_enter = key(input, keys::kEnter, mods::kShift);
    EXPECT_FALSE(shift_enter.submit);
    EXPECT_TRUE(shift_enter.changed);
    EXPECT_EQ(input.text(), "hello\n");
}

TEST_F(TextInputTest, ClicksPlaceTheCaretAndSelectWordsAndLines) {
    TextInput input = TextInput::local();
    input.apply_layout_external({100, 100, 600, 140});
    input.set_text("hello world\nsecond");
    send(input,
         PointerPress{.pos = {112, 112}, .button = PointerButton::Primary, .clicks = 1, .modifiers = 0});
    EXPECT_TRUE(input.focused());
    EXPECT_EQ(input.cursor_pos(), 0u);
    send(input, PointerRelease{.pos = {112, 112}, .button = PointerButton::Primary, .modifiers = 0});
    send(input,
         PointerPress{.pos = {590, 112}, .button = PointerButton::Primary, .clicks = 1, .modifiers = 0});
    EXPECT_EQ(input.cursor_pos(), 11u); // past the end of the first line
    send(input, PointerRelease{.pos = {590, 112}, .button = PointerButton::Primary, .modifiers = 0});

    // Double click inside "world" (the caret is at its end) selects it.
    Rect end_of_world = input.caret_rect();
    send(input, PointerPress{.pos = {end_of_world.x0 - 8, end_of_world.center().y},
                             .button = PointerButton::Primary,
                             .clicks = 2,
                             .modifiers = 0});
    EXPECT_EQ(input.selection_range_public(), (TextRange{6, 11}));
    send(input, PointerPress{.pos = {end_of_world.x0 - 8, end_of_world.center().y},
                             .button = PointerButton::Primary,
                             .clicks = 3,
                             .modifiers = 0});
    EXPECT_EQ(input.selection_range_public(), (TextRange{0, 12}));
    // Presses outside the box are not the field's.
    EXPECT_FALSE(
        send(input,
             PointerPress{.pos = {50, 50}, .button = PointerButton::Primary, .clicks = 1, .modifiers = 0})
            .consumed);
}

TEST_F(TextInputTest, DragSelects) {
    TextInput input = focused_input({0, 0, 600, 40}, "drag across this");
    send(input, PointerPress{.pos = {12, 15}, .button = PointerButton::Primary, .clicks = 1, .modifiers = 0});
    EXPECT_TRUE(send(input, PointerMove{.pos = {590, 15}, .modifiers = 0}).consumed);
    send(input, PointerRelease{.pos = {590, 15}, .button = PointerButton::Primary, .modifiers = 0});
    EXPECT_EQ(input.selection_range_public(), (TextRange{0, 16}));
    EXPECT_FALSE(send(input, PointerMove{.pos = {20, 15}, .modifiers = 0}).consumed);
    EXPECT_EQ(m_services.cursor(), CursorShape::Text);
}

TEST_F(TextInputTest, UpAndDownFollowWrappedLines) {
    TextInput input = focused_input({0, 0, 140, 400}, "alpha beta gamma delta epsilon zeta eta theta");
    input.set_cursor_pos(0);
    double top = input.caret_rect().y0;
    key(input, keys::kDown);
    std::size_t second_line = input.cursor_pos();
    EXPECT_GT(second_line, 0u);
    EXPECT_LT(second_line, input.text().size());
    EXPECT_GT(input.caret_rect().y0, top);
    key(input, keys::kUp);
    EXPECT_EQ(input.cursor_pos(), 0u);
    // End stays on the visual line: before the space the line wrapped at.
    key(input, keys::kEnd);
    EXPECT_EQ(input.caret_rect().y0, top);
    EXPECT_GT(input.cursor_pos(), 0u);
    key(input, keys::kHome);
    EXPECT_EQ(input.cursor_pos(), 0u);
    // Up on the first line goes to the start; Down on the last to the end.
    key(input, keys::kUp);
    EXPECT_EQ(input.cursor_pos(), 0u);
    input.set_cursor_pos(input.text().size());
    key(input, keys::kDown);
    EXPECT_EQ(input.cursor_pos(), input.text().size());
    // Shift+Down extends a selection.
    input.set_cursor_pos(0);
    key(input, keys::kDown, mods::kShift);
    EXPECT_EQ(input.selection_range_public(), (TextRange{0, second_line}));
}

TEST_F(TextInputTest, TallTextScrollsToKeepTheCaretVisible) {
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "line " + std::to_string(i) + "\n";
    TextInput input = focused_input({0, 0, 300, 60}, text);
    EXPECT_GT(input.content_height(), 60);
    EXPECT_GT(input.scroll_offset(), 0);
    Rect caret = input.caret_rect();
    EXPECT_GE(caret.y0, input.rect().y0);
    EXPECT_LE(caret.y1, input.rect().y1);
    double scrolled = input.scroll_offset();
    EXPECT_TRUE(
        send(input, Wheel{.pos = {10, 10}, .dx = 0, .dy = -30, .precise = true, .modifiers = 0}).consumed);
    EXPECT_EQ(input.scroll_offset(), scrolled - 30);
    send(input, Wheel{.pos = {10, 10}, .dx = 0, .dy = -1000, .precise = true, .modifiers = 0});
    EXPECT_EQ(input.scroll_offset(), 0);
    key(input, keys::kHome, mods::kCtrl);
    key(input, keys::kEnd, mods::kCtrl);
    EXPECT_EQ(input.scroll_offset(), scrolled);

    // A draft loaded before the field is laid out still shows its caret.
    TextInput late = TextInput::local();
    late.set_text(text);
    late.apply_layout_external({0, 0, 300, 60});
    EXPECT_EQ(late.scroll_offset(), scrolled);
}

TEST_F(TextInputTest, DrawsPlaceholderCaretAndSelection) {
    auto count = [](const Scene& scene, auto tag) {
        using T = decltype(tag);
        return std::count_if(scene.commands().begin(), scene.commands().end(),
                             [](const DrawCommand& c) { return std::holds_alternative<T>(c); });
    };
    TextInput input = TextInput::local();
    input.apply_layout_external({0, 0, 300, 40});
    input.set_placeholder("Message #general");
    Scene empty;
    input.draw(empty, m_theme);
    EXPECT_EQ(count(empty, draw::Text{}), 1);
    EXPECT_EQ(count(empty, draw::FillRect{}), 0); // no caret without focus
    EXPECT_EQ(empty.depth(), 0);

    input.set_text("some text");
    input.set_focused(true);
    key(input, 'a', mods::kCtrl);
    Scene selected;
    input.draw(selected, m_theme);
    EXPECT_EQ(count(selected, draw::Text{}), 1);
    EXPECT_EQ(count(selected, draw::FillRect{}), 2); // selection and caret
}

TEST_F(TextInputTest, ClipboardAssistiveActionsAndComposition) {
    TextInput input = focused_input({0, 0, 300, 40}, "copy me");
    key(input, 'a', mods::kCtrl);
    key(input, 'c', mods::kCtrl);
    EXPECT_EQ(m_services.clipboard().text(), "copy me");

    EXPECT_TRUE(input.perform_action({.kind = TextActionKind::SetValue, .text = "new value"}));
    EXPECT_EQ(input.take_dirty(), "new value");
    EXPECT_TRUE(input.perform_action({.kind = TextActionKind::Insert, .text = "!"}));
    EXPECT_EQ(input.text(), "new value!");
    EXPECT_FALSE(input.perform_action({.kind = TextActionKind::Insert, .text = ""}));
    EXPECT_TRUE(input.perform_action({.kind = TextActionKind::SetValue, .text = ""}));
    EXPECT_EQ(input.take_dirty(), "");
    AccessNode node = input.accessibility("chat.composer", "Message composer");
    EXPECT_EQ(node.kind, AccessKind::MultilineTextField);
    EXPECT_TRUE(node.state);

    send(input, ImeComposition{.preedit = "にほん", .cursor = 9, .selection_length = 0});
    EXPECT_EQ(input.buffer().display_text(), "にほん");
    EXPECT_EQ(input.text(), "");
    EXPECT_FALSE(input.take_dirty());
    send(input, TextEntered{"日本"});
    EXPECT_EQ(input.buffer().display_text(), "日本");
    EXPECT_EQ(input.take_dirty(), "日本");
}

} // namespace
