#pragma once

// What the tests with real applications share: xdotool, a real application's window,
// and the built program started the way the end-to-end tests start it.

#include "../e2e/E2eTools.h"
#include "../models/AtSpiDriver.h"
#include "Platform/SettingsStore.h"
#include "Shared/AppPaths.h"
#include "Dictation/SpeechModel.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

namespace sorvane::testing {

inline bool xdotool(const QStringList &arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

inline quint64 activeWindow()
{
    const auto window = runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    return window ? window->trimmed().toULongLong() : 0;
}


// `window` in front with the keyboard focus, asked for again until the window manager
// has given it (a busy one may let the first request pass).
inline bool bringWindowToFront(quint64 window)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        xdotool({QStringLiteral("windowactivate"), QString::number(window)});
        if (activeWindow() == window)
            return true;
        QTest::qWait(100);
    }
    return false;
}

// A real application of the test session, in a home of its own.
class RealApplication {
public:
    bool start(const QString &program, const QStringList &arguments, const QString &home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
        if (!process.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(30000);
        while (window == 0 && !deadline.hasExpired() && process.state() == QProcess::Running) {
            QTest::qWait(50);
            window = shownWindowOf(process.processId());
        }
        return window != 0;
    }

    // In front, with the keyboard focus.
    bool bringToFront() { return bringWindowToFront(window); }

    ~RealApplication()
    {
        process.kill();
        process.waitForFinished(5000);
    }

    QProcess process;
    quint64 window = 0;
};

// The built program, started with the fake speech engine hearing `transcript`. Its
// runtime is the fake one, or with `realRuntime` the built one; either is started
// through a small script that notes the start, which tells that the shortcuts are
// registered (the program starts its runtime right after).
class SorvaneProgram {
public:
    explicit SorvaneProgram(QTemporaryDir &home) : m_home(home) {}

    QString dataHome() const { return m_home.filePath(QStringLiteral("data")); }
    QString configHome() const { return m_home.filePath(QStringLiteral("config")); }

    // A finished onboarding with Pocket downloaded; automatic paste, the clipboard put back.
    bool prepare()
    {
        QDir().mkpath(configHome() + QStringLiteral("/Sorvane"));
        JsonFileSettingsStore settings(configHome() + QStringLiteral("/Sorvane/settings.json"));
        settings.setValue(QStringLiteral("onboardingComplete"), true);
        settings.setValue(QStringLiteral("selectedModelID"), QStringLiteral("pocket"));
        settings.setValue(QStringLiteral("automaticPaste"), true);
        settings.setValue(QStringLiteral("clipboardRestoreEnabled"), true);
        settings.setValue(QStringLiteral("completionSoundEnabled"), false);
        useDataHome(dataHome());
        const SpeechModel *model = SpeechModel::find(QStringLiteral("pocket"));
        return model && writeFile(AppPaths::models() + QLatin1Char('/') + model->fileName, "weights");
    }

    bool start(const QString &transcript, bool realRuntime = false, const QProcessEnvironment &extra = {})
    {
        const QString agentLog = m_home.filePath(QStringLiteral("agent.log"));
        const QString startLog = m_home.filePath(QStringLiteral("runtime-started"));
        QFile::remove(startLog);
        const QString runtime = realRuntime ? buildDirectory() + QStringLiteral("/libexec/sorvane/sorvane-agent")
                                            : testProgram(QStringLiteral("fake-sorvane-agent"));
        const QString script = m_home.filePath(QStringLiteral("runtime.sh"));
        if (!writeFile(script, QStringLiteral("#!/bin/sh\necho started >> '%1'\nexec '%2' \"$@\"\n")
                                   .arg(startLog, runtime).toUtf8()))
            return false;
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment environment = sorvaneEnvironment(dataHome(), configHome(), transcript, agentLog);
        environment.insert(QStringLiteral("SORVANE_SORVANE_AGENT_PATH"), script);
        environment.insert(extra);
        process.setProcessEnvironment(environment);
        // Its output is kept, for what it logs, and passed on.
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            const QByteArray chunk = process.readAllStandardOutput();
            output += chunk;
            fwrite(chunk.constData(), 1, size_t(chunk.size()), stderr);
        });
        process.start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        if (!process.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(30000);
        while (!QFile::exists(startLog) && !deadline.hasExpired())
            QTest::qWait(50);
        if (!QFile::exists(startLog))
            return false;
        // Every start opens the main window: once it is up it no longer takes the focus
        // from the application the test brings forward next.
        while (!shownWindowOf(process.processId()) && !deadline.hasExpired())
            QTest::qWait(50);
        return shownWindowOf(process.processId()) != 0;
    }

