#pragma once

#include "Platform/DesktopNotifications.h"

#include <QObject>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace sorvane {

// The "Command finished" desktop notification. Each notification replaces the one
// before; a click on it opens the active conversation, or else brings the main window
// forward. With no notification server nothing happens and nothing is reported.
class AgentNotificationService : public QObject {
    Q_OBJECT
    // True once the service listens for clicks on its notifications.
    Q_PROPERTY(bool isDelegateInstalled READ isDelegateInstalled NOTIFY isDelegateInstalledChanged)

public:
    // `notifications` must outlive the service.
    explicit AgentNotificationService(DesktopNotifications &notifications, QObject *parent = nullptr);

    bool isDelegateInstalled() const { return m_delegateInstalled; }

    // Says who owns the active conversation at the moment of a click; without a reader
    // (or when it gives nothing) a click brings the main window forward.
    void setActiveConversationReader(std::function<std::optional<QUuid>()> reader);

    // Returns at once; the notification is handed to the desktop in the background.
    void postCompletion(bool pasted, bool copiedToClipboard, const QString &targetApplicationName,
                        const QString &pasteKeyName = QStringLiteral("Ctrl+V"));

    // The id of the notification on screen, 0 when there is none.
    quint32 currentNotificationId() const { return m_currentId; }

Q_SIGNALS:
    void isDelegateInstalledChanged();
    // A click on our notification, routed.
    void openAgentConversationRequested(const QUuid &conversationID);
    void bringMainWindowForwardRequested();
    // Each posting ends with one of these: whether the desktop took the notification.
    void postFinished(bool delivered);

private:
    void installDelegate();
    QCoro::Task<void> send(QString body);
    void handleActivated(quint32 id);
    void handleClosed(quint32 id);

    DesktopNotifications &m_notifications;
    bool m_delegateInstalled = false;
    std::function<std::optional<QUuid>()> m_activeConversation;
    // One notification at a time, so that the next one can name the id to replace;
    // a posting made meanwhile waits here (only the latest counts).
    bool m_sending = false;
    std::optional<QString> m_waitingBody;
    quint32 m_currentId = 0;
};

} // namespace sorvane
