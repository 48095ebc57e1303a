#pragma once

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QString>
#include <optional>

namespace sorvane {

// What to tell the user when this desktop session cannot have global shortcuts (a
// Wayland session); nothing in an X11 session.
std::optional<QString> shortcutsUnavailableNotice(const QProcessEnvironment &environment);

// A desktop notification from the program, sent without waiting for the server.
void postDesktopNotice(const QString &summary, const QString &body,
                       const QDBusConnection &bus = QDBusConnection::sessionBus());

} // namespace sorvane
