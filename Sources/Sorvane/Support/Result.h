#pragma once

#include <utility>
#include <variant>

namespace sorvane {

// The outcome of an operation that can fail with a typed error value.
// Each area has its own error type (SorvaneError, AgentRuntimeError, ...).
template <typename T, typename E>
class Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<0>(m_state); }
    T &value() & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const E &error() const { return std::get<1>(m_state); }

private:
    std::variant<T, E> m_state;
};

// For operations that return nothing but can fail.
struct Done {};

} // namespace sorvane
