#include "OverlayClock.h"

namespace sorvane {

OverlayClock::OverlayClock(QObject *parent) : OverlayClock([] { return QDateTime::currentDateTimeUtc(); }, parent) {}

OverlayClock::OverlayClock(std::function<QDateTime()> timeSource, QObject *parent)
    : QObject(parent), m_timeSource(std::move(timeSource))
{
    m_timer.setInterval(interval);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &OverlayClock::tick);
}

void OverlayClock::setTimeSource(std::function<QDateTime()> timeSource)
{
    m_timeSource = std::move(timeSource);
}

void OverlayClock::start()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void OverlayClock::stop()
{
    m_timer.stop();
}

void OverlayClock::tick()
{
    Q_EMIT ticked();
}

} // namespace sorvane
