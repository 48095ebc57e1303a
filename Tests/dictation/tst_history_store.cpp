#include "Shared/AppPaths.h"
#include "Services/Dictation/HistoryStore.h"
#include "Support/StoredJson.h"
#include "TestPaths.h"

#include <limits>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QDateTime now = QDateTime(QDate(2026, 3, 10), QTime(12, 0, 0), Qt::UTC);

QByteArray record(const QString &id, const QString &createdAt, const QString &text, const QString &extra = {})
{
    return QStringLiteral(R"({"id":"%1","createdAt":"%2","text":"%3","duration":4.5,"modelID":"pocket"%4})")
        .arg(id, createdAt, text, extra)
        .toUtf8();
}

QString uuid(int n)
{
    return QStringLiteral("00000000-0000-0000-0000-%1").arg(n, 12, 10, QLatin1Char('0'));
}

HistoryItem item(int n, QDateTime createdAt, double duration = 1, QString modelID = QStringLiteral("pocket"))
{
    return HistoryItem{QUuid::fromString(uuid(n)), std::move(createdAt), QStringLiteral("text %1").arg(n),
                       duration, std::move(modelID), {}};
}

QStringList texts(const QList<HistoryItem> &items)
{
    QStringList result;
    for (const HistoryItem &each : items)
        result.append(each.text);
    return result;
}

} // namespace

class HistoryStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_home = temporaryDataHome();
        QVERIFY(AppPaths::prepare());
    }

    std::unique_ptr<HistoryStore> open()
    {
        return std::make_unique<HistoryStore>(
            HistoryStore::Options{AppPaths::history(), AppPaths::recordings(), [] { return now; }});
    }

    void loadsNewestFirstKeepingTheOrderOfEqualTimes()
    {
        const QByteArray file = "[" + record(uuid(1), "2026-03-01T08:00:00Z", "oldest") + ","
            + record(uuid(2), "2026-03-05T08:00:00Z", "tie first") + ","
            + record(uuid(3), "2026-03-05T08:00:00Z", "tie second") + ","
            + record(uuid(4), "2026-03-09T10:30:00+02:00", "newest") + "]";
        QVERIFY(writeFile(AppPaths::history(), file));
        const auto store = open();
        QCOMPARE(texts(store->items()), (QStringList{"newest", "tie first", "tie second", "oldest"}));
        QCOMPARE(store->items().first().createdAt, QDateTime(QDate(2026, 3, 9), QTime(8, 30), Qt::UTC));
        QCOMPARE(store->items().first().duration, 4.5);
        QVERIFY(!store->items().first().audioFileName);
    }

    void savedFileReadsBackTheSame()
    {
        auto store = open();
        HistoryItem kept = item(7, now.addSecs(-60), 12.25, QStringLiteral("studio"));
        kept.text = QStringLiteral("Grüße, \"quoted\"\nnew line");
        kept.audioFileName = QStringLiteral("kept.wav");
        store->insert(item(6, now.addSecs(-120)));
        store->insert(kept);
        store.reset();

        const auto document = QJsonDocument::fromJson(readFile(AppPaths::history()));
        QVERIFY(document.isArray());
        const QJsonObject first = document.array().at(0).toObject();
        QCOMPARE(first.keys(), (QStringList{"audioFileName", "createdAt", "duration", "id", "modelID", "text"}));
        QCOMPARE(first.value("createdAt").toString(), QStringLiteral("2026-03-10T11:59:00Z"));
        QCOMPARE(first.value("id").toString(), uuid(7));
        // An absent recording is left out, not written as null.
        QCOMPARE(document.array().at(1).toObject().keys(),
                 (QStringList{"createdAt", "duration", "id", "modelID", "text"}));

        const auto again = open();
        QCOMPARE(again->items().size(), 2);
        QCOMPARE(again->items().at(0), kept);
        QCOMPARE(again->items().at(1), item(6, now.addSecs(-120)));
    }

    void recordsAreRewrittenInTheirStoredForm()
    {
        const QByteArray file = "[" + record(uuid(1), "2026-03-01T08:00:00Z", "plain") + ","
            + record(uuid(2).toLower(), "2026-03-02T10:00:00+02:00", "lower-case id, offset date") + ","
            + record(uuid(3), "2026-03-03T08:00:00.250Z", "fractions", ",\"mood\":\"sunny\"") + "]";
        QVERIFY(writeFile(AppPaths::history(), file));
        auto store = open();
        QCOMPARE(store->items().size(), 3);
        store->save();
        const QJsonArray saved = QJsonDocument::fromJson(readFile(AppPaths::history())).array();
        QCOMPARE(saved.size(), 3);
        QCOMPARE(saved.at(0).toObject().value("createdAt").toString(), QStringLiteral("2026-03-03T08:00:00Z"));
        // A key of a newer version is kept as it was.
        QCOMPARE(saved.at(0).toObject().value("mood").toString(), QStringLiteral("sunny"));
        QCOMPARE(saved.at(1).toObject().value("id").toString(), uuid(2));
        QCOMPARE(saved.at(1).toObject().value("createdAt").toString(), QStringLiteral("2026-03-02T08:00:00Z"));
        QCOMPARE(saved.at(2).toObject().value("text").toString(), QStringLiteral("plain"));
        for (qsizetype i = 0; i < saved.size(); ++i) {
            QJsonObject known = saved.at(i).toObject();
            known.remove("mood");
            QCOMPARE(known, store->items().at(i).toJson());
        }
    }

    void unreadableFileIsEmptyAndKeptAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("a record without modelID")
            << "[" + record(uuid(1), "2026-03-01T08:00:00Z", "good") + ","
                   + QByteArray(R"({"id":")" + uuid(2).toUtf8()
                                + R"(","createdAt":"2026-03-01T08:00:00Z","text":"x","duration":1})")
                   + "]";
        QTest::newRow("not JSON") << QByteArray("[{\"id\":");
        QTest::newRow("an object, not a list") << record(uuid(1), "2026-03-01T08:00:00Z", "x");
        QTest::newRow("a date without a zone") << "[" + record(uuid(1), "2026-03-01T08:00:00", "x") + "]";
        QTest::newRow("a text duration") << QByteArray(R"([{"id":")" + uuid(1).toUtf8()
                                                       + R"(","createdAt":"2026-03-01T08:00:00Z","text":"x","duration":"4","modelID":"pocket"}])");
        QTest::newRow("a bad identity") << "[" + record("not-a-uuid", "2026-03-01T08:00:00Z", "x") + "]";
        QTest::newRow("empty file") << QByteArray();
        // Read, this date could not be written back: the next save would lose the file.
        QTest::newRow("a date past the year 9999 in UTC")
            << "[" + record(uuid(1), "2026-03-01T08:00:00Z", "good") + ","
                   + record(uuid(2), "9999-12-31T23:59:59-14:00", "x") + "]";
    }

    void unreadableFileIsEmptyAndKeptAside()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(AppPaths::history(), content));
        auto store = open();
        QVERIFY(store->items().isEmpty());
        // Loading alone changes nothing on disk.
        QCOMPARE(readFile(AppPaths::history()), content);

        store->insert(item(9, now));
        const QStringList aside = QDir(AppPaths::root()).entryList({QStringLiteral("history.json.unreadable-*")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(AppPaths::root() + QLatin1Char('/') + aside.first()), content);
        store->insert(item(10, now));
        QCOMPARE(QDir(AppPaths::root()).entryList({QStringLiteral("history.json.unreadable-*")}).size(), 1);
        QCOMPARE(texts(open()->items()), (QStringList{"text 10", "text 9"}));
    }

    void missingFileLoadsEmptyAndSavesWithoutAside()
    {
        auto store = open();
        QVERIFY(store->items().isEmpty());
        store->insert(item(1, now));
        QCOMPARE(QDir(AppPaths::root()).entryList({QStringLiteral("history.json*")}),
                 QStringList{QStringLiteral("history.json")});
    }

    void modelNameComesFromTheCatalogue_data()
    {
        QTest::addColumn<QString>("modelID");
        QTest::addColumn<QString>("name");
        QTest::newRow("velocity") << "velocity" << "Velocity";
        QTest::newRow("pocket") << "pocket" << "Pocket";
        QTest::newRow("unknown id") << "old-model" << "Local model";
        QTest::newRow("ids compare exactly") << "Pocket" << "Local model";
        QTest::newRow("empty") << "" << "Local model";
    }

    void modelNameComesFromTheCatalogue()
    {
        QFETCH(QString, modelID);
        QFETCH(QString, name);
        QCOMPARE(item(1, now, 1, modelID).modelName(), name);
    }

    void durationLabelRoundsToTheNearestSecond()
    {
        QCOMPARE(item(1, now, 59.5).durationLabel(), QStringLiteral("1:00"));
        QCOMPARE(item(1, now, 0.4).durationLabel(), QStringLiteral("0:00"));
        QCOMPARE(item(1, now, 3725).durationLabel(), QStringLiteral("62:05"));
    }

    void minutesThisWeek_data()
    {
        QTest::addColumn<QList<double>>("durations");
        QTest::addColumn<QList<qint64>>("ageInSeconds");
        QTest::addColumn<int>("minutes");
        QTest::newRow("90 s rounds up to 2") << QList<double>{30, 45, 15} << QList<qint64>{10, 3600, 86400} << 2;
        QTest::newRow("29 s is 0") << QList<double>{29} << QList<qint64>{10} << 0;
        QTest::newRow("30 s is 1") << QList<double>{30} << QList<qint64>{10} << 1;
        QTest::newRow("exactly seven days ago is out") << QList<double>{600} << QList<qint64>{604800} << 0;
        QTest::newRow("a second later is in") << QList<double>{600} << QList<qint64>{604799} << 10;
        QTest::newRow("older records do not count") << QList<double>{120, 6000} << QList<qint64>{60, 700000} << 2;
        QTest::newRow("none") << QList<double>{} << QList<qint64>{} << 0;
        QTest::newRow("a negative duration counts as nothing") << QList<double>{-1e12, 120} << QList<qint64>{10, 20} << 2;
        QTest::newRow("a huge duration is shown at the limit") << QList<double>{1e300} << QList<qint64>{10}
                                                               << std::numeric_limits<int>::max();
        QTest::newRow("a total past any number") << QList<double>{1.7e308, 1.7e308} << QList<qint64>{10, 20}
                                                 << std::numeric_limits<int>::max();
    }

    void minutesThisWeek()
    {
        QFETCH(QList<double>, durations);
        QFETCH(QList<qint64>, ageInSeconds);
        QFETCH(int, minutes);
        auto store = open();
        for (int i = 0; i < durations.size(); ++i)
            store->insert(item(i, now.addSecs(-ageInSeconds.at(i)), durations.at(i)));
        QCOMPARE(store->minutesThisWeek(), minutes);
    }

    void deleteRemovesThatIdentityOnly()
    {
        auto store = open();
        store->insert(item(1, now.addSecs(-30)));
        store->insert(item(2, now.addSecs(-20)));
        store->insert(item(1, now.addSecs(-10))); // a second record with the same identity
        store->insert(item(3, now));
        QSignalSpy changes(store.get(), &HistoryStore::itemsChanged);
        store->deleteItem(item(1, now));
        QCOMPARE(texts(store->items()), (QStringList{"text 3", "text 2"}));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(texts(open()->items()), (QStringList{"text 3", "text 2"}));
    }

    // Ten thousand records: the store keeps their stored form in several pieces, and
    // inserts and removals anywhere in it must still write the list as it is.
    void aLongHistoryIsWrittenAsItIsAfterInsertsAndRemovals()
    {
        constexpr int count = 10000;
        QByteArray file = "[";
        for (int n = 1; n <= count; ++n) {
            if (n > 1)
                file += ",";
            file += record(uuid(n), now.addSecs(n - count - 1).toString(Qt::ISODate), QStringLiteral("text %1").arg(n));
        }
        QVERIFY(writeFile(AppPaths::history(), file + "]"));
        auto store = open();
        QCOMPARE(store->items().size(), count);
        store->insert(item(count + 1, now), HistoryStore::Write::InBackground);
        // Records at the top, in the middle, at the end and at the edges of pieces.
        for (int n : {count + 1, 1, 5000, 5904, 5905, 9999})
            store->deleteItem(item(n, now));
        store->insert(item(count + 2, now.addSecs(1)), HistoryStore::Write::InBackground);
        QStringList expected{QStringLiteral("text %1").arg(count + 2)};
        for (int n = count; n >= 2; --n)
            if (n != 5000 && n != 5904 && n != 5905 && n != 9999)
                expected.append(QStringLiteral("text %1").arg(n));
        QCOMPARE(texts(store->items()), expected);
        store->waitForWrites();
        QCOMPARE(texts(open()->items()), expected);
    }

    void deleteRemovesAKeptRecording()
    {
        const QString recording = AppPaths::recordings() + QStringLiteral("/kept one.wav");
        QVERIFY(writeFile(recording, "RIFF"));
        auto store = open();
        HistoryItem kept = item(1, now);
        kept.audioFileName = QStringLiteral("kept one.wav");
        store->insert(kept);
        store->deleteItem(kept);
        QVERIFY(store->items().isEmpty());
        QVERIFY(!QFileInfo::exists(recording));
        // A recording already gone is no error.
        store->insert(kept);
        store->deleteItem(kept);
        QVERIFY(store->items().isEmpty());
    }

    void unsafeRecordingNamesTouchNoFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent folder") << "../history.json";
        QTest::newRow("nested path") << "sub/x.wav";
        QTest::newRow("absolute path") << "/tmp/x.wav";
        QTest::newRow("dot dot") << "..";
        QTest::newRow("dot") << ".";
        QTest::newRow("empty") << "";
        QTest::newRow("backslash") << "..\\x.wav";
    }

    void unsafeRecordingNamesTouchNoFile()
    {
        QFETCH(QString, name);
        QVERIFY(writeFile(AppPaths::recordings() + QStringLiteral("/sub/x.wav"), "nested"));
        auto store = open();
        HistoryItem stored = item(1, now);
        stored.audioFileName = name;
        store->insert(stored);
        const QStringList before = treeOf(m_home->path());
        const QByteArray saved = readFile(AppPaths::history());
        store->deleteItem(stored);
        QVERIFY(store->items().isEmpty());
        QCOMPARE(treeOf(m_home->path()), before);
        QVERIFY(readFile(AppPaths::history()) != saved);
        QVERIFY(open()->items().isEmpty());
    }

    void backgroundSavesLandInOrderAndTheLastWins()
    {
        auto store = open();
        for (int n = 1; n <= 40; ++n)
            store->insert(item(n, now.addSecs(n)), HistoryStore::Write::InBackground);
        // The list itself changes at once.
        QCOMPARE(store->items().size(), 40);
        store->waitForWrites();
        const QJsonArray saved = QJsonDocument::fromJson(readFile(AppPaths::history())).array();
        QCOMPARE(saved.size(), 40);
        for (qsizetype i = 0; i < saved.size(); ++i)
            QCOMPARE(saved.at(i).toObject(), store->items().at(i).toJson());
        QCOMPARE(texts(open()->items()), texts(store->items()));
    }

    void aSaveNowAfterBackgroundSavesIsTheOneOnDisk()
    {
        auto store = open();
        for (int n = 1; n <= 20; ++n)
            store->insert(item(n, now.addSecs(n)), HistoryStore::Write::InBackground);
        store->deleteItem(item(20, now));
        // Written before it returns, and no earlier background save lands after it.
        QCOMPARE(QJsonDocument::fromJson(readFile(AppPaths::history())).array().size(), 19);
        store->waitForWrites();
        QCOMPARE(texts(open()->items()), texts(store->items()));
    }

    void aStoreGoneWithBackgroundSavesPendingLeavesThemOnDisk()
    {
        auto store = open();
        store->insert(item(1, now), HistoryStore::Write::InBackground);
        store->insert(item(2, now.addSecs(1)), HistoryStore::Write::InBackground);
        store.reset();
        QCOMPARE(texts(open()->items()), (QStringList{"text 2", "text 1"}));
    }

    // The program reads the file on a worker thread: what is dictated before it has been
    // read goes on top of it, and nothing is written until it has been read.
    void aDictationBeforeTheBackgroundLoadGoesOnTopOfTheFile()
    {
        const QByteArray file = "[" + record(uuid(1), "2026-03-01T08:00:00Z", "older") + ","
            + record(uuid(2), "2026-03-05T08:00:00Z", "old") + "]";
        QVERIFY(writeFile(AppPaths::history(), file));
        HistoryStore::Options options{AppPaths::history(), AppPaths::recordings(), [] { return now; }};
        options.loadInBackground = true;
        HistoryStore store(options);
        QSignalSpy loaded(&store, &HistoryStore::loaded);
        QSignalSpy changed(&store, &HistoryStore::itemsChanged);
        // The worker's result reaches the store through the event loop, which has not run.
        QVERIFY(!store.isLoaded());
        store.insert(item(3, now), HistoryStore::Write::InBackground);
        store.insert(item(4, now.addSecs(1)), HistoryStore::Write::InBackground);
        QCOMPARE(texts(store.items()), (QStringList{"text 4", "text 3"}));
        store.waitForWrites();
        QCOMPARE(readFile(AppPaths::history()), file);

        QVERIFY(loaded.wait(20000));
        QCOMPARE(texts(store.items()), (QStringList{"text 4", "text 3", "old", "older"}));
        QCOMPARE(changed.size(), 3);
        store.waitForWrites();
        QCOMPARE(texts(open()->items()), texts(store.items()));
        // Only the store's own file is there: no second copy beside it.
        QCOMPARE(QDir(QFileInfo(AppPaths::history()).absolutePath()).entryList({QStringLiteral("history*")}, QDir::Files),
                 QStringList{QStringLiteral("history.json")});
    }

    void aStoreGoneBeforeItsBackgroundLoadKeepsWhatWasDictated()
    {
        QVERIFY(writeFile(AppPaths::history(), "[" + record(uuid(1), "2026-03-01T08:00:00Z", "older") + "]"));
        HistoryStore::Options options{AppPaths::history(), AppPaths::recordings(), [] { return now; }};
        options.loadInBackground = true;
        auto store = std::make_unique<HistoryStore>(options);
        store->insert(item(2, now), HistoryStore::Write::InBackground);
        store.reset();
        QCOMPARE(texts(open()->items()), (QStringList{"text 2", "older"}));
    }

    void anUnreadableFileLoadedInTheBackgroundIsKeptAside()
    {
        QVERIFY(writeFile(AppPaths::history(), "[{\"id\": 1}]"));
        HistoryStore::Options options{AppPaths::history(), AppPaths::recordings(), [] { return now; }};
        options.loadInBackground = true;
        HistoryStore store(options);
        store.waitForLoad();
        QVERIFY(store.items().isEmpty());
        store.insert(item(1, now));
        const QStringList aside = QDir(QFileInfo(AppPaths::history()).absolutePath())
                                      .entryList({QStringLiteral("history.json.unreadable-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
    }

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

QTEST_GUILESS_MAIN(HistoryStoreTest)
#include "tst_history_store.moc"
