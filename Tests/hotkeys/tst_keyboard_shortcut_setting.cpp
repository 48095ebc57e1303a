#include "Shared/KeyboardShortcutSetting.h"
#include "MemorySettingsStore.h"
#include "Platform/VirtualKeyCodes.h"

#include <QJsonDocument>
#include <QSet>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

using ShortcutList = QList<KeyboardShortcutSetting>;

namespace {

const KeyboardShortcutSetting altSpace{49, QStringLiteral("Space"), false, true, false, false};
const KeyboardShortcutSetting escape{53, QStringLiteral("Esc"), false, false, false, false};

} // namespace

class KeyboardShortcutSettingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayName_data()
    {
        QTest::addColumn<KeyboardShortcutSetting>("shortcut");
        QTest::addColumn<QString>("text");
        QTest::newRow("all four, fixed order")
            << KeyboardShortcutSetting{49, "Space", true, true, true, true} << "Ctrl+Alt+Shift+Super+Space";
        QTest::newRow("control and option") << KeyboardShortcutSetting{49, "Space", false, true, true, false}
                                            << "Ctrl+Alt+Space";
        QTest::newRow("shift and command") << KeyboardShortcutSetting{40, "K", true, false, false, true}
                                           << "Shift+Super+K";
        QTest::newRow("no modifier") << escape << "Esc";
        QTest::newRow("label as stored") << KeyboardShortcutSetting{123, "←", false, true, false, false} << "Alt+←";
    }

    void displayName()
    {
        QFETCH(KeyboardShortcutSetting, shortcut);
        QFETCH(QString, text);
        QCOMPARE(shortcut.displayName(), text);
    }

    void saveThenLoad_data()
    {
        QTest::addColumn<KeyboardShortcutSetting>("shortcut");
        QTest::newRow("default toggle") << altSpace;
        QTest::newRow("every flag") << KeyboardShortcutSetting{49, "Space", true, true, true, true};
        QTest::newRow("key without a virtual code")
            << KeyboardShortcutSetting{rawXKeyCodeBase + 107, "PRINT", false, false, true, false};
        QTest::newRow("largest key code") << KeyboardShortcutSetting{0xFFFFFFFFu, "", false, false, false, false};
    }

    void saveThenLoad()
    {
        QFETCH(KeyboardShortcutSetting, shortcut);
        MemorySettingsStore store;
        shortcut.save(store, QStringLiteral("toggleShortcut"));
        QCOMPARE(KeyboardShortcutSetting::load(store, QStringLiteral("toggleShortcut"), escape), shortcut);

        // Stored on its own as compact JSON bytes with exactly the six keys.
        const auto bytes = store.bytesValue(QStringLiteral("toggleShortcut"));
        QVERIFY(bytes);
        QVERIFY(!bytes->contains('\n'));
        const QJsonObject object = QJsonDocument::fromJson(*bytes).object();
        QCOMPARE(object.keys(), (QStringList{"command", "control", "keyCode", "keyLabel", "option", "shift"}));
        QCOMPARE(object.value("keyCode").toDouble(), double(shortcut.keyCode));
    }

    void unreadableValuesGiveTheFallback_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("readable");
        const char *complete = R"({"keyCode":49,"keyLabel":"Space","command":false,"option":true,"control":false,"shift":false})";
        QTest::newRow("complete") << QByteArray(complete) << true;
        QTest::newRow("key code written as a whole double")
            << QByteArray(R"({"keyCode":49.0,"keyLabel":"Space","command":false,"option":true,"control":false,"shift":false})")
            << true;
        QTest::newRow("no shift key")
            << QByteArray(R"({"keyCode":49,"keyLabel":"Space","command":false,"option":true,"control":false})") << false;
        QTest::newRow("shift as a number")
            << QByteArray(R"({"keyCode":49,"keyLabel":"Space","command":false,"option":true,"control":false,"shift":0})")
            << false;
        QTest::newRow("key code as text")
            << QByteArray(R"({"keyCode":"49","keyLabel":"Space","command":false,"option":true,"control":false,"shift":false})")
            << false;
        QTest::newRow("label missing")
            << QByteArray(R"({"keyCode":49,"command":false,"option":true,"control":false,"shift":false})") << false;
        QTest::newRow("null label")
            << QByteArray(R"({"keyCode":49,"keyLabel":null,"command":false,"option":true,"control":false,"shift":false})")
            << false;
        QTest::newRow("negative key code")
            << QByteArray(R"({"keyCode":-1,"keyLabel":"Space","command":false,"option":true,"control":false,"shift":false})")
            << false;
        QTest::newRow("key code beyond 32 bits")
            << QByteArray(R"({"keyCode":4294967296,"keyLabel":"Space","command":false,"option":true,"control":false,"shift":false})")
            << false;
        QTest::newRow("fractional key code")
            << QByteArray(R"({"keyCode":49.5,"keyLabel":"Space","command":false,"option":true,"control":false,"shift":false})")
            << false;
        QTest::newRow("an array") << QByteArray("[49]") << false;
        QTest::newRow("not JSON") << QByteArray("{\"keyCode\":49,") << false;
        QTest::newRow("empty bytes") << QByteArray() << false;
    }

    void unreadableValuesGiveTheFallback()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readable);
        MemorySettingsStore store;
        store.setValue(QStringLiteral("toggleShortcut"), bytes);
        const int writes = store.writes;
        const auto loaded = KeyboardShortcutSetting::load(store, QStringLiteral("toggleShortcut"), escape);
        QCOMPARE(loaded, readable ? altSpace : escape);
        QCOMPARE(store.writes, writes);
    }

    void onlyBytesAreRead()
    {
        MemorySettingsStore store;
        const QString json = QString::fromUtf8(QJsonDocument(altSpace.toJson()).toJson());
        store.setValue(QStringLiteral("asText"), json);
        QCOMPARE(KeyboardShortcutSetting::load(store, QStringLiteral("asText"), escape), escape);
        QCOMPARE(KeyboardShortcutSetting::load(store, QStringLiteral("missing"), escape), escape);
    }

    void conflicts_data()
    {
        const KeyboardShortcutSetting a = altSpace;
        const KeyboardShortcutSetting b = escape;
        KeyboardShortcutSetting relabelled = a;
        relabelled.keyLabel = QStringLiteral("space");
        QTest::addColumn<ShortcutList>("shortcuts");
        QTest::addColumn<ShortcutList>("expected");
        QTest::newRow("empty") << ShortcutList{} << ShortcutList{};
        QTest::newRow("no repeat") << ShortcutList{a, b} << ShortcutList{};
        QTest::newRow("three times, reported once") << ShortcutList{a, b, a, a} << ShortcutList{a};
        QTest::newRow("two repeated") << ShortcutList{a, b, b, a} << ShortcutList{a, b};
        QTest::newRow("labels differ") << ShortcutList{a, relabelled} << ShortcutList{};
    }

    void conflicts()
    {
        QFETCH(ShortcutList, shortcuts);
        QFETCH(ShortcutList, expected);
        QCOMPARE(KeyboardShortcutSetting::conflicts(shortcuts), QSet<KeyboardShortcutSetting>(expected.begin(), expected.end()));
    }

    void keyTableIsOneToOne()
    {
        QSet<quint32> virtualCodes, evdevCodes;
        for (const VirtualKey &key : virtualKeys()) {
            QVERIFY2(!virtualCodes.contains(key.virtualKeyCode), qPrintable(QString::number(key.virtualKeyCode)));
            QVERIFY2(!evdevCodes.contains(key.evdevKeyCode), qPrintable(QString::number(key.evdevKeyCode)));
            virtualCodes.insert(key.virtualKeyCode);
            evdevCodes.insert(key.evdevKeyCode);
            QVERIFY(key.keySym != 0);
            // A recorded key turns back into the code it was registered with.
            QCOMPARE(storedKeyCodeForEvdevKeyCode(key.evdevKeyCode), key.virtualKeyCode);
            QCOMPARE(virtualKeyByCode(key.virtualKeyCode), &key);
        }
    }

    void keyTableLandmarks_data()
    {
        QTest::addColumn<quint32>("virtualKeyCode");
        QTest::addColumn<quint32>("evdevKeyCode");
        QTest::newRow("Space") << 49u << 65u;
        QTest::newRow("Esc") << 53u << 9u;
        QTest::newRow("Return") << 36u << 36u;
        QTest::newRow("Tab") << 48u << 23u;
        QTest::newRow("Delete is backspace") << 51u << 22u;
        QTest::newRow("Enter is keypad enter") << 76u << 104u;
        QTest::newRow("Forward Delete") << 117u << 119u;
        QTest::newRow("Home") << 115u << 110u;
        QTest::newRow("Page Down") << 121u << 117u;
        QTest::newRow("Left") << 123u << 113u;
        QTest::newRow("Up") << 126u << 111u;
        QTest::newRow("A") << 0u << 38u;
        QTest::newRow("Y and T are not in key order") << 16u << 29u;
        QTest::newRow("F1") << 122u << 67u;
    }

    void keyTableLandmarks()
    {
        QFETCH(quint32, virtualKeyCode);
        QFETCH(quint32, evdevKeyCode);
        const VirtualKey *key = virtualKeyByCode(virtualKeyCode);
        QVERIFY(key);
        QCOMPARE(key->evdevKeyCode, evdevKeyCode);
    }

    void keysWithoutAVirtualCode()
    {
        // Print Screen and the modifier keys have none.
        QVERIFY(!virtualKeyByCode(0x34));
        QVERIFY(!virtualKeyByCode(0x37));
        QCOMPARE(storedKeyCodeForEvdevKeyCode(107), rawXKeyCodeBase + 107);
        QCOMPARE(storedKeyCodeForEvdevKeyCode(37), rawXKeyCodeBase + 37);
    }
};

QTEST_GUILESS_MAIN(KeyboardShortcutSettingTest)
#include "tst_keyboard_shortcut_setting.moc"
