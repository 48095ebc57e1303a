#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <optional>

namespace sorvane {

// One desktop notification as the program asks for it.
struct DesktopNotification {
    QString summary;
    QString body;
    // The id of an earlier notification of ours that this one takes the place of; 0 for a new one.
    quint32 replacesId = 0;
    // A banner only, for callers that play a sound of their own.
    bool silent = false;

    friend bool operator==(const DesktopNotification &, const DesktopNotification &) = default;
};

// The desktop's notifications. Only notifications shown through this object are
// reported back: a click (its default action) or its closing.
class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Hands the notification to the desktop; the id it was given, or nothing when no
    // notification server took it. Never fails in any other way.
    virtual QCoro::Task<std::optional<quint32>> show(DesktopNotification notification) = 0;

Q_SIGNALS:
    // The user clicked the notification (or chose one of its actions).
    void activated(quint32 id);
    // The notification is gone from the screen; its id no longer means anything.
    void closed(quint32 id);
};

} // namespace sorvane
