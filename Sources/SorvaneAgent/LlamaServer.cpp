#include "SorvaneAgent/LlamaServer.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkReply>
#include <QProcessEnvironment>
#include <QTcpServer>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace sorvane::agent {

namespace {

constexpr qsizetype stderrTailBytes = 4096;
constexpr auto healthInterval = std::chrono::milliseconds(100);
constexpr int stopGraceMs = 2000;

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

void signalGroup(qint64 pid, int signalNumber)
{
    if (pid > 0)
        ::kill(-pid_t(pid), signalNumber);
}

} // namespace

LlamaServer::LlamaServer(QNetworkAccessManager *network, QObject *parent) : QObject(parent), m_network(network)
{
    m_healthTimer.setSingleShot(true);
    m_healthTimer.setInterval(healthInterval);
    connect(&m_healthTimer, &QTimer::timeout, this, &LlamaServer::pollHealth);
    m_loadTimer.setSingleShot(true);
    connect(&m_loadTimer, &QTimer::timeout, this, [this] {
        report(false, m_setup.modelName + QStringLiteral(" is still loading. Try again in a moment."));
    });
}

LlamaServer::~LlamaServer()
{
    stop();
}

void LlamaServer::prepare(const Setup &setup)
{
    m_waiting = true;
    const auto failLater = [this](const QString &message) {
        QTimer::singleShot(0, this, [this, message] { report(false, message); });
    };
    const QFileInfo program(setup.program);
    if (setup.program.isEmpty() || !program.isFile() || !program.isExecutable()) {
        failLater(QStringLiteral("Local models need llama.cpp's llama-server, which was not found. Install it and "
                                 "put it on PATH, beside Sorvane, or in SORVANE_LLAMA_SERVER_PATH."));
        return;
    }
    if (setup.modelPath.isEmpty() || !QFileInfo(setup.modelPath).isFile()) {
        failLater(QStringLiteral("The model file of ") + setup.modelName +
                  QStringLiteral(" is missing. Download the model again on the Models screen."));
        return;
    }
    if (!setup.projectorPath.isEmpty() && !QFileInfo(setup.projectorPath).isFile()) {
        failLater(QStringLiteral("The image file of ") + setup.modelName +
                  QStringLiteral(" is missing. Download the model again on the Models screen."));
        return;
    }

    const bool running = m_process && m_process->state() != QProcess::NotRunning;
    if (running && setup == m_setup) {
        m_setup.modelName = setup.modelName;
        if (m_healthy) {
            QTimer::singleShot(0, this, [this] { report(true); });
        } else {
            m_loadTimer.start(m_loadLimit);
            pollHealth();
        }
        return;
    }
    stop();
    m_setup = setup;
    m_waiting = true;
    launch();
}

void LlamaServer::forget()
{
    m_waiting = false;
    m_loadTimer.stop();
}

void LlamaServer::launch()
{
    m_port = freeLoopbackPort();
    m_healthy = false;
    m_stderrTail.clear();
    if (m_port == 0) {
        QTimer::singleShot(0, this, [this] { report(false, QStringLiteral("No free local port for llama-server.")); });
        return;
    }
    QStringList arguments{QStringLiteral("--model"), m_setup.modelPath, QStringLiteral("--host"),
                          QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(m_port)};
    if (!m_setup.projectorPath.isEmpty())
        arguments << QStringLiteral("--mmproj") << m_setup.projectorPath;

    auto *process = new QProcess(this);
    process->setProgram(m_setup.program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    // OpenMP's worker threads spin while they wait by default, which on a desktop where
    // other programs want the processors slows every answer down many times over.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("OMP_WAIT_POLICY")))
        environment.insert(QStringLiteral("OMP_WAIT_POLICY"), QStringLiteral("passive"));
    process->setProcessEnvironment(environment);
    const pid_t runtimePid = ::getpid();
    process->setChildProcessModifier([runtimePid] {
        // Its own process group, so it can be stopped whole; and never outlive the runtime.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != runtimePid)
            ::_exit(127);
    });
    connect(process, &QProcess::readyReadStandardError, this, [this, process] {
        // Kept only for the message of a failed start; it may quote what the model was given.
        m_stderrTail += process->readAllStandardError();
        if (m_stderrTail.size() > stderrTailBytes)
            m_stderrTail.remove(0, m_stderrTail.size() - stderrTailBytes);
    });
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (process == m_process)
            processEnded(exitCode, status);
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || process != m_process)
            return;
        m_process = nullptr;
        process->deleteLater();
        report(false, QStringLiteral("llama-server could not be started: ") + m_setup.program);
    });
    m_process = process;
    process->start();
    m_pid = process->processId();
    m_loadTimer.start(m_loadLimit);
    m_healthTimer.start();
}

void LlamaServer::pollHealth()
{
    if (!m_process || m_process->state() == QProcess::NotRunning || m_healthReply)
        return;
    QNetworkRequest request(QUrl(baseUrl().toString() + QStringLiteral("/health")));
    m_healthReply = m_network->get(request);
    QNetworkReply *reply = m_healthReply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return;
        if (status == 200) {
            m_healthy = true;
            m_loadTimer.stop();
            report(true);
            return;
        }
        // 503 while the model loads; refused until the server listens.
        if (m_waiting)
            m_healthTimer.start();
    });
}

void LlamaServer::report(bool ok, const QString &message)
{
    if (!m_waiting)
        return;
    m_waiting = false;
    m_loadTimer.stop();
    if (ok)
        Q_EMIT ready();
    else
        Q_EMIT failed(message);
}

void LlamaServer::processEnded(int exitCode, QProcess::ExitStatus status)
{
    const bool wasHealthy = m_healthy;
    m_process = nullptr;
    m_healthy = false;
    m_healthTimer.stop();
    signalGroup(m_pid, SIGKILL); // whatever it left in its group
    m_pid = 0;
    const QString reason = lastErrorLine();
    fprintf(stderr, "sorvane-agent: llama-server ended (%s %d)\n",
            status == QProcess::NormalExit ? "exit status" : "signal", exitCode);
    QString message = wasHealthy ? QStringLiteral("llama-server stopped while answering.")
                                 : QStringLiteral("llama-server could not load ") + m_setup.modelName + QLatin1Char('.');
    if (!reason.isEmpty())
        message += QLatin1Char(' ') + reason;
    report(false, message);
}

void LlamaServer::stop()
{
    m_healthTimer.stop();
    m_loadTimer.stop();
    m_waiting = false;
    if (m_healthReply)
        m_healthReply->abort();
    QProcess *process = m_process;
    const qint64 pid = m_pid;
    m_process = nullptr;
    m_pid = 0;
    m_healthy = false;
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        signalGroup(pid, SIGTERM);
        if (!process->waitForFinished(stopGraceMs))
            signalGroup(pid, SIGKILL);
    }
    signalGroup(pid, SIGKILL);
    process->waitForFinished(1000);
    delete process;
}

QUrl LlamaServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

qint64 LlamaServer::processId() const
{
    return m_process ? m_pid : 0;
}

QString LlamaServer::lastErrorLine() const
{
    const QList<QByteArray> lines = m_stderrTail.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = QString::fromUtf8(*line).simplified();
        if (!text.isEmpty())
            return text.left(200);
    }
    return {};
}

} // namespace sorvane::agent
