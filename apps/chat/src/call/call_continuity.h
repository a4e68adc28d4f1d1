#pragma once

#include <deque>
#include <optional>
#include <string>
#include <variant>

namespace chat {

// Events for the toolkit's continuity layer about the local call. The
// toolkit has no queue of its own for these yet, so the call controls keep
// this one and the application hands its events on.
namespace continuity {

// The call became active; `snapshot` is the continuation JSON.
struct CallStarted {
    std::string snapshot;
    bool operator==(const CallStarted&) const = default;
};
// A resumed call is running again with the restored controls.
struct CallStateChanged {
    std::string snapshot;
    bool operator==(const CallStateChanged&) const = default;
};
// A resume failed; the local call was dropped.
struct CallResumeFailed {
    std::string error;
    bool operator==(const CallResumeFailed&) const = default;
};

} // namespace continuity

struct CallContinuityEvent {
    std::variant<continuity::CallStarted, continuity::CallStateChanged, continuity::CallResumeFailed> value;
    bool operator==(const CallContinuityEvent&) const = default;
};

class CallContinuityQueue {
public:
    static constexpr size_t kCapacity = 32;

    // Drops the oldest event beyond the capacity, so a toolkit that never
    // reads cannot make the queue grow without bound.
    void push(CallContinuityEvent event) {
        if (m_events.size() == kCapacity)
            m_events.pop_front();
        m_events.push_back(std::move(event));
    }
    std::optional<CallContinuityEvent> pop() {
        if (m_events.empty())
            return std::nullopt;
        CallContinuityEvent event = std::move(m_events.front());
        m_events.pop_front();
        return event;
    }
    size_t size() const { return m_events.size(); }

private:
    std::deque<CallContinuityEvent> m_events;
};

} // namespace chat
