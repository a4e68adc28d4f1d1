#pragma once

#include <string>
#include <string_view>

namespace chat {

// A random version-4 UUID as 32 lower-case hexadecimal digits, drawn from the
// system random source.
std::string random_uuid_hex();

// `prefix` followed by a random UUID: "m_" for messages, "c_" for channels,
// "cat_" for categories.
std::string fresh_id(std::string_view prefix);

} // namespace chat
