// "Allow auto-paste" where the session's bus cannot be reached: the answer is "not
// granted", at once, never a wait without end.
#include "Platform/DBus/AtSpiAccessibility.h"

#include <QCoreApplication>
#include <QTest>

using namespace sorvane;

class AccessibilityRequestTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aFailingBusLeavesItNotGranted()
    {
        QVERIFY(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(QLatin1String("no-such-bus")));
        AtSpiAccessibility accessibility([] { return true; });
        QVERIFY(!accessibility.requestTrust());
        QVERIFY(!accessibility.isTrusted());
    }
};

QTEST_GUILESS_MAIN(AccessibilityRequestTest)
#include "tst_accessibility_request.moc"
