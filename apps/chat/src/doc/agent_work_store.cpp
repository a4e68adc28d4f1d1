#include "doc/agent_work_store.h"

#include "actions/action_json.h"

#include <algorithm>
#include <map>

namespace chat::doc {

namespace {

// Steps were once keyed by their number, written as eight ASCII digits.
bool is_legacy_step_key(std::string_view key) {
    return key.size() == 8 &&
           std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

uint64_t non_negative(std::optional<int64_t> v) {
    return static_cast<uint64_t>(std::max<int64_t>(v.value_or(0), 0));
}

std::optional<AgentWorkState> read_legacy_state(const Document& doc, const ObjId& work) {
    auto state = find_map(doc, work, "state");
    if (!state)
        return std::nullopt;
    auto field = [&](std::string_view key) { return read_str(doc, *state, key).value_or(""); };
    auto kind = read_str(doc, *state, "kind").value_or("");
    if (kind == "taken")
        return AgentWorkState{AgentWorkState::Taken{}};
    if (kind == "waiting")
        return AgentWorkState{AgentWorkState::Waiting{.app = field("app")}};
    if (kind == "doing")
        return AgentWorkState{AgentWorkState::Doing{.did = field("did"), .about = field("about")}};
    if (kind == "done")
        return AgentWorkState{AgentWorkState::Done{.did = field("did")}};
    if (kind == "refused")
        return AgentWorkState{AgentWorkState::Refused{}};
    return std::nullopt;
}

std::optional<AgentReasoning> read_reasoning(const Document& doc, const ObjId& work) {
    if (auto map = find_map(doc, work, "reasoning")) {
        if (!read_bool(doc, *map, "present"))
            return std::nullopt;
        auto route = read_str(doc, *map, "route");
        AgentReasoning reasoning{.why = read_str(doc, *map, "why").value_or("")};
        if (route == "model")
            reasoning.route = ReasoningRoute::Model;
        else if (route == "floor")
            reasoning.route = ReasoningRoute::Floor;
        else
            return std::nullopt;
        return reasoning;
    }
    auto text = read_str(doc, work, "reasoning");
    if (!text)
        return std::nullopt;
    auto parsed = decode_json<std::optional<AgentReasoning>>(*text);
    return parsed ? *parsed : std::nullopt;
}

std::optional<AgentStepOutcome> read_outcome(const Document& doc, const ObjId& step) {
    auto text = read_str(doc, step, "outcome");
    if (!text)
        return std::nullopt;
    if (auto parsed = decode_json<AgentStepOutcome>(*text))
        return parsed.release_value();
    if (*text == "asked")
        return AgentStepOutcome{AgentStepOutcome::Asked{}};
    if (*text == "applied")
        return AgentStepOutcome{AgentStepOutcome::Applied{}};
    if (*text == "no_change")
        return AgentStepOutcome{AgentStepOutcome::NoChange{}};
    if (*text == "refused")
        return AgentStepOutcome{AgentStepOutcome::Refused{.why = read_str(doc, step, "why").value_or("")}};
    return std::nullopt;
}

std::vector<AgentStep> read_trace(const Document& doc, const ObjId& work) {
    std::vector<AgentStep> trace;
    auto steps = find_map(doc, work, "trace");
    if (!steps)
        return trace;
    for (auto& [key, value] : doc.entries(*steps)) {
        if (!value.is(crdt::ObjType::Map) || !read_bool(doc, value.id, "present"))
            continue;
        auto outcome = read_outcome(doc, value.id);
        if (!outcome)
            continue;
        trace.push_back(AgentStep{
            .id = is_legacy_step_key(key) ? "legacy_step_" + key : key,
            .sequence = static_cast<uint64_t>(read_int(doc, value.id, "sequence").value_or(0)),
            .resource = read_str(doc, value.id, "resource").value_or(""),
            .label = read_str(doc, value.id, "label").value_or(""),
            .outcome = std::move(*outcome),
        });
    }
    std::stable_sort(trace.begin(), trace.end(), [](const AgentStep& a, const AgentStep& b) {
        if (a.sequence != b.sequence)
            return a.sequence < b.sequence;
        return a.id < b.id;
    });
    return trace;
}

} // namespace

std::optional<AgentWork> read_agent_work(const Document& doc, const ObjId& message) {
    auto value = doc.get(message, "work");
    if (!value)
        return std::nullopt;
    if (value->is_scalar()) {
        const std::string* text = value->str();
        if (!text || text->empty())
            return std::nullopt;
        auto parsed = decode_json<AgentWork>(*text);
        if (!parsed)
            return std::nullopt;
        return parsed.release_value();
    }
    if (!value->is(crdt::ObjType::Map))
        return std::nullopt;
    const ObjId work = value->id;

    AgentWork out;
    auto transition = read_str(doc, work, "transition");
    auto parsed = transition ? decode_json<StoredAgentTransition>(*transition)
                             : Result<StoredAgentTransition>(kavu::make_error("missing"));
    if (parsed) {
        out.state = parsed->state;
        out.since = parsed->since;
    } else {
        auto state = read_legacy_state(doc, work);
        if (!state)
            return std::nullopt;
        out.state = std::move(*state);
        out.since = non_negative(read_int(doc, work, "since"));
    }
    out.reasoning = read_reasoning(doc, work);
    out.trace = read_trace(doc, work);
    return out;
}

void write_agent_work(Document& doc, const ObjId& message, const AgentWork& work) {
    std::optional<AgentWork> cur;
    if (find_map(doc, message, "work"))
        cur = read_agent_work(doc, message);
    ObjId w = ensure_map(doc, message, "work");

    if (!cur || cur->since != work.since || cur->state != work.state)
        put_str(doc, w, "transition",
                encode_json(StoredAgentTransition{.state = work.state, .since = work.since}));
    if (!cur || cur->reasoning != work.reasoning)
        put_str(doc, w, "reasoning", encode_json(work.reasoning));

    ObjId trace = ensure_map(doc, w, "trace");
    std::map<std::string_view, const AgentStep*> known;
    if (cur) {
        for (const AgentStep& step : cur->trace)
            known.emplace(step.id, &step);
    }
    for (const AgentStep& step : work.trace) {
        if (step.id.empty())
            continue;
        auto it = known.find(step.id);
        const AgentStep* before = it == known.end() ? nullptr : it->second;
        if (before && *before == step)
            continue;
        bool existed = find_map(doc, trace, step.id).has_value();
        ObjId sm = ensure_map(doc, trace, step.id);
        put_bool(doc, sm, "present", true);
        if (!existed) {
            // Identity fields are written once per step id and never rewritten.
            put_int(doc, sm, "sequence", static_cast<int64_t>(step.sequence));
            put_str(doc, sm, "resource", step.resource);
            put_str(doc, sm, "label", step.label);
        }
        if (!before || before->outcome != step.outcome)
            put_str(doc, sm, "outcome", encode_json(step.outcome));
    }

    // Steps stored under the older numeric keys are superseded by any write.
    for (auto& [key, value] : doc.entries(trace)) {
        if (is_legacy_step_key(key) && value.is(crdt::ObjType::Map) &&
            find_bool(doc, value.id, "present") != false)
            put_bool(doc, value.id, "present", false);
    }
}

} // namespace chat::doc
