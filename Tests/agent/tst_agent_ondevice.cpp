// The runtime with the on-device model: it asks the real bridge program, which on Linux says
// this computer is not eligible, and passes that on as the request's error.

#include "AgentProcess.h"
#include "TestPaths.h"

#include <QDir>
#include <QTest>

using namespace sorvane::testing;

class AgentOnDeviceTest : public QObject {
    Q_OBJECT

    static QJsonObject onDeviceRequest(const QString &bridge)
    {
        QJsonObject request = requestJson(
            QStringLiteral("run"),
            modelJson(QStringLiteral("appleSystem"), QStringLiteral("Apple On-Device"), QStringLiteral("SystemLanguageModel"), false));
        request.insert(QStringLiteral("instruction"), QStringLiteral("Clean up the dictation transcript provided as reference material."));
        request.insert(QStringLiteral("trustedInstructions"), QStringLiteral("Clean up."));
        if (!bridge.isEmpty())
            request.insert(QStringLiteral("appleBridgePath"), bridge);
        request.insert(QStringLiteral("ephemeralSession"), true);
        return request;
    }

private Q_SLOTS:
    void endsInTheBridgesMessage()
    {
        const QString bridge = QDir(buildDirectory()).filePath(QStringLiteral("libexec/sorvane/SorvaneAppleBridge"));
        QVERIFY(QFileInfo(bridge).isExecutable());
        AgentProcess agent;
        const QJsonObject request = onDeviceRequest(bridge);
        const QJsonObject end = agent.run(request);
        QCOMPARE(end.value(QStringLiteral("kind")).toString(), QStringLiteral("error"));
        QCOMPARE(end.value(QStringLiteral("text")).toString(), QStringLiteral("This computer is not eligible for the on-device model."));
        const QList<QJsonObject> events = agent.eventsFor(request.value(QStringLiteral("requestID")).toString());
        QCOMPARE(events.size(), 3);
        QCOMPARE(events[0].value(QStringLiteral("phase")).toString(), QStringLiteral("loadingModel"));
        QCOMPARE(events[1].value(QStringLiteral("phase")).toString(), QStringLiteral("generating"));
    }

    void reportsAMissingBridge_data()
    {
        QTest::addColumn<QString>("bridge");
        QTest::newRow("none named") << QString();
        QTest::newRow("no such file") << QStringLiteral("/nonexistent/SorvaneAppleBridge");
    }

    void reportsAMissingBridge()
    {
        QFETCH(QString, bridge);
        AgentProcess agent;
        const QJsonObject end = agent.run(onDeviceRequest(bridge));
        QCOMPARE(end.value(QStringLiteral("kind")).toString(), QStringLiteral("error"));
        QCOMPARE(end.value(QStringLiteral("text")).toString(),
                 QStringLiteral("The on-device model is not available: its bridge program is missing."));
    }
};

QTEST_GUILESS_MAIN(AgentOnDeviceTest)
#include "tst_agent_ondevice.moc"
