// The runtime's limits with the llama-server the set-up builds, on a tiny model of the engines
// fixture: a prompt longer than the context it was started with ends in contextTooLarge, and a
// model file the server cannot load is reported by the line that names the cause.

#include "AgentProcess.h"
#include "TestPaths.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane::testing;

namespace {

QString shippedServer()
{
    return buildDirectory() + QStringLiteral("/libexec/sorvane/llama-server");
}

QJsonObject localRequest(const QString &modelPath, int contextTokens)
{
    QJsonObject model = modelJson(QStringLiteral("llamaCPP"), QStringLiteral("Tiny Writer"), QStringLiteral("Tiny Llama F32"), false);
    model.insert(QStringLiteral("contextTokens"), contextTokens);
    QJsonObject request = requestJson(QStringLiteral("run"), model);
    request.insert(QStringLiteral("instruction"), QStringLiteral("Shorten this"));
    request.insert(QStringLiteral("trustedInstructions"), QStringLiteral("You power Command inside Sorvane."));
    request.insert(QStringLiteral("modelPath"), modelPath);
    request.insert(QStringLiteral("llamaServerPath"), shippedServer());
    request.insert(QStringLiteral("ephemeralSession"), true);
    return request;
}

} // namespace

class AgentRealLlamaLimitsTest : public QObject {
    Q_OBJECT

    QString m_model = qEnvironmentVariable("SORVANE_TEST_MODELS_DIR") + QStringLiteral("/writer-a.gguf");

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(shippedServer()).isExecutable(), qPrintable(shippedServer()));
        QVERIFY2(QFileInfo(m_model).isFile(), qPrintable(m_model));
    }

    void aPromptLongerThanTheContextEndsInContextTooLarge()
    {
        AgentProcess agent;
        QJsonObject request = localRequest(m_model, 512);
        request.insert(QStringLiteral("attachments"),
                       QJsonArray{selectedTextAttachment(QStringLiteral("Lorem ipsum dolor sit amet. ").repeated(800))});
        const QJsonObject end = agent.run(request, 60000);
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("The selected context is too large for this writing model."));
        QCOMPARE(end.value(QStringLiteral("code")).toString(), QStringLiteral("contextTooLarge"));
        // The same server answers a prompt that fits.
        QCOMPARE(kindOf(agent.run(localRequest(m_model, 512), 60000)), QStringLiteral("completed"));
    }

    void aModelItCannotLoadIsReportedByItsCause()
    {
        QTemporaryDir folder;
        const QString broken = folder.filePath(QStringLiteral("broken.gguf"));
        QVERIFY(writeFile(broken, QByteArray("GGUF") + QByteArray(64, '\x01')));
        AgentProcess agent;
        const QJsonObject end = agent.run(localRequest(broken, 512), 60000);
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        const QString prefix = QStringLiteral("llama-server could not load Tiny Writer. ");
        QVERIFY2(textOf(end).startsWith(prefix), qPrintable(textOf(end)));
        const QString cause = textOf(end).mid(prefix.size());
        QVERIFY2(!cause.isEmpty(), qPrintable(textOf(end)));
        // Without the log's time and level.
        QVERIFY2(!QRegularExpression(QStringLiteral("^\\d+\\.\\d+")).match(cause).hasMatch(), qPrintable(cause));
        QVERIFY2(!cause.startsWith(QLatin1String("E ")), qPrintable(cause));
    }
};

QTEST_GUILESS_MAIN(AgentRealLlamaLimitsTest)
#include "tst_agent_real_llama_limits.moc"
