#include "TestAppState.h"
#include "Dictation/TranscriptionProgressEstimator.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

namespace {

const QList<ClipboardItem> earlierClipboard{ClipboardItem{
    {QStringLiteral("text/plain"), QByteArrayLiteral("earlier")},
    {QStringLiteral("text/html"), QByteArrayLiteral("<b>earlier</b>")},
    {QStringLiteral("application/x-other-program"), QByteArrayLiteral("\x01\x02")},
}};

// What the Dictation flow does at its end: snapshot, write the text, paste, schedule.
void dictate(AppState &state, FakeClipboard &clipboard, const QString &text)
{
    const PasteboardSnapshot snapshot = state.takeClipboardSnapshotForRestore();
    clipboard.setText(text);
    state.scheduleClipboardRestore(snapshot);
}

// The state built with the clipboard restore on, and the user's earlier copy on the clipboard.
AppState &buildWithRestoreOn(TestAppState &t)
{
    t.fakes.settings->values.insert(QStringLiteral("clipboardRestoreEnabled"), true);
    AppState &state = t.build();
    t.fakes.clipboard->writeByOtherProgram(earlierClipboard);
    return state;
}

SpeechModel parakeetModel()
{
    for (const auto &model : SpeechModel::catalog())
        if (model.engine == SpeechEngine::Parakeet)
            return model;
    return {};
}

} // namespace

class AppStateTimersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void progressTickerFollowsTheEngineCurve()
    {
        TestAppState t;
        AppState &state = t.build();
        const SpeechModel model = parakeetModel();
        QCOMPARE(model.engine, SpeechEngine::Parakeet);
        state.setStatus(CaptureStatus::processing());
        state.beginTranscriptionProgress(model);
        QCOMPARE(state.transcriptionProgress(), 0.03);

        t.timers.advance(179ms);
        QCOMPARE(state.transcriptionProgress(), 0.03);
        t.timers.advance(1ms);
        double expected = TranscriptionProgressEstimator::tick(0.03, SpeechEngine::Parakeet);
        QCOMPARE(state.transcriptionProgress(), expected);

        double previous = expected;
        for (int i = 0; i < 400; ++i) {
            t.timers.advance(180ms);
            expected = TranscriptionProgressEstimator::tick(expected, SpeechEngine::Parakeet);
            QCOMPARE(state.transcriptionProgress(), expected);
            QVERIFY(state.transcriptionProgress() >= previous);
            QVERIFY(state.transcriptionProgress() <= 0.984);
            previous = state.transcriptionProgress();
        }

        // Leaving the processing status ends the ticker.
        state.setStatus(CaptureStatus::success(QStringLiteral("done")));
        t.timers.advance(180ms);
        QCOMPARE(t.timers.pendingCount(), 0);
        QCOMPARE(state.transcriptionProgress(), previous);
    }

    void restartingTheTickerReplacesIt()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setStatus(CaptureStatus::processing());
        state.beginTranscriptionProgress(parakeetModel());
        t.timers.advance(90ms);
        state.beginTranscriptionProgress(parakeetModel());
        QCOMPARE(t.timers.pendingCount(), 1);
        state.stopTranscriptionProgress();
        QCOMPARE(t.timers.pendingCount(), 0);
    }

    void restoreBringsBackEveryFormat()
    {
        TestAppState t;
        AppState &state = buildWithRestoreOn(t);

        dictate(state, *t.fakes.clipboard, QStringLiteral("dictated"));
        QVERIFY(state.isClipboardRestorePending());
        t.timers.advance(2999ms);
        QCOMPARE(t.fakes.clipboard->text(), std::optional<QString>(QStringLiteral("dictated")));
        t.timers.advance(1ms);
        QCOMPARE(t.fakes.clipboard->items(), earlierClipboard);
        QVERIFY(!state.isClipboardRestorePending());
    }

    void aForeignCopyBeforeTheRestoreWins()
    {
        TestAppState t;
        AppState &state = buildWithRestoreOn(t);
        dictate(state, *t.fakes.clipboard, QStringLiteral("dictated"));

        t.timers.advance(1s);
        const QList<ClipboardItem> usersCopy{ClipboardItem{{QStringLiteral("text/plain"), QByteArrayLiteral("mine")}}};
        t.fakes.clipboard->writeByOtherProgram(usersCopy);
        t.timers.advance(5s);
        QCOMPARE(t.fakes.clipboard->items(), usersCopy);
        QVERIFY(!state.isClipboardRestorePending());
    }

    void twoDictationsCarryTheOriginalClipboard()
    {
        TestAppState t;
        AppState &state = buildWithRestoreOn(t);

        dictate(state, *t.fakes.clipboard, QStringLiteral("first"));
        t.timers.advance(1s);
        dictate(state, *t.fakes.clipboard, QStringLiteral("second"));

        // The first restore was cancelled: three seconds after the first dictation the
        // second one's text is still there.
        t.timers.advance(2s);
        QCOMPARE(t.fakes.clipboard->text(), std::optional<QString>(QStringLiteral("second")));
        // Three seconds after the second, the clipboard from before the first comes back.
        t.timers.advance(1s);
        QCOMPARE(t.fakes.clipboard->items(), earlierClipboard);
    }

    void aSecondDictationAfterAForeignCopyKeepsThatCopy()
    {
        TestAppState t;
        AppState &state = buildWithRestoreOn(t);
        dictate(state, *t.fakes.clipboard, QStringLiteral("first"));
        t.timers.advance(1s);
        const QList<ClipboardItem> usersCopy{ClipboardItem{{QStringLiteral("text/plain"), QByteArrayLiteral("mine")}}};
        t.fakes.clipboard->writeByOtherProgram(usersCopy);
        dictate(state, *t.fakes.clipboard, QStringLiteral("second"));
        t.timers.advance(3s);
        QCOMPARE(t.fakes.clipboard->items(), usersCopy);
    }

    void restoreOffSchedulesNothing()
    {
        TestAppState t;
        AppState &state = t.build();
        QVERIFY(!state.clipboardRestoreEnabled());
        t.fakes.clipboard->writeByOtherProgram(earlierClipboard);
        dictate(state, *t.fakes.clipboard, QStringLiteral("dictated"));
        QVERIFY(!state.isClipboardRestorePending());
        QCOMPARE(t.timers.pendingCount(), 0);
        t.timers.advance(60s);
        QCOMPARE(t.fakes.clipboard->text(), std::optional<QString>(QStringLiteral("dictated")));
    }

    void restoreWaitsTheConfiguredDelay()
    {
        TestAppState t;
        t.fakes.settings->values.insert(QStringLiteral("clipboardRestoreDelay"), qint64(10));
        AppState &state = buildWithRestoreOn(t);
        dictate(state, *t.fakes.clipboard, QStringLiteral("dictated"));
        QCOMPARE(t.timers.pendingDelays(), QList<qint64>{10000});
    }

    void overlayHideAfterASuccess()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setStatus(CaptureStatus::success(QStringLiteral("text")));
        state.setTranscriptionProgress(1.0);
        state.scheduleOverlayHide(1.25);
        QVERIFY(state.isOverlayHidePending());
        t.timers.advance(1249ms);
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Success);
        t.timers.advance(1ms);
        QVERIFY(t.overlay);
        QCOMPARE(t.overlay->calls, QStringList{QStringLiteral("hide")});
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
        QCOMPARE(state.transcriptionProgress(), 0.0);
    }

    void aNewScheduleReplacesThePendingHide()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setStatus(CaptureStatus::error(QStringLiteral("Microphone access is required.")));
        state.scheduleOverlayHide(6.0);
        state.scheduleAgentOverlayHide(0.5);
        QCOMPARE(t.timers.pendingDelays(), QList<qint64>{500});
        state.cancelOverlayHide();
        QVERIFY(!state.isOverlayHidePending());
        t.timers.advance(10s);
        QVERIFY(!t.overlay);
    }

    void aHideThatFiresWhileRecordingLeavesTheOverlay()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setStatus(CaptureStatus::success(QStringLiteral("text")));
        state.scheduleOverlayHide(1.25);
        t.timers.advance(1s);
        state.setStatus(CaptureStatus::recording());
        t.timers.advance(1s);
        QVERIFY(!t.overlay || !t.overlay->calls.contains(QStringLiteral("hide")));
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
    }

    void oneFlowsHideLeavesTheOtherFlowsOverlay_data()
    {
        QTest::addColumn<bool>("dictationHide"); // else the Command's hide
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("phase");
        QTest::addColumn<bool>("hides");
        const int idle = int(CaptureStatus::Kind::Idle);
        const int recording = int(CaptureStatus::Kind::Recording);
        const int processing = int(CaptureStatus::Kind::Processing);
        const int error = int(CaptureStatus::Kind::Error);
        QTest::newRow("dictation hide, command generating") << true << error << int(AgentPhase::Generating) << false;
        QTest::newRow("dictation hide, command listening") << true << error << int(AgentPhase::Listening) << false;
        QTest::newRow("dictation hide, command finished") << true << error << int(AgentPhase::Completed) << true;
        QTest::newRow("command hide, dictation recording") << false << recording << int(AgentPhase::Completed) << false;
        QTest::newRow("command hide, dictation processing") << false << processing << int(AgentPhase::Error) << false;
        QTest::newRow("command hide, command loading again") << false << idle << int(AgentPhase::LoadingModel) << false;
        QTest::newRow("command hide, nothing running") << false << idle << int(AgentPhase::Cancelled) << true;
    }

    void oneFlowsHideLeavesTheOtherFlowsOverlay()
    {
        QFETCH(bool, dictationHide);
        QFETCH(int, status);
        QFETCH(int, phase);
        QFETCH(bool, hides);
        TestAppState t;
        AppState &state = t.build();
        if (dictationHide)
            state.scheduleOverlayHide(2.2);
        else
            state.scheduleAgentOverlayHide(1.2);
        switch (CaptureStatus::Kind(status)) {
        case CaptureStatus::Kind::Recording: state.setStatus(CaptureStatus::recording()); break;
        case CaptureStatus::Kind::Processing: state.setStatus(CaptureStatus::processing()); break;
        case CaptureStatus::Kind::Error: state.setStatus(CaptureStatus::error(QStringLiteral("failed"))); break;
        default: break;
        }
        state.setAgentPhase(AgentPhase(phase));
        t.timers.advance(3s);
        const bool hidden = t.overlay && t.overlay->calls.contains(QStringLiteral("hide"));
        QCOMPARE(hidden, hides);
        // A Dictation hide that leaves a Command's overlay up still ends the Dictation
        // result, so that the overlay shows the Command.
        if (dictationHide) {
            QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
            if (!hides)
                QVERIFY(state.overlayShowsAgent());
        }
    }

    void completionSounds_data()
    {
        QTest::addColumn<int>("sound");
        QTest::addColumn<QString>("played");
        QTest::newRow("soft pop") << int(CompletionSound::SoftPop) << QStringLiteral("play Pop 0.55");
        QTest::newRow("glass chime") << int(CompletionSound::GlassChime) << QStringLiteral("play Glass 0.55");
        QTest::newRow("gentle tap") << int(CompletionSound::GentleTap) << QStringLiteral("play Tink 0.55");
    }

    void completionSounds()
    {
        QFETCH(int, sound);
        QFETCH(QString, played);
        TestAppState t;
        AppState &state = t.build();
        state.setCompletionSound(CompletionSound(sound));
        state.playCompletionSound();
        QCOMPARE(t.sounds.calls, QStringList{played});
        // A second completion while the first still plays stops the first.
        state.playCompletionSound();
        QCOMPARE(t.sounds.calls, (QStringList{played, QStringLiteral("stop"), played}));
    }

    void noSoundWhenOffAndTheBellWhenMissing()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setCompletionSoundEnabled(false);
        t.sounds.calls.clear();
        state.playCompletionSound();
        QVERIFY(t.sounds.calls.isEmpty());

        state.setCompletionSoundEnabled(true);
        t.sounds.missing = QStringList{QStringLiteral("Glass")};
        state.playCompletionSound();
        QCOMPARE(t.sounds.calls, (QStringList{QStringLiteral("missing Glass"), QStringLiteral("beep")}));
    }
};

QTEST_GUILESS_MAIN(AppStateTimersTest)
#include "tst_app_state_timers.moc"
