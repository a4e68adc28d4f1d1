#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavu::actions {

// Names a resource: its kind ("chat.channel") and its id within the kind.
// The text form is the kind, a colon and the id; the id may itself hold
// colons, the kind may not.
struct ActionAddress {
    std::string kind{};
    std::string id{};

    std::string encode() const;
    // Splits at the first colon. Nothing for a text without a colon, with
    // an empty kind, or with white space or control characters in the kind.
    static std::optional<ActionAddress> parse(std::string_view text);

    auto operator<=>(const ActionAddress&) const = default;
    bool operator==(const ActionAddress&) const = default;
};

} // namespace kavu::actions
