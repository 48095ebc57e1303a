#include "Services/Shell/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

namespace sorvane {

Q_LOGGING_CATEGORY(singleInstanceLog, "sorvane.instance")

namespace {

const QByteArray activateLine = QByteArrayLiteral("activate\n");
const QByteArray answerLine = QByteArrayLiteral("ok\n");
constexpr int answerWait = 5000;

} // namespace

SingleInstance::SingleInstance(const QDBusConnection &bus, QString runtimeFolder, QObject *parent)
    : QObject(parent), m_bus(bus), m_runtimeFolder(std::move(runtimeFolder))
{
    if (m_runtimeFolder.isEmpty())
        m_runtimeFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::~SingleInstance()
{
    if (m_owner && !m_lock) {
        m_bus.unregisterService(QLatin1String(serviceName));
        m_bus.unregisterObject(QLatin1String(objectPath));
    }
    if (m_server) {
        m_server->close();
        m_server.reset();
    }
    // The lock goes last: a copy that takes it next finds the socket closed.
    m_lock.reset();
}

QString SingleInstance::lockPath() const
{
    return m_runtimeFolder + QLatin1Char('/') + QLatin1String(serviceName) + QStringLiteral(".lock");
}

QString SingleInstance::socketPath() const
{
    return m_runtimeFolder + QLatin1Char('/') + QLatin1String(serviceName) + QStringLiteral(".socket");
}

SingleInstance::Claim SingleInstance::claim()
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return claimByLock();
    if (!m_bus.registerObject(QLatin1String(objectPath), this, QDBusConnection::ExportScriptableSlots))
        qCWarning(singleInstanceLog) << "could not export the activation object";
    // Twice: the owner may end between our failed request and our call to it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto reply = m_bus.interface()->registerService(QLatin1String(serviceName),
                                                              QDBusConnectionInterface::DontQueueService,
                                                              QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_owner = true;
            return Claim::First;
        }
        if (askOwnerToActivate())
            return Claim::HandedOff;
    }
    qCWarning(singleInstanceLog) << "another copy holds" << serviceName << "but does not answer";
    m_bus.unregisterObject(QLatin1String(objectPath));
    return Claim::HandedOff;
}

bool SingleInstance::askOwnerToActivate()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(serviceName), QLatin1String(objectPath),
                                                       QLatin1String(serviceName), QStringLiteral("Activate"));
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

SingleInstance::Claim SingleInstance::claimByLock()
{
    if (m_runtimeFolder.isEmpty() || !QDir().mkpath(m_runtimeFolder)) {
        qCWarning(singleInstanceLog) << "no session bus and no runtime folder: another copy cannot be found";
        return Claim::NoBus;
    }
    // A few rounds: the owner may have taken the lock and not yet listen, or may end
    // between our failed lock and our call.
    for (int attempt = 0; attempt < 5; ++attempt) {
        auto lock = std::make_unique<QLockFile>(lockPath());
        // Only a lock whose process is gone is stale, however old it is.
        lock->setStaleLockTime(0);
        if (lock->tryLock(attempt == 0 ? 0 : 200)) {
            m_lock = std::move(lock);
            answerLocalConnections();
            m_owner = true;
            return Claim::First;
        }
        if (lock->error() != QLockFile::LockFailedError) {
            qCWarning(singleInstanceLog) << "the lock" << lockPath() << "cannot be written: run anyway";
            return Claim::NoBus;
        }
        if (askLockOwnerToActivate())
            return Claim::HandedOff;
    }
    qCWarning(singleInstanceLog) << "another copy holds" << lockPath() << "but does not answer";
    return Claim::HandedOff;
}

void SingleInstance::answerLocalConnections()
{
    // A socket left by a copy that crashed would keep the name taken.
    QLocalServer::removeServer(socketPath());
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        qCWarning(singleInstanceLog) << "could not listen on" << socketPath() << m_server->errorString();
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == activateLine) {
                    socket->write(answerLine);
                    socket->flush();
                    Activate();
                }
                socket->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::askLockOwnerToActivate()
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(answerWait))
        return false;
    socket.write(activateLine);
    if (!socket.waitForBytesWritten(answerWait))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(answerWait))
            return false;
    }
    return socket.readLine() == answerLine;
}

void SingleInstance::Activate()
{
    Q_EMIT activationRequested();
}

} // namespace sorvane
