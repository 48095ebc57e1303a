#pragma once

#include "ProcessLiveness.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QProcess>
#include <QString>

namespace sorvane::testing {

// The runtime program as built (libexec/sorvane/sorvane-agent).
QString agentProgram();

// A model descriptor as the application sends it, by provider text ("openAI", "llamaCPP", ...).
QJsonObject modelJson(const QString &provider, const QString &name, const QString &officialName, bool images);
// A request line object with a new request id, the command and the model (when not empty).
QJsonObject requestJson(const QString &command, const QJsonObject &model = {});
QJsonObject selectedTextAttachment(const QString &text);

// An event's "kind" and "text", and a request's "requestID" (empty when absent).
QString kindOf(const QJsonObject &event);
QString textOf(const QJsonObject &event);
QString idOf(const QJsonObject &request);

// The real sorvane-agent, started for one test with extra environment; its event lines are
// collected as they come.
class AgentProcess : public QObject {
    Q_OBJECT
public:
    explicit AgentProcess(const QMap<QString, QString> &environment = {});
    ~AgentProcess() override;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_pid; }

    void send(const QJsonObject &request);
    void sendRaw(const QByteArray &line);
    // Sends the request and waits for its "completed" or "error" event (empty when none came).
    QJsonObject run(const QJsonObject &request, int timeoutMs = 20000);
    QJsonObject waitForEnd(const QString &requestID, int timeoutMs = 20000);

    QList<QJsonObject> events() const { return m_events; }
    QList<QJsonObject> eventsFor(const QString &requestID) const;
    // The texts of a request's "delta" events, in order.
    QStringList deltasFor(const QString &requestID) const;
    // Lines on standard output that were not JSON objects.
    int unreadableLines() const { return m_unreadable; }
    QByteArray standardError();

    void closeInput();
    bool waitForExit(int timeoutMs = 20000);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }

Q_SIGNALS:
    void eventReceived(const QJsonObject &event);

private:
    void readOutput();

    QProcess m_process;
    qint64 m_pid = 0;
    QByteArray m_buffer;
    QByteArray m_stderr;
    QList<QJsonObject> m_events;
    int m_unreadable = 0;
};

} // namespace sorvane::testing
