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

// The path as the system follows it: the links of each existing part are resolved
// before the next part is read, so a ".." goes up from where a link leads. Parts that
// do not exist yet are kept as written. Nothing for a link that leads nowhere, whose
// target could still appear anywhere.
std::optional<QString> resolved(const QString &path)
{
    // Split as written: QFileInfo would clean the ".." away before the links are seen.
    const QString absolute = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = QStringLiteral("/");
    for (const QString &part : parts) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            current = QFileInfo(current).path();
            continue;
        }
        const QString next = current.endsWith(QLatin1Char('/')) ? QString(current + part)
                                                                : QString(current + QLatin1Char('/') + part);
        const QFileInfo info(next);
        if (info.isSymLink() && !info.exists())
            return std::nullopt;
        const QString canonical = info.canonicalFilePath();
        current = canonical.isEmpty() ? next : canonical;
    }
    return current;
}

} // namespace

std::optional<QString> resolvedPathInside(const QString &path, const QString &folder)
{
    if (path.isEmpty() || folder.isEmpty() || path.contains(QChar(u'\0')))
        return std::nullopt;
    const auto child = resolved(path);
    const auto parent = resolved(folder);
    if (!child || !parent)
        return std::nullopt;
    const QString prefix = parent->endsWith(QLatin1Char('/')) ? *parent : QString(*parent + QLatin1Char('/'));
    if (!child->startsWith(prefix) || child->size() <= prefix.size())
        return std::nullopt;
    return child;
}

} // namespace sorvane
