// Launch time and resident memory of the real program, on a display and a session bus
// of the benchmark's own (Xvfb and dbus-daemon), with a tray host that records when
// the program's tray item appears, with histories of growing size, beside a bare Qt tray
// program started the same way. Prints figures; asserts nothing.
#include "BenchTools.h"
#include "FakeTrayHost.h"
#include "Platform/SettingsStore.h"
#include "Shell/ShellLaunch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

using sorvane::bench::residentMiB;
using sorvane::testing::FakeTrayHost;

namespace {

void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Reads one line the started program prints (its display number or bus address).
QString firstLine(QProcess &process)
{
    if (!process.waitForReadyRead(20000))
        return {};
    return QString::fromUtf8(process.readLine()).trimmed();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"),
                                        QStringLiteral("tcp")});
    const QString display = firstLine(xvfb);
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                              QStringLiteral("--print-address=1")});
    const QString address = firstLine(bus);
    if (display.isEmpty() || address.isEmpty()) {
        std::printf("needs Xvfb and dbus-daemon (scripts/packages-test.txt)\n");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("bench"));
    FakeTrayHost tray(connection);
    if (!tray.start()) {
        std::printf("could not host a tray on the benchmark's bus\n");
        return 1;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + display);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // <build>/bench/shell/ holds this benchmark.
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin/sorvane");
    const QString bareTray = QCoreApplication::applicationDirPath() + QStringLiteral("/anchor/sorvane-bench-bare-tray");
    const QString historyPath = home.path() + QStringLiteral("/data/Sorvane/history.json");
    // A user who finished the set-up, the program started by its login item: no window
    // opens until the user asks for it.
    QDir().mkpath(home.path() + QStringLiteral("/config/Sorvane"));
    {
        sorvane::JsonFileSettingsStore settings(home.path() + QStringLiteral("/config/Sorvane/settings.json"));
        settings.setValue(QStringLiteral("onboardingComplete"), true);
    }

    // Until the tray item is registered and the program says its shortcuts are grabbed,
    // whichever comes last (the bare tray program has no shortcuts), then the resident
    // size once settled; -1 when the program never got ready.
    struct Launch {
        double ms = -1;
        double idleMiB = -1;
        double openMiB = -1;
    };
    auto launch = [&](const QString &path, bool openWindow) {
        Launch result;
        const bool ours = path == program;
        QProcess process;
        QProcessEnvironment processEnv = env;
        if (ours)
            processEnv.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("sorvane.start.info=true"));
        process.setProcessEnvironment(processEnv);
        qint64 shortcutsAt = ours ? -1 : 0;
        QByteArray errors;
        QObject::connect(&process, &QProcess::readyReadStandardError, [&] {
            errors += process.readAllStandardError();
            if (shortcutsAt < 0 && errors.contains("sorvane.start") && errors.contains("ready:"))
                shortcutsAt = 0;
        });
        QElapsedTimer clock;
        clock.start();
        process.start(path, ours ? QStringList{QLatin1String(sorvane::autostartArgument)} : QStringList());
        if (!process.waitForStarted(20000))
            return result;
        const qint64 pid = process.processId();
        qint64 trayAt = -1;
        while ((trayAt < 0 || shortcutsAt < 0) && clock.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (trayAt < 0 && tray.itemOf(pid))
                trayAt = clock.nsecsElapsed();
            if (shortcutsAt == 0 && ours)
                shortcutsAt = clock.nsecsElapsed();
        }
        if (trayAt >= 0 && shortcutsAt >= 0) {
            result.ms = std::max(trayAt, shortcutsAt) / 1e6;
            settle(2000);
            result.idleMiB = residentMiB(pid);
            if (openWindow) {
                // A second launch hands over and the first shows its main window.
                QProcess second;
                second.setProcessEnvironment(env);
                second.start(path, QStringList());
                second.waitForFinished(20000);
                settle(3000);
                result.openMiB = residentMiB(pid);
            }
        }
        process.terminate();
        process.waitForFinished(20000);
        settle(300);
        return result;
    };
    using sorvane::bench::median;
    using sorvane::bench::minimum;
    using sorvane::bench::printFigure;

    // Enough launches for a steady median on a shared machine.
    constexpr int runs = 15;
    std::printf("program shell, %d launches on Xvfb each (min / median):\n", runs);
    QString anchorLaunch, anchorMemory;
    {
        QList<double> launches, idle;
        for (int run = 0; run < runs; ++run) {
            const Launch bare = launch(bareTray, false);
            if (bare.ms >= 0) {
                launches.append(bare.ms);
                idle.append(bare.idleMiB);
            }
        }
        if (launches.isEmpty()) {
            std::printf("  anchor, a bare Qt tray program: its tray item did not appear\n");
        } else {
            std::printf("  anchor, a bare Qt tray program: launch %7.1f / %7.1f ms, resident %6.1f / %6.1f MiB\n",
                        minimum(launches), median(launches), minimum(idle), median(idle));
            anchorLaunch = QStringLiteral("bare Qt tray program %1 / %2 ms").arg(minimum(launches), 0, 'f', 1).arg(median(launches), 0, 'f', 1);
            anchorMemory = QStringLiteral("bare Qt tray program %1 / %2 MiB").arg(minimum(idle), 0, 'f', 1).arg(median(idle), 0, 'f', 1);
        }
    }
    for (int size : {0, 10000, 100000}) {
        QFile::remove(historyPath);
        if (size > 0) {
            QDir().mkpath(QFileInfo(historyPath).absolutePath());
            sorvane::bench::writeHistory(historyPath, size);
        }
        QList<double> launches, idle, open;
        for (int run = 0; run < runs; ++run) {
            const Launch each = launch(program, size == 0);
            if (each.ms < 0) {
                std::printf("the tray item of %s did not appear\n", qPrintable(program));
                return 1;
            }
            launches.append(each.ms);
            idle.append(each.idleMiB);
            if (each.openMiB >= 0)
                open.append(each.openMiB);
        }
        std::printf("  history of %6d: launch until ready %7.1f / %7.1f ms (aim <= 150), resident, no window %6.1f / "
                    "%6.1f MiB (aim <= 60)\n",
                    size, minimum(launches), median(launches), minimum(idle), median(idle));
        const QByteArray launchFigure = "launch -> ready, history of " + QByteArray::number(size);
        printFigure(launchFigure.constData(), launches, "ms", "<= 150", anchorLaunch);
        if (size == 0)
            printFigure("resident memory, window closed, at start", idle, "MiB", "<= 60", anchorMemory);
        if (!open.isEmpty())
            std::printf("  history of %6d: resident, main window open %6.1f / %6.1f MiB (aim: under 90 MB)\n", size,
                        minimum(open), median(open));
    }

    tray.stop();
    connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    bus.terminate();
    xvfb.terminate();
    bus.waitForFinished(5000);
    xvfb.waitForFinished(5000);
    return 0;
}
