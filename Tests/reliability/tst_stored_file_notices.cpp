#include "Platform/SettingsStore.h"
#include "Services/Dictation/HistoryStore.h"
#include "Support/StoredJson.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

HistoryItem item(const QString &text)
{
    return HistoryItem::make(QDateTime::currentDateTimeUtc(), text, 2, QStringLiteral("pocket"));
}

QJsonArray storedRecords(const QString &path)
{
    return storedjson::parseDocument(readFile(path)).value_or(QJsonDocument()).array();
}

// A local custom model as the custom-models file holds it.
QByteArray customModel(const QByteArray &id)
{
    QJsonObject artifact{{"fileName", "mine.gguf"}, {"url", "https://example.test/mine.gguf"}, {"byteSize", 5},
                         {"sha256", "00ff"}, {"role", "model"}};
    QJsonObject model{{"id", QString::fromLatin1(id)}, {"name", "Mine"}, {"officialName", "My Model 7B"},
                      {"organization", "Me"}, {"detail", "Mine."}, {"sizeLabel", "4 GB"}, {"license", "MIT"},
                      {"sourceRevision", "v1"}, {"provider", "llamaCPP"},
                      {"capabilities", QJsonObject{{"text", true}, {"images", false}}},
                      {"artifacts", QJsonArray{artifact}}, {"isCustom", true}, {"recommendedFor16GB", false},
                      {"minimumMemoryGB", 8}, {"recommendedMemoryGB", 16}};
    return QJsonDocument(model).toJson(QJsonDocument::Compact);
}

// Makes every later save of the file fail: a folder stands where the file goes.
bool blockSaves(const QString &path)
{
    QFile::remove(path);
    return QDir().mkpath(path);
}

} // namespace

class StoredFileNoticesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }

    void anUnreadableFileSetAsideIsToldWithWhereItLies()
    {
        const QString path = m_dir->filePath(QStringLiteral("history.json"));
        QVERIFY(writeFile(path, "[{\"id\": 1"));
        HistoryStore history({path, m_dir->filePath(QStringLiteral("recordings")), [] { return QDateTime::currentDateTimeUtc(); }});
        QSignalSpy notices(&history, &HistoryStore::fileNotice);
        history.insert(item(QStringLiteral("first")));
        history.insert(item(QStringLiteral("second")));
        QTRY_COMPARE(notices.size(), 1);
        const QStringList aside = QDir(m_dir->path()).entryList({QStringLiteral("history.json.unreadable-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        const QString asidePath = m_dir->filePath(aside.first());
        QCOMPARE(readFile(asidePath), QByteArray("[{\"id\": 1"));
        QCOMPARE(notices.first().first().toString(),
                 QStringLiteral("The history file could not be read. It was set aside as \u201c%1\u201d.").arg(asidePath));
        QCOMPARE(storedRecords(path).size(), 2);
        // Said once: the later save has nothing more to tell.
        QVERIFY(!notices.wait(200));
    }

    // A notice about the user's files is no failure of the last action: the next
    // Dictation leaves it on show, while a Dictation's own failure still replaces it.
    void aStoredFileNoticeOutlivesTheNextDictation()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        AppState &state = t.build();
        QVERIFY(writeFile(state.historyStore().path(), "[{\"id\": 1"));
        HistoryStore &history = state.historyStore();
        QVERIFY(blockSaves(history.path()));
        history.insert(item(QStringLiteral("kept in memory")));
        QTRY_VERIFY(state.errorResolution().has_value());
        const ErrorResolution notice = *state.errorResolution();
        QVERIFY2(notice.message.startsWith(QStringLiteral("Could not save the history: ")), qPrintable(notice.message));

        state.toggleRecording();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        QVERIFY(state.errorResolution().has_value());
        QCOMPARE(state.errorResolution()->id, notice.id);
        state.cancelRecording();

        t.permissions.microphone = false;
        state.toggleRecording();
        QCOMPARE(state.errorResolution()->message, QStringLiteral("Microphone access is required."));
    }

    void unknownFieldsOfHistoryRecordsSurviveASave()
    {
        const QString path = m_dir->filePath(QStringLiteral("history.json"));
        // One record in this version's exact form plus a newer key, one in another form
        // (lower-case identity, fractional date) with a newer key of its own.
        QVERIFY(writeFile(path, R"([
            {"createdAt": "2026-01-31T09:15:00Z", "duration": 3, "id": "6F9619FF-8B86-D011-B42D-00C04FC964FF",
             "modelID": "pocket", "text": "kept", "mood": {"calm": true}},
            {"createdAt": "2026-01-30T09:15:00.250Z", "duration": 4, "id": "7f9619ff-8b86-d011-b42d-00c04fc964ff",
             "modelID": "swift", "text": "older", "language": "de"}
        ])"));
        HistoryStore history({path, m_dir->filePath(QStringLiteral("recordings")), [] { return QDateTime::currentDateTimeUtc(); }});
        QCOMPARE(history.items().size(), 2);
        history.insert(item(QStringLiteral("new")));
        const QJsonArray records = storedRecords(path);
        QCOMPARE(records.size(), 3);
        const QJsonObject kept = records.at(1).toObject();
        QCOMPARE(kept.value(QStringLiteral("mood")).toObject().value(QStringLiteral("calm")).toBool(), true);
        QCOMPARE(kept.value(QStringLiteral("text")).toString(), QStringLiteral("kept"));
        const QJsonObject older = records.at(2).toObject();
        QCOMPARE(older.value(QStringLiteral("language")).toString(), QStringLiteral("de"));
        QCOMPARE(older.value(QStringLiteral("id")).toString(), QStringLiteral("7F9619FF-8B86-D011-B42D-00C04FC964FF"));
        QCOMPARE(older.value(QStringLiteral("createdAt")).toString(), QStringLiteral("2026-01-30T09:15:00Z"));
        QCOMPARE(records.at(0).toObject().keys(),
                 (QStringList{"createdAt", "duration", "id", "modelID", "text"}));
    }

    void aRunawayTextIsCutInTheHistory()
    {
        const QString path = m_dir->filePath(QStringLiteral("history.json"));
        HistoryStore history({path, m_dir->filePath(QStringLiteral("recordings")), [] { return QDateTime::currentDateTimeUtc(); }});
        history.insert(item(QString(HistoryStore::maximumTextLength * 2, QLatin1Char('a'))));
        QCOMPARE(history.items().first().text.size(), HistoryStore::maximumTextLength);
        QCOMPARE(storedRecords(path).at(0).toObject().value(QStringLiteral("text")).toString().size(),
                 HistoryStore::maximumTextLength);
        // Never half a character.
        QString pairs;
        for (qsizetype i = 0; i < HistoryStore::maximumTextLength; i += 2)
            pairs += QStringLiteral("\U0001F600");
        history.insert(item(QLatin1Char('x') + pairs));
        const QString cut = history.items().first().text;
        QVERIFY(cut.size() <= HistoryStore::maximumTextLength);
        QVERIFY(!cut.back().isHighSurrogate());
    }

    void failedSavesAreToldOnceThroughTheBannerAndCaughtUp_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("what");
        QTest::newRow("history") << "history" << "history";
        QTest::newRow("conversations") << "conversations" << "conversations";
        QTest::newRow("settings") << "settings" << "settings";
    }

    void failedSavesAreToldOnceThroughTheBannerAndCaughtUp()
    {
        QFETCH(QString, store);
        QFETCH(QString, what);
        TestAppState t;
        const QString settingsPath = m_dir->filePath(QStringLiteral("settings.json"));
        JsonFileSettingsStore settings(settingsPath);
        t.settingsOverride = &settings;
        AppState &state = t.build();
        QVERIFY(!state.errorResolution());

        const QString path = store == QLatin1String("history")         ? state.historyStore().path()
                             : store == QLatin1String("conversations") ? state.agentConversationStore().filePath()
                                                                       : settingsPath;
        int changes = 0;
        const auto change = [&] {
            ++changes;
            if (store == QLatin1String("history"))
                state.historyStore().insert(item(QStringLiteral("take %1").arg(changes)));
            else if (store == QLatin1String("conversations"))
                state.agentConversationStore().createConversation(QUuid::createUuid(), QStringLiteral("ask %1").arg(changes), {}, {});
            else
                settings.setValue(QStringLiteral("test.value.%1").arg(changes), qint64(changes));
        };

        QVERIFY(blockSaves(path));
        QSignalSpy banners(&state, &AppState::errorResolutionChanged);
        change();
        change();
        QTRY_VERIFY(state.errorResolution().has_value());
        const QString message = state.errorResolution()->message;
        QVERIFY2(message.startsWith(QStringLiteral("Could not save the %1: ").arg(what)), qPrintable(message));
        QVERIFY2(message.size() > QStringLiteral("Could not save the %1: .").arg(what).size(), qPrintable(message));
        // The second failure of the run tells nothing new.
        QVERIFY(!banners.wait(200));
        QCOMPARE(banners.size(), 1);

        QVERIFY(QDir(path).removeRecursively());
        change();
        if (store == QLatin1String("history"))
            state.historyStore().waitForWrites();
        const QByteArray saved = readFile(path);
        for (int n = 1; n <= changes; ++n)
            QVERIFY2(saved.contains(QByteArray::number(n)), saved.constData());
        if (store == QLatin1String("history"))
            QCOMPARE(storedRecords(path).size(), 3);
        else if (store == QLatin1String("conversations"))
            QCOMPARE(storedRecords(path).size(), 3);
        else
            QCOMPARE(JsonFileSettingsStore(settingsPath).keys().filter(QStringLiteral("test.value.")).size(), 3);
    }

    void customModelsThatCannotBeSavedAreToldAndCaughtUp()
    {
        TestAppState t;
        const QString file = t.folder.filePath(QStringLiteral("custom-agent-models.json"));
        QVERIFY(writeFile(file, "[" + customModel("first") + "," + customModel("second") + "]"));
        for (const char *id : {"first", "second"})
            QVERIFY(writeFile(t.folder.filePath(QStringLiteral("agent-models/%1/mine.gguf").arg(QLatin1String(id))), "model"));
        AppState &state = t.build();
        AgentModelStore &models = *t.agentModelStore;
        QCOMPARE(models.customModels().size(), 2);

        QVERIFY(blockSaves(file));
        QVERIFY(models.remove(models.customModels().first()).ok());
        QVERIFY(state.errorResolution().has_value());
        QVERIFY2(state.errorResolution()->message.startsWith(QStringLiteral("Could not save the custom models: ")),
                 qPrintable(state.errorResolution()->message));
        QCOMPARE(models.customModels().size(), 1);

        QVERIFY(QDir(file).removeRecursively());
        QVERIFY(models.remove(models.customModels().first()).ok());
        QCOMPARE(storedRecords(file).size(), 0);
        QVERIFY(readFile(file).startsWith('['));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(StoredFileNoticesTest)
#include "tst_stored_file_notices.moc"
