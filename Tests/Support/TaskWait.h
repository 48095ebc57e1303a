#pragma once

#include <QCoroTask>
#include <optional>

namespace sorvane::testing {

// QCoro::waitFor needs a default-constructible result, which Result<T, E> is not:
// this runs a nested event loop until the task is done and hands its value back.
template <typename T>
T waitForTask(QCoro::Task<T> task)
{
    auto wrapped = [](QCoro::Task<T> inner) -> QCoro::Task<std::optional<T>> { co_return co_await std::move(inner); };
    return std::move(*QCoro::waitFor(wrapped(std::move(task))));
}

} // namespace sorvane::testing
