#pragma once

#include "Command/AgentConversation.h"
#include "Support/StoredFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace sorvane {

// Every Command conversation, newest change first, kept in one JSON file; and the
// folder under which each conversation keeps its attachment files
// (<attachments root>/<conversation id>). Main thread only. Every change is written at
// once; a failed write is told by fileNotice, memory keeps the change and the next
// write saves it.
class AgentConversationStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<sorvane::AgentConversation> conversations READ conversations NOTIFY conversationsChanged)

public:
    // The source of "now"; tests replace it to control the order of changes.
    using Clock = std::function<QDateTime()>;

    struct Options {
        QString filePath;
        QString attachmentsRoot;
        Clock clock;
    };
    // The locations of AppPaths and the system clock (UTC).
    static Options defaultOptions();

    explicit AgentConversationStore(Options options, QObject *parent = nullptr);

    const QList<AgentConversation> &conversations() const { return m_conversations; }
    std::optional<AgentConversation> conversation(const QUuid &id) const;

    // Starts a conversation under an id the caller chose (it also names the attachment
    // folder) with the message as its first user turn, and puts it first.
    QUuid createConversation(const QUuid &id, const QString &firstMessage,
                             const QList<AgentContextAttachment> &attachments,
                             const QString &targetApplicationName);
    // These three do nothing for an id that is not stored; otherwise the conversation
    // moves to the front.
    void addUserMessage(const QString &text, const QList<AgentContextAttachment> &attachments,
                        const QUuid &conversationID);
    void addAssistantMessage(const QString &text, const QUuid &conversationID);
    void setLastPastedText(const std::optional<QString> &text, const QUuid &conversationID);
    // Removes the conversation and its attachment folder, and writes the file (also
    // when no conversation had that id).
    void deleteConversation(const QUuid &id);

    // False while the file could not be read: the conversations then held are not all there are.
    bool holdsEveryConversation() const { return !m_file.isUnreadable(); }

    const QString &filePath() const { return m_file.path(); }
    const QString &attachmentsRoot() const { return m_attachmentsRoot; }
    QString attachmentFolder(const QUuid &conversationID) const;
    // The attachment's file when it lies under the attachments folder; a stored path
    // that points anywhere else is never read or deleted.
    std::optional<QString> attachmentFile(const AgentContextAttachment &attachment) const;

    // The title of a conversation started with this instruction.
    static QString titleFor(const QString &firstMessage);

Q_SIGNALS:
    void conversationsChanged();
    // A sentence for the user: a save failed, or an unreadable file was set aside.
    void fileNotice(const QString &message);

private:
    void load();
    void save();
    void sortNewestFirst();
    void changeConversation(const QUuid &id, const std::function<void(AgentConversation &)> &change);
    AgentMessage newMessage(AgentMessageRole role, const QString &text,
                            const QList<AgentContextAttachment> &attachments) const;

    StoredFile m_file;
    QString m_attachmentsRoot;
    QList<AgentConversation> m_conversations;
    Clock m_now;
};

} // namespace sorvane
