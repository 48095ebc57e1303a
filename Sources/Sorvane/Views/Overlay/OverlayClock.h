#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

namespace sorvane {

// The one clock the overlay's moving parts follow: it ticks every 100 ms while the
// overlay is up and not at all while it is hidden. The time source is injectable, and
// a clock that is never started only moves when tick() is called, so tests and
// pictures draw the same thing every time.
class OverlayClock : public QObject {
    Q_OBJECT

public:
    static constexpr int interval = 100; // milliseconds

    explicit OverlayClock(QObject *parent = nullptr);
    OverlayClock(std::function<QDateTime()> timeSource, QObject *parent = nullptr);

    QDateTime now() const { return m_timeSource(); }
    void setTimeSource(std::function<QDateTime()> timeSource);

    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    // Announces the current time now (the timer calls it every interval).
    void tick();

Q_SIGNALS:
    void ticked();

private:
    std::function<QDateTime()> m_timeSource;
    QTimer m_timer;
};

} // namespace sorvane
