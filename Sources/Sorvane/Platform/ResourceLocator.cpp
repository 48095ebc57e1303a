#include "Platform/ResourceLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace sorvane {

namespace {

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QString ResourceLocator::executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString ResourceLocator::overrideVariable(const QString &name)
{
    QString upper = name.toUpper();
    upper.replace(QLatin1Char('-'), QLatin1Char('_'));
    return QStringLiteral("SORVANE_") + upper + QStringLiteral("_PATH");
}

std::optional<QString> ResourceLocator::file(const QString &name)
{
    if (name.isEmpty())
        return std::nullopt;
    const QString shared =
        QDir::cleanPath(executableDirectory() + QStringLiteral("/../share/sorvane/") + name);
    if (QFileInfo(shared).isFile())
        return shared;
    const QString resource = QStringLiteral(":/sorvane/") + name;
    if (QFileInfo(resource).isFile())
        return resource;
    return std::nullopt;
}

std::optional<QString> ResourceLocator::executable(const QString &name, Search search)
{
    if (name.isEmpty())
        return std::nullopt;
    const QByteArray variable = overrideVariable(name).toLocal8Bit();
    const QString overridden = qEnvironmentVariable(variable.constData());
    if (!overridden.isEmpty())
        return overridden;

    const QString directory = executableDirectory();
    const QString beside = directory + QLatin1Char('/') + name;
    if (isExecutableFile(beside))
        return beside;
    const QString libexec = QDir::cleanPath(directory + QStringLiteral("/../libexec/sorvane/") + name);
    if (isExecutableFile(libexec))
        return libexec;
    if (search == Search::BundleThenPath) {
        const QString onPath = QStandardPaths::findExecutable(name);
        if (!onPath.isEmpty())
            return onPath;
    }
    return std::nullopt;
}

} // namespace sorvane
