#include "Services/Shell/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace sorvane;

// Two copies, each on a connection of its own to the test session's bus.
class SingleInstanceTest : public QObject {
    Q_OBJECT

    static QDBusConnection connection(const QString &name)
    {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected()) {
            if (qEnvironmentVariableIsSet("SORVANE_TEST_SESSION"))
                QFAIL("no session bus in the test session");
            QSKIP("no session bus");
        }
    }

    void secondCopyHandsOff()
    {
        auto first = std::make_unique<SingleInstance>(connection(QStringLiteral("first")));
        QSignalSpy raised(first.get(), &SingleInstance::activationRequested);
        QCOMPARE(first->claim(), SingleInstance::Claim::First);
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(QLatin1String(SingleInstance::serviceName)));

        // The second copy's call is answered by the first one's event loop: run it elsewhere.
        SingleInstance::Claim secondClaim = SingleInstance::Claim::First;
        QThread thread;
        QObject worker;
        worker.moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(&worker, [&secondClaim] {
            SingleInstance second(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second")));
            secondClaim = second.claim();
        });
        QVERIFY(raised.wait(20000));
        QTRY_COMPARE_WITH_TIMEOUT(secondClaim, SingleInstance::Claim::HandedOff, 20000);
        thread.quit();
        QVERIFY(thread.wait(20000));
        QCOMPARE(raised.count(), 1);

        // Once the first copy ends, the name is free for the next one.
        first.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("first"));
        SingleInstance third(connection(QStringLiteral("third")));
        QTRY_COMPARE_WITH_TIMEOUT(third.claim(), SingleInstance::Claim::First, 20000);
    }

    void noBusRunsAnyway()
    {
        SingleInstance alone(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/sorvane-no-bus"),
                                                           QStringLiteral("nowhere")));
        QCOMPARE(alone.claim(), SingleInstance::Claim::NoBus);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_single_instance.moc"
