#include "TestAppState.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

// The first catalogue model of the provider whose image capability is as asked.
QString catalogueModel(AgentModelProvider provider, bool images)
{
    for (const auto &model : AgentModelDescriptor::catalog())
        if (model.provider == provider && model.capabilities.images == images)
            return model.id;
    return {};
}

AgentSettings withLocalModel(AgentSettings settings, const QString &id)
{
    settings.writingProvider = AgentWritingProvider::Local;
    settings.selectedModelID = id;
    return settings;
}

} // namespace

class AppStateDerivedTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selectedSpeechModelAndCanDictate()
    {
        TestAppState t;
        t.fakes.settings->values.insert(QStringLiteral("selectedModelID"), QStringLiteral("no-such-model"));
        AppState &state = t.build();
        QVERIFY(!state.selectedModel());
        QVERIFY(!state.canDictate());
        QVERIFY(state.property("selectedModel").isNull());

        QSignalSpy modelChanged(&state, &AppState::selectedModelChanged);
        QSignalSpy canDictateChanged(&state, &AppState::canDictateChanged);
        // A catalogue model whose file is not in the models folder.
        state.setSelectedModelID(QStringLiteral("balanced"));
        QCOMPARE(state.selectedModel().value().id, QStringLiteral("balanced"));
        QCOMPARE(state.property("selectedModel").value<SpeechModel>().id, QStringLiteral("balanced"));
        QVERIFY(!state.canDictate());
        QCOMPARE(modelChanged.count(), 1);
        QCOMPARE(canDictateChanged.count(), 0);

        // The download lands: the store's revision moves and the state follows.
        t.placeSpeechModelFile(QStringLiteral("balanced"));
        QVERIFY(state.canDictate());
        QCOMPARE(canDictateChanged.count(), 1);
        QVERIFY(state.property("canDictate").toBool());
    }

    void selectedWritingModelByProvider_data()
    {
        QTest::addColumn<int>("provider");
        QTest::addColumn<QString>("localID");
        QTest::addColumn<QString>("geminiID");
        QTest::addColumn<QString>("expected"); // empty: none

        const int local = int(AgentWritingProvider::Local);
        const int gemini = int(AgentWritingProvider::Gemini);
        QTest::newRow("local on-device") << local << QStringLiteral("apple-system") << QStringLiteral("gemini-flash")
                                         << QStringLiteral("apple-system");
        QTest::newRow("gemini") << gemini << QStringLiteral("apple-system") << QStringLiteral("gemini-flash")
                                << QStringLiteral("gemini-flash");
        QTest::newRow("unknown local id") << local << QStringLiteral("gone-model") << QStringLiteral("gemini-flash")
                                          << QString();
        QTest::newRow("unknown id of the chosen provider only")
            << gemini << QStringLiteral("gone-model") << QStringLiteral("gemini-gone") << QString();
    }

    void selectedWritingModelByProvider()
    {
        QFETCH(int, provider);
        QFETCH(QString, localID);
        QFETCH(QString, geminiID);
        QFETCH(QString, expected);

        TestAppState t;
        AppState &state = t.build();
        AgentSettings settings = state.agentSettings();
        settings.writingProvider = AgentWritingProvider(provider);
        settings.selectedModelID = localID;
        settings.selectedGeminiModelID = geminiID;
        state.setAgentSettings(settings);

        const auto model = state.selectedAgentModel();
        QCOMPARE(model ? model->id : QString(), expected);
        QCOMPARE(state.property("selectedAgentModel").isNull(), expected.isEmpty());
    }

    void screenshotShortcutConflictsOnlyWithAnImageModel()
    {
        const QString textOnly = catalogueModel(AgentModelProvider::LlamaCPP, false);
        const QString withImages = catalogueModel(AgentModelProvider::LlamaCPP, true);
        QVERIFY(!textOnly.isEmpty());
        QVERIFY(!withImages.isEmpty());

        TestAppState t;
        AppState &state = t.build();
        state.setAgentSettings(withLocalModel(state.agentSettings(), textOnly));
        QSignalSpy conflictsChanged(&state, &AppState::agentShortcutConflictsChanged);
        state.setAgentScreenshotShortcut(state.toggleShortcut());
        QVERIFY(state.agentShortcutConflicts().isEmpty());
        QVERIFY(t.fakes.hotKeys->registration(5) == nullptr);
        QCOMPARE(conflictsChanged.count(), 0);

        state.setAgentSettings(withLocalModel(state.agentSettings(), withImages));
        QCOMPARE(state.agentShortcutConflicts(), QSet<KeyboardShortcutSetting>{state.toggleShortcut()});
        QCOMPARE(conflictsChanged.count(), 1);
        QVERIFY(state.isShortcutConflicting(state.toggleShortcut()));
        QCOMPARE(state.property("agentShortcutConflicts").toList().size(), 1);
        // Both want the same keys: the toggle got them, the screenshot shortcut's slot stays empty.
        QVERIFY(t.fakes.hotKeys->registration(1) != nullptr);
        QVERIFY(t.fakes.hotKeys->registration(5) == nullptr);

        // Different keys again: the image model's screenshot shortcut is registered.
        state.setAgentScreenshotShortcut(shortcut(49, QStringLiteral("Space"), true, true, true));
        QVERIFY(state.agentShortcutConflicts().isEmpty());
        QVERIFY(t.fakes.hotKeys->registration(5) != nullptr);
    }

    void conflictsCoverProfilesButNotCancel()
    {
        TestAppState t;
        AppState &state = t.build();
        // Cancel on the push-to-talk keys is no conflict: it is only registered while
        // nothing else can start.
        state.setCancelShortcut(state.pushToTalkShortcut());
        QVERIFY(state.agentShortcutConflicts().isEmpty());

        AgentSettings settings = state.agentSettings();
        AgentPromptProfile profile;
        profile.id = QUuid::createUuid();
        profile.name = QStringLiteral("Profile 1");
        profile.shortcut = state.agentShortcut();
        settings.promptProfiles.append(profile);
        state.setAgentSettings(settings);
        QCOMPARE(state.agentShortcutConflicts(), QSet<KeyboardShortcutSetting>{state.agentShortcut()});
    }

    void overlayShowsAgent_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("phase");
        QTest::addColumn<bool>("expected");
        const int idle = int(CaptureStatus::Kind::Idle);
        const int recording = int(CaptureStatus::Kind::Recording);
        const int success = int(CaptureStatus::Kind::Success);
        QTest::newRow("nothing") << idle << int(AgentPhase::Idle) << false;
        QTest::newRow("command generating") << idle << int(AgentPhase::Generating) << true;
        QTest::newRow("command finished") << idle << int(AgentPhase::Completed) << true;
        QTest::newRow("dictation recording over a command") << recording << int(AgentPhase::Generating) << false;
        QTest::newRow("dictation success over a finished command") << success << int(AgentPhase::Completed) << false;
        QTest::newRow("dictation only") << recording << int(AgentPhase::Idle) << false;
    }

    void overlayShowsAgent()
    {
        QFETCH(int, status);
        QFETCH(int, phase);
        QFETCH(bool, expected);
        TestAppState t;
        AppState &state = t.build();
        QSignalSpy changed(&state, &AppState::overlayShowsAgentChanged);
        switch (CaptureStatus::Kind(status)) {
        case CaptureStatus::Kind::Recording: state.setStatus(CaptureStatus::recording()); break;
        case CaptureStatus::Kind::Success: state.setStatus(CaptureStatus::success(QStringLiteral("text"))); break;
        default: break;
        }
        state.setAgentPhase(AgentPhase(phase));
        QCOMPARE(state.overlayShowsAgent(), expected);
        QCOMPARE(state.property("overlayShowsAgent").toBool(), expected);
        QCOMPARE(changed.count(), expected ? 1 : 0);
    }

    void qmlFacingOptionals()
    {
        TestAppState t;
        AppState &state = t.build();
        QVERIFY(state.property("errorResolution").isNull());
        QVERIFY(state.property("activeAgentConversationID").isNull());

        state.setErrorResolution(ErrorResolution(QStringLiteral("Choose a downloaded model."),
                                                 ErrorResolutionDestination::dictationModels()));
        const auto banner = state.property("errorResolution").value<ErrorResolution>();
        QCOMPARE(banner.message, QStringLiteral("Choose a downloaded model."));
        QCOMPARE(banner.destinationKind(), ErrorResolutionDestination::Kind::DictationModels);
        // A screen dismisses the banner by setting it to null.
        QVERIFY(state.setProperty("errorResolution", QVariant()));
        QVERIFY(!state.errorResolution());

        const QUuid id = QUuid::createUuid();
        QVERIFY(state.setProperty("activeAgentConversationID", id.toString(QUuid::WithoutBraces)));
        QCOMPARE(state.activeAgentConversationID(), std::optional<QUuid>(id));
        QCOMPARE(state.property("activeAgentConversationID").toString(), id.toString(QUuid::WithoutBraces).toUpper());
        QVERIFY(state.setProperty("activeAgentConversationID", QVariant()));
        QVERIFY(!state.activeAgentConversationID());

        QVERIFY(state.property("status").value<CaptureStatus>() == CaptureStatus::idle());
        QCOMPARE(state.property("recorder").value<AudioRecorder *>(), t.recorder.get());
        QCOMPARE(state.property("hotKey").value<HotKeyManager *>(), t.hotKeys.get());
        QCOMPARE(state.property("historyStore").value<HistoryStore *>(), t.historyStore.get());
    }
};

QTEST_GUILESS_MAIN(AppStateDerivedTest)
#include "tst_app_state_derived.moc"
