#include "ShortcutCapture.h"
#include "QmlScene.h"
#include "TestAppState.h"
#include "ViewsModule.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

// X modifier bits (the X headers' macros would clash with the toolkit's names).
constexpr quint32 ShiftMask = 1, LockMask = 2, ControlMask = 4, Mod1Mask = 8, Mod2Mask = 16, Mod4Mask = 64,
                  Mod5Mask = 128;
// The test display's keyboard: Xvfb's evdev numbering with a US layout, AltGr on Mod5.
constexpr quint32 altMask = Mod1Mask, altGrMask = Mod5Mask;

const QByteArray scene = R"(
import QtQuick
import Sorvane
Item {
    width: 300; height: 120
    property int quits: 0
    Shortcut { sequence: "Ctrl+Q"; onActivated: quits += 1 }
    ShortcutCapture { objectName: "capture"; stateObject: appState; width: 140; height: 40; requiresModifier: true }
    ShortcutCapture { objectName: "other"; stateObject: appState; y: 50; width: 140; height: 40 }
    Rectangle { objectName: "neighbour"; y: 90; width: 10; height: 10; activeFocusOnTab: true }
}
)";

} // namespace

class ShortcutCaptureTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> t;
    std::unique_ptr<sorvane::test::QmlScene> scene_;
    ShortcutCapture *capture = nullptr;

    // A press as the X11 platform delivers it: the shortcut map first, then the key.
    void press(quint32 xKeyCode, quint32 xModifiers, int qtKey = Qt::Key_unknown,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false)
    {
        QQuickWindow *window = scene_->window();
        if (qt_sendShortcutOverrideEvent(window, 0, qtKey, modifiers, QString(), autoRepeat))
            return;
        QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, xKeyCode, 0, xModifiers, QString(), autoRepeat);
        QCoreApplication::sendEvent(window, &event);
    }

    int beeps() const { return int(t->sounds.calls.count(QStringLiteral("beep"))); }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs the test display's keyboard map; scripts/test.sh provides one");
        views::initialise();
    }

    void init()
    {
        t = std::make_unique<TestAppState>();
        AppState &state = t->build();
        scene_ = std::make_unique<sorvane::test::QmlScene>(&state);
        QVERIFY2(scene_->load(scene), scene_->errors());
        scene_->window()->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(scene_->window()));
        capture = scene_->find<ShortcutCapture>(QStringLiteral("capture"));
        QVERIFY(capture);
    }

    void cleanup()
    {
        scene_.reset();
        t.reset();
    }

    void pressesRecordByTheTable_data()
    {
        QTest::addColumn<bool>("requiresModifier");
        QTest::addColumn<quint32>("xKeyCode");
        QTest::addColumn<quint32>("xModifiers");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("displayName");
        QTest::newRow("Space with Alt") << true << 65u << altMask << 49u << "Space" << "Alt+Space";
        QTest::newRow("Esc alone, no modifier needed") << false << 9u << 0u << 53u << "Esc" << "Esc";
        QTest::newRow("a with Ctrl is the key coded 0") << true << 38u << quint32(ControlMask) << 0u << "A" << "Ctrl+A";
        QTest::newRow("1 with Shift, by its base symbol") << true << 10u << quint32(ShiftMask) << 18u << "1"
                                                         << "Shift+1";
        QTest::newRow("a key outside the table") << true << 148u << altMask << 65684u << "Key 65684"
                                                 << "Alt+Key 65684";
        QTest::newRow("Caps Lock and Num Lock are no modifiers")
            << true << 40u << quint32(ControlMask | LockMask | Mod2Mask) << 2u << "D" << "Ctrl+D";
        QTest::newRow("every modifier") << true << 113u << quint32(ControlMask | Mod1Mask | ShiftMask | Mod4Mask)
                                        << 123u << "←" << "Ctrl+Alt+Shift+Super+←";
    }

    void pressesRecordByTheTable()
    {
        QFETCH(bool, requiresModifier);
        QFETCH(quint32, xKeyCode);
        QFETCH(quint32, xModifiers);
        QFETCH(quint32, keyCode);
        QFETCH(QString, label);
        QFETCH(QString, displayName);
        capture->setRequiresModifier(requiresModifier);
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        capture->start();
        QVERIFY(capture->isCapturing());
        press(xKeyCode, xModifiers);
        QCOMPARE(recorded.count(), 1);
        const auto shortcut = recorded.at(0).at(0).value<KeyboardShortcutSetting>();
        QCOMPARE(shortcut.keyCode, keyCode);
        QCOMPARE(shortcut.keyLabel, label);
        QCOMPARE(shortcut.displayName(), displayName);
        QVERIFY(!capture->isCapturing());
        QCOMPARE(beeps(), 0);
    }

    void refusedPressesBeepAndKeepCapturing_data()
    {
        QTest::addColumn<quint32>("xKeyCode");
        QTest::addColumn<quint32>("xModifiers");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Esc where a modifier is needed") << 9u << 0u << "Add Super, Alt, Ctrl, or Shift";
        QTest::newRow("a with AltGr") << 38u << altGrMask << "AltGr cannot be part of a shortcut";
        QTest::newRow("a with Ctrl and AltGr") << 38u << quint32(ControlMask | altGrMask)
                                               << "AltGr cannot be part of a shortcut";
    }

    void refusedPressesBeepAndKeepCapturing()
    {
        QFETCH(quint32, xKeyCode);
        QFETCH(quint32, xModifiers);
        QFETCH(QString, hint);
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        capture->start();
        press(xKeyCode, xModifiers);
        QCOMPARE(capture->validationMessage(), hint);
        QCOMPARE(beeps(), 1);
        QVERIFY(capture->isCapturing());
        QCOMPARE(recorded.count(), 0);
        // Held down: its repeats are taken without another beep.
        press(xKeyCode, xModifiers, Qt::Key_unknown, Qt::NoModifier, true);
        press(xKeyCode, xModifiers, Qt::Key_unknown, Qt::NoModifier, true);
        QCOMPARE(beeps(), 1);
        // An acceptable press ends it; the hint stays until the next capture.
        press(38, altMask);
        QCOMPARE(recorded.count(), 1);
        QCOMPARE(capture->validationMessage(), hint);
        capture->start();
        QCOMPARE(capture->validationMessage(), QString());
    }

    void aModifierAloneIsIgnoredWithoutABeep()
    {
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        capture->start();
        press(50, ShiftMask, Qt::Key_Shift, Qt::ShiftModifier); // Shift_L
        press(37, ControlMask, Qt::Key_Control, Qt::ControlModifier); // Control_L
        QCOMPARE(beeps(), 0);
        QCOMPARE(capture->validationMessage(), QString());
        QVERIFY(capture->isCapturing());
        QCOMPARE(recorded.count(), 0);
    }

    void tabIsRecordedAndTheFocusStays()
    {
        capture->setRequiresModifier(false);
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        capture->start();
        QVERIFY(capture->hasActiveFocus());
        press(23, 0, Qt::Key_Tab);
        QCOMPARE(recorded.count(), 1);
        QCOMPARE(recorded.at(0).at(0).value<KeyboardShortcutSetting>().keyLabel, QStringLiteral("Tab"));
        QCOMPARE(scene_->window()->activeFocusItem(), capture);
    }

    void ctrlQIsRecordedAndQuitsNothing()
    {
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        // Outside a capture the window's Ctrl+Q works (the fixture is sound).
        press(24, ControlMask, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(scene_->root()->property("quits").toInt(), 1);
        capture->start();
        press(24, ControlMask, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(recorded.count(), 1);
        QCOMPARE(recorded.at(0).at(0).value<KeyboardShortcutSetting>().displayName(), QStringLiteral("Ctrl+Q"));
        QCOMPARE(scene_->root()->property("quits").toInt(), 1);
    }

    void deactivationEndsTheCaptureWithNothingRecorded()
    {
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        capture->start();
        QVERIFY(t->state().hotKeysSuspended());
        QWindow elsewhere;
        elsewhere.resize(50, 50);
        elsewhere.show();
        elsewhere.requestActivate();
        QTRY_VERIFY(!capture->isCapturing());
        QCOMPARE(recorded.count(), 0);
        QVERIFY(!t->state().hotKeysSuspended());
        // Nothing had arrived: the hint says where the keys may have gone.
        QCOMPARE(capture->validationMessage(), shortcutrecording::nothingSeenHint);
    }

    void keysOfAnotherWindowAreNotTaken()
    {
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        capture->start();
        QWindow conversation;
        QKeyEvent event(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 38, 0, ControlMask);
        QCoreApplication::sendEvent(&conversation, &event);
        QCOMPARE(recorded.count(), 0);
        QVERIFY(capture->isCapturing());
    }

    void twoRecordersOneCaptureAndTheHotKeysStaySuspended()
    {
        auto *other = scene_->find<ShortcutCapture>(QStringLiteral("other"));
        QVERIFY(other);
        QSignalSpy suspended(&t->state(), &AppState::hotKeysSuspendedChanged);
        capture->start();
        QVERIFY(t->state().hotKeysSuspended());
        other->start();
        // The first gave way to the second; the hot keys were never resumed between.
        QVERIFY(!capture->isCapturing());
        QVERIFY(other->isCapturing());
        QVERIFY(t->state().hotKeysSuspended());
        QCOMPARE(suspended.count(), 1);
        // Stopping the one that is no longer capturing changes nothing.
        capture->stop();
        QVERIFY(t->state().hotKeysSuspended());
        other->stop();
        QVERIFY(!t->state().hotKeysSuspended());
        QCOMPARE(suspended.count(), 2);
    }

    void aRecorderThatGoesAwayResumesTheHotKeys()
    {
        capture->start();
        QVERIFY(t->state().hotKeysSuspended());
        delete capture;
        capture = nullptr;
        QVERIFY(!t->state().hotKeysSuspended());
    }

    void clickingAgainStopsWithoutChangingAnything()
    {
        QSignalSpy recorded(capture, &ShortcutCapture::recorded);
        QSignalSpy capturing(capture, &ShortcutCapture::capturingChanged);
        capture->toggle();
        capture->toggle();
        QVERIFY(!capture->isCapturing());
        QCOMPARE(capturing.count(), 2);
        QCOMPARE(recorded.count(), 0);
        QCOMPARE(capture->validationMessage(), shortcutrecording::nothingSeenHint);
    }
};

QTEST_MAIN(ShortcutCaptureTest)
#include "tst_shortcut_capture.moc"
