#pragma once

#include <base/result.h>

#include <cassert>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace kavu::actions {

// Why an action could not be decoded, checked or applied. `text` is what a
// person reads (and what dispatch logs).
struct ActionError {
    enum class Kind : uint8_t {
        UnknownKind,       // no decoder is registered for the kind
        Decode,            // the payload did not parse
        OperationMismatch, // dispatched with another operation type than declared
        Apply,             // the action refused to apply
    };

    Kind kind = Kind::Apply;
    std::string text{};
    // For UnknownKind and Decode: the action kind asked for, and for Decode
    // the parser's own message (also part of `text`).
    std::string action_kind{};
    std::string parser_text{};

    bool operator==(const ActionError&) const = default;
};

// A value or an ActionError.
template <typename T> using ActionResult = kavu::Result<T, ActionError>;

} // namespace kavu::actions
