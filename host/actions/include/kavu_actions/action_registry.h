#pragma once

#include <kavu_actions/action_error.h>
#include <kavu_actions/applicable_action.h>
#include <base/result.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace kavu::actions {

// Maps an action kind ("chat.action") to the decoder that turns an encoded
// payload back into an applicable action.
class ActionRegistry {
public:
    // Parses a payload; an error carries the parser's text.
    using Decoder = std::function<kavu::Result<std::unique_ptr<ApplicableAction>>(std::string_view payload)>;

    // Registers (or replaces) the decoder of a kind.
    void register_decoder(std::string kind, Decoder decoder);
    bool has(std::string_view kind) const;

    // Errors: UnknownKind when no decoder is registered, Decode (naming the
    // kind and carrying the parser's text) when the payload does not parse.
    ActionResult<std::unique_ptr<ApplicableAction>> decode(std::string_view kind,
                                                           std::string_view payload) const;

private:
    std::map<std::string, Decoder, std::less<>> m_decoders;
};

} // namespace kavu::actions
