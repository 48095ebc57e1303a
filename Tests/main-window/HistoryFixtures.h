#pragma once

#include "Command/AgentConversation.h"
#include "Dictation/HistoryItem.h"
#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QUuid>
#include <functional>
#include <memory>

namespace sorvane::testing {

inline QUuid fixedId(int n)
{
    return QUuid::fromString(QStringLiteral("00000000-0000-0000-0000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

inline HistoryItem dictation(int n, const QDateTime &createdAt, const QString &text = {},
                             const QString &modelID = QStringLiteral("pocket"), double duration = 7)
{
    return HistoryItem{fixedId(n), createdAt, text.isEmpty() ? QStringLiteral("dictation %1").arg(n) : text,
                       duration, modelID, {}};
}

inline AgentMessage message(AgentMessageRole role, const QString &text, const QDateTime &at)
{
    return AgentMessage{QUuid::createUuid(), role, text, at, {}};
}

inline AgentConversation conversation(int n, const QDateTime &updatedAt, const QString &title = {},
                                      const QString &application = QStringLiteral("Notes"))
{
    AgentConversation c;
    c.id = fixedId(n);
    c.title = title.isEmpty() ? QStringLiteral("conversation %1").arg(n) : title;
    c.createdAt = updatedAt;
    c.updatedAt = updatedAt;
    c.targetApplicationName = application;
    return c;
}

// The two stores in a temporary folder, with clocks the test controls.
inline std::unique_ptr<HistoryStore> makeHistoryStore(const QTemporaryDir &dir, std::function<QDateTime()> clock)
{
    return std::make_unique<HistoryStore>(
        HistoryStore::Options{dir.filePath("history.json"), dir.filePath("Recordings"), std::move(clock)});
}

inline std::unique_ptr<AgentConversationStore> makeConversationStore(const QTemporaryDir &dir,
                                                                     std::function<QDateTime()> clock)
{
    return std::make_unique<AgentConversationStore>(AgentConversationStore::Options{
        dir.filePath("Agent/conversations.json"), dir.filePath("Agent/Attachments"), std::move(clock)});
}

} // namespace sorvane::testing
