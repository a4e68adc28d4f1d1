#pragma once

#include <kavu_actions/action_context.h>
#include <kavu_actions/action_error.h>
#include <kavu_actions/action_registry.h>
#include <kavu_actions/action_spec.h>
#include <kavu_actions/applicable_action.h>
#include <crdt/types.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace crdt {
class Document;
}

namespace kavu::actions {

using Heads = std::vector<crdt::ChangeHash>;

// One reported change: enough to undo it (roll back to heads_before) or to
// list it as activity.
struct ChangeRecord {
    uint64_t seq = 0; // 1 for the first reported change of a host; 0 when not reported
    std::string kind{};
    ActionAddress address{};
    std::string label{};
    Heads heads_before{};
    Heads heads_after{};
    int64_t time = 0;

    bool operator==(const ChangeRecord&) const = default;
};

// Carries an action to the replicas it serves.
class Transport {
public:
    virtual ~Transport() = default;
    virtual ActionResult<void> replicate(crdt::Document& doc, std::string_view kind,
                                         const ApplicableAction& action, const ActionContext& context) = 0;
};

// Applies actions to the local document only. An action's edits become one
// change of their own, committed with the context's time and label; an
// action that fails leaves the document as it was.
class LocalTransport final : public Transport {
public:
    ActionResult<void> replicate(crdt::Document& doc, std::string_view kind, const ApplicableAction& action,
                                 const ActionContext& context) override;
};

ActionResult<void> dispatch_by_with_context(Transport& transport, crdt::Document& doc, std::string_view kind,
                                            const ApplicableAction& action, const ActionContext& context);
ActionResult<void> dispatch_by(Transport& transport, crdt::Document& doc, std::string_view kind,
                               const ApplicableAction& action);

class ActionHost;

namespace bound_dispatch {
class Scope;
std::optional<Heads> typed_action_before(const ActionHost& host);
void report_typed_action(ActionHost& host, ChangeRecord record);
} // namespace bound_dispatch

// The per-application dispatch state: the change checkpoint, the open
// gesture, the bounded log of reported changes and the transport.
class ActionHost {
public:
    static constexpr size_t kDefaultLogCapacity = 256;

    // `defaults` fill what a dispatch's context leaves empty (the
    // application's id and name).
    explicit ActionHost(ActionContext defaults = {}, size_t log_capacity = kDefaultLogCapacity);

    // Applies an action to `doc` through the transport and reports the
    // change. A failure is logged at warning level ("action dispatch
    // failed: " and the error text) and returned; the document is unchanged.
    ActionResult<ChangeRecord> dispatch_with_context(crdt::Document& doc, std::string_view kind,
                                                     const ApplicableAction& action,
                                                     const ActionContext& context);
    // The same with the default context only.
    ActionResult<ChangeRecord> dispatch(crdt::Document& doc, std::string_view kind,
                                        const ApplicableAction& action);
    // Decodes an encoded action with `registry`, then dispatches it.
    ActionResult<ChangeRecord> dispatch_encoded(crdt::Document& doc, const ActionRegistry& registry,
                                                const EncodedAction& encoded, const ActionContext& context);

    // The heads from before the first change dispatched since the last
    // take; nothing when no change was dispatched since.
    std::optional<Heads> take_checkpoint();
    bool has_checkpoint() const { return m_checkpoint.has_value(); }

    // Reported changes, oldest first; at most log_capacity() of them.
    const std::deque<ChangeRecord>& changes() const { return m_log; }
    size_t log_capacity() const { return m_log_capacity; }

    const ActionContext& defaults() const { return m_defaults; }
    void set_defaults(ActionContext defaults) { m_defaults = std::move(defaults); }
    void set_transport(std::unique_ptr<Transport> transport);

private:
    ActionResult<ChangeRecord> dispatch_impl(crdt::Document& doc, std::string_view kind,
                                             const ApplicableAction& action, const ActionContext* context);

    friend class bound_dispatch::Scope;
    friend std::optional<Heads> bound_dispatch::typed_action_before(const ActionHost& host);
    friend void bound_dispatch::report_typed_action(ActionHost& host, ChangeRecord record);

    ActionContext m_defaults;
    size_t m_log_capacity;
    std::unique_ptr<Transport> m_transport;
    std::optional<Heads> m_checkpoint;
    std::optional<Heads> m_bound_before; // heads before the open gesture
    std::deque<ChangeRecord> m_log;
    uint64_t m_next_seq = 1;
};

namespace bound_dispatch {

// Binds the dispatches made while it lives into one gesture (joining a
// call dispatches three actions): each records the heads from before the
// first as its heads before, so undoing the last undoes them all. Scopes
// nest; the outermost one sets the heads.
class Scope {
public:
    Scope(ActionHost& host, crdt::Document& doc);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    ActionHost& m_host;
    bool m_outermost;
};

// The heads a typed action dispatched now records as its heads before: those
// of the open gesture; nothing outside one (the caller takes the current
// heads).
std::optional<Heads> typed_action_before(const ActionHost& host);
// Appends a change to the host's log (numbering it), dropping the oldest
// beyond the capacity.
void report_typed_action(ActionHost& host, ChangeRecord record);

} // namespace bound_dispatch

} // namespace kavu::actions
