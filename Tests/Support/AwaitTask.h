#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <optional>

namespace sorvane::testing {

namespace detail {
template <typename T>
QCoro::Task<> storeResult(QCoro::Task<T> task, std::optional<T> *result, QEventLoop *loop)
{
    result->emplace(co_await std::move(task));
    loop->quit();
}
} // namespace detail

// Runs the event loop until the task ends and gives its value. Unlike
// QCoro::waitFor it needs no default-constructible value (Result has none).
template <typename T>
T awaitTask(QCoro::Task<T> task)
{
    std::optional<T> result;
    QEventLoop loop;
    auto runner = detail::storeResult(std::move(task), &result, &loop);
    if (!result)
        loop.exec();
    return std::move(*result);
}

} // namespace sorvane::testing
