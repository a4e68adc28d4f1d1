#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <string_view>

namespace kavu::actions {

// A readable label from an identifier: words split at camel-case humps,
// underscores, hyphens, dots and spaces; the first word capitalised, the
// rest lower case, all-capital words (acronyms) kept ("SendMessage" gives
// "Send message", "open_url" gives "Open url", "OpenURL" gives "Open URL").
// Only ASCII letters change case.
std::string humanize_identifier(std::string_view identifier);

// The default label of a payload: the humanized variant name of a one-key
// object or of a string, else "Update".
std::string default_label(const nlohmann::json& payload);

} // namespace kavu::actions
