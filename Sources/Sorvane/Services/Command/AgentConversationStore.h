#pragma once

#include "Command/AgentConversation.h"
#include "Support/BackgroundTask.h"
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
// write saves it. The program reads the file on a worker thread, so many long
// conversations never hold up the start: the list fills in when the file has been read,
// beside what was started meanwhile, and nothing is written before that.
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
        // Read the file on a worker thread, from the event loop's next turn, rather than in
        // the constructor.
        bool loadInBackground = false;
    };
    // The locations of AppPaths and the system clock (UTC).
    static Options defaultOptions();

    // Loads the file, or starts loading it.
    explicit AgentConversationStore(Options options, QObject *parent = nullptr);
    // Saves what changed before the file had been read, together with the file's conversations.
    ~AgentConversationStore() override;

    const QList<AgentConversation> &conversations() const { return m_conversations; }
    std::optional<AgentConversation> conversation(const QUuid &id) const;

    // Starts a conversation under an id the caller chose (it also names the attachment
    // folder) with the message as its first user turn, and puts it first.
    QUuid createConversation(const QUuid &id, const QString &firstMessage,
                             const QList<AgentContextAttachment> &attachments,
                             const QString &targetApplicationName);
    // These three do nothing for an id that is not stored; otherwise the conversation
    // moves to the front. Before the file has been read, one not yet known waits for it.
    void addUserMessage(const QString &text, const QList<AgentContextAttachment> &attachments,
                        const QUuid &conversationID);
    void addAssistantMessage(const QString &text, const QUuid &conversationID);
    void setLastPastedText(const std::optional<QString> &text, const QUuid &conversationID);
    // Removes the conversation and its attachment folder, and writes the file (also
    // when no conversation had that id). One not yet known waits for the file.
    void deleteConversation(const QUuid &id);

    // False until the file has been read, and while it could not be read: the
    // conversations then held are not all there are.
    bool holdsEveryConversation() const { return m_loaded && !m_file.isUnreadable(); }

    // Whether the file has been read (at once, when not read in the background).
    bool isLoaded() const { return m_loaded; }
    // Returns once the file has been read and its conversations are in the list.
    void waitForLoad();

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
    // The file's conversations are in the list.
    void loaded();

private:
    // What reading the file gave.
    struct Loaded {
        enum class Outcome { Missing, Unreadable, Read } outcome = Outcome::Missing;
        QList<AgentConversation> conversations;
    };
    // Runs on any thread: it touches nothing of the store.
    static Loaded read(const QString &path);
    void take(Loaded loaded);
    // Waits for the file unless the conversation is already known.
    void waitForLoadUnlessKnown(const QUuid &id);
    void save();
    void sortNewestFirst();
    void changeConversation(const QUuid &id, const std::function<void(AgentConversation &)> &change);
    AgentMessage newMessage(AgentMessageRole role, const QString &text,
                            const QList<AgentContextAttachment> &attachments) const;

    StoredFile m_file;
    QString m_attachmentsRoot;
    QList<AgentConversation> m_conversations;
    Clock m_now;
    bool m_loaded = false;
    // A save asked for before the file was read waits for it, so the file's
    // conversations are never written over.
    bool m_saveWhenLoaded = false;
    // Declared last: destroyed first, so a read still running has ended.
    BackgroundTask<Loaded> m_loading{this, [this](Loaded loaded) { take(std::move(loaded)); }};
};

} // namespace sorvane
