#pragma once

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

// A value or an ActionError, shaped like kavu::Result.
template <typename T> class [[nodiscard]] ActionResult {
public:
    ActionResult(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    ActionResult(ActionError error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() & {
        assert(ok());
        return std::get<0>(m_state);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(m_state);
    }
    T release_value() {
        assert(ok());
        return std::move(std::get<0>(m_state));
    }
    const ActionError& error() const {
        assert(!ok());
        return std::get<1>(m_state);
    }
    const std::string& error_text() const { return error().text; }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

private:
    std::variant<T, ActionError> m_state;
};

template <> class [[nodiscard]] ActionResult<void> {
public:
    ActionResult() = default;
    ActionResult(ActionError error) : m_error(std::move(error)), m_failed(true) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const ActionError& error() const {
        assert(m_failed);
        return m_error;
    }
    const std::string& error_text() const { return error().text; }

private:
    ActionError m_error;
    bool m_failed = false;
};

} // namespace kavu::actions
