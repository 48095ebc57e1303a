#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <optional>

namespace sorvane {

// Lets through the first of a burst of clicks on actions that act at once (deleting a
// history entry or a vocabulary term) and ignores the ones that follow within the
// double-click interval: after a delete the next row slides under the pointer, and a
// double click must not delete it too.
class ImmediateActionGuard : public QObject {
    Q_OBJECT
    Q_PROPERTY(int interval READ interval WRITE setInterval NOTIFY intervalChanged)
public:
    // Milliseconds since some fixed point; tests replace it.
    using Clock = std::function<qint64()>;

    explicit ImmediateActionGuard(QObject *parent = nullptr);

    // True when the action may run now; the click is then counted.
    Q_INVOKABLE bool tryAct();

    int interval() const { return m_interval; }
    void setInterval(int milliseconds);
    void setClock(Clock clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    void intervalChanged();

private:
    Clock m_clock;
    int m_interval;
    std::optional<qint64> m_lastAct;
};

} // namespace sorvane
