#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace kavu {

// A failure a person can read. Expected failures are returned, never thrown.
struct Error {
    std::string text;

    bool operator==(const Error&) const = default;
};

inline Error make_error(std::string text) {
    return Error{std::move(text)};
}

// A value or an error, shaped like std::expected (which g++ 12 lacks in
// C++20). E is Error unless a module needs a richer error record; it must
// carry a readable `text`.
template <typename T, typename E = Error> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

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
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(m_state));
    }
    T release_value() { return std::move(value()); }

    const E& error() const {
        assert(!ok());
        return std::get<1>(m_state);
    }
    const std::string& error_text() const { return error().text; }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    std::variant<T, E> m_state;
};

template <typename E> class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    Result(E error) : m_error(std::move(error)), m_failed(true) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const E& error() const {
        assert(m_failed);
        return m_error;
    }
    const std::string& error_text() const { return error().text; }

private:
    E m_error;
    bool m_failed = false;
};

} // namespace kavu
