#include "MainWindow/ImmediateActionGuard.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <memory>

namespace sorvane {

ImmediateActionGuard::ImmediateActionGuard(QObject *parent)
    : QObject(parent),
      m_interval(qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                     ? QGuiApplication::styleHints()->mouseDoubleClickInterval()
                     : 400)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_clock = [timer] { return timer->elapsed(); };
}

bool ImmediateActionGuard::tryAct()
{
    const qint64 now = m_clock();
    if (m_lastAct && now - *m_lastAct < m_interval)
        return false;
    m_lastAct = now;
    return true;
}

void ImmediateActionGuard::setInterval(int milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    Q_EMIT intervalChanged();
}

} // namespace sorvane
