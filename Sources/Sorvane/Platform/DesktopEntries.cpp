#include "DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>

namespace sorvane {

namespace {

const DesktopEntry *findEntry(const QList<DesktopEntry> &entries, auto &&matches)
{
    for (const DesktopEntry &entry : entries)
        if (matches(entry))
            return &entry;
    return nullptr;
}

bool sameText(const QString &a, const QString &b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

QString lastIdComponent(const QString &id)
{
    return id.section(QLatin1Char('.'), -1);
}

// Unescapes the few escapes a desktop file's string values may hold.
QString unescaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out.append(c);
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's': out.append(QLatin1Char(' ')); break;
        case 'n': out.append(QLatin1Char('\n')); break;
        case 't': out.append(QLatin1Char('\t')); break;
        case 'r': out.append(QLatin1Char('\r')); break;
        default: out.append(next); break;
        }
    }
    return out;
}

} // namespace

QString applicationName(const QList<DesktopEntry> &entries, const WindowNameHints &hints)
{
    QString desktopId = hints.desktopId;
    if (desktopId.endsWith(QLatin1String(".desktop")))
        desktopId.chop(8);
    desktopId = desktopId.section(QLatin1Char('/'), -1);

    const DesktopEntry *found = nullptr;
    if (!desktopId.isEmpty()) {
        found = findEntry(entries, [&](const DesktopEntry &e) { return e.id == desktopId; });
        if (!found)
            found = findEntry(entries, [&](const DesktopEntry &e) { return sameText(e.id, desktopId); });
    }
    for (const QString &name : {hints.windowClass, hints.windowInstance}) {
        if (found || name.isEmpty())
            break;
        found = findEntry(entries, [&](const DesktopEntry &e) { return sameText(e.startupWmClass, name); });
    }
    for (const QString &name : {hints.windowClass, hints.windowInstance}) {
        if (found || name.isEmpty())
            break;
        found = findEntry(entries, [&](const DesktopEntry &e) {
            return sameText(e.id, name) || sameText(lastIdComponent(e.id), name);
        });
    }
    if (found && !found->name.isEmpty())
        return found->name;
    if (!hints.windowClass.isEmpty())
        return hints.windowClass;
    return hints.windowInstance;
}

DesktopEntry parseDesktopEntry(const QString &id, const QByteArray &contents, const QString &locale)
{
    const QString language = locale.section(QLatin1Char('_'), 0, 0);
    const QString withCountry = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    QString name, nameInLanguage, nameInLocale, wmClass, type;
    bool hidden = false;
    bool inMainGroup = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescaped(line.mid(equals + 1).trimmed());
        if (key == QLatin1String("Name"))
            name = value;
        else if (!language.isEmpty() && key == QLatin1String("Name[") + language + QLatin1Char(']'))
            nameInLanguage = value;
        else if (!withCountry.isEmpty() && key == QLatin1String("Name[") + withCountry + QLatin1Char(']'))
            nameInLocale = value;
        else if (key == QLatin1String("StartupWMClass"))
            wmClass = value;
        else if (key == QLatin1String("Type"))
            type = value;
        else if (key == QLatin1String("Hidden"))
            hidden = value == QLatin1String("true");
    }
    if (hidden || type != QLatin1String("Application"))
        return {};
    DesktopEntry entry;
    entry.id = id;
    entry.name = !nameInLocale.isEmpty() ? nameInLocale : !nameInLanguage.isEmpty() ? nameInLanguage : name;
    entry.startupWmClass = wmClass;
    return entry;
}

QList<DesktopEntry> loadDesktopEntries(const QStringList &applicationFolders, const QString &locale)
{
    QList<DesktopEntry> entries;
    QSet<QString> seen; // an earlier folder's file, even a hidden one, masks later ones
    for (const QString &folder : applicationFolders) {
        const QDir base(folder);
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = base.relativeFilePath(path);
            id.chop(8);
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id))
                continue;
            seen.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
                continue;
            DesktopEntry entry = parseDesktopEntry(id, file.readAll(), locale);
            if (!entry.id.isEmpty())
                entries.append(entry);
        }
    }
    return entries;
}

} // namespace sorvane
