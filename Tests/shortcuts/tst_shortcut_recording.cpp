#include "Shared/ShortcutRecording.h"

#include <QTest>

#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

using namespace sorvane;
using namespace sorvane::shortcutrecording;

// The rules by themselves, with the key symbols given (the capture test reads them from
// a real keyboard map).
class ShortcutRecordingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void labels_data()
    {
        QTest::addColumn<quint32>("storedKeyCode");
        QTest::addColumn<quint32>("keySym");
        QTest::addColumn<QString>("label");
        QTest::newRow("Return") << 36u << quint32(XK_Return) << "Return";
        QTest::newRow("Tab") << 48u << quint32(XK_Tab) << "Tab";
        QTest::newRow("Space") << 49u << quint32(XK_space) << "Space";
        QTest::newRow("Backspace keeps its stored name") << 51u << quint32(XK_BackSpace) << "Delete";
        QTest::newRow("Esc") << 53u << quint32(XK_Escape) << "Esc";
        QTest::newRow("keypad Enter") << 76u << quint32(XK_KP_Enter) << "Enter";
        QTest::newRow("Home") << 115u << quint32(XK_Home) << "Home";
        QTest::newRow("Page Up") << 116u << quint32(XK_Prior) << "Page Up";
        QTest::newRow("Delete") << 117u << quint32(XK_Delete) << "Forward Delete";
        QTest::newRow("End") << 119u << quint32(XK_End) << "End";
        QTest::newRow("Page Down") << 121u << quint32(XK_Next) << "Page Down";
        QTest::newRow("left") << 123u << quint32(XK_Left) << "←";
        QTest::newRow("right") << 124u << quint32(XK_Right) << "→";
        QTest::newRow("down") << 125u << quint32(XK_Down) << "↓";
        QTest::newRow("up") << 126u << quint32(XK_Up) << "↑";
        QTest::newRow("a letter is upper-cased") << 0u << quint32(XK_a) << "A";
        QTest::newRow("a Latin-1 letter") << 0x29u << quint32(XK_odiaeresis) << "Ö";
        QTest::newRow("a Unicode symbol") << 0x10000u + 44 << 0x010004D7u << "Ӗ";
        QTest::newRow("a keypad digit") << 0x53u << quint32(XK_KP_1) << "1";
        QTest::newRow("a key that types nothing") << 0x10000u + 148 << quint32(XF86XK_Calculator) << "Key 65684";
        QTest::newRow("a function key") << 0x7Au << quint32(XK_F1) << "Key 122";
        QTest::newRow("no symbol at all") << 0x10000u + 200 << 0u << "Key 65736";
    }

    void labels()
    {
        QFETCH(quint32, storedKeyCode);
        QFETCH(quint32, keySym);
        QFETCH(QString, label);
        QCOMPARE(keyLabel(storedKeyCode, keySym), label);
    }

    void outcomes_data()
    {
        QTest::addColumn<quint32>("xKeyCode");
        QTest::addColumn<quint32>("xModifiers");
        QTest::addColumn<quint32>("keySym");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<bool>("requiresModifier");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("displayName");
        const int ignore = int(ShortcutKeyOutcome::Kind::Ignore), refuse = int(ShortcutKeyOutcome::Kind::Refuse),
                  record = int(ShortcutKeyOutcome::Kind::Record);
        QTest::newRow("Alt+Space") << 65u << quint32(Mod1Mask) << quint32(XK_space) << false << true << record
                                   << "Alt+Space";
        QTest::newRow("auto-repeat") << 65u << quint32(Mod1Mask) << quint32(XK_space) << true << true << ignore << "";
        QTest::newRow("Shift alone") << 50u << quint32(ShiftMask) << quint32(XK_Shift_L) << false << true << ignore
                                     << "";
        QTest::newRow("Super alone") << 133u << 0u << quint32(XK_Super_L) << false << true << ignore << "";
        QTest::newRow("AltGr alone") << 92u << 0u << quint32(XK_ISO_Level3_Shift) << false << true << ignore << "";
        QTest::newRow("Caps Lock") << 66u << 0u << quint32(XK_Caps_Lock) << false << false << ignore << "";
        QTest::newRow("Shift counts as a modifier") << 38u << quint32(ShiftMask) << quint32(XK_a) << false << true
                                                    << record << "Shift+A";
        QTest::newRow("a bare key where one is needed") << 38u << 0u << quint32(XK_a) << false << true << refuse << "";
        QTest::newRow("a bare key where none is needed") << 9u << 0u << quint32(XK_Escape) << false << false << record
                                                         << "Esc";
        QTest::newRow("locks alone are no modifier") << 38u << quint32(LockMask | Mod2Mask) << quint32(XK_a) << false
                                                     << true << refuse << "";
        QTest::newRow("AltGr even with Ctrl") << 38u << quint32(ControlMask | Mod5Mask) << quint32(XK_a) << false
                                              << false << refuse << "";
        QTest::newRow("Super on Mod4") << 40u << quint32(Mod4Mask | ControlMask) << quint32(XK_d) << false << true
                                       << record << "Ctrl+Super+D";
    }

    void outcomes()
    {
        QFETCH(quint32, xKeyCode);
        QFETCH(quint32, xModifiers);
        QFETCH(quint32, keySym);
        QFETCH(bool, autoRepeat);
        QFETCH(bool, requiresModifier);
        QFETCH(int, kind);
        QFETCH(QString, displayName);
        const auto outcome = interpret({xKeyCode, xModifiers, keySym, autoRepeat}, ShortcutModifierMasks{},
                                       requiresModifier);
        QCOMPARE(int(outcome.kind), kind);
        if (outcome.kind == ShortcutKeyOutcome::Kind::Record)
            QCOMPARE(outcome.shortcut.displayName(), displayName);
        if (outcome.kind == ShortcutKeyOutcome::Kind::Refuse)
            QVERIFY(!outcome.hint.isEmpty());
    }

    // Alt read by the mask the server's modifier map gives it, as the grabs use.
    void altOnAnotherModifier()
    {
        const ShortcutModifierMasks masks{Mod3Mask, Mod4Mask, Mod5Mask};
        const auto onMod3 = interpret({65, Mod3Mask, XK_space, false}, masks, true);
        QCOMPARE(onMod3.kind, ShortcutKeyOutcome::Kind::Record);
        QCOMPARE(onMod3.shortcut.displayName(), QStringLiteral("Alt+Space"));
        const auto onMod1 = interpret({65, Mod1Mask, XK_space, false}, masks, true);
        QCOMPARE(onMod1.kind, ShortcutKeyOutcome::Kind::Refuse);
    }
};

QTEST_APPLESS_MAIN(ShortcutRecordingTest)
#include "tst_shortcut_recording.moc"
