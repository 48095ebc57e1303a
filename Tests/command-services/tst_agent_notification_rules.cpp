// The completion notification's own rules, over the platform's fake notifications.
#include "FakePlatform.h"
#include "Services/Command/AgentNotificationService.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class AgentNotificationRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replacesItsOwnNotificationUntilItIsClosed()
    {
        FakePlatform fakes;
        AgentNotificationService service(fakes.platform->notifications());
        QSignalSpy finished(&service, &AgentNotificationService::postFinished);

        service.postCompletion(true, false, QStringLiteral("Mail"));
        service.postCompletion(false, true, QString());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QCOMPARE(fakes.notifications->shown.size(), 2);
        QCOMPARE(fakes.notifications->shown.at(0).summary, QStringLiteral("Command finished"));
        QCOMPARE(fakes.notifications->shown.at(0).body, QStringLiteral("Pasted into Mail."));
        QVERIFY(fakes.notifications->shown.at(0).silent);
        const quint32 first = service.currentNotificationId();
        QCOMPARE(fakes.notifications->shown.at(1).replacesId, first);
        QCOMPARE(fakes.notifications->onScreen.size(), 1);

        fakes.notifications->close(first);
        QCOMPARE(service.currentNotificationId(), 0u);
        service.postCompletion(false, false, QString());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 10000);
        QCOMPARE(fakes.notifications->shown.last().replacesId, 0u);
    }

    void aClickOpensTheActiveConversation_data()
    {
        QTest::addColumn<bool>("hasConversation");
        QTest::newRow("active conversation") << true;
        QTest::newRow("none") << false;
    }

    void aClickOpensTheActiveConversation()
    {
        QFETCH(bool, hasConversation);
        FakePlatform fakes;
        AgentNotificationService service(fakes.platform->notifications());
        const QUuid conversation = QUuid::createUuid();
        service.setActiveConversationReader([&]() -> std::optional<QUuid> {
            return hasConversation ? std::optional<QUuid>(conversation) : std::nullopt;
        });
        QSignalSpy finished(&service, &AgentNotificationService::postFinished);
        QSignalSpy opened(&service, &AgentNotificationService::openAgentConversationRequested);
        QSignalSpy forward(&service, &AgentNotificationService::bringMainWindowForwardRequested);
        service.postCompletion(true, true, QStringLiteral("Notes"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);

        fakes.notifications->click(service.currentNotificationId());
        QCOMPARE(opened.count(), hasConversation ? 1 : 0);
        QCOMPARE(forward.count(), hasConversation ? 0 : 1);
        if (hasConversation)
            QCOMPARE(opened.first().at(0).toUuid(), conversation);
    }

    void noServerIsReportedAndNothingElse()
    {
        FakePlatform fakes;
        fakes.notifications->serverRuns = false;
        AgentNotificationService service(fakes.platform->notifications());
        QSignalSpy finished(&service, &AgentNotificationService::postFinished);
        service.postCompletion(true, true, QStringLiteral("Mail"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.first().at(0).toBool(), false);
        QCOMPARE(service.currentNotificationId(), 0u);
    }
};

QTEST_GUILESS_MAIN(AgentNotificationRulesTest)
#include "tst_agent_notification_rules.moc"
