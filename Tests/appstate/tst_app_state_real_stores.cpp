// The state over the real stores and a real settings file, in the test's own XDG folders.

#include "Shared/AppPaths.h"
#include "Platform/SettingsStore.h"
#include "Support/StoredJson.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

QJsonObject historyRecord(const char *id, const char *createdAt, const char *text, const QJsonValue &audioFileName)
{
    QJsonObject record{{QStringLiteral("id"), QString::fromLatin1(id)},
                       {QStringLiteral("createdAt"), QString::fromLatin1(createdAt)},
                       {QStringLiteral("text"), QString::fromUtf8(text)},
                       {QStringLiteral("duration"), 2.5},
                       {QStringLiteral("modelID"), QStringLiteral("pocket")}};
    if (!audioFileName.isUndefined())
        record.insert(QStringLiteral("audioFileName"), audioFileName);
    return record;
}

} // namespace

class AppStateRealStoresTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // Each run starts from empty folders.
        QDir(AppPaths::dataHome()).removeRecursively();
        QDir(QFileInfo(JsonFileSettingsStore::defaultPath()).path()).removeRecursively();
        QDir(QFileInfo(JsonFileSettingsStore::legacyPath()).path()).removeRecursively();
        QVERIFY(AppPaths::prepare());
    }

    void startsFromTheFilesOnDisk()
    {
        // Three records out of order; the oldest says it has no recording with a null.
        const QJsonArray records{
            historyRecord("11111111-1111-1111-1111-111111111111", "2026-03-02T10:00:00Z", "middle", QJsonValue()),
            historyRecord("22222222-2222-2222-2222-222222222222", "2026-03-01T10:00:00Z", "oldest",
                          QJsonValue(QJsonValue::Null)),
            historyRecord("33333333-3333-3333-3333-333333333333", "2026-03-03T10:00:00Z", "newest", QJsonValue()),
        };
        QVERIFY(writeFile(AppPaths::history(), QJsonDocument(records).toJson()));

        // A conversation saved by an earlier run.
        const QUuid conversationID = QUuid::createUuid();
        {
            AgentConversationStore earlier(AgentConversationStore::defaultOptions());
            earlier.createConversation(conversationID, QStringLiteral("Make it shorter"), {}, QStringLiteral("Editor"));
        }

        // The earlier product's settings file.
        {
            JsonFileSettingsStore legacy(JsonFileSettingsStore::legacyPath());
            legacy.setValue(QStringLiteral("overlaySize"), QStringLiteral("Mini"));
            legacy.setValue(QStringLiteral("clipboardRestoreDelay"), qint64(8));
        }
        const QByteArray legacyBytes = readFile(JsonFileSettingsStore::legacyPath());

        JsonFileSettingsStore settings(JsonFileSettingsStore::defaultPath());
        const JsonFileSettingsStore legacy(JsonFileSettingsStore::legacyPath(), JsonFileSettingsStore::Mode::ReadOnly);
        TestAppState t;
        t.storesAtDefaultLocations = true;
        t.settingsOverride = &settings;
        t.legacySettingsOverride = &legacy;
        AppState &state = t.build();

        // History newest first.
        const auto &items = state.historyStore().items();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items.at(0).text, QStringLiteral("newest"));
        QCOMPARE(items.at(1).text, QStringLiteral("middle"));
        QCOMPARE(items.at(2).text, QStringLiteral("oldest"));
        QVERIFY(!items.at(2).audioFileName);

        QCOMPARE(state.agentConversationStore().conversations().size(), 1);
        QCOMPARE(state.agentConversationStore().conversations().first().id, conversationID);

        // Migrated, read, and the earlier file left as it was.
        QCOMPARE(state.overlaySize(), OverlaySize::Mini);
        QCOMPARE(state.clipboardRestoreDelay(), 8);
        QCOMPARE(readFile(JsonFileSettingsStore::legacyPath()), legacyBytes);

        // Writers reach the file: a fresh reader of the file sees them.
        state.setAutomaticPaste(false);
        state.setCompletionSound(CompletionSound::GentleTap);
        const JsonFileSettingsStore reread(JsonFileSettingsStore::defaultPath(), JsonFileSettingsStore::Mode::ReadOnly);
        QCOMPARE(reread.boolValue(QStringLiteral("automaticPaste")), false);
        QCOMPARE(reread.stringValue(QStringLiteral("completionSound")), QStringLiteral("Gentle tap"));
        QCOMPARE(reread.boolValue(QStringLiteral("didMigrateProductIdentityToSorvane")), true);
        QCOMPARE(reread.stringValue(QStringLiteral("overlaySize")), QStringLiteral("Mini"));

        // The history is written back without a null file name.
        HistoryItem item;
        item.id = QUuid::createUuid();
        item.createdAt = QDateTime::currentDateTimeUtc();
        item.text = QStringLiteral("latest");
        item.modelID = QStringLiteral("pocket");
        state.historyStore().insert(item);
        const QJsonArray written = QJsonDocument::fromJson(readFile(AppPaths::history())).array();
        QCOMPARE(written.size(), 4);
        for (const QJsonValue &record : written) {
            const QJsonObject object = record.toObject();
            QVERIFY2(!object.contains(QStringLiteral("audioFileName")), qPrintable(object.value("text").toString()));
        }
    }
};

QTEST_GUILESS_MAIN(AppStateRealStoresTest)
#include "tst_app_state_real_stores.moc"
