#include "actions/action_specs.h"

#include "actions/action_json.h"
#include "actions/action_presentation.h"
#include "doc/apply.h"

#include <base/fatal.h>

namespace chat {

using kavu::actions::ActionSpec;
using kavu::actions::OperationType;

std::string ApplicableChatAction::debug_string() const {
    return encode_json(m_action);
}

kavu::Result<void> ApplicableChatAction::apply(crdt::Document& doc) const {
    doc::apply_action(doc, m_action);
    return {};
}

void register_chat_actions(kavu::actions::ActionRegistry& registry) {
    registry.register_decoder(
        std::string(kActionKind),
        [](std::string_view payload) -> kavu::Result<std::unique_ptr<kavu::actions::ApplicableAction>> {
            auto decoded = decode_json<ChatAction>(payload);
            if (!decoded)
                return decoded.error();
            return std::unique_ptr<kavu::actions::ApplicableAction>(
                std::make_unique<ApplicableChatAction>(decoded.release_value()));
        });
}

nlohmann::json payload_json(const ChatAction& action) {
    auto parsed = nlohmann::json::parse(encode_json(action), nullptr, false);
    if (parsed.is_discarded())
        kavu::fatal("encode chat action");
    return parsed;
}

nlohmann::json payload_json(const ChatOperation& operation) {
    auto parsed = nlohmann::json::parse(encode_json(operation), nullptr, false);
    if (parsed.is_discarded())
        kavu::fatal("ChatOperation is always serializable");
    return parsed;
}

ActionSpec action_spec(std::string id, std::string label, const ChatAction& action) {
    ActionSpec spec =
        ActionSpec::action(std::move(id), std::move(label), std::string(kActionKind), payload_json(action));
    if (is_destructive(action))
        spec.destructive();
    return spec;
}

OperationType declared_type(const ChatOperation& operation) {
    return std::holds_alternative<ChatOperation::ImportAttachment>(operation.value) ? OperationType::Effect
                                                                                    : OperationType::View;
}

ActionSpec operation_spec(std::string id, std::string label, const ChatOperation& operation) {
    return ActionSpec::operation(std::move(id), std::move(label), std::string(kOperationKind),
                                 declared_type(operation), payload_json(operation));
}

} // namespace chat
