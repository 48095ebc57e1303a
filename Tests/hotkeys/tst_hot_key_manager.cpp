#include "FakeHotKeyBackend.h"
#include "Services/Shell/HotKeyManager.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

KeyboardShortcutSetting shortcut(quint32 keyCode, const char *label, bool command, bool option, bool control,
                                 bool shift)
{
    return {keyCode, QString::fromUtf8(label), command, option, control, shift};
}

const KeyboardShortcutSetting toggle = shortcut(49, "Space", false, true, false, false);
const KeyboardShortcutSetting pushToTalk = shortcut(49, "Space", false, true, true, false);
const KeyboardShortcutSetting agent = shortcut(49, "Space", false, true, false, true);
const KeyboardShortcutSetting agentScreenshot = shortcut(49, "Space", false, true, true, true);
const KeyboardShortcutSetting profileA = shortcut(0x12, "1", false, true, true, false);
const KeyboardShortcutSetting profileB = shortcut(0x13, "2", false, true, true, false);
const KeyboardShortcutSetting profileC = shortcut(0x14, "3", false, true, true, false);
const KeyboardShortcutSetting cancel = shortcut(53, "Esc", false, false, false, false);

// Runs the calls the manager queued for a later turn of the main loop.
void runPendingDeliveries()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

class HotKeyManagerTest : public QObject {
    Q_OBJECT

    // What each callback was called with, in order.
    QStringList calls;

    void connectCallbacks(HotKeyManager &manager)
    {
        manager.onToggle = [this] { calls << QStringLiteral("toggle"); };
        manager.onPushToTalkBegan = [this] { calls << QStringLiteral("began"); };
        manager.onPushToTalkEnded = [this] { calls << QStringLiteral("ended"); };
        manager.onAgentToggle = [this] { calls << QStringLiteral("agent"); };
        manager.onAgentScreenshotToggle = [this] { calls << QStringLiteral("screenshot"); };
        manager.onAgentProfileToggle = [this](int index) { calls << QStringLiteral("profile %1").arg(index); };
        manager.onCancel = [this] { calls << QStringLiteral("cancel"); };
    }

    // "id key modifiers" of every registration the system holds, by id.
    static QStringList held(const FakeHotKeyBackend &backend)
    {
        QStringList list;
        for (const auto &r : backend.registrations)
            list << QStringLiteral("%1 %2 %3").arg(r.id).arg(r.keyCode).arg(r.modifiers.toInt(), 0, 16);
        std::sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
            return a.section(' ', 0, 0).toUInt() < b.section(' ', 0, 0).toUInt();
        });
        return list;
    }

    // The manager's slots, as "id reference", against what the system holds.
    static QStringList slotsOf(const HotKeyManager &manager)
    {
        QStringList list;
        const auto add = [&](quint32 id, std::optional<HotKeyReference> reference) {
            if (reference)
                list << QStringLiteral("%1 %2").arg(id).arg(reference->value);
        };
        add(1, manager.toggleHotKey());
        add(2, manager.pushToTalkHotKey());
        add(3, manager.cancelHotKey());
        add(4, manager.agentHotKey());
        add(5, manager.agentScreenshotHotKey());
        for (const HotKeyReference &reference : manager.profileHotKeys())
            list << QStringLiteral("profile %1").arg(reference.value);
        list.sort();
        return list;
    }
    static QStringList slotsHeldBy(const FakeHotKeyBackend &backend)
    {
        QStringList list;
        for (const auto &r : backend.registrations)
            list << (r.id >= 100 ? QStringLiteral("profile %1").arg(r.reference)
                                 : QStringLiteral("%1 %2").arg(r.id).arg(r.reference));
        list.sort();
        return list;
    }

