#pragma once

#include <optional>
#include <string>

namespace chat {

// What the person is looking at. Empty text selects nothing.
struct Selection {
    std::string workspace;
    // The workspace the sidebar's current-context entry shows and returns
    // to from the inbox view.
    std::string context_workspace;
    std::string channel;
    std::optional<std::string> thread; // root message id of the open thread
    std::optional<std::string> reveal; // message to scroll to and highlight
    std::optional<std::string> focused_person;
};

// Navigation switches that travel with the selection.
struct NavigationFlags {
    bool inbox_view = false;     // conversations of all workspaces
    bool reveal_pending = false; // the reveal target still has to be scrolled to
    bool thread_shown = false;
    bool read_marking = true; // the next refresh marks the current channel read
};

} // namespace chat
