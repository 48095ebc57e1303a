#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

class QDBusPendingCallWatcher;

namespace sorvane {

// The "Command finished" desktop notification, through the desktop's notification
// server (org.freedesktop.Notifications). Each notification replaces the one before;
// a click on it opens the active conversation, or else brings the main window forward.
// With no notification server nothing happens and nothing is reported.
class AgentNotificationService : public QObject {
    Q_OBJECT
    // True once the service listens for clicks on its notifications.
    Q_PROPERTY(bool isDelegateInstalled READ isDelegateInstalled NOTIFY isDelegateInstalledChanged)

public:
    static constexpr auto serverName = "org.freedesktop.Notifications";
    static constexpr auto serverPath = "/org/freedesktop/Notifications";

    // On the session bus, or on the given connection (tests).
    explicit AgentNotificationService(QObject *parent = nullptr);
    explicit AgentNotificationService(const QDBusConnection &bus, QObject *parent = nullptr);

    bool isDelegateInstalled() const { return m_delegateInstalled; }

    // Says who owns the active conversation at the moment of a click; without a reader
    // (or when it gives nothing) a click brings the main window forward.
    void setActiveConversationReader(std::function<std::optional<QUuid>()> reader);

    // Returns at once; the notification is handed to the server in the background.
    void postCompletion(bool pasted, bool copiedToClipboard, const QString &targetApplicationName);

    // The server's id of the notification on screen, 0 when there is none.
    quint32 currentNotificationId() const { return m_currentId; }

Q_SIGNALS:
    void isDelegateInstalledChanged();
    // A click on our notification, routed.
    void openAgentConversationRequested(const QUuid &conversationID);
    void bringMainWindowForwardRequested();
    // Each posting ends with one of these: whether the server took the notification.
    void postFinished(bool delivered);

private:
    Q_SLOT void handleActionInvoked(uint id, const QString &actionKey, const QDBusMessage &message);
    Q_SLOT void handleNotificationClosed(uint id, uint reason, const QDBusMessage &message);
    void installDelegate();
    void send(const QString &body);
    void handleReply(QDBusPendingCallWatcher *watcher);
    bool isFromOurServer(const QDBusMessage &message) const;

    QDBusConnection m_bus;
    bool m_delegateInstalled = false;
    std::function<std::optional<QUuid>()> m_activeConversation;
    // One Notify call at a time, so that the next one can name the id to replace;
    // a posting made meanwhile waits here (only the latest counts).
    bool m_sending = false;
    std::optional<QString> m_waitingBody;
    quint32 m_currentId = 0;
    // Ids the server gave our notifications that are still open: the click signal is
    // broadcast for every client's notifications.
    QSet<quint32> m_ownIds;
    // The unique bus name of the server that took them.
    QString m_serverOwner;
};

} // namespace sorvane
