#include "Overlay/DesktopColorScheme.h"
#include "Overlay/OverlayViewModel.h"
#include "TestPaths.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;

namespace {

// The portal is another program: it gets a bus connection of its own.
QDBusConnection portalBus()
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal"));
}

// The desktop portal's settings, as far as the colour scheme goes.
class FakePortalSettings : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint scheme = 1;
    int reads = 0;

    void change(uint value)
    {
        scheme = value;
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(QVariant::fromValue(value)));
        portalBus().send(signal);
    }

public Q_SLOTS:
    // Newer portals wrap the value twice; the reader takes either.
    QDBusVariant Read(const QString &space, const QString &key)
    {
        ++reads;
        if (space != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant());
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme))));
    }
};

} // namespace

class DesktopColorSchemeTest : public QObject {
    Q_OBJECT

    FakePortalSettings portal;

private Q_SLOTS:
    void initTestCase()
    {
        QDBusConnection bus = portalBus();
        if (!bus.isConnected())
            testing::exitSkipped(QStringLiteral("needs a session bus (run through scripts/test.sh)"));
        if (!bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")))
            testing::exitSkipped(QStringLiteral("a desktop portal already runs on this bus"));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                   QDBusConnection::ExportAllSlots));
    }

    void readsAndFollowsTheDesktop()
    {
        portal.scheme = 1;
        DesktopColorScheme scheme;
        // Light until the portal answers, then the desktop's dark.
        QVERIFY(!scheme.isDark());
        QSignalSpy changed(&scheme, &DesktopColorScheme::changed);
        QVERIFY(changed.wait(20000));
        QVERIFY(scheme.isDark());
        QCOMPARE(portal.reads, 1);
        portal.change(2);
        QTRY_VERIFY_WITH_TIMEOUT(!scheme.isDark(), 20000);
        portal.change(1);
        QTRY_VERIFY_WITH_TIMEOUT(scheme.isDark(), 20000);
        portal.change(2);
        QTRY_VERIFY_WITH_TIMEOUT(!scheme.isDark(), 20000);
        // No preference is not dark.
        portal.change(1);
        QTRY_VERIFY_WITH_TIMEOUT(scheme.isDark(), 20000);
        portal.change(0);
        QTRY_VERIFY_WITH_TIMEOUT(!scheme.isDark(), 20000);
        QCOMPARE(scheme.scheme(), std::optional<uint>(0));
    }

    void aModelMadeInQmlFollowsTheDesktop()
    {
        portal.scheme = 2;
        // The constructor QML uses: the overlay preview of the settings.
        OverlayViewModel model;
        OverlayInputs inputs;
        inputs.overlayAppearance = OverlayAppearance::Automatic;
        model.setInputs(inputs);
        QTRY_VERIFY_WITH_TIMEOUT(!model.isDark(), 20000);
        portal.change(1);
        QTRY_VERIFY_WITH_TIMEOUT(model.isDark(), 20000);
    }

    // The overlay, the toast, the tray and the settings' preview read one reader.
    void oneReaderForTheWholeProgram()
    {
        DesktopColorScheme &scheme = DesktopColorScheme::shared();
        QCOMPARE(&DesktopColorScheme::shared(), &scheme);
        QTRY_VERIFY_WITH_TIMEOUT(portal.reads >= 1, 20000);
        const int reads = portal.reads;
        OverlayViewModel first, second;
        OverlayInputs inputs;
        inputs.overlayAppearance = OverlayAppearance::Automatic;
        first.setInputs(inputs);
        second.setInputs(inputs);
        portal.change(1);
        QTRY_VERIFY_WITH_TIMEOUT(first.isDark() && second.isDark() && scheme.isDark(), 20000);
        portal.change(2);
        QTRY_VERIFY_WITH_TIMEOUT(!first.isDark() && !second.isDark(), 20000);
        // Neither model asked the portal itself.
        QCOMPARE(portal.reads, reads);
    }
};

QTEST_GUILESS_MAIN(DesktopColorSchemeTest)
#include "tst_desktop_color_scheme.moc"
