#include "FakeHotKeyBackend.h"
#include "Services/Shell/HotKeyManager.h"
#include "TestAppState.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const KeyboardShortcutSetting toggle{49, QStringLiteral("Space"), false, true, false, false};
const KeyboardShortcutSetting pushToTalk{49, QStringLiteral("Space"), false, true, true, false};
const KeyboardShortcutSetting agent{49, QStringLiteral("Space"), false, true, false, true};
const KeyboardShortcutSetting cancel{53, QStringLiteral("Esc"), false, false, false, false};

QStringList hotKeyCalls(const QStringList &log)
{
    QStringList calls;
    for (const QString &line : log)
        if (line.startsWith(QLatin1String("hotkey")))
            calls << line;
    return calls;
}

} // namespace

// What the state and the hot-key manager do around a shortcut recording and the
// settings that go with it.
class ShortcutSettingsStateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A Dictation or Command started (from the menu) while a shortcut is being recorded
    // asks for the cancel shortcut: it must wait until the recording ends, or Esc could
    // not be recorded.
    void theCancelShortcutWaitsWhileSuspended()
    {
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        QCOMPARE(backend.registrations.size(), 3);
        manager.setSuspended(true);
        QVERIFY(backend.registrations.isEmpty());
        manager.registerCancel();
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        QVERIFY(backend.registrations.isEmpty());
        QVERIFY(!manager.cancelHotKey());
        manager.setSuspended(false);
        manager.registerCancel();
        QVERIFY(manager.cancelHotKey());
    }

    void resumingTheStateRegistersAgain()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setHotKeysSuspended(true);
        QVERIFY(t.fakes.hotKeys->registrations.isEmpty());
        // A recorded shortcut is stored at once and grabbed when the recording ends.
        state.setToggleShortcut({2, QStringLiteral("D"), false, true, true, false});
        QVERIFY(t.fakes.hotKeys->registrations.isEmpty());
        state.setHotKeysSuspended(false);
        QVERIFY(t.fakes.hotKeys->key(2, HotKeyModifier::Option | HotKeyModifier::Control));
    }

    void refusedShortcutsSayWhy()
    {
        TestAppState t;
        t.fakes.hotKeys->takenElsewhere.append({49, HotKeyModifier::Option});
        AppState &state = t.build();
        const KeyboardShortcutSetting dictate = state.toggleShortcut();
        QCOMPARE(dictate.displayName(), QStringLiteral("Alt+Space"));
        QVERIFY(state.refusedShortcuts().contains(dictate));
        QCOMPARE(state.shortcutRefusalReason(dictate), QStringLiteral("In use by another program"));
        QCOMPARE(state.shortcutRefusalReason(state.agentShortcut()), QString());

        // Another combination is taken, and the refusal goes.
        QSignalSpy refused(&state, &AppState::refusedShortcutsChanged);
        state.setToggleShortcut({2, QStringLiteral("D"), false, true, true, false});
        QCOMPARE(refused.count(), 1);
        QVERIFY(state.refusedShortcuts().isEmpty());
        QCOMPARE(state.shortcutRefusalReason(dictate), QString());
    }

    void aProfilesNameAndPromptPersistWithoutGrabbingAgain()
    {
        TestAppState t;
        AppState &state = t.build();
        state.addPromptProfile();
        QCOMPARE(state.agentSettings().promptProfiles.size(), 1);
        t.log.clear();
        AgentSettings settings = state.agentSettings();
        settings.promptProfiles[0].name = QStringLiteral("Slack");
        state.setAgentSettings(settings);
        settings.promptProfiles[0].prompt = QStringLiteral("Short sentences.");
        state.setAgentSettings(settings);
        QCOMPARE(t.log, (QStringList{QStringLiteral("set agentSettings"), QStringLiteral("set agentSettings")}));
        QCOMPARE(state.agentSettings().promptProfiles[0].name, QStringLiteral("Slack"));

        // Its shortcut changed: now the keys are registered again.
        settings.promptProfiles[0].shortcut = {3, QStringLiteral("F"), false, true, true, false};
        state.setAgentSettings(settings);
        QVERIFY(hotKeyCalls(t.log).contains(QStringLiteral("hotkey +100")));
        QVERIFY(t.fakes.hotKeys->key(3, HotKeyModifier::Option | HotKeyModifier::Control));
    }

    void resetBeforeTheOverlayWasEverShown()
    {
        TestAppState t;
        AppState &state = t.build();
        QVERIFY(!t.overlay);
        state.resetOverlayPosition();
        QVERIFY(t.overlay);
        QCOMPARE(t.overlay->calls, QStringList{QStringLiteral("resetPosition")});
        QVERIFY(!t.overlay->isPresented());
    }

    void theRecorderBeepsThroughTheDesktopBell()
    {
        TestAppState t;
        AppState &state = t.build();
        state.beep();
        QCOMPARE(t.sounds.calls, QStringList{QStringLiteral("beep")});
    }
};

QTEST_GUILESS_MAIN(ShortcutSettingsStateTest)
#include "tst_shortcut_settings_state.moc"
