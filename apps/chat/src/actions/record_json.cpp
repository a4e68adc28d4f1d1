#include "actions/json_fields.h"

namespace chat::json_detail {

// Field lists, in serialisation order. Each serves both directions.

template <RecordOf<Span> S, typename F> void fields(S& v, F& f) {
    f("start", v.start);
    f("end", v.end);
    f("unit", v.unit);
}

template <RecordOf<ResourceRef> S, typename F> void fields(S& v, F& f) {
    f("kind", v.kind);
    f("id", v.id);
    f("label", v.label);
    f("span", v.span, Missing::Allowed);
}

template <RecordOf<Mention> S, typename F> void fields(S& v, F& f) {
    f("user", v.user);
    f("start", v.start);
    f("len", v.len);
    f("is_agent", v.is_agent);
}

template <RecordOf<Attachment::Image> S, typename F> void fields(S& v, F& f) {
    f("name", v.name);
    f("blob", v.blob);
    f("w", v.w);
    f("h", v.h);
}

template <RecordOf<Attachment::Video> S, typename F> void fields(S& v, F& f) {
    f("name", v.name);
    f("blob", v.blob);
    f("w", v.w);
    f("h", v.h);
    f("size", v.size);
}

template <RecordOf<Attachment::File> S, typename F> void fields(S& v, F& f) {
    f("name", v.name);
    f("blob", v.blob);
    f("size", v.size);
}

template <RecordOf<AgentWorkState::Taken> S, typename F> void fields(S&, F&) {}
template <RecordOf<AgentWorkState::Refused> S, typename F> void fields(S&, F&) {}
template <RecordOf<AgentWorkState::Waiting> S, typename F> void fields(S& v, F& f) {
    f("app", v.app);
}
template <RecordOf<AgentWorkState::Doing> S, typename F> void fields(S& v, F& f) {
    f("did", v.did);
    f("about", v.about);
}
template <RecordOf<AgentWorkState::Done> S, typename F> void fields(S& v, F& f) {
    f("did", v.did);
}

template <RecordOf<AgentStepOutcome::Asked> S, typename F> void fields(S&, F&) {}
template <RecordOf<AgentStepOutcome::Applied> S, typename F> void fields(S&, F&) {}
template <RecordOf<AgentStepOutcome::NoChange> S, typename F> void fields(S&, F&) {}
template <RecordOf<AgentStepOutcome::Refused> S, typename F> void fields(S& v, F& f) {
    f("why", v.why);
}

template <RecordOf<AgentReasoning> S, typename F> void fields(S& v, F& f) {
    f("route", v.route);
    f("why", v.why);
}

template <RecordOf<AgentStep> S, typename F> void fields(S& v, F& f) {
    f("id", v.id);
    f("sequence", v.sequence);
    f("resource", v.resource);
    f("label", v.label);
    f("outcome", v.outcome);
}

template <RecordOf<AgentWork> S, typename F> void fields(S& v, F& f) {
    f("state", v.state);
    f("since", v.since);
    f("reasoning", v.reasoning);
    f("trace", v.trace);
}

template <RecordOf<StoredAgentTransition> S, typename F> void fields(S& v, F& f) {
    f("state", v.state);
    f("since", v.since);
}

template <RecordOf<RealtimeMediaFacets> S, typename F> void fields(S& v, F& f) {
    f("microphone", v.microphone);
    f("camera", v.camera);
    f("screen_share", v.screen_share);
    f("share_audio", v.share_audio);
}

template <RecordOf<RealtimeControlIntent> S, typename F> void fields(S& v, F& f) {
    f("microphone_muted", v.microphone_muted);
    f("camera_muted", v.camera_muted);
    f("screen_share_paused", v.screen_share_paused);
    f("share_audio_muted", v.share_audio_muted);
}

template <RecordOf<ChatCallContinuation> S, typename F> void fields(S& v, F& f) {
    f("workspace_id", v.workspace_id);
    f("channel_id", v.channel_id);
    f("media", v.media);
    f("controls", v.controls);
}

namespace {

constexpr std::array<std::string_view, 3> kAttachmentNames = {"Image", "Video", "File"};
constexpr std::array<std::string_view, 5> kStateNames = {"taken", "waiting", "doing", "done", "refused"};
constexpr std::array<std::string_view, 4> kOutcomeNames = {"asked", "applied", "no_change", "refused"};

} // namespace

void read_value(Decoder& d, const Json& j, std::string_view field, Span& out) {
    read_fields(d, j, field, "Span", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, ResourceRef& out) {
    read_fields(d, j, field, "ResourceRef", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, Mention& out) {
    read_fields(d, j, field, "Mention", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, Attachment& out) {
    read_external(d, j, field, "Attachment", kAttachmentNames, out.value);
}
void read_value(Decoder& d, const Json& j, std::string_view field, AgentWorkState& out) {
    read_internal(d, j, field, "AgentWorkState", "state", kStateNames, out.value);
}
void read_value(Decoder& d, const Json& j, std::string_view field, AgentStepOutcome& out) {
    read_internal(d, j, field, "AgentStepOutcome", "outcome", kOutcomeNames, out.value);
}
void read_value(Decoder& d, const Json& j, std::string_view field, AgentReasoning& out) {
    read_fields(d, j, field, "AgentReasoning", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, AgentStep& out) {
    read_fields(d, j, field, "AgentStep", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, AgentWork& out) {
    read_fields(d, j, field, "AgentWork", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, StoredAgentTransition& out) {
    read_fields(d, j, field, "StoredAgentTransition", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, RealtimeMediaFacets& out) {
    read_fields(d, j, field, "RealtimeMediaFacets", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, RealtimeControlIntent& out) {
    read_fields(d, j, field, "RealtimeControlIntent", out);
}
void read_value(Decoder& d, const Json& j, std::string_view field, ChatCallContinuation& out) {
    read_fields(d, j, field, "ChatCallContinuation", out);
}

} // namespace chat::json_detail

namespace chat {

using namespace json_detail;

OrderedJson to_json(const Span& span) {
    return write_fields(span);
}
OrderedJson to_json(const ResourceRef& ref) {
    return write_fields(ref);
}
OrderedJson to_json(const Mention& mention) {
    return write_fields(mention);
}
OrderedJson to_json(const Attachment& attachment) {
    return write_external(kAttachmentNames, attachment.value);
}
OrderedJson to_json(const AgentWorkState& state) {
    return write_internal("state", kStateNames, state.value);
}
OrderedJson to_json(const AgentStepOutcome& outcome) {
    return write_internal("outcome", kOutcomeNames, outcome.value);
}
OrderedJson to_json(const AgentReasoning& reasoning) {
    return write_fields(reasoning);
}
OrderedJson to_json(const std::optional<AgentReasoning>& reasoning) {
    return write_value(reasoning);
}
OrderedJson to_json(const AgentStep& step) {
    return write_fields(step);
}
OrderedJson to_json(const AgentWork& work) {
    return write_fields(work);
}
OrderedJson to_json(const StoredAgentTransition& transition) {
    return write_fields(transition);
}
OrderedJson to_json(const RealtimeMediaFacets& media) {
    return write_fields(media);
}
OrderedJson to_json(const RealtimeControlIntent& controls) {
    return write_fields(controls);
}
OrderedJson to_json(const ChatCallContinuation& continuation) {
    return write_fields(continuation);
}

template <> Result<Attachment> decode_json<Attachment>(std::string_view text) {
    return decode_text<Attachment>(text);
}
template <> Result<Mention> decode_json<Mention>(std::string_view text) {
    return decode_text<Mention>(text);
}
template <> Result<ResourceRef> decode_json<ResourceRef>(std::string_view text) {
    return decode_text<ResourceRef>(text);
}
template <> Result<ChatCallContinuation> decode_json<ChatCallContinuation>(std::string_view text) {
    return decode_text<ChatCallContinuation>(text);
}
template <> Result<AgentWork> decode_json<AgentWork>(std::string_view text) {
    return decode_text<AgentWork>(text);
}
template <> Result<AgentStepOutcome> decode_json<AgentStepOutcome>(std::string_view text) {
    return decode_text<AgentStepOutcome>(text);
}
template <> Result<StoredAgentTransition> decode_json<StoredAgentTransition>(std::string_view text) {
    return decode_text<StoredAgentTransition>(text);
}
template <>
Result<std::optional<AgentReasoning>> decode_json<std::optional<AgentReasoning>>(std::string_view text) {
    return decode_text<std::optional<AgentReasoning>>(text);
}

} // namespace chat
