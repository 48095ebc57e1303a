#include "Kit/Palette.h"
#include "Overlay/DesktopColorScheme.h"
#include "Overlay/OverlayClock.h"
#include "Overlay/OverlayViewModel.h"
#include "QmlScene.h"
#include "TestAppState.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

using namespace sorvane;
using sorvane::test::QmlScene;
using Kind = CaptureStatus::Kind;

namespace {
const QDateTime kStart(QDate(2026, 3, 2), QTime(9, 0, 0), QTimeZone::utc());

// The overlay view over a view model whose inputs the test sets.
struct OverlayScene {
    QDateTime now = kStart;
    OverlayClock clock{[this] { return now; }};
    OverlayViewModel model{clock};
    QmlScene scene;

    bool load()
    {
        scene.setContextProperty(QStringLiteral("overlayModel"), &model);
        return scene.load("import Sorvane\nOverlayView { overlay: overlayModel }");
    }
    QString text(const char *name) const { return scene.read(QString::fromLatin1(name), "text").toString(); }
    bool shown(const char *name) const { return scene.isShown(QString::fromLatin1(name)); }
};

OverlayInputs inputs(Kind status, OverlaySize size = OverlaySize::Classic)
{
    OverlayInputs in;
    in.status = status;
    in.overlaySize = size;
    in.cancelShortcutName = QStringLiteral("Esc");
    return in;
}
} // namespace

class OverlayViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classicShowsTheStatus_data()
    {
        QTest::addColumn<Kind>("status");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("trailing");
        QTest::newRow("idle") << Kind::Idle << "Ready" << "Your voice stays on this computer" << "idleKeyCap";
        QTest::newRow("recording") << Kind::Recording << "Listening" << "Esc to cancel" << "recordingTrailing";
        QTest::newRow("processing") << Kind::Processing << "Transcribing" << "On-device model" << "progressTrailing";
        QTest::newRow("success") << Kind::Success << "Copied to clipboard" << "Press Ctrl+V to paste" << "trailingSymbol";
        QTest::newRow("error") << Kind::Error << "Needs attention" << "Click to see why and fix it" << "trailingSymbol";
    }
    void classicShowsTheStatus()
    {
        QFETCH(Kind, status);
        QFETCH(QString, title);
        QFETCH(QString, hint);
        QFETCH(QString, trailing);
        OverlayScene o;
        OverlayInputs in = inputs(status);
        in.resultInserted = false;
        in.resultPasteKeyName = QStringLiteral("Ctrl+V");
        o.model.setInputs(in);
        QVERIFY2(o.load(), o.scene.errors());
        QVERIFY(o.shown("classicLayout"));
        QVERIFY(!o.shown("miniLayout"));
        QCOMPARE(o.text("title"), title);
        QCOMPARE(o.text("hint"), hint);
        for (const char *element : {"idleKeyCap", "recordingTrailing", "progressTrailing", "trailingSymbol"})
            QCOMPARE(o.shown(element), trailing == QLatin1String(element));
        QCOMPARE(o.scene.find("pill")->width(), 310.0);
        QCOMPARE(o.scene.root()->implicitWidth(), 318.0);
        // Nineteen bars in the classic waveform.
        QCOMPARE(o.scene.read("classicWaveform", "heights").value<QList<qreal>>().size(), 19);
    }

    void miniHasNoWords_data()
    {
        QTest::addColumn<Kind>("status");
        QTest::addColumn<QString>("element");
        QTest::newRow("idle") << Kind::Idle << "miniStatusIcon";
        QTest::newRow("recording") << Kind::Recording << "miniElapsed";
        QTest::newRow("processing") << Kind::Processing << "miniProgress";
        QTest::newRow("success") << Kind::Success << "miniStatusIcon";
        QTest::newRow("error") << Kind::Error << "miniStatusIcon";
    }
    void miniHasNoWords()
    {
        QFETCH(Kind, status);
        QFETCH(QString, element);
        OverlayScene o;
        o.model.setInputs(inputs(status, OverlaySize::Mini));
        QVERIFY2(o.load(), o.scene.errors());
        QVERIFY(o.shown("miniLayout"));
        QVERIFY(!o.shown("title"));
        QVERIFY(o.scene.isShown(element));
        QCOMPARE(o.scene.find("pill")->width(), 152.0);
        QCOMPARE(o.scene.read("miniWaveform", "heights").value<QList<qreal>>().size(), 15);
        if (element == QLatin1String("miniStatusIcon"))
            QCOMPARE(o.scene.read("miniStatusIcon", "name").toString(), o.model.miniIcon());
    }

    void commandPhasesUseTheCommandLayouts_data()
    {
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<bool>("spins");
        QTest::newRow("transcribing") << AgentPhase::Transcribing << "Transcribing" << "50%" << true;
        QTest::newRow("loading") << AgentPhase::LoadingModel << "Loading model" << "13%" << false;
        QTest::newRow("generating") << AgentPhase::Generating << "Writing" << "13%" << false;
        QTest::newRow("completed") << AgentPhase::Completed << "Done" << "100%" << false;
        QTest::newRow("cancelled") << AgentPhase::Cancelled << "Cancelled" << "" << false;
        QTest::newRow("error") << AgentPhase::Error << "Needs attention" << "" << false;
    }
    void commandPhasesUseTheCommandLayouts()
    {
        QFETCH(AgentPhase, phase);
        QFETCH(QString, word);
        QFETCH(QString, progress);
        QFETCH(bool, spins);
        OverlayScene o;
        // Mini is chosen, but a Command with Dictation idle shows the Command layout.
        OverlayInputs in = inputs(Kind::Idle, OverlaySize::Mini);
        in.agentPhase = phase;
        in.transcriptionProgress = 0.5;
        in.agentProgress = 0.125;
        o.model.setInputs(in);
        QVERIFY2(o.load(), o.scene.errors());
        QVERIFY(o.shown("commandCompactLayout"));
        QVERIFY(!o.shown("miniLayout"));
        QCOMPARE(o.text("phaseWord"), word);
        QCOMPARE(o.shown("phaseProgress"), !progress.isEmpty());
        if (!progress.isEmpty())
            QCOMPARE(o.text("phaseProgress"), progress);
        QCOMPARE(o.shown("phaseSpinner"), spins);
        QCOMPARE(o.shown("phaseIcon"), !spins);
        QCOMPARE(o.shown("phaseErrorArrow"), phase == AgentPhase::Error);
        QCOMPARE(o.scene.find("pill")->width(), 224.0);
    }

    void phaseBadgeSymbolStaysReadable_data()
    {
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QColor>("symbol");
        QTest::addColumn<qreal>("fillAlpha");
        const QColor signal = Palette::sorvaneSignal();
        // The signal on a light pill fills the badge under an ink symbol; elsewhere the
        // symbol takes the phase colour over a faint badge.
        QTest::newRow("writing, light") << AgentPhase::Generating << false << QColor(Qt::black) << 1.0;
        QTest::newRow("loading, light") << AgentPhase::LoadingModel << false << QColor(Qt::black) << 1.0;
        QTest::newRow("writing, dark") << AgentPhase::Generating << true << signal << 0.16;
        QTest::newRow("done, light") << AgentPhase::Completed << false << Palette::systemGreen() << 0.16;
    }
    void phaseBadgeSymbolStaysReadable()
    {
        QFETCH(AgentPhase, phase);
        QFETCH(bool, dark);
        QFETCH(QColor, symbol);
        QFETCH(qreal, fillAlpha);
        OverlayScene o;
        OverlayInputs in = inputs(Kind::Idle);
        in.agentPhase = phase;
        in.agentProgress = 0.125;
        in.overlayAppearance = dark ? OverlayAppearance::Dark : OverlayAppearance::Light;
        o.model.setInputs(in);
        QVERIFY2(o.load(), o.scene.errors());
        QCOMPARE(o.scene.read("phaseIcon", "color").value<QColor>(), symbol);
        const qreal alpha = o.scene.read("phaseBadgeFill", "fill").value<QColor>().alphaF();
        QVERIFY2(qAbs(alpha - fillAlpha) < 0.01, qPrintable(QString::number(alpha)));
    }

    void listeningShowsTheCommandWaveform()
    {
        OverlayScene o;
        OverlayInputs in = inputs(Kind::Idle);
        in.agentPhase = AgentPhase::Listening;
        in.agentPhaseDetail = QStringLiteral("Selected text from Editor");
        in.recordingStartedAt = kStart.addSecs(-65);
        o.model.setInputs(in);
        QVERIFY2(o.load(), o.scene.errors());
        QVERIFY(o.shown("commandListeningLayout"));
        QCOMPARE(o.text("commandTitle"), QStringLiteral("Command listening"));
        QCOMPARE(o.text("commandListeningDetail"), QStringLiteral("Selected text from Editor"));
        QCOMPARE(o.text("commandElapsed"), QStringLiteral("1:05"));
        QCOMPARE(o.scene.read("commandWaveform", "heights").value<QList<qreal>>().size(), 19);
    }

    void appearanceChoosesFillAndInk()
    {
        OverlayScene o;
        OverlayInputs in = inputs(Kind::Idle);
        in.overlayAppearance = OverlayAppearance::Automatic;
        o.model.setInputs(in);
        o.model.setSystemDark(false);
        QVERIFY2(o.load(), o.scene.errors());
        auto fill = [&] { return o.scene.read("pill", "fill").value<QColor>(); };
        QCOMPARE(fill().red(), 255);
        QCOMPARE(o.scene.read("title", "color").value<QColor>(), QColor(Qt::black));
        // The desktop turns dark: the pill follows.
        o.model.setSystemDark(true);
        QCOMPARE(fill().red(), 0);
        QCOMPARE(fill().alphaF(), 0.95f);
        QCOMPARE(o.scene.read("title", "color").value<QColor>(), QColor(Qt::white));
        // Light forced stays light whatever the desktop does.
        in.overlayAppearance = OverlayAppearance::Light;
        o.model.setInputs(in);
        QCOMPARE(fill().red(), 255);
        QCOMPARE(fill().alphaF(), 0.98f);
    }

    void processingWaveMovesOnlyWithTheClock()
    {
        OverlayScene o;
        OverlayInputs in = inputs(Kind::Processing);
        in.transcriptionProgress = 0.3;
        o.model.setInputs(in);
        QVERIFY2(o.load(), o.scene.errors());
        auto heights = [&] { return o.scene.read("classicWaveform", "heights").value<QList<qreal>>(); };
        const QList<qreal> before = heights();
        o.now = o.now.addMSecs(100);
        QCOMPARE(heights(), before); // no tick yet
        QSignalSpy frames(&o.model, &OverlayViewModel::frameChanged);
        o.clock.tick();
        QCOMPARE(frames.count(), 1);
        QVERIFY(heights() != before);
        QCOMPARE(o.text("progress"), QStringLiteral("30%"));
        // From 0.984 on the indicator spins.
        in.transcriptionProgress = 0.984;
        o.model.setInputs(in);
        QVERIFY(o.shown("progressSpinner"));
        QVERIFY(!o.shown("progress"));
    }

    void followsTheApplicationState()
    {
        testing::TestAppState t;
        AppState &state = t.build();
        OverlayScene o;
        o.model.setState(&state);
        QVERIFY2(o.load(), o.scene.errors());
        QCOMPARE(o.text("title"), QStringLiteral("Ready"));
        state.setTargetApplicationName(QStringLiteral("Mail"));
        state.setStatus(CaptureStatus::recording());
        QCOMPARE(o.text("title"), QStringLiteral("Listening"));
        QCOMPARE(o.text("hint"), QStringLiteral("Into Mail"));
        QCOMPARE(o.text("elapsed"), QStringLiteral("0:00"));
        o.now = o.now.addSecs(3);
        o.clock.tick();
        QCOMPARE(o.text("elapsed"), QStringLiteral("0:03"));
        state.setStatus(CaptureStatus::processing());
        state.setTranscriptionProgress(0.125);
        QCOMPARE(o.text("progress").remove(u'~'), QStringLiteral("13%"));
        state.setOverlaySize(OverlaySize::Mini);
        QVERIFY(o.shown("miniLayout"));
        state.setStatus(CaptureStatus::idle());
        state.setAgentPhase(AgentPhase::Generating);
        QVERIFY(o.shown("commandCompactLayout"));
        QCOMPARE(o.text("phaseWord"), QStringLiteral("Writing"));
    }

    void aModelMadeInQmlPreviewsTheState()
    {
        testing::TestAppState t;
        AppState &state = t.build();
        QmlScene scene(&state);
        QVERIFY2(scene.load("import Sorvane\nOverlayView { overlay: OverlayViewModel { state: appState } }"),
                 scene.errors());
        QCOMPARE(scene.read("title", "text").toString(), QStringLiteral("Ready"));
        QVERIFY(scene.isShown(QStringLiteral("classicLayout")));
        state.setOverlaySize(OverlaySize::Mini);
        QVERIFY(scene.isShown(QStringLiteral("miniLayout")));
        state.setOverlayAppearance(OverlayAppearance::Light);
        QCOMPARE(scene.read("pill", "fill").value<QColor>().red(), 255);
    }

    void desktopColorScheme_data()
    {
        QTest::addColumn<std::optional<uint>>("value");
        QTest::addColumn<bool>("dark");
        // Only a stated dark preference is dark.
        QTest::newRow("no portal") << std::optional<uint>() << false;
        QTest::newRow("no preference") << std::optional<uint>(0) << false;
        QTest::newRow("dark") << std::optional<uint>(1) << true;
        QTest::newRow("light") << std::optional<uint>(2) << false;
        QTest::newRow("unknown value") << std::optional<uint>(7) << false;
    }
    void desktopColorScheme()
    {
        QFETCH(std::optional<uint>, value);
        QFETCH(bool, dark);
        QCOMPARE(DesktopColorScheme::isDarkScheme(value), dark);
    }

    void aClickGoesToTheState()
    {
        OverlayScene o;
        int taps = 0;
        o.model.setTapHandler([&] { ++taps; });
        o.model.tap();
        QCOMPARE(taps, 1);
    }
};

QTEST_MAIN(OverlayViewTest)
#include "tst_overlay_view.moc"
