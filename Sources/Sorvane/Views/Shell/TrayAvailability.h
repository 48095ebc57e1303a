#pragma once

#include "X11SelectionOwner.h"

#include <QDBusServiceWatcher>
#include <QObject>

namespace sorvane {

// Whether a panel shows our tray item now: QSystemTrayIcon::isSystemTrayAvailable() at
// start, then followed as a tray host comes or goes, for the kind of tray Qt chose at
// start (a StatusNotifier host on the session bus, or the X tray's manager selection;
// Qt keeps to its first choice, so a StatusNotifier host that only comes later is not one).
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
    static bool statusNotifierHostRegistered();

    QDBusServiceWatcher m_watcher;
    X11SelectionOwner m_xembedTray;
    bool m_available = false;
    bool m_usesStatusNotifier = false;
};

} // namespace sorvane
