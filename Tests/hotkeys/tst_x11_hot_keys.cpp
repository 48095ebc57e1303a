#include "Platform/X11/X11HotKeyBackend.h"
#include "Platform/X11/X11WindowSystem.h"
#include "Services/Shell/HotKeyManager.h"
#include "TestPaths.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const KeyboardShortcutSetting toggle{49, QStringLiteral("Space"), false, true, false, false};
const KeyboardShortcutSetting pushToTalk{49, QStringLiteral("Space"), false, true, true, false};
const KeyboardShortcutSetting agent{49, QStringLiteral("Space"), false, true, false, true};
const KeyboardShortcutSetting agentScreenshot{49, QStringLiteral("Space"), false, true, true, true};
const KeyboardShortcutSetting profile{0x28, QStringLiteral("K"), false, true, true, false};
const KeyboardShortcutSetting cancel{53, QStringLiteral("Esc"), false, false, false, false};

constexpr unsigned spaceKeyCode = 65;

// Types on the test display; the keys are sent in one run so that they arrive in order.
bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << program << arguments << "failed:" << process.readAllStandardError();
        return false;
    }
    return true;
}

bool xdotool(const QStringList &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

// Collects the errors of the test's own X connection (another client, as far
// as the server is concerned).
int s_lastError = 0;
int recordError(Display *, XErrorEvent *event)
{
    s_lastError = event->error_code;
    return 0;
}

} // namespace

class X11HotKeysTest : public QObject {
    Q_OBJECT

    Display *other = nullptr;
    Window root = 0;
    XModifierKeymap *originalModifiers = nullptr;
    bool keyNumberingChanged = false;
    X11HotKeyBackend *backend = nullptr;
    HotKeyManager *manager = nullptr;
    int toggled = 0, began = 0, ended = 0, agentPressed = 0, screenshotPressed = 0, cancelled = 0;
    QList<int> profiles;

    void deleteManager()
    {
        delete manager;
        delete backend;
        manager = nullptr;
        backend = nullptr;
    }

    void makeManager()
    {
        backend = new X11HotKeyBackend(X11Connection::open());
        manager = new HotKeyManager(*backend);
        manager->onToggle = [this] { ++toggled; };
        manager->onPushToTalkBegan = [this] { ++began; };
        manager->onPushToTalkEnded = [this] { ++ended; };
        manager->onAgentToggle = [this] { ++agentPressed; };
        manager->onAgentScreenshotToggle = [this] { ++screenshotPressed; };
        manager->onAgentProfileToggle = [this](int index) { profiles << index; };
        manager->onCancel = [this] { ++cancelled; };
    }

    // Grabs a combination from the other connection; the server's answer.
    int otherClientGrab(unsigned keyCode, unsigned modifiers)
    {
        s_lastError = 0;
        XErrorHandler previous = XSetErrorHandler(recordError);
        XGrabKey(other, int(keyCode), modifiers, root, False, GrabModeAsync, GrabModeAsync);
        XSync(other, False);
        XSetErrorHandler(previous);
        return s_lastError;
    }

    // Asked of the server each time: a test moves Num Lock to another modifier.
    unsigned numLockMask()
    {
        const KeyCode numLock = XKeysymToKeycode(other, XK_Num_Lock);
        XModifierKeymap *map = XGetModifierMapping(other);
        unsigned mask = 0;
        for (int index = 0; index < 8; ++index)
            for (int k = 0; k < map->max_keypermod; ++k)
                if (numLock != 0 && map->modifiermap[index * map->max_keypermod + k] == numLock)
                    mask |= 1u << index;
        XFreeModifiermap(map);
        return mask;
    }