private Q_SLOTS:
    void init() { calls.clear(); }

    void operationSequences_data()
    {
        QTest::addColumn<QStringList>("operations");
        QTest::addColumn<QStringList>("expected");

        const QStringList all{"1 49 800", "2 49 1800", "4 49 a00", "5 49 1a00", "100 18 1800"};
        const QStringList allAndCancel{"1 49 800", "2 49 1800", "3 53 0", "4 49 a00", "5 49 1a00", "100 18 1800"};
        QTest::newRow("register") << QStringList{"register"} << all;
        QTest::newRow("register twice") << QStringList{"register", "register"} << all;
        QTest::newRow("screenshot shortcut dropped")
            << QStringList{"register", "register without screenshot"}
            << QStringList{"1 49 800", "2 49 1800", "4 49 a00", "100 18 1800"};
        QTest::newRow("cancel") << QStringList{"register", "registerCancel"} << allAndCancel;
        QTest::newRow("cancel twice") << QStringList{"register", "registerCancel", "registerCancel"} << allAndCancel;
        QTest::newRow("register drops cancel") << QStringList{"register", "registerCancel", "register"} << all;
        QTest::newRow("unregister cancel") << QStringList{"register", "registerCancel", "unregisterCancel"} << all;
        QTest::newRow("unregister cancel without one") << QStringList{"register", "unregisterCancel"} << all;
        QTest::newRow("unregister all") << QStringList{"register", "registerCancel", "unregister"} << QStringList{};
        QTest::newRow("unregister empty, repeated") << QStringList{"unregister", "unregister"} << QStringList{};
        QTest::newRow("cancel before any register") << QStringList{"registerCancel"} << QStringList{"3 53 0"};
        QTest::newRow("cancel after unregister")
            << QStringList{"register", "unregister", "registerCancel"} << QStringList{"3 53 0"};
    }

    void operationSequences()
    {
        QFETCH(QStringList, operations);
        QFETCH(QStringList, expected);
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        for (const QString &operation : operations) {
            if (operation == QLatin1String("register"))
                manager.registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profileA}, cancel);
            else if (operation == QLatin1String("register without screenshot"))
                manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {profileA}, cancel);
            else if (operation == QLatin1String("registerCancel"))
                manager.registerCancel();
            else if (operation == QLatin1String("unregisterCancel"))
                manager.unregisterCancel();
            else if (operation == QLatin1String("unregister"))
                manager.unregister();
            else
                QFAIL(qPrintable(operation));
        }
        QCOMPARE(held(backend), expected);
        QCOMPARE(slotsOf(manager), slotsHeldBy(backend));
        QVERIFY(!backend.log.contains(QStringLiteral("-unknown")));
    }

    void registrationAndRemovalOrder()
    {
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        manager.registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profileA, profileB}, cancel);
        manager.registerCancel();
        manager.unregister();
        QCOMPARE(backend.log, (QStringList{"+1", "+2", "+4", "+5", "+100", "+101", "+3",
                                           "-1", "-2", "-4", "-5", "-100", "-101", "-3"}));
    }

    void modifiersAndKeyCodeReachTheSystem_data()
    {
        QTest::addColumn<KeyboardShortcutSetting>("shortcut");
        QTest::addColumn<int>("mask");
        QTest::newRow("none") << shortcut(53, "Esc", false, false, false, false) << 0;
        QTest::newRow("command") << shortcut(40, "K", true, false, false, false) << 0x0100;
        QTest::newRow("shift") << shortcut(40, "K", false, false, false, true) << 0x0200;
        QTest::newRow("option") << shortcut(40, "K", false, true, false, false) << 0x0800;
        QTest::newRow("control") << shortcut(40, "K", false, false, true, false) << 0x1000;
        QTest::newRow("all four") << shortcut(40, "K", true, true, true, true) << 0x1B00;
        QTest::newRow("key without a virtual code") << shortcut(0x10000 + 107, "PRINT", false, false, true, false)
                                                    << 0x1000;
    }

    void modifiersAndKeyCodeReachTheSystem()
    {
        QFETCH(KeyboardShortcutSetting, shortcut);
        QFETCH(int, mask);
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        // The cancel shortcut is the one registered alone, so it shows what reaches the system.
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, shortcut);
        manager.registerCancel();
        const auto *registration = backend.registration(HotKeyManager::CancelId);
        QVERIFY(registration);
        QCOMPARE(registration->keyCode, shortcut.keyCode);
        QCOMPARE(registration->modifiers.toInt(), mask);
        QCOMPARE(manager.cancelShortcut(), shortcut);
    }

    void aRefusedProfileKeepsTheOthersOnTheirIndices()
    {
        FakeHotKeyBackend backend;
        backend.takenElsewhere.append({profileB.keyCode, HotKeyManager::modifiers(profileB)});
        HotKeyManager manager(backend);
        connectCallbacks(manager);
        manager.registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profileA, profileB, profileC}, cancel);
        QCOMPARE(manager.profileHotKeys().size(), 2);
        QVERIFY(!backend.key(profileB.keyCode, HotKeyManager::modifiers(profileB)));
        QVERIFY(backend.key(profileC.keyCode, HotKeyManager::modifiers(profileC)));
        QVERIFY(backend.key(profileA.keyCode, HotKeyManager::modifiers(profileA)));
        runPendingDeliveries();
        QCOMPARE(calls, (QStringList{"profile 2", "profile 0"}));
    }

    void aCombinationUsedTwiceRegistersOnce_data()
    {
        QTest::addColumn<KeyboardShortcutSetting>("agentShortcut");
        QTest::newRow("same value") << toggle;
        QTest::newRow("same keys, other label") << shortcut(49, "space bar", false, true, false, false);
    }

    void aCombinationUsedTwiceRegistersOnce()
    {
        QFETCH(KeyboardShortcutSetting, agentShortcut);
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        connectCallbacks(manager);
        manager.registerShortcuts(toggle, pushToTalk, agentShortcut, std::nullopt, {}, cancel);
        QVERIFY(manager.toggleHotKey());
        QVERIFY(manager.pushToTalkHotKey());
        QVERIFY(!manager.agentHotKey());
        QVERIFY(backend.key(toggle.keyCode, HotKeyManager::modifiers(toggle)));
        runPendingDeliveries();
        QCOMPARE(calls, QStringList{"toggle"});
    }

    void delivery_data()
    {
        QTest::addColumn<quint32>("id");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("toggle pressed") << 1u << true << QStringList{"toggle"};
        QTest::newRow("toggle released") << 1u << false << QStringList{};
        QTest::newRow("push-to-talk pressed") << 2u << true << QStringList{"began"};
        // The manager keeps no pressed state.
        QTest::newRow("push-to-talk released without a press") << 2u << false << QStringList{"ended"};
        QTest::newRow("cancel pressed") << 3u << true << QStringList{"cancel"};
        QTest::newRow("cancel released") << 3u << false << QStringList{};
        QTest::newRow("agent pressed") << 4u << true << QStringList{"agent"};
        QTest::newRow("agent released") << 4u << false << QStringList{};
        QTest::newRow("screenshot pressed") << 5u << true << QStringList{"screenshot"};
        QTest::newRow("first profile") << 100u << true << QStringList{"profile 0"};
        QTest::newRow("eighth profile") << 107u << true << QStringList{"profile 7"};
        QTest::newRow("profile released") << 100u << false << QStringList{};
        QTest::newRow("id 0") << 0u << true << QStringList{};
        QTest::newRow("id 6") << 6u << true << QStringList{};
        QTest::newRow("id 99") << 99u << true << QStringList{};
    }

    void delivery()
    {
        QFETCH(quint32, id);
        QFETCH(bool, pressed);
        QFETCH(QStringList, expected);
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        connectCallbacks(manager);
        manager.registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profileA}, cancel);
        backend.send(id, pressed ? HotKeyEventKind::Pressed : HotKeyEventKind::Released);
        // Never inside the system's event dispatch.
        QVERIFY(calls.isEmpty());
        runPendingDeliveries();
        QCOMPARE(calls, expected);
    }

    void callbacksAreReadWhenTheEventIsDelivered()
    {
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        connectCallbacks(manager);
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        backend.send(HotKeyManager::ToggleId, HotKeyEventKind::Pressed);
        manager.onToggle = [this] { calls << QStringLiteral("replaced toggle"); };
        runPendingDeliveries();
        QCOMPARE(calls, QStringList{"replaced toggle"});

        // An empty callback is skipped.
        manager.onToggle = {};
        manager.onAgentProfileToggle = {};
        backend.send(HotKeyManager::ToggleId, HotKeyEventKind::Pressed);
        backend.send(HotKeyManager::ProfileIdBase, HotKeyEventKind::Pressed);
        backend.send(HotKeyManager::AgentId, HotKeyEventKind::Pressed);
        runPendingDeliveries();
        QCOMPARE(calls, (QStringList{"replaced toggle", "agent"}));
    }

    void registeringTwiceDeliversEachPressOnce()
    {
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        connectCallbacks(manager);
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        manager.registerCancel();
        QVERIFY(backend.key(toggle.keyCode, HotKeyManager::modifiers(toggle)));
        QVERIFY(backend.key(cancel.keyCode, HotKeyManager::modifiers(cancel)));
        runPendingDeliveries();
        QCOMPARE(calls, (QStringList{"toggle", "cancel"}));
    }

    void nothingIsDeliveredAfterUnregister()
    {
        FakeHotKeyBackend backend;
        HotKeyManager manager(backend);
        connectCallbacks(manager);
        manager.registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profileA}, cancel);
        manager.unregister();
        for (quint32 id : {1u, 2u, 3u, 4u, 5u, 100u})
            backend.send(id, HotKeyEventKind::Pressed);
        backend.send(HotKeyManager::PushToTalkId, HotKeyEventKind::Released);
        runPendingDeliveries();
        QCOMPARE(calls, QStringList{});

        // A cancel shortcut registered on its own still works rather than
        // swallowing its key.
        manager.registerCancel();
        QVERIFY(backend.key(cancel.keyCode, HotKeyManager::modifiers(cancel)));
        runPendingDeliveries();
        QCOMPARE(calls, QStringList{"cancel"});
    }

    // What the system refused is on record for the settings screen, with one log line each.
    void refusedShortcutsAreRecorded()
    {
        FakeHotKeyBackend backend;
        backend.takenElsewhere.append({toggle.keyCode, HotKeyManager::modifiers(toggle)});
        backend.takenElsewhere.append({cancel.keyCode, HotKeyManager::modifiers(cancel)});
        HotKeyManager manager(backend);
        QSignalSpy changed(&manager, &HotKeyManager::refusedShortcutsChanged);

        QTest::ignoreMessage(QtInfoMsg, "The shortcut Alt+Space was refused: Another application already uses this shortcut.");
        QTest::ignoreMessage(QtInfoMsg, "The shortcut Alt+Shift+2 was refused: This shortcut is already in use by Sorvane.");
        // Profile B repeats profile A's keys.
        const KeyboardShortcutSetting repeated = shortcut(0x12, "2", false, true, false, true);
        const KeyboardShortcutSetting first = shortcut(0x12, "1", false, true, false, true);
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {first, repeated}, cancel);
        QCOMPARE(manager.refusedShortcuts(), (QSet<KeyboardShortcutSetting>{toggle, repeated}));
        QCOMPARE(changed.size(), 1);

        // The same outcome again announces nothing new.
        QTest::ignoreMessage(QtInfoMsg, "The shortcut Alt+Space was refused: Another application already uses this shortcut.");
        QTest::ignoreMessage(QtInfoMsg, "The shortcut Alt+Shift+2 was refused: This shortcut is already in use by Sorvane.");
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {first, repeated}, cancel);
        QCOMPARE(changed.size(), 1);

        QTest::ignoreMessage(QtInfoMsg, "The shortcut Esc was refused: Another application already uses this shortcut.");
        manager.registerCancel();
        QVERIFY(!manager.cancelHotKey());
        QCOMPARE(manager.refusedShortcuts(), (QSet<KeyboardShortcutSetting>{toggle, repeated, cancel}));
        manager.unregisterCancel();
        QCOMPARE(manager.refusedShortcuts(), (QSet<KeyboardShortcutSetting>{toggle, repeated}));

        // Suspended registration keeps the record; a registration that succeeds clears it.
        manager.unregister();
        QCOMPARE(manager.refusedShortcuts(), (QSet<KeyboardShortcutSetting>{toggle, repeated}));
        backend.takenElsewhere.clear();
        manager.registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {first}, cancel);
        QVERIFY(manager.refusedShortcuts().isEmpty());
        QCOMPARE(changed.size(), 4);
    }

    void aDestroyedManagerLeavesNothingBehind()
    {
        FakeHotKeyBackend backend;
        auto manager = std::make_unique<HotKeyManager>(backend);
        bool called = false;
        manager->onToggle = [&called] { called = true; };
        manager->registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profileA}, cancel);
        manager->registerCancel();
        backend.send(HotKeyManager::ToggleId, HotKeyEventKind::Pressed);
        manager.reset();
        runPendingDeliveries();
        QVERIFY(!called);
        QVERIFY(backend.registrations.isEmpty());
    }
};

QTEST_GUILESS_MAIN(HotKeyManagerTest)
#include "tst_hot_key_manager.moc"
