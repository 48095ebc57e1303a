#include "FakeAgent.h"

#include "TestPaths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>


namespace sorvane::testing {

QString fakeAgentProgram()
{
    return testProgram(QStringLiteral("fake-sorvane-agent"));
}

QList<QJsonObject> FakeAgentLog::records() const
{
    QList<QJsonObject> list;
    for (const QByteArray &line : readFile(m_path).split('\n')) {
        if (!line.isEmpty())
            list.append(QJsonDocument::fromJson(line).object());
    }
    return list;
}

QList<FakeAgentLog::Start> FakeAgentLog::starts() const
{
    QList<Start> list;
    for (const QJsonObject &record : records()) {
        if (record.value(QStringLiteral("record")).toString() != QLatin1String("start"))
            continue;
        Start start;
        start.pid = record.value(QStringLiteral("pid")).toInteger();
        start.processGroup = record.value(QStringLiteral("processGroup")).toInteger();
        for (const QJsonValue &argument : record.value(QStringLiteral("arguments")).toArray())
            start.arguments.append(argument.toString());
        const QJsonObject environment = record.value(QStringLiteral("environment")).toObject();
        for (auto it = environment.begin(); it != environment.end(); ++it)
            start.environment.insert(it.key(), it.value().toString());
        list.append(start);
    }
    return list;
}

QStringList FakeAgentLog::requestLines(qint64 pid) const
{
    QStringList lines;
    for (const QJsonObject &record : records()) {
        if (record.value(QStringLiteral("record")).toString() == QLatin1String("request") &&
            (pid == 0 || record.value(QStringLiteral("pid")).toInteger() == pid))
            lines.append(record.value(QStringLiteral("line")).toString());
    }
    return lines;
}

QList<QJsonObject> FakeAgentLog::turnsRequests() const
{
    QList<QJsonObject> requests;
    for (const QJsonObject &record : records()) {
        if (record.value(QStringLiteral("record")).toString() == QLatin1String("turns"))
            requests.append(QJsonDocument::fromJson(record.value(QStringLiteral("line")).toString().toUtf8()).object());
    }
    return requests;
}

QList<qint64> FakeAgentLog::children() const
{
    QList<qint64> list;
    for (const QJsonObject &record : records()) {
        if (record.value(QStringLiteral("record")).toString() == QLatin1String("child"))
            list.append(record.value(QStringLiteral("child")).toInteger());
    }
    return list;
}

bool FakeAgentLog::sawEndOfInput(qint64 pid) const
{
    return hasRecord(QStringLiteral("endOfInput"), pid);
}

bool FakeAgentLog::sawTermination(qint64 pid) const
{
    return hasRecord(QStringLiteral("terminated"), pid);
}

bool FakeAgentLog::hasRecord(const QString &kind, qint64 pid) const
{
    for (const QJsonObject &record : records()) {
        if (record.value(QStringLiteral("record")).toString() == kind &&
            record.value(QStringLiteral("pid")).toInteger() == pid)
            return true;
    }
    return false;
}

QList<qint64> FakeAgentLog::allProcesses() const
{
    QList<qint64> list = children();
    for (const Start &start : starts())
        list.append(start.pid);
    return list;
}

namespace {
QCoro::Task<> collect(QCoro::Task<AgentRuntimeService::RunResult> task, std::shared_ptr<RunProbe> probe)
{
    auto result = co_await task;
    probe->result = std::move(result);
}
} // namespace

std::shared_ptr<RunProbe> startRun(AgentRuntimeService &service, AgentRuntimeRequest request)
{
    auto probe = std::make_shared<RunProbe>();
    std::weak_ptr<RunProbe> weak = probe;
    collect(service.run(std::move(request),
                        [weak](const AgentRuntimeEvent &event) {
                            if (auto probe = weak.lock())
                                probe->events.append(event);
                        }),
            probe);
    return probe;
}

AgentRuntimeRequest fakeRequest(const QString &instruction)
{
    AgentRuntimeRequest request;
    request.requestID = QUuid::createUuid();
    request.command = AgentProtocolCommand::Run;
    request.instruction = instruction;
    return request;
}

AgentModelDescriptor testModel(AgentModelProvider provider, const QString &name)
{
    AgentModelDescriptor model;
    model.id = QStringLiteral("test-model");
    model.name = name;
    model.officialName = QStringLiteral("test-model-1");
    model.organization = QStringLiteral("Tests");
    model.provider = provider;
    return model;
}

} // namespace sorvane::testing
