#include "Services/Shell/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <limits>

using namespace sorvane;

// Two copies, each on a connection of its own to the test session's bus, or with no
// bus at all.
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

    static QDBusConnection noBus(const QString &name)
    {
        return QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/sorvane-no-bus"), name);
    }

    // Without a bus the runtime folder's lock and socket do the bus name's work.
    void noBusFallsBackToTheRuntimeFolderLock()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        auto first = std::make_unique<SingleInstance>(noBus(QStringLiteral("nobus-first")), runtime.path());
        QSignalSpy raised(first.get(), &SingleInstance::activationRequested);
        QCOMPARE(first->claim(), SingleInstance::Claim::First);
        QVERIFY(QFile::exists(first->lockPath()));
        QVERIFY(QFile::exists(first->socketPath()));

        // The second copy waits for the first one's answer: run it elsewhere.
        std::atomic<int> secondClaim{-1};
        QThread thread;
        QObject worker;
        worker.moveToThread(&thread);
        thread.start();
        const QString folder = runtime.path();
        QMetaObject::invokeMethod(&worker, [&secondClaim, folder] {
            SingleInstance second(noBus(QStringLiteral("nobus-second")), folder);
            secondClaim = int(second.claim());
        });
        QVERIFY(raised.wait(20000));
        QTRY_COMPARE_WITH_TIMEOUT(secondClaim.load(), int(SingleInstance::Claim::HandedOff), 20000);
        thread.quit();
        QVERIFY(thread.wait(20000));
        QCOMPARE(raised.count(), 1);

        // Once the first copy ends, the next one is the first.
        first.reset();
        SingleInstance third(noBus(QStringLiteral("nobus-third")), runtime.path());
        QCOMPARE(third.claim(), SingleInstance::Claim::First);
    }

    // A lock left by a copy that died (its process is gone) does not keep the next out.
    void lockOfADeadCopyIsTakenOver()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        SingleInstance probe(noBus(QStringLiteral("nobus-probe")), runtime.path());
        QFile stale(probe.lockPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        // QLockFile's own layout: pid, program, host; a pid no process has.
        stale.write(QByteArray::number(std::numeric_limits<int>::max()) + "\nsorvane\n" + QSysInfo::machineHostName().toUtf8()
                    + "\n");
        stale.close();
        QCOMPARE(probe.claim(), SingleInstance::Claim::First);
    }

    void neitherBusNorRuntimeFolderRunsAnyway()
    {
        SingleInstance alone(noBus(QStringLiteral("nowhere")), QStringLiteral("/proc/sorvane-no-such-folder"));
        QCOMPARE(alone.claim(), SingleInstance::Claim::NoBus);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_single_instance.moc"
