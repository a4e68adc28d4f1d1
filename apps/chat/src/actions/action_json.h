#pragma once

#include "actions/agent_work.h"
#include "actions/call_continuation.h"
#include "actions/chat_action.h"
#include "actions/records.h"

#include <base/result.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

// The JSON form of actions, operations and the records they carry. Variants
// of externally tagged enumerations are one-key objects ({"DeleteChannel":
// {"id": …}}); agent states and step outcomes are internally tagged ("state",
// "outcome"). Output writes every field in declaration order, absent optionals
// as null and empty lists as []. Input ignores unknown keys and fails, with a
// readable message, on a missing, repeated or mistyped field or an unknown
// variant.
namespace chat {

using kavu::Result;
using OrderedJson = nlohmann::ordered_json;

inline constexpr std::string_view kActionKind = "chat.action";
inline constexpr std::string_view kOperationKind = "chat.operation";

OrderedJson to_json(const ChatAction& action);
OrderedJson to_json(const ChatOperation& operation);
OrderedJson to_json(const Attachment& attachment);
OrderedJson to_json(const Mention& mention);
OrderedJson to_json(const ResourceRef& ref);
OrderedJson to_json(const Span& span);
OrderedJson to_json(ChannelKind kind);
OrderedJson to_json(SpanUnit unit);
OrderedJson to_json(ReasoningRoute route);
OrderedJson to_json(const RealtimeMediaFacets& media);
OrderedJson to_json(const RealtimeControlIntent& controls);
OrderedJson to_json(const ChatCallContinuation& continuation);
OrderedJson to_json(const AgentWork& work);
OrderedJson to_json(const AgentWorkState& state);
OrderedJson to_json(const AgentReasoning& reasoning);
OrderedJson to_json(const std::optional<AgentReasoning>& reasoning);
OrderedJson to_json(const AgentStep& step);
OrderedJson to_json(const AgentStepOutcome& outcome);
OrderedJson to_json(const StoredAgentTransition& transition);

// Compact text (no white space between tokens). Never fails: text that is
// not valid UTF-8 is written with replacement characters.
std::string dump_compact(const OrderedJson& value);

template <typename T> std::string encode_json(const T& value) {
    return dump_compact(to_json(value));
}

// Defined for ChatAction, ChatOperation, Attachment, Mention, ResourceRef,
// ChatCallContinuation, AgentWork, AgentStepOutcome, StoredAgentTransition
// and std::optional<AgentReasoning>.
template <typename T> Result<T> decode_json(std::string_view text);

// The operation decoder of the action framework: nullopt when `kind` is not
// "chat.operation" (the payload is someone else's), else the decoded
// operation or the parser's message.
std::optional<Result<ChatOperation>> decode_operation(std::string_view kind, std::string_view payload);

} // namespace chat
