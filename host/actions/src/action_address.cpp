#include <kavu_actions/action_address.h>

namespace kavu::actions {

std::string ActionAddress::encode() const {
    return kind + ":" + id;
}

std::optional<ActionAddress> ActionAddress::parse(std::string_view text) {
    auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    auto kind = text.substr(0, colon);
    for (char c : kind) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            return std::nullopt;
    }
    return ActionAddress{std::string(kind), std::string(text.substr(colon + 1))};
}

} // namespace kavu::actions
