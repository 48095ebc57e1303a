#include "Services/Command/AgentNotificationService.h"

#include "Command/AgentCompletionNotice.h"

#include <QPointer>

namespace sorvane {

AgentNotificationService::AgentNotificationService(DesktopNotifications &notifications, QObject *parent)
    : QObject(parent), m_notifications(notifications)
{
}

void AgentNotificationService::setActiveConversationReader(std::function<std::optional<QUuid>()> reader)
{
    m_activeConversation = std::move(reader);
}

void AgentNotificationService::postCompletion(bool pasted, bool copiedToClipboard, const QString &targetApplicationName,
                                              const QString &pasteKeyName)
{
    if (!m_delegateInstalled)
        installDelegate();
    const QString body = AgentCompletionNotice::body(pasted, copiedToClipboard, targetApplicationName, pasteKeyName);
    if (m_sending) {
        m_waitingBody = body;
        return;
    }
    send(body);
}

void AgentNotificationService::installDelegate()
{
    connect(&m_notifications, &DesktopNotifications::activated, this, &AgentNotificationService::handleActivated);
    connect(&m_notifications, &DesktopNotifications::closed, this, &AgentNotificationService::handleClosed);
    m_delegateInstalled = true;
    Q_EMIT isDelegateInstalledChanged();
}

QCoro::Task<void> AgentNotificationService::send(QString body)
{
    QPointer<AgentNotificationService> self(this);
    std::optional<QString> next = std::move(body);
    while (next) {
        m_sending = true;
        // A banner only: the program plays its own completion sound.
        auto shown = m_notifications.show(DesktopNotification{QStringLiteral("Command finished"), *next, m_currentId, true});
        const std::optional<quint32> id = co_await std::move(shown);
        if (!self)
            co_return;
        m_sending = false;
        // No server, a refusal or a time-out: the Command result is not affected.
        if (id)
            m_currentId = *id;
        Q_EMIT postFinished(id.has_value());
        if (!self)
            co_return;
        next = std::exchange(m_waitingBody, std::nullopt);
    }
}

void AgentNotificationService::handleActivated(quint32 id)
{
    Q_UNUSED(id) // only our own notifications are reported, and any of them opens the conversation
    const std::optional<QUuid> conversation = m_activeConversation ? m_activeConversation() : std::nullopt;
    if (conversation && !conversation->isNull())
        Q_EMIT openAgentConversationRequested(*conversation);
    else
        Q_EMIT bringMainWindowForwardRequested();
}

void AgentNotificationService::handleClosed(quint32 id)
{
    if (id == m_currentId)
        m_currentId = 0;
}

} // namespace sorvane
