#pragma once

// What the end-to-end tests share: the tools of the test session, run to their end,
// and the other application's window that Sorvane writes into.

#include "TestPaths.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <optional>
#include <unistd.h>

namespace sorvane::testing {

// Runs a tool of the test session to its end; its standard output.
inline std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments,
                                         const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    if (!input.isNull()) {
        process.write(input);
        process.closeWriteChannel();
    }
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// Whether the process runs (a zombie does not).
inline bool isRunning(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) != "Z";
}

// The window that receives Sorvane's text: one text field, with a part of its text
// selected, which reports its text on every change.
class TargetWindow {
public:
    // `accessible`: seen on the accessibility bus, as applications are once it is on.
    bool start(const QString &text = QString(), int selectionStart = 0, int selectionLength = 0, bool accessible = false)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (accessible)
            environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QLatin1String("ready ")))
                    window = line.section(QLatin1Char(' '), 1, 1).toULongLong();
                else if (line.startsWith(QLatin1String("text ")))
                    this->text = QJsonDocument::fromJson("[" + line.mid(5).toUtf8() + "]").array().at(0).toString();
            }
        });
        process.start(testProgram(QStringLiteral("capture-fixture")),
                      {text, QString::number(selectionStart), QString::number(selectionLength)});
        if (!process.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(20000);
        while (window == 0 && !deadline.hasExpired())
            QTest::qWait(20);
        return window != 0;
    }

    ~TargetWindow()
    {
        process.kill();
        process.waitForFinished(5000);
    }

    QProcess process;
    quint64 window = 0;
    QString text;
};

} // namespace sorvane::testing
