#include "HistoryEntry.h"

#include <QRegularExpression>
#include <algorithm>

namespace sorvane {

HistoryEntry HistoryEntry::fromDictation(const HistoryItem &item)
{
    return {Kind::Dictation, item.id, item.createdAt, item.text,
            item.modelName() + QStringLiteral(" · ") + item.durationLabel()};
}

HistoryEntry HistoryEntry::fromConversation(const AgentConversation &conversation)
{
    return {Kind::Command, conversation.id, conversation.updatedAt, conversationEntryText(conversation),
            conversationEntryDetail(conversation)};
}

QString conversationEntryText(const AgentConversation &conversation)
{
    if (conversation.lastPastedText && !conversation.lastPastedText->isEmpty())
        return *conversation.lastPastedText;
    for (auto message = conversation.messages.crbegin(); message != conversation.messages.crend(); ++message)
        if (message->role == AgentMessageRole::Assistant)
            return message->text;
    return conversation.title;
}

QString conversationEntryDetail(const AgentConversation &conversation)
{
    const QString application = conversation.targetApplicationName.isEmpty()
                                    ? QStringLiteral("another app")
                                    : conversation.targetApplicationName;
    const qsizetype turns = conversation.messages.size();
    return QStringLiteral("Command · in ") + application + QStringLiteral(" · ") + QString::number(turns)
           + (turns == 1 ? QStringLiteral(" turn") : QStringLiteral(" turns"));
}

QList<HistoryEntry> mergedHistoryEntries(const QList<HistoryItem> &items,
                                         const QList<AgentConversation> &conversations)
{
    QList<HistoryEntry> entries;
    entries.reserve(items.size() + conversations.size());
    for (const HistoryItem &item : items)
        entries.append(HistoryEntry::fromDictation(item));
    for (const AgentConversation &conversation : conversations)
        entries.append(HistoryEntry::fromConversation(conversation));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const HistoryEntry &a, const HistoryEntry &b) { return a.date > b.date; });
    return entries;
}

bool historyEntryMatches(const HistoryEntry &entry, const QString &search)
{
    return search.isEmpty() || entry.text.contains(search, Qt::CaseInsensitive)
           || entry.detail.contains(search, Qt::CaseInsensitive);
}

QList<HistoryEntry> filteredHistoryEntries(const QList<HistoryEntry> &entries, const QString &search)
{
    if (search.isEmpty())
        return entries;
    QList<HistoryEntry> kept;
    for (const HistoryEntry &entry : entries)
        if (historyEntryMatches(entry, search))
            kept.append(entry);
    return kept;
}

QString abbreviatedDateFormat(const QLocale &locale)
{
    // The locale's long date, less its weekday, with the month abbreviated: Qt has no
    // medium date style of its own.
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,،]?\\s*|\\s*[,،]?\\s*d{4}"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

QString shortTimeFormat(const QLocale &locale)
{
    // Some locales' short time (the C locale's "HH:mm:ss") keeps the seconds; the row
    // shows hours and minutes only.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]s{1,2}"));
    format.remove(seconds);
    return format;
}

QString historyTimestampLabel(const QDateTime &date, const QDateTime &now, const QLocale &locale,
                              const QTimeZone &timeZone)
{
    const QDateTime local = date.toTimeZone(timeZone);
    const QDate today = now.toTimeZone(timeZone).date();
    if (local.date() == today)
        return locale.toString(local.time(), shortTimeFormat(locale));
    if (local.date() == today.addDays(-1))
        return QStringLiteral("Yesterday");
    return locale.toString(local.date(), abbreviatedDateFormat(locale));
}

} // namespace sorvane
