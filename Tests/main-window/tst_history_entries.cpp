#include "HistoryFixtures.h"
#include "MainWindow/HistoryEntry.h"

#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QDateTime noon = QDateTime(QDate(2026, 3, 10), QTime(12, 0, 0), Qt::UTC);

QStringList idsOf(const QList<HistoryEntry> &entries)
{
    QStringList ids;
    for (const HistoryEntry &entry : entries)
        ids.append((entry.isCommand() ? QStringLiteral("c") : QStringLiteral("d"))
                   + QString::number(entry.id.toString(QUuid::WithoutBraces).right(12).toInt()));
    return ids;
}

} // namespace

class HistoryEntriesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ordering_data()
    {
        // Each entry: kind, number and minutes before noon, in store order.
        QTest::addColumn<QStringList>("dictations");
        QTest::addColumn<QStringList>("conversations");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("both empty") << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("newest first across the stores")
            << QStringList{"1:0", "2:20"} << QStringList{"3:10", "4:30"} << QStringList{"d1", "c3", "d2", "c4"};
        QTest::newRow("same date: dictation before conversation")
            << QStringList{"1:5"} << QStringList{"2:5"} << QStringList{"d1", "c2"};
        QTest::newRow("same date within a store keeps the store order")
            << QStringList{"2:5", "1:5"} << QStringList{"4:5", "3:5"} << QStringList{"d2", "d1", "c4", "c3"};
        QTest::newRow("conversation updated after a newer dictation goes above it")
            << QStringList{"1:10"} << QStringList{"2:1"} << QStringList{"c2", "d1"};
        QTest::newRow("a store out of order is put in order")
            << QStringList{"1:30", "2:10"} << QStringList{} << QStringList{"d2", "d1"};
    }

    void ordering()
    {
        QFETCH(QStringList, dictations);
        QFETCH(QStringList, conversations);
        QFETCH(QStringList, expected);
        QList<HistoryItem> items;
        for (const QString &each : dictations) {
            const auto parts = each.split(u':');
            items.append(dictation(parts[0].toInt(), noon.addSecs(-60 * parts[1].toInt())));
        }
        QList<AgentConversation> stored;
        for (const QString &each : conversations) {
            const auto parts = each.split(u':');
            stored.append(conversation(parts[0].toInt(), noon.addSecs(-60 * parts[1].toInt())));
        }
        QCOMPARE(idsOf(mergedHistoryEntries(items, stored)), expected);
    }

    void conversationsAreDatedByTheirLastChange()
    {
        AgentConversation c = conversation(1, noon);
        c.createdAt = noon.addDays(-3);
        const auto entries = mergedHistoryEntries({dictation(2, noon.addSecs(-1))}, {c});
        QCOMPARE(idsOf(entries), (QStringList{"c1", "d2"}));
        QCOMPARE(entries[0].date, noon);
    }

    void conversationText_data()
    {
        QTest::addColumn<QStringList>("messages"); // "u:text" or "a:text", oldest first
        QTest::addColumn<QVariant>("lastPasted");  // null for none
        QTest::addColumn<QString>("expected");
        QTest::newRow("pasted text wins") << QStringList{"u:ask", "a:answer"} << QVariant("pasted") << "pasted";
        QTest::newRow("empty pasted text falls back to the last answer")
            << QStringList{"u:ask", "a:first", "u:again", "a:second", "u:third"} << QVariant(QString()) << "second";
        QTest::newRow("no pasted text, last answer") << QStringList{"u:ask", "a:answer"} << QVariant() << "answer";
        QTest::newRow("no answer gives the title") << QStringList{"u:ask"} << QVariant() << "My title";
        QTest::newRow("empty pasted and no answer gives the title")
            << QStringList{"u:ask"} << QVariant(QString()) << "My title";
        QTest::newRow("no messages gives the title") << QStringList{} << QVariant() << "My title";
    }

    void conversationText()
    {
        QFETCH(QStringList, messages);
        QFETCH(QVariant, lastPasted);
        QFETCH(QString, expected);
        AgentConversation c = conversation(1, noon, QStringLiteral("My title"));
        for (const QString &each : messages)
            c.messages.append(message(each.startsWith(u'a') ? AgentMessageRole::Assistant : AgentMessageRole::User,
                                      each.mid(2), noon));
        if (!lastPasted.isNull())
            c.lastPastedText = lastPasted.toString();
        QCOMPARE(conversationEntryText(c), expected);
        QCOMPARE(HistoryEntry::fromConversation(c).text, expected);
    }

    void details_data()
    {
        QTest::addColumn<QString>("application");
        QTest::addColumn<int>("messageCount");
        QTest::addColumn<QString>("expected");
        QTest::newRow("three turns") << "Notes" << 3 << "Command · in Notes · 3 turns";
        QTest::newRow("one turn, no application") << "" << 1 << "Command · in another app · 1 turn";
        QTest::newRow("no messages") << "Mail" << 0 << "Command · in Mail · 0 turns";
        QTest::newRow("two turns") << "Mail" << 2 << "Command · in Mail · 2 turns";
    }

    void details()
    {
        QFETCH(QString, application);
        QFETCH(int, messageCount);
        QFETCH(QString, expected);
        AgentConversation c = conversation(1, noon, {}, application);
        for (int i = 0; i < messageCount; ++i)
            c.messages.append(message(i % 2 ? AgentMessageRole::Assistant : AgentMessageRole::User, "m", noon));
        QCOMPARE(conversationEntryDetail(c), expected);
    }

    void dictationDetail()
    {
        QCOMPARE(HistoryEntry::fromDictation(dictation(1, noon, "x", "velocity", 7.4)).detail,
                 QStringLiteral("Velocity · 0:07"));
        QCOMPARE(HistoryEntry::fromDictation(dictation(1, noon, "x", "old-model", 61)).detail,
                 QStringLiteral("Local model · 1:01"));
    }

    void search_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty keeps all") << "" << QStringList{"d1", "d2", "c3", "c4"};
        QTest::newRow("text, any case") << "HELLO" << QStringList{"d1"};
        QTest::newRow("\"command\" lists every conversation") << "command" << QStringList{"c3", "c4"};
        QTest::newRow("\"turn\" lists every conversation") << "Turn" << QStringList{"c3", "c4"};
        QTest::newRow("detail of a dictation") << "velocity" << QStringList{"d2"};
        QTest::newRow("a space is a search") << " " << QStringList{"d1", "d2", "c3", "c4"};
        QTest::newRow("two spaces match only texts that hold them") << "  " << QStringList{"d2"};
        QTest::newRow("no match") << "zebra" << QStringList{};
        QTest::newRow("accented letters fold their case") << "ÉCOLE" << QStringList{"c3"};
    }

    void search()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        AgentConversation c3 = conversation(3, noon.addSecs(-30));
        c3.messages.append(message(AgentMessageRole::Assistant, QStringLiteral("à l'école"), noon));
        const auto entries = mergedHistoryEntries(
            {dictation(1, noon, "hello there"), dictation(2, noon.addSecs(-10), "two  spaces", "velocity")},
            {c3, conversation(4, noon.addSecs(-40))});
        QCOMPARE(idsOf(filteredHistoryEntries(entries, search)), expected);
    }

    void timestamps_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("expected");
        const QTimeZone berlin("Europe/Berlin");
        const QTimeZone newYork("America/New_York");
        const QDateTime berlinMorning(QDate(2026, 3, 10), QTime(9, 5), berlin);
        QTest::newRow("today: the time") << berlinMorning.addSecs(-3600) << berlinMorning << "en_US"
                                         << "Europe/Berlin" << "8:05 AM";
        QTest::newRow("today just after midnight") << QDateTime(QDate(2026, 3, 10), QTime(0, 1), berlin)
                                                   << berlinMorning << "en_US" << "Europe/Berlin" << "12:01 AM";
        QTest::newRow("yesterday just before midnight")
            << QDateTime(QDate(2026, 3, 9), QTime(23, 59), berlin) << berlinMorning << "en_US" << "Europe/Berlin"
            << "Yesterday";
        QTest::newRow("yesterday morning, more than 24 h ago")
            << QDateTime(QDate(2026, 3, 9), QTime(0, 30), berlin) << berlinMorning << "en_US" << "Europe/Berlin"
            << "Yesterday";
        QTest::newRow("two days ago: the date") << QDateTime(QDate(2026, 3, 8), QTime(23, 59), berlin)
                                                << berlinMorning << "en_US" << "Europe/Berlin" << "Mar 8, 2026";
        // The clocks go forward on 29 March 2026 in Berlin: that day has 23 hours.
        QTest::newRow("yesterday across a 23-hour day")
            << QDateTime(QDate(2026, 3, 29), QTime(0, 10), berlin)
            << QDateTime(QDate(2026, 3, 30), QTime(23, 50), berlin) << "en_US" << "Europe/Berlin" << "Yesterday";
        QTest::newRow("less than 24 h ago but two days back on the calendar")
            << QDateTime(QDate(2026, 3, 8), QTime(23, 30), berlin)
            << QDateTime(QDate(2026, 3, 10), QTime(0, 10), berlin) << "en_US" << "Europe/Berlin" << "Mar 8, 2026";
        QTest::newRow("the day is that of the given time zone")
            << QDateTime(QDate(2026, 3, 10), QTime(3, 0), Qt::UTC)
            << QDateTime(QDate(2026, 3, 10), QTime(15, 0), Qt::UTC) << "en_US" << "America/New_York" << "Yesterday";
        QTest::newRow("German date") << QDateTime(QDate(2026, 1, 4), QTime(10, 0), berlin) << berlinMorning
                                     << "de_DE" << "Europe/Berlin" << "4. Jan. 2026";
        QTest::newRow("German time") << berlinMorning.addSecs(-60) << berlinMorning << "de_DE" << "Europe/Berlin"
                                     << "09:04";
        QTest::newRow("C locale: hours and minutes") << berlinMorning.addSecs(-61) << berlinMorning << "C"
                                                     << "Europe/Berlin" << "09:03";
        QTest::newRow("C locale: the date") << QDateTime(QDate(2026, 1, 4), QTime(10, 0), berlin) << berlinMorning
                                            << "C" << "Europe/Berlin" << "4 Jan 2026";
        QTest::newRow("a later date than now is a date")
            << berlinMorning.addDays(2) << berlinMorning << "en_US" << "Europe/Berlin" << "Mar 12, 2026";
        Q_UNUSED(newYork);
    }

    void timestamps()
    {
        QFETCH(QDateTime, date);
        QFETCH(QDateTime, now);
        QFETCH(QString, locale);
        QFETCH(QString, zone);
        QFETCH(QString, expected);
        QCOMPARE(historyTimestampLabel(date, now, QLocale(locale), QTimeZone(zone.toUtf8())), expected);
    }
};

QTEST_GUILESS_MAIN(HistoryEntriesTest)
#include "tst_history_entries.moc"
