// The state's operations that the screens call directly: the overlay click that leads
// to where an error is fixed, the permission requests, onboarding's speech model, the
// vocabulary, the prompt profiles and the removal of a speech model.
#include "TestAppState.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(sorvane::ErrorResolutionDestination)

namespace {

KeyboardShortcutSetting altControl(quint32 keyCode, const char *label)
{
    KeyboardShortcutSetting shortcut;
    shortcut.keyCode = keyCode;
    shortcut.keyLabel = QString::fromLatin1(label);
    shortcut.option = true;
    shortcut.control = true;
    return shortcut;
}

QString speechModelFile(const TestAppState &t, const QString &id)
{
    return QDir(t.modelsFolder()).filePath(SpeechModel::find(id)->fileName);
}

} // namespace

class ScreenActionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void overlayTapRoutes_data()
    {
        QTest::addColumn<ErrorResolutionDestination>("destination");
        QTest::addColumn<AppSection>("section");
        QTest::addColumn<SettingsArea>("area");
        QTest::addColumn<AgentWritingProvider>("provider");
        QTest::addColumn<int>("attention");

        QTest::newRow("key of Mistral") << ErrorResolutionDestination::apiKeys(AgentWritingProvider::Mistral)
                                        << AppSection::Settings << SettingsArea::Account << AgentWritingProvider::Mistral << 0;
        QTest::newRow("speech models") << ErrorResolutionDestination::dictationModels() << AppSection::Models
                                       << SettingsArea::Shortcuts << AgentWritingProvider::OpenAI << 0;
        QTest::newRow("writing models") << ErrorResolutionDestination::commandModels() << AppSection::Models
                                        << SettingsArea::Shortcuts << AgentWritingProvider::OpenAI << 0;
        QTest::newRow("Command settings") << ErrorResolutionDestination::commandSettings() << AppSection::Settings
                                          << SettingsArea::Behaviour << AgentWritingProvider::OpenAI << 0;
        QTest::newRow("permissions") << ErrorResolutionDestination::permissions() << AppSection::Settings
                                     << SettingsArea::Account << AgentWritingProvider::OpenAI << 1;
    }
    void overlayTapRoutes()
    {
        QFETCH(ErrorResolutionDestination, destination);
        QFETCH(AppSection, section);
        QFETCH(SettingsArea, area);
        QFETCH(AgentWritingProvider, provider);
        QFETCH(int, attention);

        TestAppState t;
        AppState &state = t.build();
        state.setErrorResolution(ErrorResolution(QStringLiteral("Something to fix."), destination));
        state.scheduleAgentOverlayHide(3.0);
        t.windows.calls.clear();

        state.handleOverlayTap();
        QCOMPARE(state.selectedSection(), section);
        QCOMPARE(state.selectedSettingsArea(), area);
        QCOMPARE(state.selectedAPIKeyProvider(), provider);
        QCOMPARE(state.permissionAttentionRequest(), attention);
        QVERIFY(t.windows.calls.contains(QStringLiteral("raise")));
        QVERIFY(!state.isOverlayHidePending());
        QVERIFY(t.overlay && !t.overlay->presented);
        // The banner stays until it is dismissed or replaced.
        QVERIFY(state.errorResolution());
    }

    void overlayTapWithoutErrorDoesNothing()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setStatus(CaptureStatus::success(QStringLiteral("done")));
        state.handleOverlayTap();
        QCOMPARE(state.selectedSection(), AppSection::Home);
        QVERIFY(t.windows.calls.isEmpty());
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Success);
    }

    void overlayTapOnPermissionMessageEndsIt()
    {
        TestAppState t;
        AppState &state = t.build();
        state.showPermissionError(PermissionAttention::Microphone);
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Error);
        state.handleOverlayTap();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
        QVERIFY(!state.permissionAttention());
        QCOMPARE(state.permissionAttentionRequest(), 1);
        QCOMPARE(state.selectedSettingsArea(), SettingsArea::Account);
        // Each click asks again; the counter only grows.
        state.handleOverlayTap();
        QCOMPARE(state.permissionAttentionRequest(), 2);
    }

    void permissionRequests()
    {
        TestAppState t;
        t.permissions.microphone = false;
        t.permissions.screenRecording = false;
        AppState &state = t.build();

        state.requestMicrophone();
        QVERIFY(!state.microphoneGranted());
        QCOMPARE(t.links.opened.size(), 1);

        state.requestScreenRecording();
        QVERIFY(!state.screenRecordingGranted());
        QCOMPARE(t.links.opened.size(), 1);
        t.timers.advance(399ms);
        QCOMPARE(t.links.opened.size(), 1);
        t.timers.advance(1ms);
        QCOMPARE(t.links.opened.size(), 2);

        t.permissions.grantOnRequest = true;
        state.requestMicrophone();
        state.requestScreenRecording();
        QVERIFY(state.microphoneGranted());
        QVERIFY(state.screenRecordingGranted());
        t.timers.advance(1s);
        QCOMPARE(t.links.opened.size(), 2);
    }

    void onboardingWithPresentModel()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("swift"));
        AppState &state = t.build();
        state.setSelectedSection(AppSection::Models);

        state.prepareSpeechModelForOnboarding(*SpeechModel::find(QStringLiteral("swift")));
        QVERIFY(!state.pendingPreferredSpeechModelID());
        QVERIFY(!state.preferredSpeechModelDownloadError());

        state.completeOnboarding(*SpeechModel::find(QStringLiteral("swift")));
        QCOMPARE(state.selectedModelID(), QStringLiteral("swift"));
        QVERIFY(state.onboardingComplete());
        QCOMPARE(state.selectedSection(), AppSection::Home);
    }

    void vocabulary()
    {
        TestAppState t;
        AppState &state = t.build();
        state.addVocabulary(QStringLiteral("zeta"));
        state.addVocabulary(QStringLiteral("Alpha"));
        QCOMPARE(state.vocabulary(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("zeta")}));

        state.addVocabulary(QStringLiteral("kubernetes"));
        state.addVocabulary(QStringLiteral("  Kubernetes\n"));
        state.addVocabulary(QStringLiteral(" \n "));
        QCOMPARE(state.vocabulary(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("kubernetes"), QStringLiteral("zeta")}));

        // Removal is exact: no trimming, case counts.
        state.removeVocabulary(QStringLiteral("alpha"));
        state.removeVocabulary(QStringLiteral("zeta "));
        QCOMPARE(state.vocabulary().size(), 3);
        state.removeVocabulary(QStringLiteral("Alpha"));
        QCOMPARE(state.vocabulary(), (QStringList{QStringLiteral("kubernetes"), QStringLiteral("zeta")}));
        QCOMPARE(t.fakes.settings->stringListValue(QStringLiteral("vocabulary")), std::optional(state.vocabulary()));
    }

    void promptProfiles()
    {
        TestAppState t;
        AppState &state = t.build();
        state.addPromptProfile();
        state.addPromptProfile();
        auto profiles = state.agentSettings().promptProfiles;
        QCOMPARE(profiles.size(), 2);
        QCOMPARE(profiles[0].name, QStringLiteral("Profile 1"));
        QCOMPARE(profiles[0].shortcut, altControl(18, "1"));
        QCOMPARE(profiles[1].name, QStringLiteral("Profile 2"));
        QCOMPARE(profiles[1].shortcut, altControl(19, "2"));
        QVERIFY(profiles[0].prompt.isEmpty());
        // Each profile's shortcut is registered as 100 + its place.
        const auto registered = [&](quint32 id) {
            return std::any_of(t.fakes.hotKeys->registrations.begin(), t.fakes.hotKeys->registrations.end(),
                               [&](const auto &r) { return r.id == id; });
        };
        QVERIFY(registered(100) && registered(101));

        // Named by count, given the first free shortcut.
        state.removePromptProfile(profiles[0].id);
        state.addPromptProfile();
        profiles = state.agentSettings().promptProfiles;
        QCOMPARE(profiles.size(), 2);
        QCOMPARE(profiles[1].name, QStringLiteral("Profile 2"));
        QCOMPARE(profiles[1].shortcut, altControl(18, "1"));

        for (int i = 0; i < 5; ++i)
            state.addPromptProfile();
        QCOMPARE(state.agentSettings().promptProfiles.size(), AppState::maximumPromptProfiles);
        QCOMPARE(state.agentSettings().promptProfiles.last().shortcut, altControl(23, "5"));
    }

    void removeModel()
    {
        TestAppState t;
        t.placeSpeechModelFile(QStringLiteral("pocket"));
        t.placeSpeechModelFile(QStringLiteral("velocity"));
        AppState &state = t.build();
        state.setSelectedModelID(QStringLiteral("velocity"));

        QVERIFY(state.removeModel(*SpeechModel::find(QStringLiteral("pocket"))).ok());
        QVERIFY(QFile::exists(speechModelFile(t, QStringLiteral("pocket"))));
        QCOMPARE(state.selectedModelID(), QStringLiteral("velocity"));

        QVERIFY(state.removeModel(*SpeechModel::find(QStringLiteral("velocity"))).ok());
        QVERIFY(!QFile::exists(speechModelFile(t, QStringLiteral("velocity"))));
        QCOMPARE(state.selectedModelID(), QStringLiteral("pocket"));
    }
};

QTEST_GUILESS_MAIN(ScreenActionsTest)
#include "tst_screen_actions.moc"
