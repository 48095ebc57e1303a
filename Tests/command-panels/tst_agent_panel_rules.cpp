#include "Panels/AgentPanelRules.h"

#include <QTest>

using namespace sorvane;

Q_DECLARE_METATYPE(std::optional<QPoint>)
Q_DECLARE_METATYPE(std::optional<QUuid>)

namespace {

AgentMessage message(AgentMessageRole role, const QString &text)
{
    return AgentMessage{QUuid::createUuid(), role, text, QDateTime::currentDateTimeUtc(), {}};
}

} // namespace

class AgentPanelRulesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void toastSitsInTheTopRightCorner_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("topLeft");
        // 1920 - 350 - 18 = 1552; the free area starts below a 32-pixel top panel.
        QTest::newRow("one screen, top panel") << QRect(0, 32, 1920, 1048) << QPoint(1552, 50);
        QTest::newRow("second screen to the right") << QRect(1920, 0, 1280, 1024) << QPoint(2832, 18);
        QTest::newRow("screen above the first") << QRect(0, -900, 1440, 900) << QPoint(1072, -882);
    }
    void toastSitsInTheTopRightCorner()
    {
        QFETCH(QRect, available);
        QFETCH(QPoint, topLeft);
        QCOMPARE(AgentPanelRules::toastTopLeft(available), topLeft);
        // The toast stays inside the free area with its margin on two sides.
        const QRect toast(topLeft, AgentPanelRules::toastSize);
        QCOMPARE(available.right() - toast.right(), AgentPanelRules::toastMargin);
        QCOMPARE(toast.top() - available.top(), AgentPanelRules::toastMargin);
    }

    void toastGoesOnTheActiveWindowsScreen_data()
    {
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<int>("primary");
        QTest::addColumn<std::optional<QPoint>>("activeCentre");
        QTest::addColumn<int>("expected");
        const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        QTest::newRow("no screen") << QList<QRect>() << -1 << std::optional(QPoint(10, 10)) << -1;
        QTest::newRow("one screen") << QList<QRect>{two[0]} << 0 << std::optional<QPoint>() << 0;
        QTest::newRow("active on the second") << two << 0 << std::optional(QPoint(2500, 400)) << 1;
        QTest::newRow("active on the first, primary second") << two << 1 << std::optional(QPoint(100, 100)) << 0;
        QTest::newRow("unknown active window: primary") << two << 1 << std::optional<QPoint>() << 1;
        QTest::newRow("active window off every screen: primary") << two << 0 << std::optional(QPoint(-500, -500)) << 0;
        QTest::newRow("no primary known: the first") << two << -1 << std::optional<QPoint>() << 0;
    }
    void toastGoesOnTheActiveWindowsScreen()
    {
        QFETCH(QList<QRect>, screens);
        QFETCH(int, primary);
        QFETCH(std::optional<QPoint>, activeCentre);
        QFETCH(int, expected);
        QCOMPARE(AgentPanelRules::toastScreenIndex(screens, primary, activeCentre), expected);
    }

    void conversationWindowIsCentred()
    {
        QCOMPARE(AgentPanelRules::centredTopLeft(QRect(0, 32, 1920, 1048), QSize(560, 680)), QPoint(680, 216));
        QCOMPARE(AgentPanelRules::centredTopLeft(QRect(1920, 0, 1280, 1024), QSize(560, 680)), QPoint(2280, 172));
    }

    void darkAppearance_data()
    {
        QTest::addColumn<OverlayAppearance>("appearance");
        QTest::addColumn<bool>("systemDark");
        QTest::addColumn<bool>("dark");
        QTest::newRow("automatic, light desktop") << OverlayAppearance::Automatic << false << false;
        QTest::newRow("automatic, dark desktop") << OverlayAppearance::Automatic << true << true;
        QTest::newRow("light on a dark desktop") << OverlayAppearance::Light << true << false;
        QTest::newRow("dark on a light desktop") << OverlayAppearance::Dark << false << true;
    }
    void darkAppearance()
    {
        QFETCH(OverlayAppearance, appearance);
        QFETCH(bool, systemDark);
        QFETCH(bool, dark);
        QCOMPARE(AgentPanelRules::usesDarkAppearance(appearance, systemDark), dark);
    }

    void phaseWords_data()
    {
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("word");
        QTest::newRow("idle") << AgentPhase::Idle << false << QString();
        QTest::newRow("listening") << AgentPhase::Listening << false << QString();
        QTest::newRow("transcribing") << AgentPhase::Transcribing << true << QStringLiteral("Transcribing");
        QTest::newRow("loading") << AgentPhase::LoadingModel << true << QStringLiteral("Loading model");
        QTest::newRow("generating") << AgentPhase::Generating << true << QStringLiteral("Writing");
        QTest::newRow("completed") << AgentPhase::Completed << false << QString();
        QTest::newRow("cancelled") << AgentPhase::Cancelled << false << QString();
        QTest::newRow("error") << AgentPhase::Error << false << QString();
    }
    void phaseWords()
    {
        QFETCH(AgentPhase, phase);
        QFETCH(bool, busy);
        QFETCH(QString, word);
        QCOMPARE(AgentPanelRules::isBusy(phase), busy);
        QCOMPARE(AgentPanelRules::phaseWord(phase), word);
    }

    void senderLabels()
    {
        QCOMPARE(AgentPanelRules::senderLabel(AgentMessageRole::User), QStringLiteral("YOU"));
        QCOMPARE(AgentPanelRules::senderLabel(AgentMessageRole::Assistant), QStringLiteral("SORVANE"));
    }

    void sendEnabled_data()
    {
        QTest::addColumn<QString>("followUp");
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("words, idle") << QStringLiteral("Shorter") << AgentPhase::Idle << true << true;
        QTest::newRow("words, after a run") << QStringLiteral("Shorter") << AgentPhase::Completed << true << true;
        QTest::newRow("words, after an error") << QStringLiteral("Shorter") << AgentPhase::Error << true << true;
        QTest::newRow("words, cancelled") << QStringLiteral("Shorter") << AgentPhase::Cancelled << true << true;
        QTest::newRow("empty") << QString() << AgentPhase::Idle << true << false;
        QTest::newRow("spaces and line breaks") << QStringLiteral("  \n\t \n") << AgentPhase::Idle << true << false;
        QTest::newRow("listening") << QStringLiteral("Shorter") << AgentPhase::Listening << true << false;
        QTest::newRow("transcribing") << QStringLiteral("Shorter") << AgentPhase::Transcribing << true << false;
        QTest::newRow("loading") << QStringLiteral("Shorter") << AgentPhase::LoadingModel << true << false;
        QTest::newRow("writing") << QStringLiteral("Shorter") << AgentPhase::Generating << true << false;
        QTest::newRow("no conversation") << QStringLiteral("Shorter") << AgentPhase::Idle << false << false;
    }
    void sendEnabled()
    {
        QFETCH(QString, followUp);
        QFETCH(AgentPhase, phase);
        QFETCH(bool, shown);
        QFETCH(bool, enabled);
        QCOMPARE(AgentPanelRules::canSend(followUp, phase, shown), enabled);
    }

    void streamingBubble_data()
    {
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<bool>("shownIsRunning");
        QTest::addColumn<QString>("streamed");
        QTest::addColumn<QString>("lastStoredAnswer");
        QTest::addColumn<bool>("shows");
        const QString part = QStringLiteral("Dear Ana, thank");
        QTest::newRow("writing the shown one") << AgentPhase::Generating << true << part << QString() << true;
        QTest::newRow("loading with text") << AgentPhase::LoadingModel << true << part << QString() << true;
        QTest::newRow("nothing streamed yet") << AgentPhase::Generating << true << QString() << QString() << false;
        QTest::newRow("another conversation runs") << AgentPhase::Generating << false << part << QString() << false;
        QTest::newRow("answer stored, being delivered")
            << AgentPhase::Generating << true << part << part << false;
        QTest::newRow("an earlier answer stored") << AgentPhase::Generating << true << part
                                                  << QStringLiteral("Dear Ana") << true;
        QTest::newRow("completed") << AgentPhase::Completed << true << part << part << false;
        QTest::newRow("error") << AgentPhase::Error << true << part << QString() << false;
    }
    void streamingBubble()
    {
        QFETCH(AgentPhase, phase);
        QFETCH(bool, shownIsRunning);
        QFETCH(QString, streamed);
        QFETCH(QString, lastStoredAnswer);
        QFETCH(bool, shows);
        const QUuid shown = QUuid::createUuid();
        const std::optional<QUuid> running = shownIsRunning ? shown : QUuid::createUuid();
        QList<AgentMessage> stored{message(AgentMessageRole::User, QStringLiteral("Reply to Ana"))};
        if (!lastStoredAnswer.isEmpty())
            stored.append(message(AgentMessageRole::Assistant, lastStoredAnswer));
        QCOMPARE(AgentPanelRules::showsStreamingBubble(phase, shown, running, streamed, stored), shows);
    }

    void noStreamingBubbleWithoutAShownConversation()
    {
        QVERIFY(!AgentPanelRules::showsStreamingBubble(AgentPhase::Generating, std::nullopt, std::nullopt,
                                                       QStringLiteral("text"), {}));
    }
};

QTEST_GUILESS_MAIN(AgentPanelRulesTest)
#include "tst_agent_panel_rules.moc"
