#include "SettingsScreenModel.h"
#include "State/APIKeyOperations.h"
#include "TestAppState.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

namespace {

const QString openAIService = QStringLiteral("com.sorvane.local.openai-api");
const QString geminiService = QStringLiteral("com.sorvane.local.gemini-api");
const QString openAIKey = QStringLiteral("sk-test-0123456789abcdef");
const QString geminiKey = QStringLiteral("AIza-test-0123456789abcdef");

int openAI() { return int(AgentWritingProvider::OpenAI); }
int gemini() { return int(AgentWritingProvider::Gemini); }

// A settings screen over the state, shown once.
std::unique_ptr<SettingsScreenModel> showScreen(AppState &state)
{
    auto screen = std::make_unique<SettingsScreenModel>();
    screen->setState(&state);
    screen->appear();
    return screen;
}

QByteArray storedKey(TestAppState &t, const QString &service, const QString &account)
{
    return t.fakes.secretStore->items.value({service, account});
}

int countOf(const QStringList &log, const QString &entry) { return int(log.count(entry)); }

} // namespace

// The state one settings screen keeps, and the key jobs that outlive it.
class SettingsScreenStateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void permissionAttention_data()
    {
        QTest::addColumn<int>("requestsBeforeShown");
        QTest::addColumn<bool>("shownBefore");
        QTest::addColumn<bool>("routed");
        QTest::newRow("counter at 0") << 0 << false << false;
        QTest::newRow("a request before the first screen") << 1 << false << true;
        QTest::newRow("two requests before the first screen") << 2 << false << true;
        // An earlier screen handled the request: a later visit is no new request.
        QTest::newRow("a request handled by an earlier screen") << 1 << true << false;
    }
    void permissionAttention()
    {
        QFETCH(int, requestsBeforeShown);
        QFETCH(bool, shownBefore);
        QFETCH(bool, routed);
        TestAppState t;
        AppState &state = t.build();
        for (int i = 0; i < requestsBeforeShown; ++i)
            state.requestPermissionAttention();
        if (shownBefore) {
            auto earlier = showScreen(state);
            QVERIFY(earlier->highlightedPermissions());
        }
        // The user goes to Behaviour, with the vocabulary open.
        state.setSelectedSettingsArea(SettingsArea::Behaviour);
        auto screen = std::make_unique<SettingsScreenModel>();
        screen->setState(&state);
        screen->setShowsVocabulary(true);
        screen->appear();
        QCOMPARE(state.selectedSettingsArea(), routed ? SettingsArea::Account : SettingsArea::Behaviour);
        QCOMPARE(screen->highlightedPermissions(), routed);
        QCOMPARE(screen->showsVocabulary(), !routed);
    }

    void highlightLastsFromTheLatestRequest()
    {
        TestAppState t;
        AppState &state = t.build();
        auto screen = showScreen(state);
        state.setSelectedSettingsArea(SettingsArea::Shortcuts);
        state.requestPermissionAttention();
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Account);
        QVERIFY(screen->highlightedPermissions());

        t.timers.advance(1000ms);
        state.setSelectedSettingsArea(SettingsArea::Behaviour);
        state.requestPermissionAttention();
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Account);
        QCOMPARE(t.timers.pendingDelays(), QList<qint64>{1800});
        // The first request's end passes: the highlight stays.
        t.timers.advance(1000ms);
        QVERIFY(screen->highlightedPermissions());
        t.timers.advance(799ms);
        QVERIFY(screen->highlightedPermissions());
        t.timers.advance(1ms);
        QVERIFY(!screen->highlightedPermissions());
    }

    void leavingDuringTheHighlightEndsIt()
    {
        TestAppState t;
        AppState &state = t.build();
        auto screen = showScreen(state);
        state.requestPermissionAttention();
        QCOMPARE(t.timers.pendingCount(), 1);
        screen.reset();
        QCOMPARE(t.timers.pendingCount(), 0);
        t.timers.advance(2000ms);

        // The next visit starts without a highlight and leaves the user's tab alone.
        state.setSelectedSettingsArea(SettingsArea::Shortcuts);
        screen = showScreen(state);
        QVERIFY(!screen->highlightedPermissions());
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Shortcuts);
    }

    void keyRowRequestBeforeTheScreenExistsOpensIt_data()
    {
        QTest::addColumn<int>("provider");
        QTest::newRow("OpenAI") << openAI();
        QTest::newRow("Gemini") << gemini();
    }
    void keyRowRequestBeforeTheScreenExistsOpensIt()
    {
        QFETCH(int, provider);
        TestAppState t;
        AppState &state = t.build();
        state.openAPIKeySettings(AgentWritingProvider(provider));
        QCOMPARE(state.selectedSection(), AppSection::Settings);
        auto screen = showScreen(state);
        QCOMPARE(screen->expandedProviderValue(), QVariant(provider));
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Account);

        // Once: the next visit opens no row by itself.
        auto next = showScreen(state);
        QVERIFY(next->expandedProvider() == std::nullopt);
    }

    void keyRowRequestWhileShownClosesTheVocabularyEachTime()
    {
        TestAppState t;
        AppState &state = t.build();
        auto screen = showScreen(state);
        screen->setShowsVocabulary(true);
        state.openAPIKeySettings(AgentWritingProvider::OpenAI);
        QVERIFY(!screen->showsVocabulary());
        QCOMPARE(screen->expandedProviderValue(), QVariant(openAI()));

        // The same provider again, after the user closed its row, opens it again.
        screen->toggleRow(openAI());
        QVERIFY(screen->expandedProvider() == std::nullopt);
        state.openAPIKeySettings(AgentWritingProvider::OpenAI);
        QCOMPARE(screen->expandedProviderValue(), QVariant(openAI()));

        // The local provider has no row: nothing changes.
        screen->setShowsVocabulary(true);
        state.setSelectedAPIKeyProvider(AgentWritingProvider::Local);
        QVERIFY(screen->showsVocabulary());
        QCOMPARE(screen->expandedProviderValue(), QVariant(openAI()));
    }

    void aKeyBannerOpensItsRowOnAppear()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setErrorResolution(ErrorResolution(QStringLiteral("The Gemini key was refused."),
                                                 ErrorResolutionDestination::apiKeys(AgentWritingProvider::Gemini)));
        auto screen = showScreen(state);
        QCOMPARE(screen->expandedProviderValue(), QVariant(gemini()));
    }

    void rowsOpenOneAtATime()
    {
        TestAppState t;
        auto screen = showScreen(t.build());
        screen->toggleRow(openAI());
        screen->toggleRow(gemini());
        QCOMPARE(screen->expandedProviderValue(), QVariant(gemini()));
        screen->toggleRow(gemini());
        QVERIFY(!screen->expandedProviderValue().isValid());
        screen->toggleRow(int(AgentWritingProvider::Local));
        QVERIFY(!screen->expandedProviderValue().isValid());
    }

    void savingAKey_data()
    {
        QTest::addColumn<int>("provider");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("failure"); // the keyring's answer to the write, when it fails
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("message");
        QTest::newRow("spaces only") << openAI() << " \n  " << "" << false << "" << "";
        QTest::newRow("surrounding spaces trimmed") << openAI() << " " + openAIKey + "\n" << "" << true << openAIKey
                                                    << "Saved securely. %1 is now the active Command model.";
        QTest::newRow("invalid OpenAI key") << openAI() << "not-a-key-but-long-enough" << "" << false << ""
                                            << "Enter a valid OpenAI API key beginning with sk-.";
        QTest::newRow("invalid Gemini key") << gemini() << "short" << "" << false << "" << "Enter a valid Gemini API key.";
        QTest::newRow("keyring refuses") << gemini() << geminiKey << "The collection is locked." << true << ""
                                         << "The Gemini API key could not be updated in the system keyring: The collection is locked.";
    }
    void savingAKey()
    {
        QFETCH(int, provider);
        QFETCH(QString, typed);
        QFETCH(QString, failure);
        QFETCH(bool, written);
        QFETCH(QString, stored);
        QFETCH(QString, message);
        TestAppState t;
        const QString service = provider == openAI() ? openAIService : geminiService;
        if (!failure.isEmpty())
            t.fakes.secretStore->failures.insert(QStringLiteral("write ") + service, SecretStore::Status::failed(5, failure));
        AppState &state = t.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        auto screen = showScreen(state);
        screen->toggleRow(provider);
        screen->setDraft(provider, typed);
        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        const bool started = screen->saveKey(provider);
        QCOMPARE(started, !typed.trimmed().isEmpty());
        if (started)
            QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(countOf(t.log, QStringLiteral("keyring write ") + service), written ? 1 : 0);

        const bool succeeded = !stored.isEmpty();
        const auto p = AgentWritingProvider(provider);
        if (message.contains("%1"))
            message = message.arg(state.apiKeys().defaultModelName(p));
        QCOMPARE(screen->message(p), message);
        QCOMPARE(state.isAPIKeyConfigured(p), succeeded);
        // A failure keeps what was typed; a success empties the field. The row stays open.
        QCOMPARE(screen->draft(p), succeeded ? QString() : typed);
        QCOMPARE(screen->expandedProviderValue(), QVariant(provider));
        if (succeeded) {
            QCOMPARE(QString::fromUtf8(storedKey(t, service, QStringLiteral("OPENAI_API_KEY"))), stored);
            QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::OpenAI);
            QCOMPARE(state.agentSettings().selectedOpenAIModelID, QStringLiteral("openai-luna"));
        } else {
            QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Local);
        }
    }

    void theDefaultModelIsNamedFromTheCatalogue()
    {
        TestAppState t;
        AppState &state = t.build();
        const auto descriptor = state.agentModelStore().descriptor(QStringLiteral("openai-luna"));
        QVERIFY(descriptor);
        QCOMPARE(state.apiKeys().defaultModelName(AgentWritingProvider::OpenAI), descriptor->name);
        QVERIFY(descriptor->name != QStringLiteral("OpenAI"));
    }

    void aSecondSaveWhileTheFirstIsPendingWritesNothing()
    {
        TestAppState t;
        AppState &state = t.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        auto screen = showScreen(state);
        t.holdKeyringWrites();
        screen->setDraft(openAI(), openAIKey);
        QVERIFY(screen->saveKey(openAI()));
        QVERIFY(state.apiKeys().isPending(AgentWritingProvider::OpenAI));
        QCOMPARE(state.apiKeys().pendingProviders(), QVariantList{openAI()});
        QVERIFY(!screen->saveKey(openAI()));
        QVERIFY(!state.apiKeys().remove(AgentWritingProvider::OpenAI));

        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        t.releaseKeyringWrites();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(countOf(t.log, QStringLiteral("keyring write ") + openAIService), 1);
        QVERIFY(!state.apiKeys().isPending(AgentWritingProvider::OpenAI));
    }

    void jobsRunOneAfterAnother()
    {
        TestAppState t;
        AppState &state = t.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        t.holdKeyringWrites();
        QVERIFY(state.apiKeys().save(AgentWritingProvider::OpenAI, openAIKey));
        QVERIFY(state.apiKeys().save(AgentWritingProvider::Gemini, geminiKey));
        QCOMPARE(state.apiKeys().pendingProviders(), (QVariantList{openAI(), gemini()}));
        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        t.releaseKeyringWrites();
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(finished.at(0).at(0).value<AgentWritingProvider>(), AgentWritingProvider::OpenAI);
        QCOMPARE(finished.at(1).at(0).value<AgentWritingProvider>(), AgentWritingProvider::Gemini);
        QStringList writes = t.log.filter(QStringLiteral("keyring write"));
        QCOMPARE(writes, (QStringList{QStringLiteral("keyring write ") + openAIService, QStringLiteral("keyring write ") + geminiService}));
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::Gemini);
    }

    void aSaveFinishesItsWorkWhenTheScreenIsGone()
    {
        TestAppState t;
        AppState &state = t.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        state.setErrorResolution(ErrorResolution(QStringLiteral("No OpenAI key."),
                                                 ErrorResolutionDestination::apiKeys(AgentWritingProvider::OpenAI)));
        auto screen = showScreen(state);
        t.holdKeyringWrites();
        screen->setDraft(openAI(), openAIKey);
        QVERIFY(screen->saveKey(openAI()));
        screen.reset();
        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        t.releaseKeyringWrites();
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::OpenAI));
        QCOMPARE(state.agentSettings().writingProvider, AgentWritingProvider::OpenAI);
        QVERIFY(!state.errorResolution());
    }

    void savingAKeySettlesOnlyAKeyBanner_data()
    {
        QTest::addColumn<bool>("keyBanner");
        QTest::newRow("key banner") << true;
        QTest::newRow("permission banner") << false;
    }
    void savingAKeySettlesOnlyAKeyBanner()
    {
        QFETCH(bool, keyBanner);
        TestAppState t;
        AppState &state = t.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        state.setErrorResolution(ErrorResolution(QStringLiteral("Something to fix."),
                                                 keyBanner ? ErrorResolutionDestination::apiKeys(AgentWritingProvider::Gemini)
                                                           : ErrorResolutionDestination::permissions()));
        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        QVERIFY(state.apiKeys().save(AgentWritingProvider::OpenAI, openAIKey));
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(bool(state.errorResolution()), !keyBanner);
    }

    void removingAKey_data()
    {
        QTest::addColumn<bool>("keyringRefuses");
        QTest::newRow("removed") << false;
        QTest::newRow("keyring refuses") << true;
    }
    void removingAKey()
    {
        QFETCH(bool, keyringRefuses);
        TestAppState t;
        t.fakes.secretStore->items.insert({openAIService, QStringLiteral("OPENAI_API_KEY")}, openAIKey.toUtf8());
        if (keyringRefuses)
            t.fakes.secretStore->failures.insert(QStringLiteral("remove ") + openAIService,
                                                 SecretStore::Status::failed(5, QStringLiteral("Access denied.")));
        AppState &state = t.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::OpenAI));
        auto screen = showScreen(state);
        screen->toggleRow(openAI());
        screen->setDraft(openAI(), QStringLiteral("half typed"));

        screen->requestRemoval(openAI());
        QCOMPARE(screen->removalTitle(), QStringLiteral("Remove the OpenAI API key?"));
        screen->cancelRemoval();
        QVERIFY(!screen->providerPendingKeyRemoval());
        QCOMPARE(countOf(t.log, QStringLiteral("keyring remove ") + openAIService), 0);

        screen->requestRemoval(openAI());
        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        screen->confirmRemoval();
        QVERIFY(!screen->providerPendingKeyRemoval());
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(state.isAPIKeyConfigured(AgentWritingProvider::OpenAI), keyringRefuses);
        QCOMPARE(screen->draft(AgentWritingProvider::OpenAI), keyringRefuses ? QStringLiteral("half typed") : QString());
        QCOMPARE(screen->message(AgentWritingProvider::OpenAI),
                 keyringRefuses ? QStringLiteral("The OpenAI API key could not be updated in the system keyring: Access denied.")
                                : QStringLiteral("Removed from the system keyring."));
    }

    void aKeyRemovedWhileTheKeysLoadStaysRemoved()
    {
        TestAppState t;
        t.fakes.secretStore->items.insert({openAIService, QStringLiteral("OPENAI_API_KEY")}, openAIKey.toUtf8());
        // The keyring answers for OpenAI, then keeps the rest of the load waiting.
        t.afterKeyringRead([&t](const QString &service) {
            if (service == openAIService)
                t.lockKeyring();
        });
        AppState &state = t.build();
        QTRY_VERIFY(t.log.contains(QStringLiteral("keyring read ") + openAIService));
        QVERIFY(!state.cloudKeysLoaded());

        QSignalSpy finished(&state.apiKeys(), &APIKeyOperations::finished);
        QVERIFY(state.apiKeys().remove(AgentWritingProvider::OpenAI));
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(finished.first().at(2).toBool());

        t.afterKeyringRead({});
        t.unlockKeyring();
        QTRY_VERIFY(state.cloudKeysLoaded());
        QVERIFY(!state.isAPIKeyConfigured(AgentWritingProvider::OpenAI));
        QVERIFY(!state.cloudKeyLoadError(AgentWritingProvider::OpenAI));
    }

    void aKeyringThatCannotBeReadIsToldOnTheRow()
    {
        TestAppState t;
        t.fakes.secretStore->failures.insert(QStringLiteral("read ") + geminiService,
                                             SecretStore::Status::failed(9, QStringLiteral("No keyring is running.")));
        AppState &state = t.build();
        QTRY_VERIFY(state.cloudKeysLoaded());
        QCOMPARE(state.apiKeys().loadError(AgentWritingProvider::Gemini),
                 QStringLiteral("The Gemini API key could not be updated in the system keyring: No keyring is running."));
        QVERIFY(state.apiKeys().loadError(AgentWritingProvider::OpenAI).isEmpty());
    }
};

QTEST_MAIN(SettingsScreenStateTest)
#include "tst_settings_screen_state.moc"
