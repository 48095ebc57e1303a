#include "Platform/Timers.h"

#include <QTimer>

namespace sorvane {

namespace {

class QtTimerHandle final : public TimerHandle {
public:
    QtTimerHandle(std::chrono::milliseconds delay, std::function<void()> action) : m_timer(new QTimer)
    {
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer, &QTimer::timeout, m_timer, std::move(action));
        m_timer->start(delay);
    }

    // The action may replace (and so destroy) this very handle while it runs, so the
    // timer, which owns the running action, goes only once the loop is back.
    ~QtTimerHandle() override
    {
        m_timer->stop();
        m_timer->deleteLater();
    }

    bool isPending() const override { return m_timer->isActive(); }

private:
    QTimer *m_timer;
};

} // namespace

std::chrono::steady_clock::time_point QtTimers::now() const { return std::chrono::steady_clock::now(); }

std::unique_ptr<TimerHandle> QtTimers::start(std::chrono::milliseconds delay, std::function<void()> action)
{
    return std::make_unique<QtTimerHandle>(delay, std::move(action));
}

} // namespace sorvane
