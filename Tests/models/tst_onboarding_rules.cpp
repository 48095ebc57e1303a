// The first-run set-up's pages, footer, dots and the model page's status line.
#include "MainWindow/OnboardingRules.h"

#include <QTest>

using namespace sorvane;
using namespace sorvane::OnboardingRules;

Q_DECLARE_METATYPE(sorvane::OnboardingRules::Page)
Q_DECLARE_METATYPE(sorvane::OnboardingRules::StatusLine::Kind)

class OnboardingRulesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void steps_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("hasModel");
        QTest::addColumn<Page>("page");
        QTest::addColumn<bool>("showsBack");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<bool>("finishes");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("welcome") << 0 << true << Page::Welcome << false << "Continue" << "arrow.right" << false << true;
        QTest::newRow("microphone") << 1 << true << Page::Microphone << true << "Continue" << "arrow.right" << false << true;
        QTest::newRow("accessibility") << 2 << false << Page::Accessibility << true << "Continue" << "arrow.right" << false
                                       << true;
        QTest::newRow("model") << 3 << true << Page::SpeechModel << true << "Finish setup" << "checkmark" << true << true;
        QTest::newRow("model, none of the catalogue")
            << 3 << false << Page::SpeechModel << true << "Finish setup" << "checkmark" << true << false;
        QTest::newRow("past the end") << 7 << true << Page::SpeechModel << true << "Finish setup" << "checkmark" << true
                                      << true;
    }
    void steps()
    {
        QFETCH(int, step);
        QFETCH(bool, hasModel);
        QFETCH(Page, page);
        QFETCH(bool, showsBack);
        QFETCH(QString, title);
        QFETCH(QString, icon);
        QFETCH(bool, finishes);
        QFETCH(bool, enabled);
        QCOMPARE(pageFor(step), page);
        QCOMPARE(footer(step, hasModel), (Footer{showsBack, title, icon, finishes, enabled}));
    }

    void dotsFollowTheStep()
    {
        const QList<Dot> onTwo = dots(2);
        QCOMPARE(onTwo.size(), 4);
        QCOMPARE(onTwo, (QList<Dot>{{false, true}, {false, true}, {true, true}, {false, false}}));
        QCOMPARE(dots(0), (QList<Dot>{{true, true}, {false, false}, {false, false}, {false, false}}));
    }

    void statusLines_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("downloading");
        QTest::addColumn<double>("progress");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<StatusLine::Kind>("kind");
        QTest::addColumn<QString>("text");
        using K = StatusLine::Kind;
        QTest::newRow("error first") << "No connection." << "Studio" << true << 0.4 << "Pocket" << K::Error
                                     << "No connection.";
        QTest::newRow("downloading")
            << QString() << "Studio" << true << 0.29 << "Pocket" << K::Downloading
            << "Studio is downloading · 29%. Finish setup now; Pocket stays active until it is ready.";
        QTest::newRow("downloading, nothing selected")
            << QString() << "Studio" << true << 0.999 << QString() << K::Downloading
            << "Studio is downloading · 99%. Finish setup now; your current model stays active until it is ready.";
        QTest::newRow("chosen is there") << QString() << "Pocket" << false << 0.0 << "Pocket" << K::Default
                                         << "You can switch or download more models later in Models.";
    }
    void statusLines()
    {
        QFETCH(QString, error);
        QFETCH(QString, chosen);
        QFETCH(bool, downloading);
        QFETCH(double, progress);
        QFETCH(QString, selected);
        QFETCH(StatusLine::Kind, kind);
        QFETCH(QString, text);
        const auto optional = [](const QString &s) { return s.isEmpty() ? std::nullopt : std::optional<QString>(s); };
        QCOMPARE(statusLine(optional(error), optional(chosen), downloading, progress, optional(selected)),
                 (StatusLine{kind, text}));
    }

    void permissionPages()
    {
        const PermissionPage askMicrophone = microphonePage(false);
        QCOMPARE(askMicrophone.number, QStringLiteral("01"));
        QCOMPARE(askMicrophone.icon, QStringLiteral("mic.fill"));
        QCOMPARE(askMicrophone.buttonTitle, QStringLiteral("Allow microphone"));
        QCOMPARE(askMicrophone.buttonIcon, QStringLiteral("arrow.up.right"));
        QVERIFY(askMicrophone.buttonEnabled);
        QVERIFY(askMicrophone.explanation.contains(QStringLiteral("your computer")));

        const PermissionPage ready = accessibilityPage(true);
        QCOMPARE(ready.number, QStringLiteral("02"));
        QCOMPARE(ready.icon, QStringLiteral("checkmark"));
        QCOMPARE(ready.buttonTitle, QStringLiteral("Auto-paste ready"));
        QCOMPARE(ready.buttonIcon, QStringLiteral("checkmark"));
        QVERIFY(!ready.buttonEnabled);
        QCOMPARE(accessibilityPage(false).buttonTitle, QStringLiteral("Allow auto-paste"));
        QCOMPARE(microphonePage(true).buttonTitle, QStringLiteral("Microphone ready"));
    }
};

QTEST_GUILESS_MAIN(OnboardingRulesTest)
#include "tst_onboarding_rules.moc"
