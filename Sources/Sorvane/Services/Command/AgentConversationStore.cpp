#include "Services/Command/AgentConversationStore.h"

#include "Shared/AppPaths.h"
#include "Support/SafePath.h"
#include "Support/StoredJson.h"
#include "Shared/UserPerceivedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSet>
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
    if (!options.loadInBackground) {
        take(read(m_file.path()));
        return;
    }
    // From the loop's first turn: what the program starts with (its shortcuts, its tray
    // item, its runtime) comes first, and is not slowed by the read.
    m_loading.startOnNextTurn([this] { return !m_loaded; }, [path = m_file.path()] { return read(path); });
}

AgentConversationStore::~AgentConversationStore()
{
    // What was started before the file was read is written with it, not lost.
    if (!m_loaded && m_saveWhenLoaded)
        waitForLoad();
}

void AgentConversationStore::waitForLoad()
{
    if (m_loaded)
        return;
    take(m_loading.isRunning() ? m_loading.waitForResult() : read(m_file.path()));
}

void AgentConversationStore::waitForLoadUnlessKnown(const QUuid &id)
{
    if (!m_loaded && !conversation(id))
        waitForLoad();
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
    waitForLoadUnlessKnown(id);
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
    waitForLoadUnlessKnown(id);
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

AgentConversationStore::Loaded AgentConversationStore::read(const QString &path)
{
    Loaded loaded;
    QFile file(path);
    if (!file.exists())
        return loaded;
    loaded.outcome = Loaded::Outcome::Unreadable;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcStoredFiles).noquote() << "Could not open the conversations file" << path << ":"
                                           << file.errorString();
        return loaded;
    }
    const auto document = storedjson::parseDocument(file.readAll());
    if (!document || !document->isArray())
        return loaded;
    const QJsonArray array = document->array();
    loaded.conversations.reserve(array.size());
    for (const QJsonValue &item : array) {
        auto conversation = AgentConversation::fromJson(item);
        if (!conversation)
            return {Loaded::Outcome::Unreadable, {}}; // one bad conversation fails the whole file
        loaded.conversations.append(std::move(*conversation));
    }
    loaded.outcome = Loaded::Outcome::Read;
    return loaded;
}

void AgentConversationStore::take(Loaded result)
{
    m_loaded = true;
    if (result.outcome == Loaded::Outcome::Unreadable)
        m_file.markUnreadable();
    const bool read = !result.conversations.isEmpty();
    if (m_conversations.isEmpty()) {
        m_conversations = std::move(result.conversations);
    } else {
        // Conversations started while the file was read join the file's. Their ids are
        // chosen fresh, so none should be in the file too; should one be, memory's wins.
        QSet<QUuid> started;
        for (const AgentConversation &conversation : std::as_const(m_conversations))
            started.insert(conversation.id);
        for (AgentConversation &conversation : result.conversations)
            if (!started.contains(conversation.id))
                m_conversations.append(std::move(conversation));
    }
    sortNewestFirst();
    if (read)
        Q_EMIT conversationsChanged();
    Q_EMIT loaded();
    if (m_saveWhenLoaded) {
        m_saveWhenLoaded = false;
        save();
    }
}

void AgentConversationStore::save()
{
    if (!m_loaded) {
        m_saveWhenLoaded = true;
        return;
    }
    (void)m_file.write(storedjson::encode(storedjson::recordArray(m_conversations)));
}

} // namespace sorvane
