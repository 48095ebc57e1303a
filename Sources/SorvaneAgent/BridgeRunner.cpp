#include "SorvaneAgent/BridgeRunner.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace sorvane::agent {

namespace {

const QString missingMessage = QStringLiteral("The on-device model is not available: its bridge program is missing.");
const QString unreadableMessage = QStringLiteral("The on-device model gave an answer Command could not read.");

} // namespace

BridgeRunner::BridgeRunner(QObject *parent) : QObject(parent) {}

BridgeRunner::~BridgeRunner()
{
    abort();
}

void BridgeRunner::start(const QString &program, const QString &instructions, const QString &prompt)
{
    abort();
    const QFileInfo info(program);
    if (program.isEmpty() || !info.isFile() || !info.isExecutable()) {
        QTimer::singleShot(0, this, [this] { Q_EMIT failed(missingMessage); });
        return;
    }
    auto *process = new QProcess(this);
    m_process = process;
    process->setProgram(program);
    connect(process, &QProcess::finished, this, [this, process] {
        if (process == m_process)
            finished();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || process != m_process)
            return;
        m_process = nullptr;
        process->deleteLater();
        QTimer::singleShot(0, this, [this] { Q_EMIT failed(missingMessage); });
    });
    process->start();
    if (!m_process)
        return;
    const QJsonObject request{{QStringLiteral("instructions"), instructions}, {QStringLiteral("prompt"), prompt}};
    process->write(QJsonDocument(request).toJson(QJsonDocument::Compact));
    process->closeWriteChannel();
}

void BridgeRunner::abort()
{
    QProcess *process = m_process;
    m_process = nullptr;
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(1000);
    }
    process->deleteLater();
}

void BridgeRunner::finished()
{
    QProcess *process = m_process;
    m_process = nullptr;
    process->deleteLater();
    // The bridge's standard error is not passed on: it is the bridge's own business.
    const QJsonObject response = QJsonDocument::fromJson(process->readAllStandardOutput()).object();
    const QJsonValue ok = response.value(QLatin1String("ok"));
    if (ok.isBool() && ok.toBool() && response.value(QLatin1String("text")).isString()) {
        Q_EMIT answered(response.value(QLatin1String("text")).toString());
        return;
    }
    const QString error = response.value(QLatin1String("error")).toString().trimmed();
    Q_EMIT failed(ok.isBool() && !ok.toBool() && !error.isEmpty() ? error : unreadableMessage);
}

} // namespace sorvane::agent
