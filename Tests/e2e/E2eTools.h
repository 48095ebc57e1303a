#pragma once

// What the end-to-end tests share: the tools of the test session, run to their end,
// and the other application's window that Sorvane writes into.

#include "ProcessLiveness.h"
#include "TestPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
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

// What the "Allow" action does: the accessibility bus on, so that applications started
// from now on can be read.
inline bool accessibilityBusOn()
{
    return runTool(QStringLiteral("dbus-send"),
                   {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.a11y.Bus"),
                    QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties.Set"),
                    QStringLiteral("string:org.a11y.Status"), QStringLiteral("string:IsEnabled"),
                    QStringLiteral("variant:boolean:true")})
        .has_value();
}

// The first shown window of a process; 0 while it has none.
inline quint64 shownWindowOf(qint64 pid)
{
    const auto found = runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--pid"), QString::number(pid)});
    if (!found)
        return 0;
    return found->split('\n').value(0).trimmed().toULongLong();
}

// The test session's X display and its PulseAudio test sink (see providedByTestSession).
inline bool displayAndMicrophoneProvided()
{
    return providedByTestSession(!qEnvironmentVariableIsEmpty("DISPLAY")
                                     && !qEnvironmentVariableIsEmpty("SORVANE_TEST_PULSE_SINK"),
                                 "The test session has no X display or no PulseAudio test sink.",
                                 QStringLiteral("needs the test session's display and microphone; "
                                                "run through scripts/test.sh"));
}

// Streams that record from the sound server (Sorvane's while it records); -1 where
// they cannot be listed.
inline int recordingStreams()
{
    const auto listing = runTool(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"),
                                                           QStringLiteral("source-outputs")});
    if (!listing)
        return -1;
    const QByteArray lines = listing->trimmed();
    return lines.isEmpty() ? 0 : int(lines.count('\n')) + 1;
}

// Writes a second and a half of a loud tone, for the test microphone to hear.
inline bool writeTone(const QString &path)
{
    return QProcess::execute(QStringLiteral("sox"),
                             {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                              QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), path,
                              QStringLiteral("synth"), QStringLiteral("1.5"), QStringLiteral("sine"),
                              QStringLiteral("440"), QStringLiteral("vol"), QStringLiteral("0.5")})
        == 0;
}

// The built program's environment: its data and settings in the given folders, the
// fake speech engine hearing `transcript`, the fake runtime writing to `agentLog`.
inline QProcessEnvironment sorvaneEnvironment(const QString &dataHome, const QString &configHome,
                                              const QString &transcript, const QString &agentLog)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    environment.insert(QStringLiteral("SORVANE_SKIP_INSTALL_LOCATION_PROMPT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("SORVANE_WHISPER_CLI_PATH"), testProgram(QStringLiteral("fake-speech-engine")));
    environment.insert(QStringLiteral("FAKE_SPEECH_ENGINE_TRANSCRIPT"), transcript);
    environment.insert(QStringLiteral("SORVANE_SORVANE_AGENT_PATH"), testProgram(QStringLiteral("fake-sorvane-agent")));
    environment.insert(QStringLiteral("SORVANE_FAKE_AGENT_LOG"), agentLog);
    return environment;
}

// The ids of a stored array of records (the history, the conversations); nothing when the
// file does not read whole. No file holds no records.
inline std::optional<QSet<QString>> storedIds(const QString &path)
{
    if (!QFile::exists(path))
        return QSet<QString>();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(readFile(path), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QSet<QString> ids;
    for (const QJsonValue &record : document.array())
        ids.insert(record.toObject().value(QStringLiteral("id")).toString());
    return ids;
}

// The files below `roots` that a store would not leave in a sound state: the temporary
// copy of a save cut short (`isLeftOverSaveCopy`), or a file set aside as unreadable.
template <typename IsLeftOverSaveCopy>
QStringList leftOverOrSetAside(const QStringList &roots, IsLeftOverSaveCopy isLeftOverSaveCopy)
{
    QStringList found;
    for (const QString &root : roots) {
        QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QString name = QFileInfo(path).fileName();
            if (isLeftOverSaveCopy(name) || name.contains(QLatin1String(".unreadable-")))
                found.append(path);
        }
    }
    return found;
}

// Every process started under `pid`, its children's children included.
inline QList<qint64> descendantsOf(qint64 pid)
{
    QList<qint64> found;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray &child : readFile(tasks.filePath(task) + QStringLiteral("/children")).split(' '))
            if (const qint64 childPid = child.trimmed().toLongLong(); childPid > 0)
                found += QList<qint64>{childPid} + descendantsOf(childPid);
    return found;
}

// The processes under `pid` that run the program of this name (as /proc shows it,
// at most 15 characters).
inline QList<qint64> descendantsNamed(qint64 pid, const QString &name)
{
    QList<qint64> found;
    for (const qint64 child : descendantsOf(pid))
        if (QString::fromUtf8(readFile(QStringLiteral("/proc/%1/comm").arg(child)).trimmed()) == name.left(15))
            found.append(child);
    return found;
}

// Ends the program: asked first, killed when it does not listen.
inline void stopProgram(QProcess &program)
{
    if (program.state() == QProcess::NotRunning)
        return;
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(5000);
    }
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
