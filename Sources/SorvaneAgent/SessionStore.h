#pragma once

#include "SorvaneAgent/ChatPrompt.h"

#include <QList>
#include <QString>
#include <optional>
#include <variant>

namespace sorvane::agent {

// The runtime's own record of conversations, turn by turn, in one SQLite file, so that a
// "continue" can send the earlier turns along. A file that cannot be read as such a store is
// moved aside (kept for the user, never overwritten) and a new store begins.
class SessionStore {
public:
    explicit SessionStore(QString path);

    // Moves an unreadable file aside ("<path>.unreadable-<UTC time>") so that a new store can
    // begin: the message for the user when it did. A file that cannot be moved stays, and the
    // operations below report it.
    std::optional<QString> setAsideIfUnreadable() const;

    // The turns of a conversation, oldest first; none when the file does not exist yet.
    std::variant<QList<Turn>, QString> turns(const QString &conversationID) const;
    // Whether the file could be written to (nothing is written): the message when not.
    std::optional<QString> checkWritable() const;
    // Adds turns after the conversation's last one; the file is made when missing.
    std::optional<QString> append(const QString &conversationID, const QList<Turn> &turns) const;
    // Removes the turns of the conversations named, or (keepNamed) of every other one.
    std::optional<QString> remove(const QStringList &conversationIDs, bool keepNamed) const;

private:
    class Connection;
    QString damagedMessage() const;
    QString problemMessage(const Connection &connection) const;

    QString m_path;
};

} // namespace sorvane::agent
