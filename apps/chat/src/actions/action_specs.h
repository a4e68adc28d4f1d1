#pragma once

#include "actions/chat_action.h"

#include <kavu_actions/action_registry.h>
#include <kavu_actions/action_spec.h>
#include <kavu_actions/applicable_action.h>

#include <memory>
#include <string>

// How chat actions and operations meet the action framework: the applicable
// form of a ChatAction, its decoder, and specs built from either.
namespace chat {

// A ChatAction as the framework applies it: to the document it is given,
// never failing (a missing target leaves the document unchanged).
class ApplicableChatAction final : public kavu::actions::ApplicableAction {
public:
    explicit ApplicableChatAction(ChatAction action) : m_action(std::move(action)) {}

    std::string debug_string() const override;
    kavu::Result<void> apply(crdt::Document& doc) const override;
    bool is_ephemeral() const override { return false; }

    const ChatAction& action() const { return m_action; }

private:
    ChatAction m_action;
};

// Registers the "chat.action" decoder.
void register_chat_actions(kavu::actions::ActionRegistry& registry);

// The payload of a spec: the record's JSON form.
nlohmann::json payload_json(const ChatAction& action);
nlohmann::json payload_json(const ChatOperation& operation);

// A spec of kind "chat.action"; destructive for the three deleting actions.
kavu::actions::ActionSpec action_spec(std::string id, std::string label, const ChatAction& action);
// A spec of kind "chat.operation": View for navigation, Effect for the
// attachment import.
kavu::actions::ActionSpec operation_spec(std::string id, std::string label, const ChatOperation& operation);
kavu::actions::OperationType declared_type(const ChatOperation& operation);

} // namespace chat
