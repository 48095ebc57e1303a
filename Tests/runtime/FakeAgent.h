#pragma once

#include "ProcessLiveness.h"

#include "Command/AgentRuntimeProtocol.h"
#include "Services/Command/AgentRuntimeService.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

namespace sorvane::testing {

// The program under <build>/tests/ that plays the Command runtime.
QString fakeAgentProgram();

// What the fake runtime wrote to its log ($SORVANE_FAKE_AGENT_LOG), read afresh each call.
class FakeAgentLog {
public:
    explicit FakeAgentLog(QString path) : m_path(std::move(path)) {}
    const QString &path() const { return m_path; }

    struct Start {
        qint64 pid = 0;
        qint64 processGroup = 0;
        QStringList arguments;
        QMap<QString, QString> environment;
    };

    QList<Start> starts() const;
    // Request lines as received, of every process or of one.
    QStringList requestLines(qint64 pid = 0) const;
    // The "forgetTurns" and "keepTurns" lines, which it records and does not answer.
    QList<QJsonObject> turnsRequests() const;
    // Processes the fake started itself.
    QList<qint64> children() const;
    bool sawEndOfInput(qint64 pid) const;
    bool sawTermination(qint64 pid) const;
    // Every runtime process and every child it logged.
    QList<qint64> allProcesses() const;

private:
    QList<QJsonObject> records() const;
    bool hasRecord(const QString &kind, qint64 pid) const;
    QString m_path;
};

// A run started on the service, with what it has seen so far.
struct RunProbe {
    std::optional<AgentRuntimeService::RunResult> result;
    QList<AgentRuntimeEvent> events;
    bool done() const { return result.has_value(); }
    bool succeeded() const { return result && result->ok(); }
    QString answer() const { return result && result->ok() ? result->value() : QString(); }
    QString failure() const { return result && !result->ok() ? result->error().message() : QString(); }
};

// Starts a run; the probe fills in as events and the answer arrive.
std::shared_ptr<RunProbe> startRun(AgentRuntimeService &service, AgentRuntimeRequest request);

// A request whose instruction tells the fake what to do.
AgentRuntimeRequest fakeRequest(const QString &instruction);
// A minimal model descriptor of the given provider.
AgentModelDescriptor testModel(AgentModelProvider provider, const QString &name = QStringLiteral("Tiny Model"));

} // namespace sorvane::testing
