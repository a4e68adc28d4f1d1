#pragma once

#include <ui/geometry.h>
#include <ui/widgets/context_menu.h>
#include <ui/widgets/floating_placement.h>
#include <ui/widgets/text_input.h>
#include <ui/widgets/tooltip_host.h>

#include <cstdint>
#include <optional>
#include <string>

namespace chat::app {

// A channel or category whose name is being edited in place.
struct RenameTarget {
    enum class Kind : uint8_t { Channel, Category };
    Kind kind = Kind::Channel;
    std::string id;
    bool operator==(const RenameTarget&) const = default;
};

// The four text fields and who has the keyboard.
struct Composers {
    kavu::ui::TextInput main = kavu::ui::TextInput::local();
    kavu::ui::TextInput thread = kavu::ui::TextInput::local();
    kavu::ui::TextInput editor = kavu::ui::TextInput::local();
    kavu::ui::TextInput rename = kavu::ui::TextInput::local();
    // The thread composer, not the main one, has the keyboard focus.
    bool thread_focus = false;
    std::optional<std::string> editing; // the message under inline edit
    std::string editing_channel;        // the channel it is in
    std::optional<RenameTarget> renaming;
};

// What a context menu was opened for.
struct MenuSubject {
    enum class Kind : uint8_t { Channel, Category, Message, Workspace };
    Kind kind = Kind::Workspace;
    std::string id;
    bool operator==(const MenuSubject&) const = default;
};

// Context-menu items by their code; Delete and DeleteMessage are destructive.
enum class MenuItem : uint8_t {
    Rename = 0,
    Delete = 1,
    MoveUp = 2,
    MoveDown = 3,
    NewTextChannel = 4,
    NewVoiceChannel = 5,
    NewCategory = 6,
    CollapseExpand = 7,
    ArchiveUnarchive = 8,
    EditMessage = 9,
    PinUnpin = 10,
    DeleteMessage = 11,
};
inline constexpr int kMenuItemCount = 12;
std::string_view menu_item_label(MenuItem item);

// Interface state that the frame owns: side panels, scrolling, popups and
// focus. Drawing fills most of it; the selection paths reset parts of it.
struct InterfaceState {
    kavu::ui::Rect window;
    float scale = 1;
    bool narrow_layout = false;
    // Forced states of the side panels; nothing follows the layout.
    std::optional<bool> left_open_override;
    std::optional<bool> right_open_override;
    double scroll_offset = 0;  // 0: the newest message in view
    double content_height = 0; // remembered height of the message list
    kavu::ui::ContextMenu menu;
    std::optional<MenuSubject> menu_subject;
    bool emoji_picker_open = false;
    std::optional<std::string> emoji_picker_message;
    bool attach_picker_open = false;
    std::optional<std::string> history_popup_message;
    std::optional<size_t> focus_index;
    kavu::ui::TooltipHost tooltips;
    kavu::ui::FloatingPlacement floating_call;
};

} // namespace chat::app
