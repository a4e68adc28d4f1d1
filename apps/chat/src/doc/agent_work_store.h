#pragma once

#include "actions/agent_work.h"
#include "doc/schema.h"

#include <optional>

// Agent work under a message's "work" map: "transition" and "reasoning" as
// JSON texts and "trace" as a map from step id to step map. Steps are never
// deleted; each write touches only what changed, so concurrent writers of
// different steps merge.
namespace chat::doc {

void write_agent_work(Document& doc, const ObjId& message, const AgentWork& work);

// Also accepts the older layouts: the whole record as one JSON text, a
// "state" map with "since" beside it, a "reasoning" map, plain outcome words
// and steps under eight-digit keys (read as "legacy_step_" + key).
std::optional<AgentWork> read_agent_work(const Document& doc, const ObjId& message);

} // namespace chat::doc
