#include "Services/Command/AgentConversationStore.h"

#include "Shared/AppPaths.h"
#include "Support/SafePath.h"
#include "Support/StoredJson.h"
#include "Shared/UserPerceivedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <algorithm>

namespace sorvane {

namespace {
constexpr int titleLength = 72;
}

AgentConversationStore::Options AgentConversationStore::defaultOptions()
{
    return {AppPaths::agentConversations(), AppPaths::agentAttachments(), [] { return QDateTime::currentDateTimeUtc(); }};
}

AgentConversationStore::AgentConversationStore(Options options, QObject *parent)
    : QObject(parent)
    , m_file(std::move(options.filePath), QStringLiteral("conversations"))
    , m_attachmentsRoot(std::move(options.attachmentsRoot))
    , m_now(std::move(options.clock))
{
    m_file.setNotice([this](const QString &message) { Q_EMIT fileNotice(message); });
    (void)AppPaths::prepare(); // a failure leaves the store empty, never stops the program
    QDir().mkpath(m_attachmentsRoot);
    load();
}


std::optional<AgentConversation> AgentConversationStore::conversation(const QUuid &id) const
{
    for (const AgentConversation &conversation : m_conversations)
        if (conversation.id == id)
            return conversation;
    return std::nullopt;
}

QString AgentConversationStore::titleFor(const QString &firstMessage)
{
    const QString title = userPerceivedPrefix(firstMessage.trimmed(), titleLength);
    return title.isEmpty() ? QStringLiteral("New conversation") : title;
}

AgentMessage AgentConversationStore::newMessage(AgentMessageRole role, const QString &text,
                                                const QList<AgentContextAttachment> &attachments) const
{
    return {QUuid::createUuid(), role, text, m_now(), attachments};
}

QUuid AgentConversationStore::createConversation(const QUuid &id, const QString &firstMessage,
                                                 const QList<AgentContextAttachment> &attachments,
                                                 const QString &targetApplicationName)
{
    const QDateTime now = m_now();
    AgentConversation conversation;
    conversation.id = id;
    conversation.title = titleFor(firstMessage);
    conversation.createdAt = now;
    conversation.updatedAt = now;
    conversation.targetApplicationName = targetApplicationName;
    conversation.messages = {{QUuid::createUuid(), AgentMessageRole::User, firstMessage, now, attachments}};
    m_conversations.prepend(conversation);
    Q_EMIT conversationsChanged();
    save();
    return id;
}

void AgentConversationStore::changeConversation(const QUuid &id,
                                                const std::function<void(AgentConversation &)> &change)
{
    const auto found = std::find_if(m_conversations.begin(), m_conversations.end(),
                                    [&](const AgentConversation &conversation) { return conversation.id == id; });
    if (found == m_conversations.end())
        return;
    change(*found);
    found->updatedAt = m_now();
    sortNewestFirst();
    Q_EMIT conversationsChanged();
    save();
}

void AgentConversationStore::addUserMessage(const QString &text, const QList<AgentContextAttachment> &attachments,
                                            const QUuid &conversationID)
{
    changeConversation(conversationID, [&](AgentConversation &conversation) {
        conversation.messages.append(newMessage(AgentMessageRole::User, text, attachments));
    });
}

void AgentConversationStore::addAssistantMessage(const QString &text, const QUuid &conversationID)
{
    changeConversation(conversationID, [&](AgentConversation &conversation) {
        conversation.messages.append(newMessage(AgentMessageRole::Assistant, text, {}));
    });
}

void AgentConversationStore::setLastPastedText(const std::optional<QString> &text, const QUuid &conversationID)
{
    changeConversation(conversationID, [&](AgentConversation &conversation) { conversation.lastPastedText = text; });
}

void AgentConversationStore::deleteConversation(const QUuid &id)
{
    const qsizetype removed = m_conversations.removeIf(
        [&](const AgentConversation &conversation) { return conversation.id == id; });
    if (removed > 0)
        Q_EMIT conversationsChanged();

    const QString folder = attachmentFolder(id);
    const QFileInfo info(folder);
    if (info.isSymLink() || (info.exists() && !info.isDir())) {
        // Only the link itself goes, never what it points to.
        QFile::remove(folder);
    } else if (info.isDir()) {
        // Links inside are removed as links, not followed.
        QDir(folder).removeRecursively();
    }
    save();
}

QString AgentConversationStore::attachmentFolder(const QUuid &conversationID) const
{
    return m_attachmentsRoot + QLatin1Char('/') + storedjson::uuidText(conversationID);
}

std::optional<QString> AgentConversationStore::attachmentFile(const AgentContextAttachment &attachment) const
{
    if (!attachment.filePath)
        return std::nullopt;
    return resolvedPathInside(*attachment.filePath, m_attachmentsRoot);
}

void AgentConversationStore::sortNewestFirst()
{
    std::stable_sort(m_conversations.begin(), m_conversations.end(),
                     [](const AgentConversation &a, const AgentConversation &b) { return a.updatedAt > b.updatedAt; });
}

void AgentConversationStore::load()
{
    const std::optional<QByteArray> bytes = m_file.read();
    if (!bytes)
        return;
    const auto document = storedjson::parseDocument(*bytes);
    QList<AgentConversation> loaded;
    bool readable = document && document->isArray();
    if (readable) {
        for (const QJsonValue &item : document->array()) {
            auto conversation = AgentConversation::fromJson(item);
            if (!conversation) {
                readable = false;
                break;
            }
            loaded.append(*conversation);
        }
    }
    if (!readable) {
        m_file.markUnreadable();
        return;
    }
    m_conversations = loaded;
    sortNewestFirst();
    Q_EMIT conversationsChanged();
}

void AgentConversationStore::save()
{
    (void)m_file.write(storedjson::encode(storedjson::recordArray(m_conversations)));
}

} // namespace sorvane
