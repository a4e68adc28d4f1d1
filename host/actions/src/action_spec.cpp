#include <kavu_actions/action_spec.h>

namespace kavu::actions {

namespace {

// Compact JSON; invalid UTF-8 in a text is replaced rather than thrown on.
std::string compact(const nlohmann::json& payload) {
    return payload.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

std::string_view to_string(OperationType type) {
    switch (type) {
    case OperationType::View:
        return "View";
    case OperationType::Effect:
        return "Effect";
    case OperationType::Query:
        return "Query";
    }
    return "View";
}

ActionArgs ActionArgs::value(std::string text) {
    ActionArgs args;
    args.set_text("value", std::move(text));
    return args;
}

ActionArgs& ActionArgs::set_text(std::string name, std::string text) {
    m_texts.insert_or_assign(std::move(name), std::move(text));
    return *this;
}

std::string ActionArgs::text(std::string_view name) const {
    auto it = m_texts.find(name);
    return it == m_texts.end() ? std::string() : it->second;
}

ActionSpec ActionSpec::action(std::string id, std::string label, std::string kind, nlohmann::json payload) {
    ActionSpec spec;
    spec.m_id = std::move(id);
    spec.m_label = std::move(label);
    spec.m_kind = std::move(kind);
    spec.m_payload = std::move(payload);
    return spec;
}

ActionSpec ActionSpec::operation(std::string id, std::string label, std::string kind, OperationType type,
                                 nlohmann::json payload) {
    ActionSpec spec = action(std::move(id), std::move(label), std::move(kind), std::move(payload));
    spec.m_operation = type;
    return spec;
}

ActionSpec ActionSpec::with_text(std::string id, std::string label, TextParameter parameter, std::string kind,
                                 std::optional<OperationType> type, TextBuilder build) {
    ActionSpec spec = action(std::move(id), std::move(label), std::move(kind), nullptr);
    spec.m_operation = type;
    spec.m_parameter = std::move(parameter);
    spec.m_build = std::move(build);
    return spec;
}

EncodedAction ActionSpec::encode(const ActionArgs& args) const {
    const auto& payload = m_build ? m_build(args.text("value")) : m_payload;
    return EncodedAction{.kind = m_kind, .payload = compact(payload), .operation = m_operation};
}

ActionResult<void> enforce_operation_type(OperationType declared, OperationType dispatched,
                                          std::string_view subject) {
    if (declared == dispatched)
        return {};
    auto name = to_string(declared);
    bool vowel = std::string_view("AEIOU").find(name[0]) != std::string_view::npos;
    return ActionError{.kind = ActionError::Kind::OperationMismatch,
                       .text = std::string(subject) + " requires " + (vowel ? "an " : "a ") +
                               std::string(name) + " operation"};
}

ActionResult<void> enforce_operation_type(const ActionSpec& spec, OperationType dispatched) {
    if (!spec.operation_type())
        return ActionError{.kind = ActionError::Kind::OperationMismatch,
                           .text = spec.label() + " is not an operation"};
    return enforce_operation_type(*spec.operation_type(), dispatched, spec.label());
}

} // namespace kavu::actions
