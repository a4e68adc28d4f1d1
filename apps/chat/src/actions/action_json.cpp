#include "actions/json_fields.h"

namespace chat::json_detail {

using A = ChatAction;
using O = ChatOperation;

template <RecordOf<A::SendMessage> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("id", v.id);
    f("author", v.author);
    f("ts", v.ts);
    f("text", v.text);
    f("parent", v.parent, Missing::Allowed);
    f("attachment", v.attachment, Missing::Allowed);
    f("mentions", v.mentions, Missing::Allowed);
    f("reference", v.reference, Missing::Allowed);
}

template <RecordOf<A::EditMessage> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("id", v.id);
    f("text", v.text);
    f("ts", v.ts);
}

template <RecordOf<A::DeleteMessage> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("id", v.id);
}

template <typename S, typename F>
requires RecordOf<S, A::AddReaction> || RecordOf<S, A::RemoveReaction>
void fields(S& v, F& f) {
    f("channel", v.channel);
    f("msg", v.msg);
    f("emoji", v.emoji);
    f("user", v.user);
}

template <RecordOf<A::PinMessage> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("msg", v.msg);
    f("pinned", v.pinned);
}

template <RecordOf<A::CreateChannel> S, typename F> void fields(S& v, F& f) {
    f("workspace", v.workspace);
    f("category", v.category);
    f("id", v.id);
    f("name", v.name);
    f("kind", v.kind);
}

template <RecordOf<A::CreateCategory> S, typename F> void fields(S& v, F& f) {
    f("workspace", v.workspace);
    f("id", v.id);
    f("name", v.name);
}

template <typename S, typename F>
requires RecordOf<S, A::RenameCategory> || RecordOf<S, A::RenameChannel>
void fields(S& v, F& f) {
    f("id", v.id);
    f("name", v.name);
}

template <typename S, typename F>
requires RecordOf<S, A::DeleteCategory> || RecordOf<S, A::DeleteChannel>
void fields(S& v, F& f) {
    f("id", v.id);
}

template <RecordOf<A::SetCategoryCollapsed> S, typename F> void fields(S& v, F& f) {
    f("id", v.id);
    f("collapsed", v.collapsed);
}

template <RecordOf<A::ReorderChannel> S, typename F> void fields(S& v, F& f) {
    f("id", v.id);
    f("up", v.up);
}

template <RecordOf<A::ArchiveChannel> S, typename F> void fields(S& v, F& f) {
    f("id", v.id);
    f("archived", v.archived);
}

template <RecordOf<A::MarkRead> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("user", v.user);
    f("count", v.count);
}

template <RecordOf<A::SetAgentWork> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("msg", v.msg);
    f("work", v.work);
    f("say", v.say, Missing::Allowed);
}

template <typename S, typename F>
requires RecordOf<S, A::JoinCall> || RecordOf<S, A::LeaveCall>
void fields(S& v, F& f) {
    f("channel", v.channel);
    f("user", v.user);
}

template <RecordOf<A::SetCallState> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("user", v.user);
    f("talking", v.talking);
    f("muted", v.muted);
    f("deafened", v.deafened);
    f("audio_only", v.audio_only);
}

template <RecordOf<A::SetScreenShare> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("user", v.user);
    f("sharing", v.sharing);
}

template <RecordOf<A::SetCallTicket> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("user", v.user);
    f("ticket", v.ticket);
}

template <RecordOf<O::OpenWorkspace> S, typename F> void fields(S& v, F& f) {
    f("workspace", v.workspace);
}

template <RecordOf<O::OpenChannel> S, typename F> void fields(S& v, F& f) {
    f("workspace", v.workspace);
    f("channel", v.channel);
}

template <RecordOf<O::OpenCategory> S, typename F> void fields(S& v, F& f) {
    f("workspace", v.workspace);
    f("category", v.category);
}

template <RecordOf<O::RevealMessage> S, typename F> void fields(S& v, F& f) {
    f("workspace", v.workspace);
    f("channel", v.channel);
    f("message", v.message);
    f("parent", v.parent, Missing::Allowed);
}

template <RecordOf<O::OpenPerson> S, typename F> void fields(S& v, F& f) {
    f("user", v.user);
}

template <RecordOf<O::ImportAttachment> S, typename F> void fields(S& v, F& f) {
    f("channel", v.channel);
    f("path", v.path);
}

namespace {

constexpr std::array<std::string_view, 22> kActionNames = {
    "SendMessage",    "EditMessage",          "DeleteMessage",
    "AddReaction",    "RemoveReaction",       "PinMessage",
    "CreateChannel",  "CreateCategory",       "RenameCategory",
    "DeleteCategory", "SetCategoryCollapsed", "ReorderChannel",
    "RenameChannel",  "DeleteChannel",        "ArchiveChannel",
    "MarkRead",       "SetAgentWork",         "JoinCall",
    "LeaveCall",      "SetCallState",         "SetScreenShare",
    "SetCallTicket",
};

constexpr std::array<std::string_view, 6> kOperationNames = {
    "OpenWorkspace", "OpenChannel", "OpenCategory", "RevealMessage", "OpenPerson", "ImportAttachment",
};

} // namespace

void read_value(Decoder& d, const Json& j, std::string_view field, ChatAction& out) {
    read_external(d, j, field, "ChatAction", kActionNames, out.value);
}

void read_value(Decoder& d, const Json& j, std::string_view field, ChatOperation& out) {
    read_external(d, j, field, "ChatOperation", kOperationNames, out.value);
}

} // namespace chat::json_detail

namespace chat {

using namespace json_detail;

OrderedJson to_json(const ChatAction& action) {
    return write_external(kActionNames, action.value);
}

OrderedJson to_json(const ChatOperation& operation) {
    return write_external(kOperationNames, operation.value);
}

template <> Result<ChatAction> decode_json<ChatAction>(std::string_view text) {
    return decode_text<ChatAction>(text);
}

template <> Result<ChatOperation> decode_json<ChatOperation>(std::string_view text) {
    return decode_text<ChatOperation>(text);
}

std::optional<Result<ChatOperation>> decode_operation(std::string_view kind, std::string_view payload) {
    if (kind != kOperationKind)
        return std::nullopt;
    return decode_json<ChatOperation>(payload);
}

} // namespace chat
