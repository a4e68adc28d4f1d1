#pragma once

#include "actions/chat_action.h"

#include <string>
#include <string_view>

namespace chat {

// How an action is shown when it is dispatched: its label and the resource it
// acts on ("chat.message" + the message id, for example).
struct ActionPresentation {
    std::string label;
    std::string resource_kind;
    std::string resource_id;

    bool operator==(const ActionPresentation&) const = default;
};

ActionPresentation present_action(const ChatAction& action);

// "Message" for "chat.message", the id itself for every other kind.
std::string resource_display_name(std::string_view kind, std::string_view id);

// The kind, a colon and the id.
std::string resource_address(std::string_view kind, std::string_view id);

// DeleteMessage, DeleteCategory and DeleteChannel; nothing else.
bool is_destructive(const ChatAction& action);

} // namespace chat
