#pragma once

#include <kavu_actions/action_error.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kavu::actions {

// How an operation may be carried out: View changes only what is shown,
// Effect does something outside the view, Query only answers.
enum class OperationType : uint8_t { View, Effect, Query };

std::string_view to_string(OperationType type);

// An action or operation in transport form: its kind and its payload as
// compact JSON text; operations also carry their declared type.
struct EncodedAction {
    std::string kind{};
    std::string payload{};
    std::optional<OperationType> operation{};

    bool operator==(const EncodedAction&) const = default;
};

// Named text arguments handed to a spec with a parameter.
class ActionArgs {
public:
    ActionArgs() = default;
    // Arguments holding one text under "value", the name a spec's single
    // parameter is read from.
    static ActionArgs value(std::string text);

    ActionArgs& set_text(std::string name, std::string text);
    // The argument's text; empty when it is missing.
    std::string text(std::string_view name) const;

private:
    std::map<std::string, std::string, std::less<>> m_texts;
};

// The one text parameter a spec may ask for.
struct TextParameter {
    std::string label{};
    std::string placeholder{};

    bool operator==(const TextParameter&) const = default;
};

// Something a person or an automation can do to a resource: an action
// (applied to the document) or an operation (performed by the application),
// with a fixed payload or one built from a text parameter.
class ActionSpec {
public:
    // Builds the payload from the parameter's text ("value").
    using TextBuilder = std::function<nlohmann::json(std::string_view text)>;

    static ActionSpec action(std::string id, std::string label, std::string kind, nlohmann::json payload);
    static ActionSpec operation(std::string id, std::string label, std::string kind, OperationType type,
                                nlohmann::json payload);
    // A spec whose payload is built from one text parameter; `type` is set
    // for an operation.
    static ActionSpec with_text(std::string id, std::string label, TextParameter parameter, std::string kind,
                                std::optional<OperationType> type, TextBuilder build);

    // Marks this action as destructive: interfaces ask before carrying it out.
    ActionSpec& destructive() & {
        m_destructive = true;
        return *this;
    }
    ActionSpec&& destructive() && {
        m_destructive = true;
        return std::move(*this);
    }
    bool is_destructive() const { return m_destructive; }

    const std::string& id() const { return m_id; }
    const std::string& label() const { return m_label; }
    const std::string& kind() const { return m_kind; }
    std::optional<OperationType> operation_type() const { return m_operation; }
    const std::optional<TextParameter>& parameter() const { return m_parameter; }
    // The fixed payload; null for a spec built from a parameter.
    const nlohmann::json& payload() const { return m_payload; }

    // The payload in transport form; a parameterised spec reads its text
    // from `args` under "value" (missing means empty).
    EncodedAction encode(const ActionArgs& args = {}) const;

private:
    ActionSpec() = default;

    std::string m_id;
    std::string m_label;
    std::string m_kind;
    std::optional<OperationType> m_operation;
    nlohmann::json m_payload;
    std::optional<TextParameter> m_parameter;
    TextBuilder m_build;
    bool m_destructive = false;
};

// Checks that an operation arrives with the type it declares. The error
// names the subject: "attachment import requires an Effect operation".
ActionResult<void> enforce_operation_type(OperationType declared, OperationType dispatched,
                                          std::string_view subject);
// The same for a spec, named by its label.
ActionResult<void> enforce_operation_type(const ActionSpec& spec, OperationType dispatched);

} // namespace kavu::actions
