// The completion notification against a fake notification server on the private
// session bus that scripts/test.sh starts.
#include "FakeNotificationServer.h"
#include "Platform/DBus/DBusNotifications.h"
#include "Services/Command/AgentNotificationService.h"
#include "TestPaths.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

// Sees every click signal that reaches the service's own connection, whoever sent it:
// once it has seen one, the service has been handed the same message.
class ClickWitness : public QObject {
    Q_OBJECT
public:
    explicit ClickWitness(QDBusConnection bus)
    {
        bus.connect(QString(), QStringLiteral("/org/freedesktop/Notifications"),
                    QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"), this,
                    SLOT(seen(uint, QString)));
    }
    int count = 0;
    Q_SLOT void seen(uint, const QString &) { ++count; }
};

} // namespace

class AgentNotificationsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeNotificationServer> m_server;

    // Posts and waits until the server has answered (or failed to).
    static bool postAndWait(AgentNotificationService &service, bool pasted, bool copied, const QString &name)
    {
        QSignalSpy finished(&service, &AgentNotificationService::postFinished);
        service.postCompletion(pasted, copied, name);
        return finished.wait(10000) && finished.last().at(0).toBool();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected()) {
            const QString reason = QStringLiteral("no D-Bus session bus (run through scripts/test.sh)");
            if (qEnvironmentVariableIsSet("SORVANE_TEST_SESSION"))
                QFAIL(qPrintable(reason));
            exitSkipped(reason);
        }
        QVERIFY2(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
                     QStringLiteral("org.freedesktop.Notifications")),
                 "a notification server already runs on this bus");
    }

    void init()
    {
        m_server = std::make_unique<FakeNotificationServer>(QStringLiteral("fake-notification-server"));
        QVERIFY(m_server->start());
    }

    void cleanup() { m_server.reset(); }

    void eachNotificationReplacesTheLast()
    {
        DBusNotifications notifications(QDBusConnection::sessionBus());
        AgentNotificationService service(notifications);
        QVERIFY(!service.isDelegateInstalled());

        // Two Commands finishing back to back: the second is sent only once the first
        // has its id, so that it can replace it.
        QSignalSpy finished(&service, &AgentNotificationService::postFinished);
        service.postCompletion(true, false, QStringLiteral("Mail"));
        service.postCompletion(false, true, QString());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QVERIFY(service.isDelegateInstalled());

        QCOMPARE(m_server->calls.size(), 2);
        const auto &first = m_server->calls.at(0);
        QCOMPARE(first.replacesId, 0u);
        QCOMPARE(first.appName, QStringLiteral("Sorvane"));
        QCOMPARE(first.summary, QStringLiteral("Command finished"));
        QCOMPARE(first.body, QStringLiteral("Pasted into Mail."));
        QCOMPARE(first.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.sorvane.local"));
        QVERIFY(first.actions.contains(QStringLiteral("default")));
        const uint id = m_server->onScreen.firstKey();
        QCOMPARE(m_server->calls.at(1).replacesId, id);
        QCOMPARE(m_server->onScreen,
                 (QMap<uint, QString>{{id, QStringLiteral("Copied to the clipboard \u2014 press Ctrl+V to paste.")}}));
        QCOMPARE(service.currentNotificationId(), id);

        // Once the user has dismissed it, the next one is a new notification.
        m_server->close(id);
        QTRY_COMPARE(service.currentNotificationId(), 0u);
        QVERIFY(postAndWait(service, false, false, QString()));
        QCOMPARE(m_server->calls.last().replacesId, 0u);
        QCOMPARE(m_server->onScreen.size(), 1);
        QCOMPARE(m_server->onScreen.first(), QStringLiteral("The result is ready in the Command panel."));
    }

    void aClickIsRouted_data()
    {
        QTest::addColumn<bool>("hasConversation");
        QTest::addColumn<QString>("action");
        QTest::newRow("active conversation") << true << "default";
        QTest::newRow("active conversation, other action") << true << "Open";
        QTest::newRow("no active conversation") << false << "default";
    }

    void aClickIsRouted()
    {
        QFETCH(bool, hasConversation);
        QFETCH(QString, action);

        DBusNotifications notifications(QDBusConnection::sessionBus());
        AgentNotificationService service(notifications);
        const QUuid conversation = QUuid::createUuid();
        // Read at the moment of the click, not when posting.
        bool active = !hasConversation;
        service.setActiveConversationReader([&]() -> std::optional<QUuid> {
            return active ? std::optional<QUuid>(conversation) : std::nullopt;
        });
        QVERIFY(postAndWait(service, true, true, QStringLiteral("Notes")));
        active = hasConversation;

        QSignalSpy opened(&service, &AgentNotificationService::openAgentConversationRequested);
        QSignalSpy forward(&service, &AgentNotificationService::bringMainWindowForwardRequested);
        m_server->click(service.currentNotificationId(), action);
        QTRY_COMPARE_WITH_TIMEOUT(opened.count() + forward.count(), 1, 10000);
        if (hasConversation) {
            QCOMPARE(opened.count(), 1);
            QCOMPARE(opened.first().at(0).toUuid(), conversation);
        } else {
            QCOMPARE(forward.count(), 1);
        }
    }

    void foreignClicksAreIgnored()
    {
        DBusNotifications notifications(QDBusConnection::sessionBus());
        AgentNotificationService service(notifications);
        ClickWitness witness(QDBusConnection::sessionBus());
        QSignalSpy opened(&service, &AgentNotificationService::openAgentConversationRequested);
        QSignalSpy forward(&service, &AgentNotificationService::bringMainWindowForwardRequested);
        QVERIFY(postAndWait(service, true, false, QString()));
        const uint ours = service.currentNotificationId();

        // Another program's notification, clicked on the same server.
        m_server->click(ours + 1);
        // Our id, but not sent by the server that holds our notification.
        {
            FakeNotificationServer impostor(QStringLiteral("impostor"));
            impostor.click(ours);
            QTRY_COMPARE_WITH_TIMEOUT(witness.count, 2, 10000);
        }
        QCoreApplication::sendPostedEvents();
        QCOMPARE(opened.count() + forward.count(), 0);

        // A notification closed by the server no longer counts as ours.
        m_server->close(ours);
        m_server->click(ours);
        QTRY_COMPARE_WITH_TIMEOUT(witness.count, 3, 10000);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(opened.count() + forward.count(), 0);

        // And a real click still gets through.
        QVERIFY(postAndWait(service, true, false, QString()));
        m_server->click(service.currentNotificationId());
        QTRY_COMPARE_WITH_TIMEOUT(forward.count(), 1, 10000);
    }

    void noServerMeansNothing()
    {
        m_server->stop();
        DBusNotifications notifications(QDBusConnection::sessionBus());
        AgentNotificationService service(notifications);
        QSignalSpy opened(&service, &AgentNotificationService::openAgentConversationRequested);
        QSignalSpy forward(&service, &AgentNotificationService::bringMainWindowForwardRequested);
        QVERIFY(!postAndWait(service, true, true, QStringLiteral("Mail")));
        QCOMPARE(service.currentNotificationId(), 0u);
        QVERIFY(m_server->calls.isEmpty());
        QCOMPARE(opened.count() + forward.count(), 0);

        // A server that appears later is used from then on.
        QVERIFY(m_server->start());
        QVERIFY(postAndWait(service, true, true, QStringLiteral("Mail")));
        QCOMPARE(m_server->calls.size(), 1);
        QCOMPARE(m_server->calls.first().replacesId, 0u);
    }
};

QTEST_GUILESS_MAIN(AgentNotificationsTest)
#include "tst_agent_notifications.moc"
