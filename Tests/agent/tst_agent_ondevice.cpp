// The runtime with the on-device model: it asks the real bridge program, which on Linux says
// this computer is not eligible, and passes that on as the request's error; a stand-in bridge
// shows what it is asked and how its answers and failures come back.

#include "AgentProcess.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
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

    void passesOnTheBridgesAnswerAndAsksItWithThePrompt_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("answer") << QByteArray(R"({"ok":true,"text":"Cleaned up."})") << QStringLiteral("completed")
                                << QStringLiteral("Cleaned up.");
        QTest::newRow("its error") << QByteArray(R"({"ok":false,"error":"The on-device model is not ready."})")
                                   << QStringLiteral("error") << QStringLiteral("The on-device model is not ready.");
        QTest::newRow("unreadable") << QByteArray("Segmentation fault") << QStringLiteral("error")
                                    << QStringLiteral("The on-device model gave an answer Command could not read.");
    }

    void passesOnTheBridgesAnswerAndAsksItWithThePrompt()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        // A stand-in bridge: keeps what it was asked and answers as told.
        QTemporaryDir folder;
        const QString asked = folder.filePath(QStringLiteral("asked.json"));
        const QString answer = folder.filePath(QStringLiteral("answer.json"));
        const QString bridge = folder.filePath(QStringLiteral("bridge"));
        QVERIFY(writeFile(answer, response));
        QVERIFY(writeFile(bridge, "#!/bin/sh\ncat > '" + asked.toUtf8() + "'\ncat '" + answer.toUtf8() + "'\n"));
        QVERIFY(QFile::setPermissions(bridge, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        AgentProcess agent;
        QJsonObject request = onDeviceRequest(bridge);
        request.insert(QStringLiteral("attachments"), QJsonArray{selectedTextAttachment(QStringLiteral("um so yes"))});
        const QJsonObject end = agent.run(request);
        QCOMPARE(end.value(QStringLiteral("kind")).toString(), kind);
        QCOMPARE(end.value(QStringLiteral("text")).toString(), text);
        if (kind == QLatin1String("completed"))
            QCOMPARE(agent.deltasFor(request.value(QStringLiteral("requestID")).toString()), QStringList{text});

        const QJsonObject sent = QJsonDocument::fromJson(readFile(asked)).object();
        QCOMPARE(sent.value(QStringLiteral("instructions")).toString(), QStringLiteral("Clean up."));
        QCOMPARE(sent.value(QStringLiteral("prompt")).toString(),
                 QStringLiteral("Clean up the dictation transcript provided as reference material.\n\n"
                                "<reference kind=\"selectedText\" name=\"Selected text\">\num so yes\n</reference>"));
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
