#include "AgentProcess.h"

#include "TestPaths.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QTest>
#include <QUuid>

#include <unistd.h>

namespace sorvane::testing {

QString agentProgram()
{
    return QDir(buildDirectory()).filePath(QStringLiteral("libexec/sorvane/sorvane-agent"));
}

QJsonObject modelJson(const QString &provider, const QString &name, const QString &officialName, bool images)
{
    return {
        {QStringLiteral("id"), name.toLower().replace(QLatin1Char(' '), QLatin1Char('-'))},
        {QStringLiteral("name"), name},
        {QStringLiteral("officialName"), officialName},
        {QStringLiteral("organization"), QStringLiteral("Test")},
        {QStringLiteral("detail"), QStringLiteral("A model for the tests.")},
        {QStringLiteral("sizeLabel"), QStringLiteral("Paid API")},
        {QStringLiteral("license"), QStringLiteral("Test")},
        {QStringLiteral("sourceRevision"), QStringLiteral("1")},
        {QStringLiteral("provider"), provider},
        {QStringLiteral("capabilities"), QJsonObject{{QStringLiteral("text"), true}, {QStringLiteral("images"), images}}},
        {QStringLiteral("artifacts"), QJsonArray{}},
        {QStringLiteral("isCustom"), false},
        {QStringLiteral("recommendedFor16GB"), false},
    };
}

QJsonObject requestJson(const QString &command, const QJsonObject &model)
{
    QJsonObject request{{QStringLiteral("version"), 1},
                        {QStringLiteral("requestID"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
                        {QStringLiteral("command"), command},
                        {QStringLiteral("attachments"), QJsonArray{}}};
    if (!model.isEmpty())
        request.insert(QStringLiteral("model"), model);
    return request;
}

QJsonObject selectedTextAttachment(const QString &text)
{
    return {{QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
            {QStringLiteral("kind"), QStringLiteral("selectedText")},
            {QStringLiteral("displayName"), QStringLiteral("Selected text")},
            {QStringLiteral("text"), text},
            {QStringLiteral("createdAt"), QStringLiteral("2026-03-01T09:30:00Z")}};
}

QString kindOf(const QJsonObject &event)
{
    return event.value(QStringLiteral("kind")).toString();
}

QString textOf(const QJsonObject &event)
{
    return event.value(QStringLiteral("text")).toString();
}

QString idOf(const QJsonObject &request)
{
    return request.value(QStringLiteral("requestID")).toString();
}

AgentProcess::AgentProcess(const QMap<QString, QString> &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    m_process.setProcessEnvironment(env);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &AgentProcess::readOutput);
    m_process.start(agentProgram(), {});
    m_process.waitForStarted(20000);
    m_pid = m_process.processId();
}

AgentProcess::~AgentProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void AgentProcess::send(const QJsonObject &request)
{
    sendRaw(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

void AgentProcess::sendRaw(const QByteArray &line)
{
    m_process.write(line + '\n');
}

QJsonObject AgentProcess::run(const QJsonObject &request, int timeoutMs)
{
    send(request);
    return waitForEnd(request.value(QStringLiteral("requestID")).toString(), timeoutMs);
}

QJsonObject AgentProcess::waitForEnd(const QString &requestID, int timeoutMs)
{
    const auto end = [&]() -> QJsonObject {
        for (const QJsonObject &event : std::as_const(m_events)) {
            const QString kind = event.value(QStringLiteral("kind")).toString();
            if (event.value(QStringLiteral("requestID")).toString() == requestID &&
                (kind == QLatin1String("completed") || kind == QLatin1String("error")))
                return event;
        }
        return {};
    };
    (void)QTest::qWaitFor([&] { return !end().isEmpty() || m_process.state() == QProcess::NotRunning; }, timeoutMs);
    readOutput();
    return end();
}

QList<QJsonObject> AgentProcess::eventsFor(const QString &requestID) const
{
    QList<QJsonObject> found;
    for (const QJsonObject &event : m_events) {
        if (event.value(QStringLiteral("requestID")).toString() == requestID)
            found.append(event);
    }
    return found;
}

QStringList AgentProcess::deltasFor(const QString &requestID) const
{
    QStringList texts;
    for (const QJsonObject &event : eventsFor(requestID)) {
        if (event.value(QStringLiteral("kind")).toString() == QLatin1String("delta"))
            texts.append(event.value(QStringLiteral("text")).toString());
    }
    return texts;
}

QByteArray AgentProcess::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return m_stderr;
}

void AgentProcess::closeInput()
{
    m_process.closeWriteChannel();
}

bool AgentProcess::waitForExit(int timeoutMs)
{
    (void)QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    readOutput();
    return m_process.state() == QProcess::NotRunning;
}

void AgentProcess::readOutput()
{
    m_buffer += m_process.readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype newline = m_buffer.indexOf('\n'); newline >= 0; newline = m_buffer.indexOf('\n', start)) {
        const QJsonDocument document = QJsonDocument::fromJson(m_buffer.mid(start, newline - start));
        start = newline + 1;
        if (!document.isObject()) {
            ++m_unreadable;
            continue;
        }
        m_events.append(document.object());
        Q_EMIT eventReceived(document.object());
    }
    m_buffer.remove(0, start);
}

} // namespace sorvane::testing
