// Launch time and resident memory of the real program, on a display and a session bus
// of the benchmark's own (Xvfb and dbus-daemon), with a tray host that records when
// the program's tray item appears. Prints figures; asserts nothing.
#include "FakeTrayHost.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

using sorvane::testing::FakeTrayHost;

namespace {

// Resident size of a process in MiB, from /proc.
double residentMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

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

    constexpr int runs = 5;
    QList<double> launches, idle, open;
    for (int run = 0; run < runs; ++run) {
        QProcess sorvane;
        sorvane.setProcessEnvironment(env);
        sorvane.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        sorvane.start(program, QStringList());
        if (!sorvane.waitForStarted(20000)) {
            std::printf("could not start %s\n", qPrintable(program));
            return 1;
        }
        const qint64 pid = sorvane.processId();
        while (!tray.itemOf(pid) && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!tray.itemOf(pid)) {
            std::printf("the tray item did not appear\n");
            return 1;
        }
        launches.append(clock.nsecsElapsed() / 1e6);
        settle(2000);
        idle.append(residentMiB(pid));

        // A second launch hands over and the first shows its main window.
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(program, QStringList());
        second.waitForFinished(20000);
        settle(3000);
        open.append(residentMiB(pid));

        sorvane.terminate();
        sorvane.waitForFinished(20000);
        settle(300);
    }

    auto median = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    };
    std::printf("program shell, %d launches on Xvfb (median):\n", runs);
    std::printf("  launch until the tray item is shown:   %7.1f ms  (aim: under 250 ms; shortcuts are registered before)\n",
                median(launches));
    std::printf("  resident, no window open:              %7.1f MiB (aim: under 40 MB)\n", median(idle));
    std::printf("  resident, main window open:            %7.1f MiB (aim: under 90 MB)\n", median(open));
    std::printf("  launches, ms:");
    for (double v : launches)
        std::printf(" %.1f", v);
    std::printf("\n");

    tray.stop();
    connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    bus.terminate();
    xvfb.terminate();
    bus.waitForFinished(5000);
    xvfb.waitForFinished(5000);
    return 0;
}
