#include "Services/Shell/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLoggingCategory>

namespace sorvane {

Q_LOGGING_CATEGORY(singleInstanceLog, "sorvane.instance")

SingleInstance::SingleInstance(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus) {}

SingleInstance::~SingleInstance()
{
    if (m_owner) {
        m_bus.unregisterService(QLatin1String(serviceName));
        m_bus.unregisterObject(QLatin1String(objectPath));
    }
}

SingleInstance::Claim SingleInstance::claim()
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return Claim::NoBus;
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

void SingleInstance::Activate()
{
    Q_EMIT activationRequested();
}

} // namespace sorvane
