#pragma once

#include <QCoroTask>
#include <QCoroTimer>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <chrono>

namespace sorvane {

// Waits until `sender` emits `signal` or `timeout` has passed; true when the signal
// came. The waiting coroutine always resumes from the event loop, never inside the
// emission, and a signal emitted again (or after the timeout) touches nothing that is
// gone. (QCoro's own signal wait with a time-out is not safe for signals that may
// fire more than once: a second queued emission reaches a finished wait.)
template <typename Sender, typename Signal>
QCoro::Task<bool> signalWithin(Sender *sender, Signal signal, std::chrono::milliseconds timeout)
{
    QTimer timer;
    timer.setSingleShot(true);
    bool fired = false;
    // `timer` is the context: the connection ends when this wait does.
    const QMetaObject::Connection connection = QObject::connect(sender, signal, &timer, [&timer, &fired] {
        fired = true;
        timer.start(0);
    });
    timer.start(std::max(timeout, std::chrono::milliseconds(0)));
    co_await timer;
    QObject::disconnect(connection);
    co_return fired;
}

// Waits until `holds()` is true, asking again each time `sender` emits `signal`, for
// at most `timeout`; true when it came true. It is asked first, before any wait.
template <typename Sender, typename Signal, typename Condition>
QCoro::Task<bool> waitUntil(Sender *sender, Signal signal, std::chrono::milliseconds timeout, Condition holds)
{
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        if (holds())
            co_return true;
        if (deadline.hasExpired())
            co_return false;
        co_await signalWithin(sender, signal, std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())));
    }
}

} // namespace sorvane
