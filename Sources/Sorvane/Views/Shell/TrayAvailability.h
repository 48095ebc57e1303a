#pragma once

#include "X11SelectionOwner.h"

#include <QDBusServiceWatcher>
#include <QObject>

namespace sorvane {

// Whether a panel shows tray items now (QSystemTrayIcon::isSystemTrayAvailable()), asked
// again whenever a tray host comes or goes: the StatusNotifier watcher on the session bus
// and its hosts, or the X tray's manager selection.
class TrayAvailability : public QObject {
    Q_OBJECT
public:
    explicit TrayAvailability(QObject *parent = nullptr);

    bool isAvailable() const { return m_available; }

Q_SIGNALS:
    void availableChanged(bool available);

private Q_SLOTS:
    void recheck();

private:
    QDBusServiceWatcher m_watcher;
    X11SelectionOwner m_xembedTray;
    bool m_available = false;
};

} // namespace sorvane
