// The one deadline loop: ask, wait for the next signal, ask again, until the limit.
#include "AwaitTask.h"
#include "Support/SignalWait.h"

#include <QTest>
#include <QTimer>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

class SignalWaitTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void trueAtOnceWhenItHoldsAlready()
    {
        QTimer never;
        int asked = 0;
        QVERIFY(awaitTask(waitUntil(&never, &QTimer::timeout, 1h, [&] { return ++asked > 0; })));
        QCOMPARE(asked, 1);
    }

    void askedAgainAtEachSignal()
    {
        QTimer ticks;
        ticks.start(1);
        int asked = 0;
        QVERIFY(awaitTask(waitUntil(&ticks, &QTimer::timeout, 20s, [&] { return ++asked == 3; })));
        QCOMPARE(asked, 3);
    }

    void falseOnceTheLimitHasPassed()
    {
        QTimer ticks;
        ticks.start(1);
        int asked = 0;
        QVERIFY(!awaitTask(waitUntil(&ticks, &QTimer::timeout, 30ms, [&] { return ++asked < 0; })));
        QVERIFY(asked >= 1);
    }
};

QTEST_GUILESS_MAIN(SignalWaitTest)
#include "tst_signal_wait.moc"
