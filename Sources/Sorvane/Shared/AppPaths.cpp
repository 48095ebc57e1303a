#include "Shared/AppPaths.h"

#include <QDir>
#include <QRegularExpression>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvane {

namespace {

QString join(const QString &a, const QString &b)
{
    return a + QLatin1Char('/') + b;
}

QString systemError(const QString &what, const QString &path, int error)
{
    return QStringLiteral("%1 \u201c%2\u201d: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(error)));
}

// lstat: a symbolic link is a leaf, never followed.
enum class Entry { Missing, Folder, Other };
Entry entryAt(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return Entry::Missing;
    return S_ISDIR(info.st_mode) ? Entry::Folder : Entry::Other;
}

// Moves without ever replacing an existing destination.
Result<Done, QString> moveNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Done{};
    const int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // The file system lacks RENAME_NOREPLACE: check, then rename.
        if (entryAt(to) != Entry::Missing)
            return systemError(QStringLiteral("Could not move to"), to, EEXIST);
        if (::rename(source.constData(), target.constData()) == 0)
            return Done{};
        return systemError(QStringLiteral("Could not move"), from, errno);
    }
    return systemError(QStringLiteral("Could not move"), from, error);
}

Result<Done, QString> mergeContents(const QString &source, const QString &destination)
{
    QDir dir(source);
    if (!dir.exists())
        return systemError(QStringLiteral("Could not read"), source, ENOENT);
    const QStringList children =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : children) {
        const QString child = join(source, name);
        const QString target = join(destination, name);
        const Entry childEntry = entryAt(child);
        const Entry targetEntry = entryAt(target);
        if (childEntry == Entry::Folder && targetEntry == Entry::Folder) {
            auto merged = mergeContents(child, target);
            if (!merged)
                return merged;
        } else if (targetEntry == Entry::Missing) {
            auto moved = moveNoReplace(child, target);
            if (!moved)
                return moved;
        }
        // Otherwise the destination keeps its own item and this one stays behind.
    }
    if (QDir(source).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (::rmdir(QFile::encodeName(source).constData()) != 0)
            return systemError(QStringLiteral("Could not remove"), source, errno);
    }
    return Done{};
}

} // namespace

QString AppPaths::dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString AppPaths::root() { return join(dataHome(), QStringLiteral("Sorvane")); }
QString AppPaths::models() { return join(root(), QStringLiteral("Models")); }
QString AppPaths::agentModels() { return join(root(), QStringLiteral("AgentModels")); }
QString AppPaths::agentData() { return join(root(), QStringLiteral("Agent")); }
QString AppPaths::agentAttachments() { return join(agentData(), QStringLiteral("Attachments")); }
QString AppPaths::agentConversations() { return join(agentData(), QStringLiteral("conversations.json")); }
QString AppPaths::agentSessions() { return join(agentData(), QStringLiteral("sessions.sqlite")); }
QString AppPaths::customAgentModels() { return join(agentData(), QStringLiteral("custom-models.json")); }
QString AppPaths::recordings() { return join(root(), QStringLiteral("Recordings")); }
QString AppPaths::temporaryRecordings() { return join(root(), QStringLiteral("TemporaryRecordings")); }
QString AppPaths::history() { return join(root(), QStringLiteral("history.json")); }
QString AppPaths::configRoot()
{
    return join(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), QStringLiteral("Sorvane"));
}

bool AppPaths::makePrivatePath(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // A link to a folder counts as the folder (a user may keep the models elsewhere).
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).path();
    if (parent != absolute && !makePrivatePath(parent))
        return false;
    if (::mkdir(QFile::encodeName(absolute).constData(), 0700) == 0)
        return true;
    // Made meanwhile by someone else: fine as long as it is a folder.
    return errno == EEXIST && QFileInfo(absolute).isDir();
}

bool AppPaths::isLeftOverSaveCopy(const QString &fileName)
{
    // QSaveFile writes "<name>.XXXXXX" beside the file and renames it over the file.
    static const QRegularExpression pattern(QStringLiteral(
        "^(history\\.json|conversations\\.json|custom-models\\.json|settings\\.json)\\.[A-Za-z0-9]{6}$"));
    return pattern.match(fileName).hasMatch();
}

namespace {

// lstat throughout: a link is never followed, nor its target changed.
void tighten(const QString &folder, int depth)
{
    const QByteArray encoded = QFile::encodeName(folder);
    struct stat info {};
    if (::lstat(encoded.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    if ((info.st_mode & 0777) != 0700)
        ::chmod(encoded.constData(), 0700);
    if (depth > 32)
        return;
    const QStringList children =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : children) {
        const QString child = join(folder, name);
        const QByteArray childName = QFile::encodeName(child);
        struct stat entry {};
        if (::lstat(childName.constData(), &entry) != 0)
            continue;
        if (S_ISDIR(entry.st_mode)) {
            tighten(child, depth + 1);
        } else if (S_ISREG(entry.st_mode)) {
            if (AppPaths::isLeftOverSaveCopy(name)) {
                ::unlink(childName.constData());
                continue;
            }
            if ((entry.st_mode & 0777) != 0600)
                ::chmod(childName.constData(), 0600);
        }
    }
}

} // namespace

void AppPaths::secureAtStart()
{
    for (const QString &folder : {root(), configRoot()}) {
        makePrivatePath(folder);
        tighten(folder, 0);
    }
}

Result<Done, QString> AppPaths::migrate(const QString &legacyRoot, const QString &newRoot)
{
    const Entry legacy = entryAt(legacyRoot);
    if (legacy == Entry::Missing)
        return Done{};
    if (legacy != Entry::Folder)
        return Done{}; // a stray file or link of that name is not the earlier folder
    if (entryAt(newRoot) == Entry::Missing)
        return moveNoReplace(legacyRoot, newRoot);
    return mergeContents(legacyRoot, newRoot);
}

Result<Done, QString> AppPaths::prepare()
{
    auto migrated = migrate(join(dataHome(), QStringLiteral("Brivel Plus")), root());
    if (!migrated)
        return migrated;
    const QString folders[] = {models(), agentModels(), agentData(), agentAttachments(),
                               recordings(), temporaryRecordings()};
    for (const QString &folder : folders) {
        errno = 0;
        if (!makePrivatePath(folder))
            return systemError(QStringLiteral("Could not create"), folder, errno ? errno : EIO);
    }
    return Done{};
}

} // namespace sorvane
