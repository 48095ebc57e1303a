#pragma once

#include "Platform/DesktopNotifications.h"

#include <QList>
#include <QMap>

namespace sorvane::testing {

// A notification server in memory: replaces by id as a real one does, keeps what is on
// screen, and lets the test click or close a notification.
class FakeNotifications final : public DesktopNotifications {
public:
    using DesktopNotifications::DesktopNotifications;

    QCoro::Task<std::optional<quint32>> show(DesktopNotification notification) override
    {
        shown.append(notification);
        if (!serverRuns)
            co_return std::nullopt;
        const quint32 id = onScreen.contains(notification.replacesId) ? notification.replacesId : nextId++;
        onScreen.insert(id, notification);
        co_return id;
    }

    void click(quint32 id) { Q_EMIT activated(id); }
    void close(quint32 id)
    {
        onScreen.remove(id);
        Q_EMIT closed(id);
    }

    bool serverRuns = true;
    QList<DesktopNotification> shown;
    QMap<quint32, DesktopNotification> onScreen;
    quint32 nextId = 1;
};

} // namespace sorvane::testing
