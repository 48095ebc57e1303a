#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace sorvane {

// One pending timed action. Destroying the handle cancels the action; an action that
// has run leaves a handle that does nothing. Each timed action of the application
// state keeps exactly one handle and replaces it when it is scheduled again.
class TimerHandle {
public:
    virtual ~TimerHandle() = default;
    virtual bool isPending() const = 0;
};

// The monotonic clock and the one-shot timers of the main loop. The program uses
// QtTimers; tests use a fake whose time moves only when the test says so.
class Timers {
public:
    virtual ~Timers() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
    // Runs `action` once on the main loop after `delay`, unless the handle is
    // destroyed first. A zero delay runs it at the next turn of the loop.
    virtual std::unique_ptr<TimerHandle> start(std::chrono::milliseconds delay, std::function<void()> action) = 0;
};

// Precise QTimers on the main loop and the steady clock.
class QtTimers final : public Timers {
public:
    std::chrono::steady_clock::time_point now() const override;
    std::unique_ptr<TimerHandle> start(std::chrono::milliseconds delay, std::function<void()> action) override;
};

} // namespace sorvane
