#include "actions/action_presentation.h"

#include <type_traits>

namespace chat {

namespace {

constexpr std::string_view kMessage = "chat.message";
constexpr std::string_view kChannel = "chat.channel";
constexpr std::string_view kCategory = "chat.category";
constexpr std::string_view kCall = "chat.call";

ActionPresentation make(std::string_view label, std::string_view kind, const std::string& id) {
    return ActionPresentation{
        .label = std::string(label), .resource_kind = std::string(kind), .resource_id = id};
}

} // namespace

ActionPresentation present_action(const ChatAction& action) {
    using A = ChatAction;
    return std::visit(
        [](const auto& a) -> ActionPresentation {
            using T = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<T, A::SendMessage>)
                return make("Send message", kMessage, a.id);
            else if constexpr (std::is_same_v<T, A::EditMessage>)
                return make("Edit message", kMessage, a.id);
            else if constexpr (std::is_same_v<T, A::DeleteMessage>)
                return make("Delete message", kMessage, a.id);
            else if constexpr (std::is_same_v<T, A::AddReaction>)
                return make("Add reaction", kMessage, a.msg);
            else if constexpr (std::is_same_v<T, A::RemoveReaction>)
                return make("Remove reaction", kMessage, a.msg);
            else if constexpr (std::is_same_v<T, A::PinMessage>)
                return make(a.pinned ? "Pin message" : "Unpin message", kMessage, a.msg);
            else if constexpr (std::is_same_v<T, A::CreateChannel>)
                return make("Create channel", kChannel, a.id);
            else if constexpr (std::is_same_v<T, A::CreateCategory>)
                return make("Create category", kCategory, a.id);
            else if constexpr (std::is_same_v<T, A::RenameCategory>)
                return make("Rename category", kCategory, a.id);
            else if constexpr (std::is_same_v<T, A::DeleteCategory>)
                return make("Delete category", kCategory, a.id);
            else if constexpr (std::is_same_v<T, A::SetCategoryCollapsed>)
                return make(a.collapsed ? "Collapse category" : "Expand category", kCategory, a.id);
            else if constexpr (std::is_same_v<T, A::ReorderChannel>)
                return make(a.up ? "Move channel up" : "Move channel down", kChannel, a.id);
            else if constexpr (std::is_same_v<T, A::RenameChannel>)
                return make("Rename channel", kChannel, a.id);
            else if constexpr (std::is_same_v<T, A::DeleteChannel>)
                return make("Delete channel", kChannel, a.id);
            else if constexpr (std::is_same_v<T, A::ArchiveChannel>)
                return make(a.archived ? "Archive channel" : "Unarchive channel", kChannel, a.id);
            else if constexpr (std::is_same_v<T, A::MarkRead>)
                return make("Mark channel read", kChannel, a.channel);
            else if constexpr (std::is_same_v<T, A::SetAgentWork>)
                return make("Update agent work", kMessage, a.msg);
            else if constexpr (std::is_same_v<T, A::JoinCall>)
                return make("Join call", kCall, a.channel);
            else if constexpr (std::is_same_v<T, A::LeaveCall>)
                return make("Leave call", kCall, a.channel);
            else if constexpr (std::is_same_v<T, A::SetCallState>)
                return make("Update call state", kCall, a.channel);
            else if constexpr (std::is_same_v<T, A::SetScreenShare>)
                return make(a.sharing ? "Start presenting" : "Stop presenting", kCall, a.channel);
            else {
                static_assert(std::is_same_v<T, A::SetCallTicket>);
                return make("Update call connection", kCall, a.channel);
            }
        },
        action.value);
}

std::string resource_display_name(std::string_view kind, std::string_view id) {
    if (kind == kMessage)
        return "Message";
    return std::string(id);
}

std::string resource_address(std::string_view kind, std::string_view id) {
    std::string address(kind);
    address += ':';
    address += id;
    return address;
}

bool is_destructive(const ChatAction& action) {
    return std::holds_alternative<ChatAction::DeleteMessage>(action.value) ||
           std::holds_alternative<ChatAction::DeleteCategory>(action.value) ||
           std::holds_alternative<ChatAction::DeleteChannel>(action.value);
}

} // namespace chat
