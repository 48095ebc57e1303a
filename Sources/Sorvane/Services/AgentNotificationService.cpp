#include "AgentNotificationService.h"

#include "AgentCompletionNotice.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace sorvane {

namespace {
const QString interfaceName = QString::fromLatin1(AgentNotificationService::serverName);
constexpr int callTimeoutMs = 10000;
} // namespace

AgentNotificationService::AgentNotificationService(QObject *parent)
    : AgentNotificationService(QDBusConnection::sessionBus(), parent)
{
}

AgentNotificationService::AgentNotificationService(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
}

void AgentNotificationService::setActiveConversationReader(std::function<std::optional<QUuid>()> reader)
{
    m_activeConversation = std::move(reader);
}

void AgentNotificationService::postCompletion(bool pasted, bool copiedToClipboard, const QString &targetApplicationName)
{
    if (!m_delegateInstalled)
        installDelegate();
    const QString body = AgentCompletionNotice::body(pasted, copiedToClipboard, targetApplicationName);
    if (m_sending) {
        m_waitingBody = body;
        return;
    }
    send(body);
}

void AgentNotificationService::installDelegate()
{
    // No service filter: that would look the owner up with a blocking call. The sender
    // is checked against the server that answered our own calls instead.
    const QString path = QString::fromLatin1(serverPath);
    m_bus.connect(QString(), path, interfaceName, QStringLiteral("ActionInvoked"), this,
                  SLOT(handleActionInvoked(uint, QString, QDBusMessage)));
    m_bus.connect(QString(), path, interfaceName, QStringLiteral("NotificationClosed"), this,
                  SLOT(handleNotificationClosed(uint, uint, QDBusMessage)));
    m_delegateInstalled = true;
    Q_EMIT isDelegateInstalledChanged();
}

void AgentNotificationService::send(const QString &body)
{
    m_sending = true;
    QDBusMessage call = QDBusMessage::createMethodCall(interfaceName, QString::fromLatin1(serverPath), interfaceName,
                                                       QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("com.sorvane.local")},
        // A banner only: the program plays its own completion sound.
        {QStringLiteral("suppress-sound"), true},
    };
    call << QStringLiteral("Sorvane")           // app_name
         << uint(m_currentId)                  // replaces_id: 0 for a new one
         << QStringLiteral("com.sorvane.local") // app_icon
         << QStringLiteral("Command finished") // summary
         << body                               // body
         << QStringList{QStringLiteral("default"), QStringLiteral("Open")} // a click is the default action
         << hints << int(-1);                  // expire_timeout: the server's choice
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &AgentNotificationService::handleReply);
}

void AgentNotificationService::handleReply(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    m_sending = false;
    // No server, a refusal or a time-out: the Command result is not affected.
    const bool delivered = !reply.isError();
    if (delivered) {
        m_currentId = reply.value();
        m_ownIds.insert(m_currentId);
        m_serverOwner = reply.reply().service();
    }
    Q_EMIT postFinished(delivered);
    if (m_waitingBody) {
        const QString body = *m_waitingBody;
        m_waitingBody.reset();
        send(body);
    }
}

bool AgentNotificationService::isFromOurServer(const QDBusMessage &message) const
{
    return !m_serverOwner.isEmpty() && message.service() == m_serverOwner;
}

void AgentNotificationService::handleActionInvoked(uint id, const QString &actionKey, const QDBusMessage &message)
{
    Q_UNUSED(actionKey) // any action on our notification opens it
    if (!isFromOurServer(message) || !m_ownIds.contains(id))
        return;
    const std::optional<QUuid> conversation = m_activeConversation ? m_activeConversation() : std::nullopt;
    if (conversation && !conversation->isNull())
        Q_EMIT openAgentConversationRequested(*conversation);
    else
        Q_EMIT bringMainWindowForwardRequested();
}

void AgentNotificationService::handleNotificationClosed(uint id, uint reason, const QDBusMessage &message)
{
    Q_UNUSED(reason)
    if (!isFromOurServer(message) || !m_ownIds.remove(id))
        return;
    if (id == m_currentId)
        m_currentId = 0;
}

} // namespace sorvane
