#include <kavu_actions/action_registry.h>

#include <exception>

namespace kavu::actions {

void ActionRegistry::register_decoder(std::string kind, Decoder decoder) {
    m_decoders.insert_or_assign(std::move(kind), std::move(decoder));
}

bool ActionRegistry::has(std::string_view kind) const {
    return m_decoders.find(kind) != m_decoders.end();
}

ActionResult<std::unique_ptr<ApplicableAction>> ActionRegistry::decode(std::string_view kind,
                                                                       std::string_view payload) const {
    auto it = m_decoders.find(kind);
    if (it == m_decoders.end())
        return ActionError{.kind = ActionError::Kind::UnknownKind,
                           .text =
                               "no decoder is registered for the action kind \"" + std::string(kind) + "\"",
                           .action_kind = std::string(kind)};
    // Decoders built on a throwing parser must not take the caller down with
    // a hostile payload; whatever escapes counts as a parse failure.
    kavu::Result<std::unique_ptr<ApplicableAction>> decoded = kavu::make_error("");
    try {
        decoded = it->second(payload);
    } catch (const std::exception& e) {
        decoded = kavu::make_error(e.what());
    }
    if (decoded && decoded.value())
        return decoded.release_value();
    std::string parser_text = decoded ? "the decoder gave nothing" : decoded.error_text();
    return ActionError{.kind = ActionError::Kind::Decode,
                       .text = "could not decode a \"" + std::string(kind) + "\" action: " + parser_text,
                       .action_kind = std::string(kind),
                       .parser_text = parser_text};
}

} // namespace kavu::actions
