#pragma once

#include "Command/AgentConversation.h"
#include "Dictation/HistoryItem.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <QUuid>

namespace sorvane {

// One row of the history screen: a dictation or a Command conversation, with the
// texts the row shows already derived.
struct HistoryEntry {
    enum class Kind { Dictation, Command };

    Kind kind = Kind::Dictation;
    QUuid id;
    // A dictation's creation time; a conversation's last change.
    QDateTime date;
    QString text;
    QString detail;

    bool isCommand() const { return kind == Kind::Command; }
    const QUuid &key() const { return id; }
    friend bool operator==(const HistoryEntry &, const HistoryEntry &) = default;

    static HistoryEntry fromDictation(const HistoryItem &item);
    static HistoryEntry fromConversation(const AgentConversation &conversation);
};

// What a conversation's row shows and copies: the text last pasted when there is
// one, else the last answer, else the title.
QString conversationEntryText(const AgentConversation &conversation);
// "Command · in Notes · 3 turns"; "another app" when no application was recorded.
QString conversationEntryDetail(const AgentConversation &conversation);

// Every dictation and conversation in one list, latest date first. Equal dates keep
// dictations before conversations and each store's own order.
QList<HistoryEntry> mergedHistoryEntries(const QList<HistoryItem> &items,
                                         const QList<AgentConversation> &conversations);

// The entries whose text, or else detail, contains the search (case-insensitive). An
// empty search keeps everything; a search of spaces is not empty.
QList<HistoryEntry> filteredHistoryEntries(const QList<HistoryEntry> &entries, const QString &search);
bool historyEntryMatches(const HistoryEntry &entry, const QString &search);

// The row's time label: today the short time, yesterday "Yesterday" (by the calendar
// of the time zone, so a day of 23 or 25 hours counts as one day), otherwise the
// abbreviated date without the time.
QString historyTimestampLabel(const QDateTime &date, const QDateTime &now, const QLocale &locale,
                              const QTimeZone &timeZone);

// The locale's short time without seconds ("h:mm AP", "HH:mm").
QString shortTimeFormat(const QLocale &locale);
// The locale's date with an abbreviated month and no weekday ("Dec 8, 2026", "8. Dez. 2026").
QString abbreviatedDateFormat(const QLocale &locale);

} // namespace sorvane
