#include "DesktopColorScheme.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QPointer>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace sorvane {

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants, depending on its version.
std::optional<uint> unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    return ok ? std::optional<uint>(number) : std::nullopt;
}
} // namespace

DesktopColorScheme::DesktopColorScheme(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QDBusMessage)));
    QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kNamespace << kKey;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<QVariant> reply = *call;
        if (!reply.isError())
            setScheme(unwrap(reply.value()));
        call->deleteLater();
    });
}

DesktopColorScheme &DesktopColorScheme::shared()
{
    static QPointer<DesktopColorScheme> instance;
    if (!instance)
        instance = new DesktopColorScheme(QCoreApplication::instance());
    return *instance;
}

bool DesktopColorScheme::isDarkScheme(std::optional<uint> value)
{
    return value && *value == 1;
}

void DesktopColorScheme::settingChanged(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() == 3 && arguments.at(0).toString() == kNamespace && arguments.at(1).toString() == kKey)
        setScheme(unwrap(arguments.at(2)));
}

void DesktopColorScheme::setScheme(std::optional<uint> value)
{
    const bool schemeChanged = m_scheme != value;
    m_scheme = value;
    const bool dark = isDarkScheme(value);
    if (schemeChanged && dark == m_dark) {
        // The tray's ink also tells no preference from light.
        Q_EMIT changed();
        return;
    }
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT changed();
}

} // namespace sorvane
