#include "ScreenshotScenes.h"

#include "Overlay/OverlayClock.h"
#include "Overlay/OverlayViewModel.h"

#include <QTimeZone>

using namespace sorvane;
using namespace sorvane::test;

namespace {

// A fixed time, so the processing wave and the elapsed time are the same in every run.
const QDateTime kNow(QDate(2026, 3, 2), QTime(9, 41, 7, 300), QTimeZone::utc());

struct OverlayPicture {
    std::unique_ptr<OverlayClock> clock;
    std::unique_ptr<OverlayViewModel> model;
};

QList<double> speechLevels()
{
    QList<double> levels;
    for (int i = 0; i < 20; ++i)
        levels << 0.18 + 0.5 * std::abs(std::sin(i * 0.9)) * (0.4 + 0.6 * ((i * 7) % 5) / 4.0);
    return levels;
}

OverlayInputs baseInputs(bool dark)
{
    OverlayInputs inputs;
    inputs.overlayAppearance = dark ? OverlayAppearance::Dark : OverlayAppearance::Light;
    inputs.cancelShortcutName = QStringLiteral("Esc");
    inputs.selectedModel = *SpeechModel::find(QStringLiteral("balanced"));
    inputs.samples = QList<double>(20, 0.025);
    return inputs;
}

std::shared_ptr<void> render(QmlScene &scene, const OverlayInputs &inputs)
{
    auto picture = std::make_shared<OverlayPicture>();
    picture->clock = std::make_unique<OverlayClock>([] { return kNow; });
    picture->model = std::make_unique<OverlayViewModel>(*picture->clock);
    picture->model->setInputs(inputs);
    scene.setContextProperty(QStringLiteral("overlayModel"), picture->model.get());
    // On a grey backdrop, so both the light and the dark pill show their edges.
    scene.load(R"(
import QtQuick
import Sorvane
Rectangle {
    color: "#8c9099"
    width: view.implicitWidth + 24
    height: view.implicitHeight + 24
    OverlayView { id: view; x: 12; y: 12; overlay: overlayModel }
}
)");
    return picture;
}

QString statusName(CaptureStatus::Kind kind)
{
    switch (kind) {
    case CaptureStatus::Kind::Idle: return QStringLiteral("idle");
    case CaptureStatus::Kind::Recording: return QStringLiteral("recording");
    case CaptureStatus::Kind::Processing: return QStringLiteral("processing");
    case CaptureStatus::Kind::Success: return QStringLiteral("success");
    case CaptureStatus::Kind::Error: return QStringLiteral("error");
    }
    return {};
}

QList<ScreenshotScene> overlayScenes()
{
    QList<ScreenshotScene> scenes;
    const QList<CaptureStatus::Kind> statuses{CaptureStatus::Kind::Idle, CaptureStatus::Kind::Recording,
                                              CaptureStatus::Kind::Processing, CaptureStatus::Kind::Success,
                                              CaptureStatus::Kind::Error};
    for (bool dark : {false, true}) {
        const QString scheme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        for (OverlaySize size : {OverlaySize::Classic, OverlaySize::Mini}) {
            const QString sizeName = size == OverlaySize::Mini ? QStringLiteral("mini") : QStringLiteral("classic");
            for (CaptureStatus::Kind status : statuses) {
                scenes << ScreenshotScene{
                    QStringLiteral("overlay-%1-%2-%3").arg(sizeName, statusName(status), scheme),
                    [=](QmlScene &scene) {
                        OverlayInputs inputs = baseInputs(dark);
                        inputs.overlaySize = size;
                        inputs.status = status;
                        if (status == CaptureStatus::Kind::Recording) {
                            inputs.samples = speechLevels();
                            inputs.targetApplicationName = QStringLiteral("Text Editor");
                            inputs.recordingStartedAt = kNow.addSecs(-14);
                        }
                        if (status == CaptureStatus::Kind::Processing)
                            inputs.transcriptionProgress = 0.625;
                        return render(scene, inputs);
                    }};
            }
        }
        // A dictation that was only copied, with the longest paste key a terminal has.
        scenes << ScreenshotScene{QStringLiteral("overlay-classic-copied-%1").arg(scheme), [=](QmlScene &scene) {
                                      OverlayInputs inputs = baseInputs(dark);
                                      inputs.status = CaptureStatus::Kind::Success;
                                      inputs.resultInserted = false;
                                      inputs.resultPasteKeyName = QStringLiteral("Ctrl+Shift+V");
                                      return render(scene, inputs);
                                  }};
        const QList<std::pair<AgentPhase, QString>> phases{
            {AgentPhase::Listening, QStringLiteral("listening")},
            {AgentPhase::Transcribing, QStringLiteral("transcribing")},
            {AgentPhase::LoadingModel, QStringLiteral("loading-model")},
            {AgentPhase::Generating, QStringLiteral("generating")},
            {AgentPhase::Completed, QStringLiteral("completed")},
            {AgentPhase::Cancelled, QStringLiteral("cancelled")},
            {AgentPhase::Error, QStringLiteral("error")},
        };
        for (const auto &[phase, phaseName] : phases) {
            scenes << ScreenshotScene{QStringLiteral("overlay-command-%1-%2").arg(phaseName, scheme),
                                      [=](QmlScene &scene) {
                                          OverlayInputs inputs = baseInputs(dark);
                                          inputs.agentPhase = phase;
                                          inputs.agentPhaseDetail = phase == AgentPhase::Listening
                                                                        ? QStringLiteral("Selected text from Text Editor")
                                                                        : phase == AgentPhase::Completed
                                                                        ? QStringLiteral("Copied to the clipboard")
                                                                        : phase == AgentPhase::Cancelled
                                                                        ? QStringLiteral("Nothing was sent")
                                                                        : QStringLiteral("Balanced writing model");
                                          inputs.transcriptionProgress = 0.42;
                                          inputs.agentProgress = 0.125;
                                          inputs.samples = speechLevels();
                                          inputs.recordingStartedAt = kNow.addSecs(-6);
                                          inputs.selectedAgentModelName = QStringLiteral("Muse Glimmer");
                                          return render(scene, inputs);
                                      }};
        }
    }
    return scenes;
}

} // namespace

SORVANE_SCREENSHOTS(overlayScenes);
