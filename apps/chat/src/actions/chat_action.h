#pragma once

#include "actions/agent_work.h"
#include "actions/records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace chat {

namespace action {

struct SendMessage {
    std::string channel;
    std::string id;
    std::string author;
    int64_t ts = 0;
    std::string text;
    std::optional<std::string> parent;
    std::optional<Attachment> attachment;
    std::vector<Mention> mentions;
    std::optional<ResourceRef> reference;
    bool operator==(const SendMessage&) const = default;
};
struct EditMessage {
    std::string channel;
    std::string id;
    std::string text;
    int64_t ts = 0;
    bool operator==(const EditMessage&) const = default;
};
struct DeleteMessage {
    std::string channel;
    std::string id;
    bool operator==(const DeleteMessage&) const = default;
};
struct AddReaction {
    std::string channel;
    std::string msg;
    std::string emoji;
    std::string user;
    bool operator==(const AddReaction&) const = default;
};
struct RemoveReaction {
    std::string channel;
    std::string msg;
    std::string emoji;
    std::string user;
    bool operator==(const RemoveReaction&) const = default;
};
struct PinMessage {
    std::string channel;
    std::string msg;
    bool pinned = false;
    bool operator==(const PinMessage&) const = default;
};
struct CreateChannel {
    std::string workspace;
    std::string category;
    std::string id;
    std::string name;
    ChannelKind kind = ChannelKind::Text;
    bool operator==(const CreateChannel&) const = default;
};
struct CreateCategory {
    std::string workspace;
    std::string id;
    std::string name;
    bool operator==(const CreateCategory&) const = default;
};
struct RenameCategory {
    std::string id;
    std::string name;
    bool operator==(const RenameCategory&) const = default;
};
struct DeleteCategory {
    std::string id;
    bool operator==(const DeleteCategory&) const = default;
};
struct SetCategoryCollapsed {
    std::string id;
    bool collapsed = false;
    bool operator==(const SetCategoryCollapsed&) const = default;
};
struct ReorderChannel {
    std::string id;
    bool up = false;
    bool operator==(const ReorderChannel&) const = default;
};
struct RenameChannel {
    std::string id;
    std::string name;
    bool operator==(const RenameChannel&) const = default;
};
struct DeleteChannel {
    std::string id;
    bool operator==(const DeleteChannel&) const = default;
};
struct ArchiveChannel {
    std::string id;
    bool archived = false;
    bool operator==(const ArchiveChannel&) const = default;
};
struct MarkRead {
    std::string channel;
    std::string user;
    int64_t count = 0;
    bool operator==(const MarkRead&) const = default;
};
struct SetAgentWork {
    std::string channel;
    std::string msg;
    AgentWork work;
    std::optional<std::string> say;
    bool operator==(const SetAgentWork&) const = default;
};
struct JoinCall {
    std::string channel;
    std::string user;
    bool operator==(const JoinCall&) const = default;
};
struct LeaveCall {
    std::string channel;
    std::string user;
    bool operator==(const LeaveCall&) const = default;
};
struct SetCallState {
    std::string channel;
    std::string user;
    bool talking = false;
    bool muted = false;
    bool deafened = false;
    bool audio_only = false;
    bool operator==(const SetCallState&) const = default;
};
struct SetScreenShare {
    std::string channel;
    std::string user;
    bool sharing = false;
    bool operator==(const SetScreenShare&) const = default;
};
struct SetCallTicket {
    std::string channel;
    std::string user;
    std::string ticket;
    bool operator==(const SetCallTicket&) const = default;
};

} // namespace action

// One change to the workspace document. The variant order is part of the
// serialised contract: the index of each alternative is its variant index.
struct ChatAction {
    using SendMessage = action::SendMessage;
    using EditMessage = action::EditMessage;
    using DeleteMessage = action::DeleteMessage;
    using AddReaction = action::AddReaction;
    using RemoveReaction = action::RemoveReaction;
    using PinMessage = action::PinMessage;
    using CreateChannel = action::CreateChannel;
    using CreateCategory = action::CreateCategory;
    using RenameCategory = action::RenameCategory;
    using DeleteCategory = action::DeleteCategory;
    using SetCategoryCollapsed = action::SetCategoryCollapsed;
    using ReorderChannel = action::ReorderChannel;
    using RenameChannel = action::RenameChannel;
    using DeleteChannel = action::DeleteChannel;
    using ArchiveChannel = action::ArchiveChannel;
    using MarkRead = action::MarkRead;
    using SetAgentWork = action::SetAgentWork;
    using JoinCall = action::JoinCall;
    using LeaveCall = action::LeaveCall;
    using SetCallState = action::SetCallState;
    using SetScreenShare = action::SetScreenShare;
    using SetCallTicket = action::SetCallTicket;

    std::variant<SendMessage, EditMessage, DeleteMessage, AddReaction, RemoveReaction, PinMessage,
                 CreateChannel, CreateCategory, RenameCategory, DeleteCategory, SetCategoryCollapsed,
                 ReorderChannel, RenameChannel, DeleteChannel, ArchiveChannel, MarkRead, SetAgentWork,
                 JoinCall, LeaveCall, SetCallState, SetScreenShare, SetCallTicket>
        value;

    bool operator==(const ChatAction&) const = default;
};

namespace operation {

struct OpenWorkspace {
    std::string workspace;
    bool operator==(const OpenWorkspace&) const = default;
};
struct OpenChannel {
    std::string workspace;
    std::string channel;
    bool operator==(const OpenChannel&) const = default;
};
struct OpenCategory {
    std::string workspace;
    std::string category;
    bool operator==(const OpenCategory&) const = default;
};
struct RevealMessage {
    std::string workspace;
    std::string channel;
    std::string message;
    std::optional<std::string> parent;
    bool operator==(const RevealMessage&) const = default;
};
struct OpenPerson {
    std::string user;
    bool operator==(const OpenPerson&) const = default;
};
struct ImportAttachment {
    std::string channel;
    std::string path;
    bool operator==(const ImportAttachment&) const = default;
};

} // namespace operation

// One navigation or side effect, performed by the application rather than
// applied to the document.
struct ChatOperation {
    using OpenWorkspace = operation::OpenWorkspace;
    using OpenChannel = operation::OpenChannel;
    using OpenCategory = operation::OpenCategory;
    using RevealMessage = operation::RevealMessage;
    using OpenPerson = operation::OpenPerson;
    using ImportAttachment = operation::ImportAttachment;

    std::variant<OpenWorkspace, OpenChannel, OpenCategory, RevealMessage, OpenPerson, ImportAttachment> value;

    bool operator==(const ChatOperation&) const = default;
};

} // namespace chat
