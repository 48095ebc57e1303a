#include "Support/SafePath.h"

#include <QDir>
#include <QFileInfo>

namespace sorvane {

bool isSafePathComponent(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.contains(QChar(u'\0'));
}

namespace {

QString resolved(const QString &path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString canonical = QFileInfo(clean).canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // Not there (yet): resolve the nearest existing parent and keep the rest.
    const QFileInfo info(clean);
    const QString parent = info.dir().path();
    if (parent == clean)
        return clean;
    return resolved(parent) + QLatin1Char('/') + info.fileName();
}

} // namespace

bool isPathInside(const QString &path, const QString &folder)
{
    if (path.isEmpty() || folder.isEmpty() || path.contains(QChar(u'\0')))
        return false;
    const QString child = resolved(path);
    QString parent = resolved(folder);
    if (!parent.endsWith(QLatin1Char('/')))
        parent += QLatin1Char('/');
    return child.startsWith(parent) && child.size() > parent.size();
}

} // namespace sorvane
