#include "Overlay/OverlayPresentation.h"

#include <QTest>
#include <QTimeZone>

using namespace sorvane;
using Kind = CaptureStatus::Kind;
namespace P = OverlayPresentation;

Q_DECLARE_METATYPE(sorvane::CaptureStatus::Kind)
Q_DECLARE_METATYPE(sorvane::OverlaySize)
Q_DECLARE_METATYPE(sorvane::AgentPhase)
Q_DECLARE_METATYPE(sorvane::OverlayAppearance)
Q_DECLARE_METATYPE(sorvane::PhaseColour)

namespace {
SpeechModel model(const QString &id)
{
    const SpeechModel *found = SpeechModel::find(id);
    Q_ASSERT(found);
    return *found;
}
QList<double> ramp(int count)
{
    QList<double> samples;
    for (int i = 0; i < count; ++i)
        samples << (i + 1) / 100.0;
    return samples;
}
} // namespace

class OverlayPresentationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void panelSize_data()
    {
        QTest::addColumn<Kind>("status");
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<OverlaySize>("size");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("classic idle") << Kind::Idle << AgentPhase::Idle << OverlaySize::Classic << QSize(318, 64);
        QTest::newRow("classic recording") << Kind::Recording << AgentPhase::Idle << OverlaySize::Classic << QSize(318, 64);
        QTest::newRow("mini") << Kind::Processing << AgentPhase::Idle << OverlaySize::Mini << QSize(160, 44);
        QTest::newRow("command listening") << Kind::Idle << AgentPhase::Listening << OverlaySize::Mini << QSize(318, 64);
        QTest::newRow("command generating, mini chosen")
            << Kind::Idle << AgentPhase::Generating << OverlaySize::Mini << QSize(232, 48);
        QTest::newRow("command error") << Kind::Idle << AgentPhase::Error << OverlaySize::Classic << QSize(232, 48);
        // A Dictation under way wins over a Command phase left behind.
        QTest::newRow("dictation over command")
            << Kind::Recording << AgentPhase::Completed << OverlaySize::Mini << QSize(160, 44);
    }
    void panelSize()
    {
        QFETCH(Kind, status);
        QFETCH(AgentPhase, phase);
        QFETCH(OverlaySize, size);
        QFETCH(QSize, expected);
        OverlayInputs inputs;
        inputs.status = status;
        inputs.agentPhase = phase;
        inputs.overlaySize = size;
        QCOMPARE(P::panelSize(inputs), expected);
        QCOMPARE(P::pillSize(P::layout(inputs)) + QSize(8, 8), expected);
    }

    void classicLabels_data()
    {
        QTest::addColumn<Kind>("status");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("inserted");
        QTest::addColumn<QString>("pasteKey");
        QTest::addColumn<QString>("modelId");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("hint");
        QTest::newRow("idle") << Kind::Idle << "" << true << "" << "" << "Ready" << "Your voice stays on this computer";
        QTest::newRow("recording into an application")
            << Kind::Recording << "Text Editor" << true << "" << "" << "Listening" << "Into Text Editor";
        QTest::newRow("recording, no target") << Kind::Recording << "" << true << "" << "" << "Listening" << "Esc to cancel";
        QTest::newRow("processing without model") << Kind::Processing << "" << true << "" << "" << "Transcribing"
                                                  << "On-device model";
        QTest::newRow("processing with model") << Kind::Processing << "" << true << "" << "balanced" << "Transcribing"
                                               << model("balanced").name + " · " + model("balanced").organization;
        QTest::newRow("success inserted") << Kind::Success << "" << true << "" << "" << "Pasted" << "Copied and inserted";
        // Only copied, whatever the automatic-paste setting was: the key to paste it, or none.
        QTest::newRow("success copied, with a paste key") << Kind::Success << "Terminal" << false << "Ctrl+Shift+V" << ""
                                                          << "Copied to clipboard" << "Press Ctrl+Shift+V to paste";
        QTest::newRow("success copied, no paste key") << Kind::Success << "" << false << "" << "" << "Copied to clipboard"
                                                      << "Not inserted";
        QTest::newRow("error") << Kind::Error << "" << true << "" << "" << "Needs attention" << "Click to see why and fix it";
    }
    void classicLabels()
    {
        QFETCH(Kind, status);
        QFETCH(QString, target);
        QFETCH(bool, inserted);
        QFETCH(QString, pasteKey);
        QFETCH(QString, modelId);
        QFETCH(QString, title);
        QFETCH(QString, hint);
        OverlayInputs inputs;
        inputs.status = status;
        inputs.targetApplicationName = target;
        inputs.resultInserted = inserted;
        inputs.resultPasteKeyName = pasteKey;
        inputs.cancelShortcutName = QStringLiteral("Esc");
        if (!modelId.isEmpty())
            inputs.selectedModel = model(modelId);
        QCOMPARE(P::title(inputs), title);
        QCOMPARE(P::secondaryLabel(inputs), hint);
    }

    // Screen readers get the pill's words in every layout, the mini one included.
    void accessibleText_data()
    {
        QTest::addColumn<Kind>("status");
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<OverlaySize>("size");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("description"); // why it failed
        QTest::newRow("classic recording") << Kind::Recording << AgentPhase::Idle << OverlaySize::Classic
                                           << "Listening. Esc to cancel" << "";
        QTest::newRow("mini copied only") << Kind::Success << AgentPhase::Idle << OverlaySize::Mini
                                          << "Copied to clipboard. Press Ctrl+V to paste" << "";
        QTest::newRow("Command listening") << Kind::Idle << AgentPhase::Listening << OverlaySize::Mini
                                           << "Command listening. Into Mail" << "";
        QTest::newRow("Command failed") << Kind::Idle << AgentPhase::Error << OverlaySize::Classic
                                        << "Needs attention. Click to see why and fix it" << "The model ran out of memory.";
        QTest::newRow("dictation failed") << Kind::Error << AgentPhase::Idle << OverlaySize::Mini
                                          << "Needs attention. Click to see why and fix it" << "The engine failed.";
    }
    void accessibleText()
    {
        QFETCH(Kind, status);
        QFETCH(AgentPhase, phase);
        QFETCH(OverlaySize, size);
        QFETCH(QString, text);
        QFETCH(QString, description);
        OverlayInputs inputs;
        inputs.status = status;
        inputs.statusMessage = status == Kind::Error ? QStringLiteral("The engine failed.") : QString();
        inputs.agentPhase = phase;
        inputs.agentPhaseDetail =
            phase == AgentPhase::Error ? QStringLiteral("The model ran out of memory.") : QStringLiteral("Into Mail");
        inputs.overlaySize = size;
        inputs.cancelShortcutName = QStringLiteral("Esc");
        inputs.resultInserted = false;
        inputs.resultPasteKeyName = QStringLiteral("Ctrl+V");
        QCOMPARE(P::accessibleText(inputs), text);
        QCOMPARE(P::accessibleDescription(inputs), description);
    }

    void statusSymbols_data()
    {
        QTest::addColumn<Kind>("status");
        QTest::addColumn<QString>("mini");
        QTest::addColumn<QString>("classic");
        QTest::newRow("idle") << Kind::Idle << "waveform" << "";
        QTest::newRow("recording") << Kind::Recording << "circle.fill" << "";
        QTest::newRow("processing") << Kind::Processing << "ellipsis" << "";
        QTest::newRow("success") << Kind::Success << "checkmark" << "checkmark";
        QTest::newRow("error") << Kind::Error << "arrow.up.right" << "arrow.up.right";
    }
    void statusSymbols()
    {
        QFETCH(Kind, status);
        QFETCH(QString, mini);
        QFETCH(QString, classic);
        QCOMPARE(P::miniStatusIcon(status), mini);
        QCOMPARE(P::classicTrailingSymbol(status), classic);
    }

    void commandPhases_data()
    {
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<PhaseColour>("colour");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<bool>("spins");
        QTest::newRow("idle") << AgentPhase::Idle << "Ready" << "Phase detail" << "wand.and.stars" << PhaseColour::Signal << "" << true;
        QTest::newRow("listening") << AgentPhase::Listening << "Listening" << "Phase detail" << "wand.and.stars"
                                   << PhaseColour::Signal << "" << true;
        QTest::newRow("transcribing") << AgentPhase::Transcribing << "Transcribing" << "Speech to text"
                                      << "wand.and.stars" << PhaseColour::Signal << "13%" << true;
        QTest::newRow("loading model") << AgentPhase::LoadingModel << "Loading model" << "Phase detail"
                                       << "wand.and.stars" << PhaseColour::Signal << "98%" << false;
        QTest::newRow("generating") << AgentPhase::Generating << "Writing" << "Local model" << "wand.and.stars"
                                    << PhaseColour::Signal << "98%" << false;
        QTest::newRow("completed") << AgentPhase::Completed << "Done" << "Phase detail" << "checkmark"
                                   << PhaseColour::Green << "100%" << false;
        QTest::newRow("cancelled") << AgentPhase::Cancelled << "Cancelled" << "Phase detail" << "xmark"
                                   << PhaseColour::Secondary << "" << false;
        QTest::newRow("error") << AgentPhase::Error << "Needs attention" << "Click to see why and fix it"
                               << "exclamationmark" << PhaseColour::Red << "" << false;
    }
    void commandPhases()
    {
        QFETCH(AgentPhase, phase);
        QFETCH(QString, word);
        QFETCH(QString, detail);
        QFETCH(QString, icon);
        QFETCH(PhaseColour, colour);
        QFETCH(QString, progress);
        QFETCH(bool, spins);
        OverlayInputs inputs;
        inputs.agentPhase = phase;
        inputs.agentPhaseDetail = QStringLiteral("Phase detail");
        inputs.transcriptionProgress = 0.125;
        inputs.agentProgress = 0.984;
        QCOMPARE(P::agentPhaseWord(phase), word);
        QCOMPARE(P::agentDetail(inputs), detail);
        QCOMPARE(P::agentPhaseIcon(phase), icon);
        QCOMPARE(P::agentPhaseColour(phase), colour);
        QCOMPARE(P::agentProgressLabel(inputs).value_or(QString()), progress);
        QCOMPARE(P::agentProgressLabel(inputs).has_value(), !progress.isEmpty());
        QCOMPARE(P::agentPhaseShowsSpinner(phase), spins);
    }

    void generatingNamesTheSelectedWritingModel()
    {
        OverlayInputs inputs;
        inputs.agentPhase = AgentPhase::Generating;
        inputs.selectedAgentModelName = QStringLiteral("Terra");
        QCOMPARE(P::agentDetail(inputs), QStringLiteral("Terra"));
    }

    void percentage_data()
    {
        QTest::addColumn<double>("progress");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << 0.0 << "0%";
        QTest::newRow("half of a percent up") << 0.125 << "13%";
        QTest::newRow("another half") << 0.145 << "15%";
        QTest::newRow("just below a half") << 0.1249 << "12%";
        QTest::newRow("0.983") << 0.983 << "98%";
        QTest::newRow("0.984") << 0.984 << "98%";
        QTest::newRow("0.995") << 0.995 << "100%";
        QTest::newRow("one") << 1.0 << "100%";
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "0%";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "0%";
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "0%";
        // A runtime that reports percent instead of a fraction, or garbage: shown as it is,
        // never wrapped round to a negative number.
        QTest::newRow("far beyond one") << 1e20 << "10000000000000000000000%";
        QTest::newRow("just below zero") << -0.001 << "0%";
        QTest::newRow("below zero") << -0.125 << "-13%";
    }
    void percentage()
    {
        QFETCH(double, progress);
        QFETCH(QString, expected);
        QCOMPARE(P::percentage(progress), expected);
    }

    void transcriptionIndicator()
    {
        QCOMPARE(P::progressLabel(0.983, SpeechEngine::Whisper), QStringLiteral("98%"));
        QVERIFY(!P::transcriptionShowsSpinner(0.983));
        QVERIFY(P::transcriptionShowsSpinner(0.984));
        QCOMPARE(P::progressLabel(0.5, SpeechEngine::Parakeet), QStringLiteral("~50%"));
        QCOMPARE(P::progressLabel(0.5, std::nullopt), QStringLiteral("50%"));
    }

    void levels_data()
    {
        QTest::addColumn<int>("sampleCount");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("index");
        QTest::addColumn<double>("expected");
        // Samples of the ramp are (position + 1) / 100.
        QTest::newRow("20 samples, 19 bars, first: second-oldest") << 20 << 19 << 0 << 0.02;
        QTest::newRow("20 samples, 19 bars, last: newest") << 20 << 19 << 18 << 0.20;
        QTest::newRow("20 samples, 15 bars, first: sixth-oldest") << 20 << 15 << 0 << 0.06;
        QTest::newRow("5 samples, 19 bars, bar 3") << 5 << 19 << 3 << 0.04;
        QTest::newRow("5 samples, 19 bars, bar 4: newest") << 5 << 19 << 4 << 0.05;
        QTest::newRow("5 samples, 19 bars, bar 18: newest") << 5 << 19 << 18 << 0.05;
        QTest::newRow("no samples") << 0 << 19 << 7 << 0.015;
    }
    void levels()
    {
        QFETCH(int, sampleCount);
        QFETCH(int, bars);
        QFETCH(int, index);
        QFETCH(double, expected);
        QCOMPARE(P::level(index, bars, ramp(sampleCount)), expected);
    }

    void barHeights_data()
    {
        QTest::addColumn<Kind>("status");
        QTest::addColumn<int>("index");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("sampleCount");
        QTest::addColumn<double>("expected");
        QTest::newRow("recording, no samples") << Kind::Recording << 3 << 0.0 << 0 << (35 - 1.5) * 0.015 + 1.5;
        QTest::newRow("recording, newest") << Kind::Recording << 18 << 0.0 << 20 << (35 - 1.5) * 0.20 + 1.5;
        QTest::newRow("success, middle") << Kind::Success << 9 << 0.0 << 0 << 35.0;
        QTest::newRow("success, outer") << Kind::Success << 0 << 0.0 << 0 << 35 * (1 - 9.0 / 19);
        QTest::newRow("success, last") << Kind::Success << 18 << 0.0 << 0 << 35 * (1 - 9.0 / 19);
        QTest::newRow("processing, t 0, bar 0") << Kind::Processing << 0 << 0.0 << 0 << 35 * 0.82 * 0.5 + 1.5;
        QTest::newRow("processing moves with time")
            << Kind::Processing << 2 << 10.0 << 0 << 35 * 0.82 * (std::sin(2 * 0.66 + 26.0) + 1) * 0.5 + 1.5;
        QTest::newRow("idle 0") << Kind::Idle << 0 << 0.0 << 0 << 7.0;
        QTest::newRow("idle 1") << Kind::Idle << 1 << 0.0 << 0 << 2.5;
        QTest::newRow("idle 2") << Kind::Idle << 2 << 0.0 << 0 << 2.5;
        QTest::newRow("idle 3") << Kind::Idle << 3 << 0.0 << 0 << 7.0;
        QTest::newRow("error 5") << Kind::Error << 5 << 0.0 << 0 << 2.5;
    }
    void barHeights()
    {
        QFETCH(Kind, status);
        QFETCH(int, index);
        QFETCH(double, seconds);
        QFETCH(int, sampleCount);
        QFETCH(double, expected);
        QCOMPARE(P::barHeight(index, 19, 35, status, ramp(sampleCount), seconds), expected);
        QCOMPARE(P::liveBarHeights(19, 35, status, ramp(sampleCount), seconds).at(index), expected);
    }

    void successBarsNeverGoBelowTheirFloor()
    {
        for (double h : P::liveBarHeights(3, 2, Kind::Success, {}, 0))
            QVERIFY(h >= 1.5);
        QCOMPARE(P::liveBarHeights(0, 35, Kind::Success, {}, 0).size(), 0);
    }

    void commandBarsFollowTheLevels()
    {
        const QList<double> heights = P::agentBarHeights(19, 35, ramp(20));
        QCOMPARE(heights.size(), 19);
        QCOMPARE(heights.first(), (35 - 1.5) * 0.02 + 1.5);
        QCOMPARE(heights.last(), (35 - 1.5) * 0.20 + 1.5);
    }

    void elapsedLabel()
    {
        const QDateTime start(QDate(2026, 3, 1), QTime(10, 0, 0), QTimeZone::utc());
        QCOMPARE(P::elapsedLabel(std::nullopt, start), QStringLiteral("0:00"));
        QCOMPARE(P::elapsedLabel(start, start.addMSecs(7900)), QStringLiteral("0:07"));
        QCOMPARE(P::elapsedLabel(start, start.addSecs(61)), QStringLiteral("1:01"));
        QCOMPARE(P::elapsedLabel(start, start.addSecs(-5)), QStringLiteral("0:00"));
    }

    void referenceDate()
    {
        QCOMPARE(P::secondsSinceReferenceDate(QDateTime(QDate(2001, 1, 1), QTime(0, 0, 10), QTimeZone::utc())), 10.0);
    }

    void appearance_data()
    {
        QTest::addColumn<OverlayAppearance>("appearance");
        QTest::addColumn<bool>("systemDark");
        QTest::addColumn<bool>("dark");
        QTest::newRow("automatic, light desktop") << OverlayAppearance::Automatic << false << false;
        QTest::newRow("automatic, dark desktop") << OverlayAppearance::Automatic << true << true;
        QTest::newRow("light forced") << OverlayAppearance::Light << true << false;
        QTest::newRow("dark forced") << OverlayAppearance::Dark << false << true;
    }
    void appearance()
    {
        QFETCH(OverlayAppearance, appearance);
        QFETCH(bool, systemDark);
        QFETCH(bool, dark);
        QCOMPARE(P::usesDarkAppearance(appearance, systemDark), dark);
    }
};

QTEST_GUILESS_MAIN(OverlayPresentationTest)
#include "tst_overlay_presentation.moc"
