#include "MainWindow/ImmediateActionGuard.h"
#include "MainWindow/MainWindowLayout.h"

#include <QTest>

using namespace sorvane;

Q_DECLARE_METATYPE(sorvane::RootScreen)

class MainWindowLayoutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rootChoice_data()
    {
        QTest::addColumn<bool>("onboardingComplete");
        QTest::addColumn<bool>("promptDue");
        QTest::addColumn<RootScreen>("screen");
        QTest::addColumn<bool>("prompt");
        QTest::newRow("first run") << false << false << RootScreen::Onboarding << false;
        QTest::newRow("first run, outside the applications folders") << false << true << RootScreen::Onboarding << true;
        QTest::newRow("set up") << true << false << RootScreen::MainShell << false;
        QTest::newRow("set up, outside the applications folders") << true << true << RootScreen::MainShell << true;
    }

    void rootChoice()
    {
        QFETCH(bool, onboardingComplete);
        QFETCH(bool, promptDue);
        QFETCH(RootScreen, screen);
        QFETCH(bool, prompt);
        QCOMPARE(MainWindowLayout::chooseRoot(onboardingComplete, promptDue), (RootChoice{screen, prompt}));
    }

    void sidebarTexts()
    {
        QCOMPARE(MainWindowLayout::sectionAccessibilityValue(true), QStringLiteral("Selected"));
        QCOMPARE(MainWindowLayout::sectionAccessibilityValue(false), QStringLiteral("Not selected"));
        QCOMPARE(MainWindowLayout::versionString(QStringLiteral("0.1.0")), QStringLiteral("0.1.0"));
        QCOMPARE(MainWindowLayout::versionString(QString()), QStringLiteral("\u2014"));
    }

    void aSecondClickWithinTheIntervalIsIgnored()
    {
        ImmediateActionGuard guard;
        qint64 now = 1000;
        guard.setClock([&now] { return now; });
        guard.setInterval(400);
        QVERIFY(guard.tryAct());
        now += 150;
        QVERIFY(!guard.tryAct()); // the second click of a double click
        now += 249;
        QVERIFY(!guard.tryAct());
        now += 1; // 400 ms after the one that acted
        QVERIFY(guard.tryAct());
        now += 2000;
        QVERIFY(guard.tryAct());
    }
};

QTEST_GUILESS_MAIN(MainWindowLayoutTest)
#include "tst_main_window_layout.moc"
