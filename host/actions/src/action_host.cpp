#include <kavu_actions/action_host.h>

#include <crdt/document.h>

#include <spdlog/spdlog.h>

namespace kavu::actions {

ActionResult<void> LocalTransport::replicate(crdt::Document& doc, std::string_view kind,
                                             const ApplicableAction& action, const ActionContext& context) {
    // Edits made outside any action (a draft being typed) stay a change of
    // their own, so that this action's change holds only its edits and a
    // failure below rolls back nothing but them.
    if (doc.pending_ops() > 0)
        doc.commit(context.time);
    auto applied = action.apply(doc);
    if (!applied) {
        doc.rollback();
        return ActionError{.kind = ActionError::Kind::Apply, .text = applied.error_text()};
    }
    doc.commit(context.time, context.label);
    return {};
}

ActionResult<void> dispatch_by_with_context(Transport& transport, crdt::Document& doc, std::string_view kind,
                                            const ApplicableAction& action, const ActionContext& context) {
    return transport.replicate(doc, kind, action, context);
}

ActionResult<void> dispatch_by(Transport& transport, crdt::Document& doc, std::string_view kind,
                               const ApplicableAction& action) {
    return transport.replicate(doc, kind, action, ActionContext{});
}

ActionHost::ActionHost(ActionContext defaults, size_t log_capacity)
    : m_defaults(std::move(defaults)), m_log_capacity(log_capacity),
      m_transport(std::make_unique<LocalTransport>()) {}

void ActionHost::set_transport(std::unique_ptr<Transport> transport) {
    m_transport = transport ? std::move(transport) : std::make_unique<LocalTransport>();
}

std::optional<Heads> ActionHost::take_checkpoint() {
    auto checkpoint = std::move(m_checkpoint);
    m_checkpoint.reset();
    return checkpoint;
}

ActionResult<ChangeRecord> ActionHost::dispatch_with_context(crdt::Document& doc, std::string_view kind,
                                                             const ApplicableAction& action,
                                                             const ActionContext& context) {
    return dispatch_impl(doc, kind, action, &context);
}

ActionResult<ChangeRecord> ActionHost::dispatch(crdt::Document& doc, std::string_view kind,
                                                const ApplicableAction& action) {
    return dispatch_impl(doc, kind, action, nullptr);
}

ActionResult<ChangeRecord> ActionHost::dispatch_encoded(crdt::Document& doc, const ActionRegistry& registry,
                                                        const EncodedAction& encoded,
                                                        const ActionContext& context) {
    auto decoded = registry.decode(encoded.kind, encoded.payload);
    if (!decoded) {
        spdlog::warn("action dispatch failed: {}", decoded.error_text());
        return decoded.error();
    }
    return dispatch_impl(doc, encoded.kind, **decoded, &context);
}

ActionResult<ChangeRecord> ActionHost::dispatch_impl(crdt::Document& doc, std::string_view kind,
                                                     const ApplicableAction& action,
                                                     const ActionContext* context) {
    // Taking the heads commits edits pending from outside any action.
    Heads current = doc.heads();
    Heads before = bound_dispatch::typed_action_before(*this).value_or(current);

    ActionContext enriched = context ? context->enriched_by(m_defaults) : m_defaults;
    auto result = context ? dispatch_by_with_context(*m_transport, doc, kind, action, enriched)
                          : dispatch_by(*m_transport, doc, kind, action);
    if (!result) {
        spdlog::warn("action dispatch failed: {}", result.error_text());
        return result.error();
    }

    ChangeRecord record{
        .kind = std::string(kind),
        .address = enriched.address(),
        .label = enriched.label,
        .heads_before = std::move(before),
        .heads_after = doc.heads(),
        .time = enriched.time,
    };
    // An action whose target is gone changes nothing; there is nothing to
    // undo or to show as activity then. Ephemeral changes are not kept either.
    if (record.heads_after == current || action.is_ephemeral())
        return record;
    if (!m_checkpoint)
        m_checkpoint = record.heads_before;
    bound_dispatch::report_typed_action(*this, record);
    record.seq = m_log.empty() ? 0 : m_log.back().seq;
    return record;
}

namespace bound_dispatch {

Scope::Scope(ActionHost& host, crdt::Document& doc) : m_host(host), m_outermost(!host.m_bound_before) {
    if (m_outermost)
        m_host.m_bound_before = doc.heads();
}

Scope::~Scope() {
    if (m_outermost)
        m_host.m_bound_before.reset();
}

std::optional<Heads> typed_action_before(const ActionHost& host) {
    return host.m_bound_before;
}

void report_typed_action(ActionHost& host, ChangeRecord record) {
    record.seq = host.m_next_seq++;
    host.m_log.push_back(std::move(record));
    while (host.m_log.size() > host.m_log_capacity)
        host.m_log.pop_front();
}

} // namespace bound_dispatch

} // namespace kavu::actions