    unsigned lockedModifiers()
    {
        XkbStateRec state;
        XkbGetState(other, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            exitSkipped(QStringLiteral("no X display; scripts/test.sh provides one"));
        other = XOpenDisplay(nullptr);
        QVERIFY2(other, qPrintable(QStringLiteral("cannot open the X display %1").arg(qEnvironmentVariable("DISPLAY"))));
        for (const QString program : {"xdotool", "setxkbmap"})
            QVERIFY2(!QStandardPaths::findExecutable(program).isEmpty(), qPrintable(program + " is not installed"));
        root = DefaultRootWindow(other);
        originalModifiers = XGetModifierMapping(other);
    }

    void cleanupTestCase()
    {
        if (originalModifiers)
            XFreeModifiermap(originalModifiers);
        if (other)
            XCloseDisplay(other);
    }

    void init()
    {
        toggled = began = ended = agentPressed = screenshotPressed = cancelled = 0;
        profiles.clear();
        makeManager();
        QVERIFY(backend->isConnected());
        QVERIFY(backend->usesEvdevKeyCodes());
    }

    void cleanup()
    {
        deleteManager();
        if (keyNumberingChanged) {
            run(QStringLiteral("setxkbmap"), {"-keycodes", "evdev+aliases(qwerty)"});
            keyNumberingChanged = false;
        }
        xdotool({"keyup", "ctrl+alt+shift+super+space"});
        XUngrabKey(other, AnyKey, AnyModifier, root);
        // Put back what a test changed on the shared display.
        if (XSetModifierMapping(other, originalModifiers) != MappingSuccess)
            qWarning("could not restore the modifier mapping");
        // Unlock whatever modifier a lock key was bound to at the time.
        XkbLockModifiers(other, XkbUseCoreKbd, 0xFF, 0);
        XSync(other, False);
        QTRY_COMPARE(lockedModifiers(), 0u);
    }

    void toggleFiresExactlyOnce()
    {
        manager->registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profile}, cancel);
        QVERIFY(manager->toggleHotKey() && manager->pushToTalkHotKey() && manager->agentHotKey()
                && manager->agentScreenshotHotKey());
        QCOMPARE(manager->profileHotKeys().size(), 1);
        // The Command press comes after the toggle's press and release: once it has
        // arrived, everything the toggle caused has arrived too.
        QVERIFY(xdotool({"key", "alt+space", "key", "alt+shift+space", "key", "ctrl+alt+k"}));
        QTRY_COMPARE(profiles, QList<int>{0});
        QCOMPARE(toggled, 1);
        QCOMPARE(agentPressed, 1);
        QCOMPARE(began + ended + screenshotPressed + cancelled, 0);
    }

    // The hot keys and the capture layer share the program's one connection and its one
    // error trap: neither takes the other's errors or events.
    void oneConnectionForHotKeysAndWindows()
    {
        deleteManager();
        const auto connection = X11Connection::open();
        QVERIFY(connection);
        X11HotKeyBackend hotKeys(connection);
        X11WindowSystem windows(connection);
        QSignalSpy events(&hotKeys, &HotKeyBackend::hotKeyEvent);

        QCOMPARE(otherClientGrab(spaceKeyCode, Mod1Mask), 0);
        {
            X11Connection::ErrorTrap capture(*connection);
            const auto refused = hotKeys.registerHotKey(49, HotKeyModifier::Option, HotKeyManager::ToggleId);
            QVERIFY(!refused);
            QCOMPARE(refused.error().kind(), HotKeyError::Kind::TakenByAnotherClient);
            QVERIFY(!capture.failed());
        }
        QVERIFY(hotKeys.registerHotKey(49, HotKeyModifier::Option | HotKeyModifier::Control, HotKeyManager::AgentId));
        QVERIFY(xdotool({"key", "ctrl+alt+space"}));
        // The window system reads the connection's queue as it works; the key still arrives.
        QTRY_VERIFY_WITH_TIMEOUT((void(windows.frontmostApplication()), events.count() == 2), 10000);
        QCOMPARE(events.at(0).at(0).toUInt(), quint32(HotKeyManager::AgentId));
        QCOMPARE(events.at(0).at(1).value<HotKeyEventKind>(), HotKeyEventKind::Pressed);
        QCOMPARE(events.at(1).at(1).value<HotKeyEventKind>(), HotKeyEventKind::Released);
    }

    void heldPushToTalkWithModifiersLetGoFirst()
    {
        manager->registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        QVERIFY(manager->pushToTalkHotKey());
        QVERIFY(xdotool({"keydown", "ctrl+alt+space"}));
        QTRY_COMPARE(began, 1);
        // Held long enough for the keyboard to repeat the key.
        QTest::qWait(1200);
        QCOMPARE(ended, 0);
        QVERIFY(xdotool({"keyup", "ctrl", "keyup", "alt", "keyup", "space"}));
        QTRY_COMPARE(ended, 1);
        QCOMPARE(began, 1);
        QCOMPARE(toggled + agentPressed, 0);
    }

    void heldPushToTalkAcrossARefresh_data()
    {
        QTest::addColumn<bool>("sameCombination");
        QTest::addColumn<int>("expectedEnded");
        QTest::newRow("registered again") << true << 1;
        QTest::newRow("changed meanwhile") << false << 0;
    }

    // The shortcuts are registered anew whenever a setting changes, possibly while
    // push-to-talk is held; its release must still end the press it began.
    void heldPushToTalkAcrossARefresh()
    {
        QFETCH(bool, sameCombination);
        QFETCH(int, expectedEnded);
        manager->registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        QVERIFY(xdotool({"keydown", "ctrl+alt+space"}));
        QTRY_COMPARE(began, 1);

        const KeyboardShortcutSetting changed{49, QStringLiteral("Space"), false, false, true, true};
        manager->registerShortcuts(toggle, sameCombination ? pushToTalk : changed, agent, std::nullopt, {profile},
                                   cancel);
        QVERIFY(manager->pushToTalkHotKey());
        QVERIFY(xdotool({"keyup", "space", "keyup", "alt", "keyup", "ctrl"}));
        // The profile press comes after the release: once it has arrived, so has
        // whatever the release caused.
        QVERIFY(xdotool({"key", "ctrl+alt+k"}));
        QTRY_COMPARE(profiles, QList<int>{0});
        QCOMPARE(ended, expectedEnded);
        QCOMPARE(began, 1);

        // The key is free again: the next press and release are a fresh pair.
        const QStringList combination = sameCombination ? QStringList{"ctrl+alt+space"} : QStringList{"ctrl+shift+space"};
        QVERIFY(xdotool({"keydown", combination.first(), "keyup", combination.first()}));
        QTRY_COMPARE(ended, expectedEnded + 1);
        QCOMPARE(began, 2);
    }

    void locksDoNotMatter_data()
    {
        QTest::addColumn<QStringList>("lockKeys");
        QTest::newRow("Num Lock") << QStringList{"Num_Lock"};
        QTest::newRow("Caps Lock") << QStringList{"Caps_Lock"};
        QTest::newRow("both") << QStringList{"Num_Lock", "Caps_Lock"};
    }

    void locksDoNotMatter()
    {
        QFETCH(QStringList, lockKeys);
        manager->registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        unsigned expected = 0;
        for (const QString &key : lockKeys) {
            QVERIFY(xdotool({"key", key}));
            expected |= key == QLatin1String("Num_Lock") ? numLockMask() : unsigned(LockMask);
        }
        QVERIFY(expected != 0);
        QTRY_COMPARE(lockedModifiers() & expected, expected);

        QVERIFY(xdotool({"key", "alt+space", "keydown", "ctrl+alt+space", "keyup", "ctrl+alt+space"}));
        QTRY_COMPARE(ended, 1);
        QCOMPARE(toggled, 1);
        QCOMPARE(began, 1);
    }

    void numLockOnAnotherModifierAfterAMappingChange()
    {
        manager->registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {}, cancel);
        QVERIFY(manager->toggleHotKey());

        // Move Num Lock from its usual modifier to Mod3, which nothing uses.
        const unsigned numLockKeyCode = XKeysymToKeycode(other, XK_Num_Lock);
        QVERIFY(numLockKeyCode != 0);
        XModifierKeymap *map = XGetModifierMapping(other);
        for (int index = Mod1MapIndex; index <= Mod5MapIndex; ++index)
            map = XDeleteModifiermapEntry(map, KeyCode(numLockKeyCode), index);
        map = XInsertModifiermapEntry(map, KeyCode(numLockKeyCode), Mod3MapIndex);
        QSignalSpy remapped(backend, &X11HotKeyBackend::keyboardMappingChanged);
        QCOMPARE(XSetModifierMapping(other, map), MappingSuccess);
        XFreeModifiermap(map);
        XSync(other, False);
        QVERIFY(remapped.wait());
        // Every combination has a new Num Lock variant.
        QCOMPARE(remapped.last().at(0).toInt(), 3);

        QVERIFY(xdotool({"key", "Num_Lock"}));
        QTRY_COMPARE(lockedModifiers() & unsigned(Mod3Mask), unsigned(Mod3Mask));
        QVERIFY(xdotool({"key", "alt+space", "key", "alt+shift+space"}));
        QTRY_COMPARE(agentPressed, 1);
        QCOMPARE(toggled, 1);
    }

    void aCombinationHeldByAnotherClientIsRefused()
    {
        // The other client holds only the Num Lock variant, so a registration that
        // grabbed the remaining variants and kept them would go unnoticed.
        const unsigned altShift = Mod1Mask | ShiftMask;
        QCOMPARE(otherClientGrab(spaceKeyCode, altShift | numLockMask()), 0);

        manager->registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profile}, cancel);
        QVERIFY(!manager->agentHotKey());
        QVERIFY(manager->toggleHotKey());
        QVERIFY(manager->pushToTalkHotKey());
        QVERIFY(manager->agentScreenshotHotKey());
        QCOMPARE(manager->profileHotKeys().size(), 1);

        // Nothing of the refused registration was left grabbed.
        QCOMPARE(otherClientGrab(spaceKeyCode, altShift), 0);
        QCOMPARE(otherClientGrab(spaceKeyCode, altShift | LockMask), 0);
        QCOMPARE(otherClientGrab(spaceKeyCode, altShift | LockMask | numLockMask()), 0);
        // While the accepted ones are ours.
        QCOMPARE(otherClientGrab(spaceKeyCode, Mod1Mask), BadAccess);

        QVERIFY(xdotool({"key", "alt+space", "key", "ctrl+alt+k"}));
        QTRY_COMPARE(profiles, QList<int>{0});
        QCOMPARE(toggled, 1);
    }

    void theSameKeysTwiceRegisterOnce()
    {
        KeyboardShortcutSetting relabelled = toggle;
        relabelled.keyLabel = QStringLiteral("space bar");
        manager->registerShortcuts(toggle, pushToTalk, relabelled, std::nullopt, {profile}, cancel);
        QVERIFY(manager->toggleHotKey());
        QVERIFY(!manager->agentHotKey());
        QVERIFY(xdotool({"key", "alt+space", "key", "ctrl+alt+k"}));
        QTRY_COMPARE(profiles, QList<int>{0});
        QCOMPARE(toggled, 1);
        QCOMPARE(agentPressed, 0);
    }

    void aServerWithOtherKeyNumbers()
    {
        deleteManager();
        // The numbering of the old XFree86 servers: the navigation keys sit elsewhere.
        QVERIFY(run(QStringLiteral("setxkbmap"), {"-keycodes", "xfree86"}));
        keyNumberingChanged = true;
        makeManager();
        QVERIFY(!backend->usesEvdevKeyCodes());
        const KeyboardShortcutSetting altLeft{123, QStringLiteral("←"), false, true, false, false};
        const KeyboardShortcutSetting altHome{115, QStringLiteral("Home"), false, true, false, false};
        manager->registerShortcuts(altLeft, pushToTalk, altHome, std::nullopt, {}, cancel);
        QVERIFY(manager->toggleHotKey() && manager->agentHotKey());
        QVERIFY(xdotool({"key", "alt+Left", "key", "alt+Home"}));
        QTRY_COMPARE(agentPressed, 1);
        QCOMPARE(toggled, 1);
    }

    // The keys of a shortcut just recorded are still down when it is grabbed: the key's
    // further presses (auto-repeat) must not fire it; a fresh press does.
    void aKeyAlreadyDownDoesNotFireANewGrab()
    {
        QVERIFY(xdotool({"keydown", "ctrl+alt+k"}));
        XSync(other, False);
        manager->registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {profile}, cancel);
        QCOMPARE(manager->profileHotKeys().size(), 1);
        QCOMPARE(backend->keysDownSinceRegistration(), 1);
        // A press of a key that is down is what the server's auto-repeat sends.
        QVERIFY(xdotool({"keydown", "k", "keydown", "k", "keyup", "k", "keyup", "ctrl+alt", "key", "alt+space"}));
        QTRY_COMPARE(toggled, 1);
        QVERIFY(profiles.isEmpty());
        // Once it is seen up, it is a key like any other again.
        QTRY_COMPARE(backend->keysDownSinceRegistration(), 0);
        QVERIFY(xdotool({"key", "ctrl+alt+k"}));
        QTRY_COMPARE(profiles, QList<int>{0});
    }

    // The server announces a new keyboard whenever input moves to another device, with
    // the same keymap: no grab may be given up, even for a moment.
    void aNewKeyboardWithTheSameKeysKeepsEveryGrab()
    {
        manager->registerShortcuts(toggle, pushToTalk, agent, std::nullopt, {profile}, cancel);
        QSignalSpy remapped(backend, &X11HotKeyBackend::keyboardMappingChanged);
        // Loading the same keymap again sends the notifications a new keyboard does.
        QVERIFY(run(QStringLiteral("setxkbmap"), {"-layout", "us"}));
        QVERIFY(remapped.wait());
        QCOMPARE(remapped.last().at(0).toInt(), 0);
        // Still ours, every variant: another client cannot take them.
        for (unsigned locks : {0u, unsigned(LockMask), numLockMask(), LockMask | numLockMask()})
            QCOMPARE(otherClientGrab(spaceKeyCode, Mod1Mask | locks), BadAccess);
        QVERIFY(xdotool({"key", "alt+space"}));
        QTRY_COMPARE(toggled, 1);
    }

    void nothingFiresAfterUnregister()
    {
        manager->registerShortcuts(toggle, pushToTalk, agent, agentScreenshot, {profile}, cancel);
        manager->registerCancel();
        manager->unregister();
        QVERIFY(!manager->toggleHotKey() && !manager->pushToTalkHotKey() && !manager->agentHotKey()
                && !manager->agentScreenshotHotKey() && !manager->cancelHotKey());
        QVERIFY(manager->profileHotKeys().isEmpty());

        // Every variant is free for others again.
        for (unsigned locks : {0u, unsigned(LockMask), numLockMask(), LockMask | numLockMask()})
            QCOMPARE(otherClientGrab(spaceKeyCode, Mod1Mask | locks), 0);
        XUngrabKey(other, AnyKey, AnyModifier, root);
        XSync(other, False);

        // Only the cancel shortcut comes back; the keys typed before it reach nothing.
        manager->registerCancel();
        QVERIFY(manager->cancelHotKey());
        QVERIFY(xdotool({"key", "alt+space", "key", "ctrl+alt+space", "key", "alt+shift+space", "key",
                         "ctrl+alt+k", "key", "Escape"}));
        QTRY_COMPARE(cancelled, 1);
        QCOMPARE(toggled + began + ended + agentPressed + screenshotPressed, 0);
        QVERIFY(profiles.isEmpty());
    }
};

QTEST_GUILESS_MAIN(X11HotKeysTest)
#include "tst_x11_hot_keys.moc"
