#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace chat {

namespace agent_state {

struct Taken {
    bool operator==(const Taken&) const = default;
};
struct Waiting {
    std::string app;
    bool operator==(const Waiting&) const = default;
};
struct Doing {
    std::string did;
    std::string about;
    bool operator==(const Doing&) const = default;
};
struct Done {
    std::string did;
    bool operator==(const Done&) const = default;
};
struct Refused {
    bool operator==(const Refused&) const = default;
};

} // namespace agent_state

// Where an agent's work on a message stands. Any state may follow any other.
struct AgentWorkState {
    using Taken = agent_state::Taken;
    using Waiting = agent_state::Waiting;
    using Doing = agent_state::Doing;
    using Done = agent_state::Done;
    using Refused = agent_state::Refused;

    std::variant<Taken, Waiting, Doing, Done, Refused> value;

    bool operator==(const AgentWorkState&) const = default;
};

enum class ReasoningRoute : uint8_t { Model, Floor };

struct AgentReasoning {
    ReasoningRoute route = ReasoningRoute::Model;
    std::string why;

    bool operator==(const AgentReasoning&) const = default;
};

namespace step_outcome {

struct Asked {
    bool operator==(const Asked&) const = default;
};
struct Applied {
    bool operator==(const Applied&) const = default;
};
struct NoChange {
    bool operator==(const NoChange&) const = default;
};
struct Refused {
    std::string why;
    bool operator==(const Refused&) const = default;
};

} // namespace step_outcome

struct AgentStepOutcome {
    using Asked = step_outcome::Asked;
    using Applied = step_outcome::Applied;
    using NoChange = step_outcome::NoChange;
    using Refused = step_outcome::Refused;

    std::variant<Asked, Applied, NoChange, Refused> value;

    bool operator==(const AgentStepOutcome&) const = default;
};

// One step of the trace. `id` is stable across updates of the same work.
struct AgentStep {
    std::string id;
    uint64_t sequence = 0;
    std::string resource;
    std::string label;
    AgentStepOutcome outcome;

    bool operator==(const AgentStep&) const = default;
};

struct AgentWork {
    AgentWorkState state;
    uint64_t since = 0; // seconds since the Unix epoch
    std::optional<AgentReasoning> reasoning;
    std::vector<AgentStep> trace;

    bool operator==(const AgentWork&) const = default;
};

// The current state and when it was entered, stored as one JSON text.
struct StoredAgentTransition {
    AgentWorkState state;
    uint64_t since = 0;

    bool operator==(const StoredAgentTransition&) const = default;
};

} // namespace chat
