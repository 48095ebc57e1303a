// CPU time of the program while the overlay shows a recording with the level meter
// ticking, and while the overlay is hidden. Prints the share of one core each took.
// SORVANE_BENCH_SECONDS sets the length of each phase (default 10).
#include "Overlay/OverlayClock.h"
#include "Overlay/OverlayPanelController.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/WaveformBars.h"
#include "TestAppState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

using namespace sorvane;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Phase {
    double wall = 0;
    double cpu = 0;
};

Phase measure(int seconds)
{
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return {wall.elapsed() / 1000.0, cpuSeconds() - cpuBefore};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIntValue("SORVANE_BENCH_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("SORVANE_BENCH_SECONDS")
                            : 10;
    testing::TestAppState t;
    t.build();
    OverlayPanelController controller(t.state(), t.state().defaults(), {nullptr, false});

    // A recording: the recorder's meter publishes new levels every 100 ms.
    OverlayInputs inputs;
    inputs.status = CaptureStatus::Kind::Recording;
    inputs.cancelShortcutName = QStringLiteral("Esc");
    inputs.targetApplicationName = QStringLiteral("Text Editor");
    inputs.recordingStartedAt = QDateTime::currentDateTimeUtc();
    inputs.samples = QList<double>(20, 0.025);
    controller.viewModel().setInputs(inputs);
    int tick = 0;
    QTimer meter;
    meter.setInterval(100);
    QObject::connect(&meter, &QTimer::timeout, [&] {
        inputs.samples.removeFirst();
        inputs.samples << 0.2 + 0.6 * std::abs(std::sin(++tick * 0.7));
        controller.viewModel().setInputs(inputs);
    });

    controller.show();
    meter.start();
    auto *bars = controller.window()->findChild<WaveformBars *>(QStringLiteral("classicWaveform"));
    const int paintsBefore = bars ? bars->paintCount() : 0;
    const Phase recording = measure(seconds);
    const int paints = bars ? bars->paintCount() - paintsBefore : 0;
    meter.stop();

    controller.hide();
    const Phase idle = measure(seconds);

    std::printf("overlay showing a recording for %.1f s: %.3f s CPU, %.2f %% of one core, %d waveform paints (%.1f per second)\n",
                recording.wall, recording.cpu, 100 * recording.cpu / recording.wall, paints, paints / recording.wall);
    std::printf("overlay hidden for %.1f s: %.3f s CPU, %.2f %% of one core, overlay clock running: %s\n", idle.wall,
                idle.cpu, 100 * idle.cpu / idle.wall, controller.clock().isRunning() ? "yes" : "no");
    std::printf("aim: under 2 %% recording, 0 %% hidden (QT_QPA_PLATFORM=%s)\n",
                qPrintable(QGuiApplication::platformName()));
    return 0;
}
