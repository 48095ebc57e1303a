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

namespace {

// The path with its links followed where it exists; as written (cleaned) where not.
QString resolved(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(QDir::rootPath()).absoluteFilePath(path));
    const QString canonical = QFileInfo(absolute).canonicalFilePath();
    return canonical.isEmpty() ? absolute : canonical;
}

bool isInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

} // namespace

bool ApplicationLocationController::isInstalledApplication(const QString &path, const QString &homeDirectory)
{
    const QString standardized = resolved(path);
    const QStringList candidates{resolved(homeDirectory + QStringLiteral("/Applications")), resolved(QStringLiteral("/opt"))};
    for (const QString &candidate : candidates)
        if (isInside(standardized, candidate))
            return true;
    return false;
}

QString ApplicationLocationController::locationSentence(const QString &path)
{
    const QString standardized = resolved(path);
    // A program on a mounted drive (a USB stick, a downloaded image's disk) goes when
    // the drive goes.
    if (isInside(standardized, QStringLiteral("/media")) || isInside(standardized, QStringLiteral("/run/media")))
        return QStringLiteral("Sorvane is currently running from a removable drive.");
    return QStringLiteral("Sorvane is currently running outside Applications.");
}

QString ApplicationLocationController::applicationsFolder() const
{
    return QDir(m_homeDirectory).filePath(QStringLiteral("Applications"));
}

bool ApplicationLocationController::openApplicationsFolder()
{
    const QString folder = applicationsFolder();
    if (!QDir().mkpath(folder))
        return false;
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    return true;
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
