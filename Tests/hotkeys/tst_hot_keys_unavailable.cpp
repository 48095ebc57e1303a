#include "Platform/X11/X11HotKeyBackend.h"
#include "Services/Shell/HotKeyManager.h"

#include <QTest>

using namespace sorvane;

// Without an X11 session every registration must fail, rather than seem to work.
class HotKeysUnavailableTest : public QObject {
    Q_OBJECT

    static constexpr const char *variables[] = {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"};
    std::optional<QByteArray> saved[3];

    // A null value unsets the variable.
    static void setOrUnset(const char *name, const QByteArray &value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

private Q_SLOTS:
    void init()
    {
        for (int i = 0; i < 3; ++i)
            saved[i] = qEnvironmentVariableIsSet(variables[i]) ? std::optional(qgetenv(variables[i])) : std::nullopt;
    }

    void cleanup()
    {
        for (int i = 0; i < 3; ++i)
            setOrUnset(variables[i], saved[i].value_or(QByteArray()));
    }

    void everyRegistrationFails_data()
    {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("sessionType");
        // A null value unsets the variable; "keep" leaves DISPLAY as the test session set it.
        QTest::newRow("Wayland session beside an X display") << QByteArray("keep") << QByteArray("wayland-0") << QByteArray();
        QTest::newRow("Wayland session type") << QByteArray("keep") << QByteArray() << QByteArray("wayland");
        QTest::newRow("no display") << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("unreachable display") << QByteArray(":987") << QByteArray() << QByteArray("x11");
    }

    void everyRegistrationFails()
    {
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, sessionType);
        if (display != "keep")
            setOrUnset("DISPLAY", display);
        setOrUnset("WAYLAND_DISPLAY", waylandDisplay);
        setOrUnset("XDG_SESSION_TYPE", sessionType);

        X11HotKeyBackend backend(X11Connection::open());
        QVERIFY(!backend.isConnected());
        const auto result = backend.registerHotKey(49, HotKeyModifier::Option, HotKeyManager::ToggleId);
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), HotKeyError::Kind::Unavailable);

        HotKeyManager manager(backend);
        const KeyboardShortcutSetting space{49, QStringLiteral("Space"), false, true, false, false};
        const KeyboardShortcutSetting escape{53, QStringLiteral("Esc"), false, false, false, false};
        manager.registerShortcuts(space, space, space, space, {space}, escape);
        manager.registerCancel();
        QVERIFY(!manager.toggleHotKey() && !manager.pushToTalkHotKey() && !manager.agentHotKey()
                && !manager.agentScreenshotHotKey() && !manager.cancelHotKey());
        QVERIFY(manager.profileHotKeys().isEmpty());
    }
};

QTEST_GUILESS_MAIN(HotKeysUnavailableTest)
#include "tst_hot_keys_unavailable.moc"
