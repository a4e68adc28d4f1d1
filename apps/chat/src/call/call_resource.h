#pragma once

#include "actions/chat_action.h"
#include "doc/schema.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace chat {

// One action a call's resource ("chat.call:" and the voice channel's id)
// offers. "open" produces the OpenChannel operation (a View); every other
// action is a ChatAction.
struct CallResourceAction {
    std::string id;    // "open", "join", "leave", "mute", "unmute", …
    std::string label; // "Open call conversation", "Join call", …
    std::variant<ChatOperation, ChatAction> produces;

    bool operator==(const CallResourceAction&) const = default;
};

// The actions of the call in `channel` for `user`, in publication order. The
// state toggles are computed from the user's participant record and write the
// document only: they neither couple mute with deafen nor touch LocalCall.
std::vector<CallResourceAction> call_resource_actions(const doc::Document& doc, std::string_view channel,
                                                      std::string_view user);

} // namespace chat
