#include "HistoryFixtures.h"
#include "MainWindow/HistoryListModel.h"
#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QDateTime noon = QDateTime(QDate(2026, 3, 10), QTime(12, 0, 0), Qt::UTC);

struct Stores {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<AgentConversationStore> conversations;
    std::unique_ptr<HistoryListModel> model;
    QDateTime conversationClock = noon;

    Stores()
    {
        history = makeHistoryStore(dir, [] { return noon; });
        conversations = makeConversationStore(dir, [this] { return conversationClock; });
        model = std::make_unique<HistoryListModel>(history.get(), conversations.get());
        model->setClock([] { return noon; });
        model->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        model->setTimeZone(QTimeZone::utc());
    }

    QStringList texts() const
    {
        QStringList result;
        for (int row = 0; row < model->rowCount(); ++row)
            result.append(model->data(model->index(row), HistoryListModel::TextRole).toString());
        return result;
    }
};

} // namespace

class HistoryListModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void followsTheStoresRowByRowWithoutResets()
    {
        Stores s;
        QAbstractItemModelTester tester(s.model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(s.model.get(), &QAbstractItemModel::modelReset);
        QSignalSpy inserted(s.model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(s.model.get(), &QAbstractItemModel::rowsRemoved);

        s.history->insert(dictation(1, noon.addSecs(-60), "older"));
        s.history->insert(dictation(2, noon, "newer"));
        QCOMPARE(s.texts(), (QStringList{"newer", "older"}));
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.last().at(1).toInt(), 0); // the new record went in at the top

        s.conversationClock = noon.addSecs(-30);
        s.conversations->createConversation(fixedId(3), QStringLiteral("Shorten this"), {}, QStringLiteral("Notes"));
        QCOMPARE(s.texts(), (QStringList{"newer", "Shorten this", "older"}));
        QCOMPARE(inserted.size(), 3);
        QCOMPARE(inserted.last().at(1).toInt(), 1);

        // The answer arrives later: the conversation moves to the top and shows it.
        s.conversationClock = noon.addSecs(10);
        s.conversations->addAssistantMessage(QStringLiteral("Short."), fixedId(3));
        QCOMPARE(s.texts(), (QStringList{"Short.", "newer", "older"}));

        s.history->deleteItem(s.history->items().last());
        QCOMPARE(s.texts(), (QStringList{"Short.", "newer"}));
        QCOMPARE(removed.last().at(1).toInt(), 2);
        QCOMPARE(removed.last().at(2).toInt(), 2);
        QCOMPARE(resets.size(), 0);
    }

    void changedContentInPlaceIsADataChange()
    {
        Stores s;
        s.conversations->createConversation(fixedId(1), QStringLiteral("Ask"), {}, QStringLiteral("Notes"));
        QSignalSpy changed(s.model.get(), &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(s.model.get(), &QAbstractItemModel::rowsInserted);
        s.conversations->setLastPastedText(QStringLiteral("Pasted"), fixedId(1));
        QCOMPARE(s.texts(), (QStringList{"Pasted"}));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(inserted.size(), 0);
    }

    void searchNarrowsAndClearingBringsEverythingBack()
    {
        Stores s;
        QAbstractItemModelTester tester(s.model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int n = 1; n <= 6; ++n)
            s.history->insert(dictation(n, noon.addSecs(n), n % 2 ? "odd one" : "even one"));
        s.conversations->createConversation(fixedId(10), QStringLiteral("Translate"), {}, QString());
        QSignalSpy resets(s.model.get(), &QAbstractItemModel::modelReset);
        QSignalSpy count(s.model.get(), &HistoryListModel::countChanged);

        s.model->setSearch(QStringLiteral("ODD"));
        QCOMPARE(s.texts(), (QStringList{"odd one", "odd one", "odd one"}));
        s.model->setSearch(QStringLiteral("command"));
        QCOMPARE(s.texts(), (QStringList{"Translate"}));
        s.model->setSearch(QStringLiteral("nothing like it"));
        QCOMPARE(s.model->count(), 0);
        s.model->setSearch(QString());
        QCOMPARE(s.model->count(), 7);
        QCOMPARE(s.texts().last(), QStringLiteral("Translate"));
        QCOMPARE(count.size(), 4);
        QCOMPARE(resets.size(), 0);
    }

    void rolesOfARow()
    {
        Stores s;
        s.history->insert(dictation(1, noon.addDays(-1), "said", "velocity", 7));
        s.conversationClock = noon.addSecs(-3600);
        s.conversations->createConversation(fixedId(2), QStringLiteral("Ask"), {}, QStringLiteral("Mail"));
        const QModelIndex command = s.model->index(0);
        const QModelIndex said = s.model->index(1);
        QCOMPARE(s.model->data(command, HistoryListModel::IsCommandRole).toBool(), true);
        QCOMPARE(s.model->data(command, HistoryListModel::DetailRole).toString(),
                 QStringLiteral("Command · in Mail · 1 turn"));
        QCOMPARE(s.model->data(command, HistoryListModel::TimestampRole).toString(), QStringLiteral("11:00 AM"));
        QCOMPARE(s.model->data(command, HistoryListModel::IdRole).toString(),
                 fixedId(2).toString(QUuid::WithoutBraces));
        QCOMPARE(s.model->data(said, HistoryListModel::IsCommandRole).toBool(), false);
        QCOMPARE(s.model->data(said, HistoryListModel::DetailRole).toString(), QStringLiteral("Velocity · 0:07"));
        QCOMPARE(s.model->data(said, HistoryListModel::TimestampRole).toString(), QStringLiteral("Yesterday"));
        QCOMPARE(s.model->rowOf(fixedId(1).toString()), 1);
        QCOMPARE(s.model->rowOf(fixedId(9).toString()), -1);
        QVERIFY(!s.model->entryAt(2));
        QCOMPARE(s.model->entryAt(1)->id, fixedId(1));
    }

    // A new dictation is one row at its place, whatever the search and the other rows;
    // the list then reads as if it had been merged again.
    void aNewDictationIsOneRowAtItsPlace_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("insertedAt"); // -1: the row is not shown
        QTest::newRow("no search, after a later conversation") << QString() << 1;
        QTest::newRow("a search it matches") << QStringLiteral("said") << 0;
        QTest::newRow("a search it does not match") << QStringLiteral("conversation") << -1;
    }

    void aNewDictationIsOneRowAtItsPlace()
    {
        QFETCH(QString, search);
        QFETCH(int, insertedAt);
        Stores s;
        QAbstractItemModelTester tester(s.model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        s.history->insert(dictation(1, noon.addSecs(-120), "said before"));
        s.history->insert(dictation(2, noon.addSecs(-60), "said later"));
        s.conversationClock = noon.addSecs(30);
        s.conversations->createConversation(fixedId(3), QStringLiteral("conversation"), {}, QStringLiteral("Notes"));
        s.model->setSearch(search);
        QSignalSpy inserted(s.model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(s.model.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(s.model.get(), &QAbstractItemModel::dataChanged);

        s.history->insert(dictation(4, noon, "said now"));
        if (insertedAt < 0) {
            QCOMPARE(inserted.size(), 0);
        } else {
            QCOMPARE(inserted.size(), 1);
            QCOMPARE(inserted.first().at(1).toInt(), insertedAt);
            QCOMPARE(inserted.first().at(2).toInt(), insertedAt);
        }
        QCOMPARE(removed.size(), 0);
        QCOMPARE(changed.size(), 0);
        const QStringList shown = s.texts();
        const QList<HistoryEntry> merged = filteredHistoryEntries(
            mergedHistoryEntries(s.history->items(), s.conversations->conversations()), search);
        QStringList expected;
        for (const HistoryEntry &entry : merged)
            expected.append(entry.text);
        QCOMPARE(shown, expected);
        // And the next change that is not a new dictation still reads right.
        s.history->deleteItem(dictation(1, noon));
        QVERIFY(!s.texts().contains(QStringLiteral("said before")));
    }

    // A long history is searched on a worker thread: the list changes when the search is
    // done, and a newer keystroke, or a dictation that came meanwhile, wins.
    void aLongHistoryIsSearchedInTheBackground()
    {
        Stores s;
        QAbstractItemModelTester tester(s.model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        s.model->setBackgroundSize(3);
        for (int n = 1; n <= 8; ++n)
            s.history->insert(dictation(n, noon.addSecs(n), n % 2 ? QStringLiteral("odd %1").arg(n) : QStringLiteral("even %1").arg(n)));
        QSignalSpy finished(s.model.get(), &HistoryListModel::rowsReady);

        s.model->setSearch(QStringLiteral("odd"));
        s.model->setSearch(QStringLiteral("even"));
        s.history->insert(dictation(9, noon.addSecs(9), "even 9, said meanwhile"));
        QVERIFY(finished.wait(20000));
        QTRY_VERIFY_WITH_TIMEOUT(!s.model->isWorking(), 20000);
        QCOMPARE(s.texts(), (QStringList{"even 9, said meanwhile", "even 8", "even 6", "even 4", "even 2"}));
        QCOMPARE(s.model->count(), 5);

        s.model->setSearch(QString());
        QCOMPARE(s.model->count(), 9); // everything comes back at once, without a search
    }

    // A long list is merged on a worker thread too: the rows come when it is done, and
    // reflect a change of the stores made meanwhile.
    void aLongListIsMergedInTheBackground()
    {
        Stores s;
        for (int n = 1; n <= 5; ++n)
            s.history->insert(dictation(n, noon.addSecs(n)), HistoryStore::Write::InBackground);
        s.conversationClock = noon.addSecs(3);
        s.conversations->createConversation(fixedId(10), QStringLiteral("Ask"), {}, QStringLiteral("Notes"));
        HistoryListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setBackgroundSize(3);
        QSignalSpy ready(&model, &HistoryListModel::rowsReady);
        model.setHistoryStore(s.history.get());
        model.setConversationStore(s.conversations.get());
        QCOMPARE(model.rowCount(), 0);
        s.conversationClock = noon.addSecs(10);
        s.conversations->addAssistantMessage(QStringLiteral("Answered."), fixedId(10));
        QVERIFY(ready.wait(20000));
        QTRY_VERIFY_WITH_TIMEOUT(!model.isWorking(), 20000);
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts.append(model.data(model.index(row), HistoryListModel::TextRole).toString());
        QCOMPARE(texts, (QStringList{"Answered.", "dictation 5", "dictation 4", "dictation 3", "dictation 2",
                                     "dictation 1"}));
    }

    // Row by row, narrowing a long list to every other row would cost the square of its
    // length: past a few hundred separate changes it is one reset, with the same rows.
    void narrowingALongListToEveryOtherRowIsOneReset()
    {
        Stores s;
        for (int n = 1; n <= 600; ++n)
            s.history->insert(dictation(n, noon.addSecs(n), n % 2 ? QStringLiteral("odd") : QStringLiteral("even")),
                              HistoryStore::Write::InBackground);
        QAbstractItemModelTester tester(s.model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(s.model.get(), &QAbstractItemModel::modelReset);
        QSignalSpy count(s.model.get(), &HistoryListModel::countChanged);
        s.model->setSearch(QStringLiteral("odd"));
        QCOMPARE(resets.size(), 1);
        QCOMPARE(s.texts(), QStringList(300, QStringLiteral("odd")));
        QCOMPARE(count.size(), 1);
        s.model->setSearch(QString());
        QCOMPARE(resets.size(), 2);
        QCOMPARE(s.model->count(), 600);
        QCOMPARE(s.model->entryAt(0)->id, fixedId(600));
        s.history->waitForWrites();
    }

    void timestampsFollowTheClock()
    {
        Stores s;
        s.history->insert(dictation(1, noon.addSecs(-60)));
        QDateTime now = noon;
        s.model->setClock([&now] { return now; });
        QSignalSpy changed(s.model.get(), &QAbstractItemModel::dataChanged);
        now = noon.addDays(1);
        s.model->refreshTimestamps();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(s.model->data(s.model->index(0), HistoryListModel::TimestampRole).toString(),
                 QStringLiteral("Yesterday"));
    }
};

QTEST_GUILESS_MAIN(HistoryListModelTest)
#include "tst_history_list_model.moc"
