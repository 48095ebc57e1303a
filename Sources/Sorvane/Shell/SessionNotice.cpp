#include "Shell/SessionNotice.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>

namespace sorvane {

std::optional<QString> shortcutsUnavailableNotice(const QProcessEnvironment &environment)
{
    const bool waylandSession =
        environment.value(QStringLiteral("XDG_SESSION_TYPE")).compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
    // The same rule the hot-key backend refuses by: under a Wayland compositor an X
    // display (XWayland) would only see keys typed into X windows.
    const bool waylandDisplay = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    if (!waylandSession && !waylandDisplay)
        return std::nullopt;
    return QStringLiteral("This is a Wayland session, where Sorvane\u2019s global shortcuts cannot be registered. "
                          "Start and stop Dictation and Command from the tray menu, or sign in to an X11 session "
                          "to use the shortcuts.");
}

QString noticeSessionType(const QProcessEnvironment &environment)
{
    if (!shortcutsUnavailableNotice(environment))
        return QString();
    const QString type = environment.value(QStringLiteral("XDG_SESSION_TYPE")).toLower();
    return type.isEmpty() || type == QLatin1String("x11") ? QStringLiteral("wayland") : type;
}

bool sessionNoticeDue(const QString &sessionType, const QStringList &shownSessionTypes)
{
    return !sessionType.isEmpty() && !shownSessionTypes.contains(sessionType);
}

QString sessionNoticeShownKey()
{
    return QStringLiteral("shortcutNoticeShownSessionTypes");
}

void postDesktopNotice(const QString &summary, const QString &body, const QDBusConnection &bus)
{
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Sorvane") << uint(0) << QStringLiteral("com.sorvane.local") << summary << body
           << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("com.sorvane.local")}}
           << int(-1);
    bus.asyncCall(notify);
}

} // namespace sorvane
