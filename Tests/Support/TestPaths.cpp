#include "TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

namespace sorvane::testing {

QString buildDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("SORVANE_BUILD_DIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QDir::cleanPath(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget() + QStringLiteral("/../.."));
}

QString testProgram(const QString &name)
{
    return buildDirectory() + QStringLiteral("/tests/") + name;
}

QString testDataFile(const QString &relativePath)
{
    return qEnvironmentVariable("SORVANE_TEST_DATA_DIR") + QLatin1Char('/') + relativePath;
}

QJsonObject objectFrom(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        qFatal("bad test JSON: %s", json.constData());
    return document.object();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList treeOf(const QString &root)
{
    QStringList entries;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString relative = base.relativeFilePath(info.filePath());
        if (info.isDir() && !info.isSymLink())
            relative += QLatin1Char('/');
        entries.append(relative);
    }
    entries.sort();
    return entries;
}

} // namespace sorvane::testing

#include <cstdio>
#include <cstdlib>

namespace sorvane::testing {
void useDataHome(const QString &folder)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder));
}

std::unique_ptr<QTemporaryDir> temporaryDataHome()
{
    auto folder = std::make_unique<QTemporaryDir>();
    useDataHome(folder->path());
    return folder;
}

void exitSkipped(const QString &reason)
{
    std::fprintf(stdout, "skipped: %s\n", qPrintable(reason));
    std::fflush(stdout);
    std::_Exit(77);
}

QString toolOutput(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool providedByTestSession(bool available, const char *failure, const QString &skipReason)
{
    if (available)
        return true;
    if (qEnvironmentVariableIsSet("SORVANE_TEST_SESSION")) {
        QTest::qFail(failure, __FILE__, __LINE__);
        return false;
    }
    exitSkipped(skipReason);
}

bool x11PlatformProvided()
{
    return providedByTestSession(QGuiApplication::platformName() == QLatin1String("xcb"),
                                 "No X11 display in the test session.",
                                 QStringLiteral("needs an X11 display; run through scripts/test.sh"));
}
} // namespace sorvane::testing
