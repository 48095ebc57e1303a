#include "Services/Shell/UpdateController.h"
#include "Shell/ShellMenus.h"
#include "TestAppState.h"

#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

MenuInputs inputs(bool recording, bool listening, bool images, bool conversation, bool canCheck)
{
    MenuInputs in;
    in.recording = recording;
    in.agentListening = listening;
    in.toggleShortcut = QStringLiteral("Alt+Space");
    in.cancelShortcut = QStringLiteral("Esc");
    in.agentShortcut = QStringLiteral("Ctrl+Alt+Space");
    in.agentScreenshotShortcut = QStringLiteral("Ctrl+Alt+Shift+Space");
    in.selectedAgentModelTakesImages = images;
    in.hasActiveConversation = conversation;
    in.canCheckForUpdates = canCheck;
    return in;
}

// "title|enabled|shown" of each entry, separators as "-".
QStringList describe(const MenuGroup &group)
{
    QStringList out;
    for (const MenuEntry &e : group.entries)
        out << (e.isSeparator() ? QStringLiteral("-")
                                : e.title + (e.enabled ? QStringLiteral("|on") : QStringLiteral("|off"))
                      + (e.shown ? QString() : QStringLiteral("|hidden")));
    return out;
}

} // namespace

class ShellMenusTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mainMenu_data()
    {
        QTest::addColumn<MenuInputs>("in");
        QTest::addColumn<QStringList>("application");
        QTest::addColumn<QStringList>("dictation");
        QTest::addColumn<QStringList>("command");
        const QStringList appOn{"About Sorvane|on", "Check for Updates\u2026|on", "-", "Quit Sorvane|on"};
        const QStringList appOff{"About Sorvane|on", "Check for Updates\u2026|off", "-", "Quit Sorvane|on"};
        const QStringList idleDictation{"Start Dictation (Alt+Space)|on", "Cancel Dictation (Esc)|off",
                                        "Cancel Recording|off"};
        const QStringList recordingDictation{"Finish Dictation (Alt+Space)|on", "Cancel Dictation (Esc)|on",
                                             "Cancel Recording|on"};
        const QStringList idleCommand{"Start Command (Ctrl+Alt+Space)|on",
                                      "Start Command with Screenshot (Ctrl+Alt+Shift+Space)|on|hidden",
                                      "Open Current Conversation|off"};
        QTest::newRow("idle, no update feed") << inputs(false, false, false, false, false) << appOff << idleDictation
                                              << idleCommand;
        QTest::newRow("updates can be checked") << inputs(false, false, false, false, true) << appOn << idleDictation
                                                << idleCommand;
        QTest::newRow("recording") << inputs(true, false, false, false, false) << appOff << recordingDictation
                                   << idleCommand;
        QTest::newRow("listening, model takes images, conversation open")
            << inputs(false, true, true, true, false) << appOff << idleDictation
            << QStringList{"Finish Command Recording|on", "Start Command with Screenshot (Ctrl+Alt+Shift+Space)|on",
                           "Open Current Conversation|on"};
        QTest::newRow("model takes images") << inputs(false, false, true, false, false) << appOff << idleDictation
                                            << QStringList{"Start Command (Ctrl+Alt+Space)|on",
                                                           "Start Command with Screenshot (Ctrl+Alt+Shift+Space)|on",
                                                           "Open Current Conversation|off"};
        MenuInputs noShortcuts = inputs(false, false, true, false, false);
        noShortcuts.globalShortcutsAvailable = false;
        QTest::newRow("no global shortcuts in this session")
            << noShortcuts << appOff
            << QStringList{"Start Dictation (global shortcuts unavailable)|on",
                           "Cancel Dictation (global shortcuts unavailable)|off", "Cancel Recording|off"}
            << QStringList{"Start Command (global shortcuts unavailable)|on",
                           "Start Command with Screenshot (global shortcuts unavailable)|on",
                           "Open Current Conversation|off"};
    }
    void mainMenu()
    {
        QFETCH(MenuInputs, in);
        QFETCH(QStringList, application);
        QFETCH(QStringList, dictation);
        QFETCH(QStringList, command);
        const QList<MenuGroup> groups = sorvane::mainMenu(in);
        QCOMPARE(groups.size(), 3);
        QCOMPARE(groups.at(0).title, QStringLiteral("Sorvane"));
        QCOMPARE(groups.at(1).title, QStringLiteral("Dictation"));
        QCOMPARE(groups.at(2).title, QStringLiteral("Command"));
        QCOMPARE(describe(groups.at(0)), application);
        QCOMPARE(describe(groups.at(1)), dictation);
        QCOMPARE(describe(groups.at(2)), command);
        QCOMPARE(groups.at(0).entries.last().shortcut, QStringLiteral("Ctrl+Q"));
        QCOMPARE(groups.at(1).entries.at(1).action, MenuAction::CancelRecording);
        QCOMPARE(groups.at(1).entries.at(2).action, MenuAction::CancelRecording);
        QCOMPARE(groups.at(2).entries.at(1).action, MenuAction::ToggleAgentWithScreenshot);
    }

    void statusMenu_data()
    {
        QTest::addColumn<bool>("configured");
        QTest::newRow("configured") << true;
        QTest::newRow("not configured") << false;
    }
    void statusMenu()
    {
        QFETCH(bool, configured);
        const QList<MenuEntry> entries = sorvane::statusMenu(configured);
        QStringList titles;
        for (const MenuEntry &e : entries)
            titles << (e.isSeparator() ? QStringLiteral("-") : e.title);
        QCOMPARE(titles, (QStringList{"Start or stop dictation", "Start or stop Command", "Open Sorvane", "-",
                                      "Check for Updates\u2026", "-", "Quit Sorvane"}));
        QCOMPARE(entries.at(0).action, MenuAction::ToggleRecording);
        QCOMPARE(entries.at(1).action, MenuAction::ToggleAgent);
        QCOMPARE(entries.at(2).action, MenuAction::OpenApp);
        QCOMPARE(entries.at(4).action, MenuAction::CheckForUpdates);
        QCOMPARE(entries.at(4).enabled, configured);
        QCOMPARE(entries.at(6).action, MenuAction::Quit);
        QCOMPARE(entries.at(6).shortcut, QStringLiteral("Ctrl+Q"));
        for (int i : {0, 1, 2, 6})
            QVERIFY(entries.at(i).enabled);
    }

    // The inputs follow the state at once: its shortcuts, status and selected model.
    void inputsFollowTheState()
    {
        TestAppState t;
        AppState &state = t.build();
        UpdateController updates({QString(), QString(), QStringLiteral("1.0"), {}}, false);
        MenuInputs in = menuInputs(state, &updates);
        QVERIFY(!in.recording);
        QVERIFY(!in.agentListening);
        QVERIFY(!in.hasActiveConversation);
        QVERIFY(!in.canCheckForUpdates);
        QCOMPARE(in.toggleShortcut, state.toggleShortcut().displayName());
        QCOMPARE(in.cancelShortcut, state.cancelShortcut().displayName());
        QCOMPARE(in.agentShortcut, state.agentShortcut().displayName());
        QCOMPARE(in.agentScreenshotShortcut, state.agentScreenshotShortcut().displayName());
        QVERIFY(!in.toggleShortcut.isEmpty());

        KeyboardShortcutSetting changed = state.toggleShortcut();
        changed.keyCode = 0x28; // K
        changed.keyLabel = QStringLiteral("K");
        state.setToggleShortcut(changed);
        in = menuInputs(state, &updates);
        QCOMPARE(in.toggleShortcut, changed.displayName());
        QVERIFY(sorvane::mainMenu(in).at(1).entries.at(0).title.endsWith(QLatin1String("(") + changed.displayName()
                                                                          + QLatin1String(")")));

        state.setActiveAgentConversationID(QUuid::createUuid());
        QVERIFY(menuInputs(state, &updates).hasActiveConversation);
        QCOMPARE(menuInputs(state, &updates).selectedAgentModelTakesImages,
                 state.selectedAgentModel() && state.selectedAgentModel()->takesImages());
        QVERIFY(!menuInputs(state, nullptr).canCheckForUpdates);

        // The session decides whether the entries name their shortcuts.
        QVERIFY(menuInputs(state, &updates).globalShortcutsAvailable);
        const QByteArray session = qgetenv("XDG_SESSION_TYPE");
        qputenv("XDG_SESSION_TYPE", "wayland");
        const bool onWayland = menuInputs(state, &updates).globalShortcutsAvailable;
        qputenv("XDG_SESSION_TYPE", session);
        QVERIFY(!onWayland);
    }
};

QTEST_GUILESS_MAIN(ShellMenusTest)
#include "tst_shell_menus.moc"
