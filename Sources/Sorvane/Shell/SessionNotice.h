#pragma once

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QString>
#include <optional>

namespace sorvane {

// What to tell the user when this desktop session cannot have global shortcuts (a
// Wayland session); nothing in an X11 session.
std::optional<QString> shortcutsUnavailableNotice(const QProcessEnvironment &environment);

// The kind of desktop session the notice is about ("wayland"), empty when none is due.
QString noticeSessionType(const QProcessEnvironment &environment);
// Whether the notice is still to be shown: once per kind of session, remembered in
// `shownSessionTypes` (the settings value under sessionNoticeShownKey()).
bool sessionNoticeDue(const QString &sessionType, const QStringList &shownSessionTypes);
QString sessionNoticeShownKey();

// A desktop notification from the program, sent without waiting for the server.
void postDesktopNotice(const QString &summary, const QString &body,
                       const QDBusConnection &bus = QDBusConnection::sessionBus());

} // namespace sorvane
