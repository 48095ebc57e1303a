// Resident memory of the application state with its overlay over ten dictations: each
// one shows the recording for a second, then the transcription and the result, and
// hides the overlay. Prints the memory before the first, after the first and after the
// tenth; the hidden overlay should keep nothing that grows with their number.
#include "BenchTools.h"
#include "Overlay/OverlayPanelController.h"
#include "Overlay/OverlayViewModel.h"
#include "State/AppState.h"
#include "TestAppState.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cmath>
#include <cstdio>

using namespace sorvane;
using namespace sorvane::bench;

namespace {

void run(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    testing::TestAppState t;
    t.build();
    OverlayPanelController controller(t.state(), t.state().defaults(), {nullptr, false});
    run(200);
    const double start = residentMiB();
    QList<double> after;
    for (int dictation = 0; dictation < 10; ++dictation) {
        OverlayInputs inputs;
        inputs.status = CaptureStatus::Kind::Recording;
        inputs.cancelShortcutName = QStringLiteral("Esc");
        inputs.targetApplicationName = QStringLiteral("Text Editor");
        inputs.recordingStartedAt = QDateTime::currentDateTimeUtc();
        inputs.samples = QList<double>(20, 0.025);
        controller.viewModel().setInputs(inputs);
        controller.show();
        for (int tick = 0; tick < 10; ++tick) {
            inputs.samples.removeFirst();
            inputs.samples << 0.2 + 0.6 * std::abs(std::sin(tick * 0.7));
            controller.viewModel().setInputs(inputs);
            run(100);
        }
        inputs.status = CaptureStatus::Kind::Processing;
        inputs.transcriptionProgress = 0.5;
        controller.viewModel().setInputs(inputs);
        run(200);
        inputs.status = CaptureStatus::Kind::Success;
        controller.viewModel().setInputs(inputs);
        run(300);
        controller.hide();
        run(200);
        after.append(residentMiB());
    }
    std::printf("resident memory, state and overlay: %.1f MiB before the first dictation, %.1f MiB after the first, "
                "%.1f MiB after the tenth (the overlay hidden each time)\n",
                start, after.first(), after.last());
    bench::printFigure("resident memory after 10 dictations (state and overlay in one process)", {after.last()}, "MiB",
                       "<= 60", QStringLiteral("%1 MiB before the first").arg(start, 0, 'f', 1));
    return 0;
}