    ~SorvaneProgram() { stopProgram(process); }

    QProcess process;
    QByteArray output;

private:
    QTemporaryDir &m_home;
};

// Whether the program's overlay is on the screen. A Dictation's overlay goes only once
// the Dictation has ended, paste included: until then the program refuses a new
// Dictation or Command (it would race the paste), so a test waits for it to go first.
inline bool overlayShown()
{
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--name"), QStringLiteral("^Sorvane overlay$")})
        .has_value();
}

// A press of a shortcut, a tone into the test microphone, a second press: what the
// user does for a Dictation (Alt+Space) or a Command (Alt+Shift+Space).
inline bool speakBetweenPresses(const QString &shortcut, const QString &tone)
{
    const QString sink = qEnvironmentVariable("SORVANE_TEST_PULSE_SINK");
    const int streamsBefore = recordingStreams();
    if (streamsBefore < 0 || !xdotool({QStringLiteral("key"), shortcut}))
        return false;
    QDeadlineTimer deadline(20000);
    while (recordingStreams() <= streamsBefore && !deadline.hasExpired())
        QTest::qWait(50);
    if (recordingStreams() <= streamsBefore)
        return false;
    if (QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, tone}) != 0)
        return false;
    return xdotool({QStringLiteral("key"), shortcut});
}

inline constexpr uint pushButtonRole = 43; // ATSPI_ROLE_PUSH_BUTTON
inline const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

// A client of the accessibility bus, as a screen reader is.
class AtSpiClient {
public:
    bool connect()
    {
        QDBusInterface bus(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
                           QDBusConnection::sessionBus());
        const QDBusReply<QString> address = bus.call(QStringLiteral("GetAddress"));
        if (!address.isValid())
            return false;
        m_bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("screen-reader"));
        return m_bus.isConnected();
    }

    QList<AtSpiNode> children(const AtSpiNode &node) const
    {
        QList<AtSpiNode> found;
        const QDBusMessage reply = call(node, accessibleInterface, QStringLiteral("GetChildren"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return found;
        const QDBusArgument array = reply.arguments().first().value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QString service;
            QDBusObjectPath path;
            array.beginStructure();
            array >> service >> path;
            array.endStructure();
            found.append({service, path.path()});
        }
        array.endArray();
        return found;
    }

    QString name(const AtSpiNode &node) const
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {accessibleInterface, QStringLiteral("Name")});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant().toString();
    }

    uint role(const AtSpiNode &node) const
    {
        const QDBusMessage reply = call(node, accessibleInterface, QStringLiteral("GetRole"));
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                   ? reply.arguments().first().toUInt()
                   : 0;
    }

    bool press(const AtSpiNode &node) const
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {0});
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    // The running application of this name.
    std::optional<AtSpiNode> application(const QString &applicationName) const
    {
        for (const AtSpiNode &candidate : children({QStringLiteral("org.a11y.atspi.Registry"),
                                               QStringLiteral("/org/a11y/atspi/accessible/root")}))
            if (name(candidate) == applicationName)
                return candidate;
        return std::nullopt;
    }

    // The first element below `root` that `matches`, depth first.
    std::optional<AtSpiNode> find(const AtSpiNode &root, const std::function<bool(const AtSpiNode &)> &matches, int depth = 0) const
    {
        if (depth > 40)
            return std::nullopt;
        for (const AtSpiNode &child : children(root)) {
            if (matches(child))
                return child;
            if (auto below = find(child, matches, depth + 1))
                return below;
        }
        return std::nullopt;
    }

    std::optional<AtSpiNode> button(const AtSpiNode &application, const QString &buttonName) const
    {
        return find(application,
                    [&](const AtSpiNode &node) { return role(node) == pushButtonRole && name(node) == buttonName; });
    }

    // The name of the first element below `root` whose name starts with `prefix`.
    QString nameStartingWith(const AtSpiNode &root, const QString &prefix) const
    {
        const auto found = find(root, [&](const AtSpiNode &node) { return name(node).startsWith(prefix); });
        return found ? name(*found) : QString();
    }

private:
    QDBusMessage call(const AtSpiNode &node, const QString &interface, const QString &method,
                      const QVariantList &arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, 5000);
    }

    QDBusConnection m_bus{QStringLiteral("unconnected")};
};


} // namespace sorvane::testing
