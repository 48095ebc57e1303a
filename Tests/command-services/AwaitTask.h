#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <optional>

namespace sorvane::testing {

// Runs the event loop until the task has finished and gives back its value. Unlike
// QCoro::waitFor it does not need a default-constructible value (Result has none).
template <typename T>
T awaitTask(QCoro::Task<T> task)
{
    std::optional<T> value;
    QEventLoop loop;
    auto driver = [](QCoro::Task<T> task, std::optional<T> &value, QEventLoop &loop) -> QCoro::Task<> {
        value.emplace(co_await std::move(task));
        loop.quit();
    }(std::move(task), value, loop);
    if (!value)
        loop.exec();
    return std::move(*value);
}

} // namespace sorvane::testing
