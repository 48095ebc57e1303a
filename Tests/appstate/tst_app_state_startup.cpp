#include "Shared/AppPaths.h"
#include "AwaitTask.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString openAIService = QStringLiteral("com.sorvane.local.openai-api");
const QString legacyOpenAIService = QStringLiteral("com.brivel.plus.openai-api");
const QString geminiService = QStringLiteral("com.sorvane.local.gemini-api");
const QString validOpenAIKey = QStringLiteral("sk-0123456789abcdefghijkl");
const QString validGeminiKey = QStringLiteral("AIza0123456789abcdefghijkl");

void storeProvider(TestAppState &t, AgentWritingProvider provider)
{
    AgentSettings settings;
    settings.writingProvider = provider;
    t.fakes.settings->values.insert(QStringLiteral("agentSettings"), QJsonDocument(settings.toJson()).toJson());
}

AgentWritingProvider storedProvider(TestAppState &t)
{
    const auto bytes = t.fakes.settings->bytesValue(QStringLiteral("agentSettings"));
    if (!bytes)
        return AgentWritingProvider::Local;
    return AgentSettings::fromJson(QJsonDocument::fromJson(*bytes).object()).value().writingProvider;
}

QList<quint32> registeredIds(const TestAppState &t)
{
    QList<quint32> ids;
    for (const auto &registration : t.fakes.hotKeys->registrations)
        ids.append(registration.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

int firstIndex(const QStringList &log, const QString &entry) { return int(log.indexOf(entry)); }

QStringList providerTexts(const QSet<AgentWritingProvider> &providers)
{
    QStringList texts;
    for (const auto provider : providers)
        texts.append(toText(provider));
    texts.sort();
    return texts;
}

} // namespace

class AppStateStartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyEverythingGivesTheDefaults()
    {
        TestAppState t;
        AppState &state = t.build();

        QCOMPARE(state.selectedSection(), AppSection::Home);
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Shortcuts);
        QCOMPARE(state.selectedAPIKeyProvider(), AgentWritingProvider::OpenAI);
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
        QCOMPARE(state.agentPhase(), AgentPhase::Idle);
        QVERIFY(state.configuredCloudProviders().isEmpty());
        QVERIFY(state.cloudKeysLoaded());
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Local);
        // The local provider needs no key, so nothing was rewritten.
        QVERIFY(!t.log.contains(QStringLiteral("set agentSettings")));
        // The default local model takes no images: toggle, push-to-talk and Command only,
        // and no cancel while nothing runs.
        QVERIFY(!state.selectedAgentModel().value().capabilities.images);
        QCOMPARE(registeredIds(t), (QList<quint32>{1, 2, 4}));
        // The migration ran once and marked itself.
        QCOMPARE(t.fakes.settings->boolValue(QStringLiteral("didMigrateProductIdentityToSorvane")), true);
        // The permission flags were read at construction.
        QVERIFY(t.permissions.calls.contains(QStringLiteral("read microphone")));
        QVERIFY(t.permissions.calls.contains(QStringLiteral("read accessibility")));
        QVERIFY(t.permissions.calls.contains(QStringLiteral("read screenRecording")));
    }

    void keysAndProviderAtStartUp_data()
    {
        QTest::addColumn<int>("provider");            // the stored writing provider
        QTest::addColumn<QVariantMap>("keyring");     // service -> key text
        QTest::addColumn<QString>("failingRead");     // a service whose read fails
        QTest::addColumn<int>("expectedProvider");
        QTest::addColumn<QStringList>("expectedConfigured");
        QTest::addColumn<bool>("expectFallbackSaved");

        const int local = int(AgentWritingProvider::Local);
        const int openAI = int(AgentWritingProvider::OpenAI);
        const int gemini = int(AgentWritingProvider::Gemini);

        QTest::newRow("cloud provider without a key") << gemini << QVariantMap() << QString() << local << QStringList()
                                                       << true;
        QTest::newRow("cloud provider with its key")
            << gemini << QVariantMap{{geminiService, validGeminiKey}} << QString() << gemini
            << QStringList{QStringLiteral("gemini")} << false;
        QTest::newRow("openAI key only under the legacy service")
            << openAI << QVariantMap{{legacyOpenAIService, validOpenAIKey}} << QString() << openAI
            << QStringList{QStringLiteral("openAI")} << false;
        QTest::newRow("invalid legacy openAI key")
            << openAI << QVariantMap{{legacyOpenAIService, QStringLiteral("short")}} << QString() << local
            << QStringList() << true;
        QTest::newRow("keyring read error keeps the provider")
            << gemini << QVariantMap() << geminiService << gemini << QStringList() << false;
        QTest::newRow("read error of another provider") << gemini << QVariantMap() << openAIService << local
                                                        << QStringList() << true;
    }

    void keysAndProviderAtStartUp()
    {
        QFETCH(int, provider);
        QFETCH(QVariantMap, keyring);
        QFETCH(QString, failingRead);
        QFETCH(int, expectedProvider);
        QFETCH(QStringList, expectedConfigured);
        QFETCH(bool, expectFallbackSaved);

        TestAppState t;
        storeProvider(t, AgentWritingProvider(provider));
        for (auto it = keyring.cbegin(); it != keyring.cend(); ++it) {
            const QString account = it.key().contains(QLatin1String("gemini")) ? QStringLiteral("GEMINI_API_KEY")
                                                                                : QStringLiteral("OPENAI_API_KEY");
            t.fakes.secretStore->items.insert({it.key(), account}, it.value().toString().toUtf8());
        }
        if (!failingRead.isEmpty())
            t.fakes.secretStore->failures.insert(QStringLiteral("read ") + failingRead,
                                                 SecretStore::Status::failed(-2, QStringLiteral("locked")));
        AppState &state = t.build();

        QCOMPARE(int(state.agentSettings().writingProvider), expectedProvider);
        QCOMPARE(int(storedProvider(t)), expectedProvider);
        QCOMPARE(providerTexts(state.configuredCloudProviders()), expectedConfigured);

        const int saved = firstIndex(t.log, QStringLiteral("set agentSettings"));
        QCOMPARE(saved >= 0, expectFallbackSaved);
        if (expectFallbackSaved) {
            // The keyring answered at once: local is saved before the shortcuts are
            // registered for it.
            const int registered = firstIndex(t.log, QStringLiteral("hotkey +1"));
            QVERIFY(registered > saved);
        }

        if (!failingRead.isEmpty()) {
            const auto failedProvider =
                failingRead == geminiService ? AgentWritingProvider::Gemini : AgentWritingProvider::OpenAI;
            QVERIFY(state.cloudKeyLoadError(failedProvider).has_value());
            QVERIFY(!state.isAPIKeyConfigured(failedProvider));
        }
        if (keyring.contains(legacyOpenAIService)) {
            // The legacy item stays in place whether or not it could be copied.
            QVERIFY(t.fakes.secretStore->items.contains({legacyOpenAIService, QStringLiteral("OPENAI_API_KEY")}));
            QCOMPARE(t.fakes.secretStore->items.contains({openAIService, QStringLiteral("OPENAI_API_KEY")}),
                     expectedConfigured.contains(QStringLiteral("openAI")));
        }
    }

    void lockedKeyringRegistersShortcutsFirst()
    {
        TestAppState t;
        storeProvider(t, AgentWritingProvider::Gemini);
        t.lockKeyring();
        AppState &state = t.build();

        // Shortcuts work while the keyring is locked; the choice is not touched yet.
        QVERIFY(!state.cloudKeysLoaded());
        QCOMPARE(registeredIds(t).mid(0, 3), (QList<quint32>{1, 2, 4}));
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Gemini);
        QVERIFY(!t.log.contains(QStringLiteral("set agentSettings")));

        QSignalSpy loaded(&state, &AppState::cloudKeysLoadedChanged);
        t.unlockKeyring();
        QTRY_VERIFY_WITH_TIMEOUT(state.cloudKeysLoaded(), 10000);
        QCOMPARE(loaded.count(), 1);

        // Then the fallback, saved, and the shortcuts registered again for it.
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Local);
        const int firstRegistration = firstIndex(t.log, QStringLiteral("hotkey +1"));
        const int saved = firstIndex(t.log, QStringLiteral("set agentSettings"));
        QVERIFY(firstRegistration >= 0 && saved > firstRegistration);
        QVERIFY(t.log.lastIndexOf(QStringLiteral("hotkey +1")) > saved);
        QVERIFY(!state.selectedAgentModel().value().capabilities.images);
        QCOMPARE(registeredIds(t), (QList<quint32>{1, 2, 4}));
    }

    void lockedKeyringWithAKeyKeepsTheProvider()
    {
        TestAppState t;
        storeProvider(t, AgentWritingProvider::Gemini);
        t.fakes.secretStore->items.insert({geminiService, QStringLiteral("GEMINI_API_KEY")}, validGeminiKey.toUtf8());
        t.lockKeyring();
        AppState &state = t.build();
        QVERIFY(!state.isAPIKeyConfigured(AgentWritingProvider::Gemini));

        QSignalSpy configured(&state, &AppState::configuredCloudProvidersChanged);
        t.unlockKeyring();
        QTRY_VERIFY_WITH_TIMEOUT(state.cloudKeysLoaded(), 10000);
        QCOMPARE(configured.count(), 1);
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::Gemini));
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Gemini);
        QVERIFY(!t.log.contains(QStringLiteral("set agentSettings")));
    }

    void leftoverRecordingsAreRemovedAndTheRuntimeStarted()
    {
        const QString leftover = QDir(AppPaths::temporaryRecordings()).filePath(QStringLiteral("old.wav"));
        QVERIFY(writeFile(leftover, QByteArrayLiteral("RIFF")));

        TestAppState t;
        // A program that stays up reading its input stands in for the runtime.
        t.runtimeExecutable = QStringLiteral("/bin/cat");
        t.build();

        QVERIFY(!QFile::exists(leftover));
        QVERIFY(t.runtime->processId() > 0);
    }

    void aMissingRuntimeIsIgnored()
    {
        TestAppState t;
        AppState &state = t.build();
        QCOMPARE(t.runtime->processId(), 0);
        // Construction went on to the end.
        QVERIFY(state.cloudKeysLoaded());
        QVERIFY(!registeredIds(t).isEmpty());
    }

    void saveAndRemoveKeys()
    {
        TestAppState t;
        AppState &state = t.build();

        // `local` has no key: success, nothing changes.
        QVERIFY(awaitTask(state.saveAPIKey(QStringLiteral("anything"), AgentWritingProvider::Local)).ok());
        QVERIFY(state.configuredCloudProviders().isEmpty());

        const auto refused = awaitTask(state.saveAPIKey(QStringLiteral("short"), AgentWritingProvider::Gemini));
        QVERIFY(!refused.ok());
        QCOMPARE(refused.error().kind(), CloudAPIKeychainError::Kind::InvalidKey);
        QVERIFY(!state.isAPIKeyConfigured(AgentWritingProvider::Gemini));

        QVERIFY(awaitTask(state.saveAPIKey(QStringLiteral("  ") + validGeminiKey + QStringLiteral("\n"),
                                           AgentWritingProvider::Gemini)).ok());
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::Gemini));
        QCOMPARE(t.fakes.secretStore->items.value({geminiService, QStringLiteral("GEMINI_API_KEY")}),
                 validGeminiKey.toUtf8());

        AgentSettings settings = state.agentSettings();
        settings.writingProvider = AgentWritingProvider::Gemini;
        state.setAgentSettings(settings);

        // Removing another provider's key leaves the writing provider alone.
        QVERIFY(awaitTask(state.removeAPIKey(AgentWritingProvider::Mistral)).ok());
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Gemini);

        // A keyring that refuses: the error comes back and nothing changes.
        t.fakes.secretStore->failures.insert(QStringLiteral("remove ") + geminiService,
                                             SecretStore::Status::failed(-1, QStringLiteral("denied")));
        const auto failed = awaitTask(state.removeAPIKey(AgentWritingProvider::Gemini));
        QVERIFY(!failed.ok());
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::Gemini));
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Gemini);

        t.fakes.secretStore->failures.clear();
        QVERIFY(awaitTask(state.removeAPIKey(AgentWritingProvider::Gemini)).ok());
        QVERIFY(!state.isAPIKeyConfigured(AgentWritingProvider::Gemini));
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Local);
        QCOMPARE(storedProvider(t), AgentWritingProvider::Local);
    }

    void keyOperationsFromQmlReportTheirEnd()
    {
        TestAppState t;
        AppState &state = t.build();
        QSignalSpy finished(&state, &AppState::apiKeyOperationFinished);

        state.beginSaveAPIKey(QStringLiteral("short"), AgentWritingProvider::Mistral);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QVERIFY(!finished.at(0).at(2).toString().isEmpty());

        state.beginSaveAPIKey(QStringLiteral("mistral-0123456789abcdefgh"), AgentWritingProvider::Mistral);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QCOMPARE(finished.at(1).at(0).value<AgentWritingProvider>(), AgentWritingProvider::Mistral);
        QCOMPARE(finished.at(1).at(1).toBool(), true);
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::Mistral));
    }

    void openAPIKeySettingsRoutesToTheKeyRow()
    {
        TestAppState t;
        AppState &state = t.build();

        state.openAPIKeySettings(AgentWritingProvider::Local);
        QCOMPARE(state.selectedSection(), AppSection::Home);
        QVERIFY(t.windows.calls.isEmpty());

        state.openAPIKeySettings(AgentWritingProvider::Mistral);
        QCOMPARE(state.selectedAPIKeyProvider(), AgentWritingProvider::Mistral);
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Account);
        QCOMPARE(state.selectedSection(), AppSection::Settings);
        QCOMPARE(t.windows.calls, (QStringList{QStringLiteral("activate"), QStringLiteral("raise")}));
    }

    void bringingTheMainWindowForwardWithOnlyPanels()
    {
        TestAppState t;
        t.windows.hasMainWindow = false;
        AppState &state = t.build();
        state.bringMainWindowForward();
        QCOMPARE(t.windows.calls, (QStringList{QStringLiteral("activate"), QStringLiteral("raise (none)")}));
    }

    void refreshPermissionsAnnouncesEveryFlag()
    {
        TestAppState t;
        AppState &state = t.build();
        QVERIFY(state.microphoneGranted());
        QSignalSpy microphone(&state, &AppState::microphoneGrantedChanged);
        QSignalSpy accessibility(&state, &AppState::accessibilityGrantedChanged);
        QSignalSpy screen(&state, &AppState::screenRecordingGrantedChanged);

        t.permissions.microphone = false;
        state.refreshPermissions();
        QVERIFY(!state.microphoneGranted());
        QVERIFY(state.accessibilityGranted());
        // Announced even when unchanged.
        QCOMPARE(microphone.count(), 1);
        QCOMPARE(accessibility.count(), 1);
        QCOMPARE(screen.count(), 1);
    }

    void notificationClickOpensTheActiveConversationOrTheMainWindow()
    {
        TestAppState t;
        AppState &state = t.build();
        Q_EMIT t.notifications->bringMainWindowForwardRequested();
        QCOMPARE(t.windows.calls, (QStringList{QStringLiteral("activate"), QStringLiteral("raise")}));
        QCOMPARE(AppState::instance(), &state);
    }
};

QTEST_GUILESS_MAIN(AppStateStartupTest)
#include "tst_app_state_startup.moc"
