#include "Services/Shell/ApplicationLocationController.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace sorvane {

ApplicationLocationController::ApplicationLocationController(const QProcessEnvironment &environment,
                                                             const QString &homeDirectory, QObject *parent)
    : QObject(parent), m_environment(environment),
      m_homeDirectory(homeDirectory.isEmpty() ? QDir::homePath() : homeDirectory),
      m_applicationPath(environment.value(QStringLiteral("APPIMAGE"))), m_bus(QDBusConnection::sessionBus())
{
}

void ApplicationLocationController::setShouldShowPrompt(bool show)
{
    m_shouldShowPrompt = show;
    Q_EMIT shouldShowPromptChanged();
}

void ApplicationLocationController::refresh()
{
    if (m_environment.value(QLatin1String(skipVariable)) == QLatin1String("1"))
        return setShouldShowPrompt(false);
    if (m_applicationPath.isEmpty())
        return setShouldShowPrompt(false);
    setShouldShowPrompt(!isInstalledApplication(m_applicationPath, m_homeDirectory));
}

bool ApplicationLocationController::isInstalledApplication(const QString &path, const QString &homeDirectory)
{
    const QString standardized = QDir::cleanPath(QDir(QDir::rootPath()).absoluteFilePath(path));
    const QStringList candidates{QDir::cleanPath(homeDirectory + QStringLiteral("/Applications")),
                                 QStringLiteral("/opt")};
    for (const QString &candidate : candidates)
        if (standardized == candidate || standardized.startsWith(candidate + QLatin1Char('/')))
            return true;
    return false;
}

void ApplicationLocationController::revealCurrentApplication()
{
    if (m_applicationPath.isEmpty())
        return;
    const QUrl file = QUrl::fromLocalFile(QFileInfo(m_applicationPath).absoluteFilePath());
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(m_applicationPath).absolutePath());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{file.toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [folder](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError())
            QDesktopServices::openUrl(folder);
    });
}

} // namespace sorvane
