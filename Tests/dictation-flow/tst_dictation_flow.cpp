// A dictation through the application state over fakes: the fake microphone, the
// fake speech engine (a real child process), the fake runtime, clipboard, windows,
// keystrokes and timers.
#include "Shared/AppPaths.h"
#include "Dictation/DictationFlowRules.h"
#include "Services/Command/AgentRuntimeService.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

Q_DECLARE_METATYPE(std::optional<PermissionAttention>)

namespace {

const QString spokenText = QStringLiteral("hello from the fake engine");
const QByteArray earlierClipboard = "what the user had copied";
const RunningApplication editor{4242, QStringLiteral("Editor"), 77, QStringLiteral("editor"), QStringLiteral("editor")};

const char *const steeringVariables[] = {
    "FAKE_SPEECH_ENGINE_TRANSCRIPT", "FAKE_SPEECH_ENGINE_EXIT_STATUS", "FAKE_SPEECH_ENGINE_STDERR",
    "FAKE_SPEECH_ENGINE_PROGRESS",   "FAKE_SPEECH_ENGINE_RECORD",      "SORVANE_FAKE_AGENT_ANSWER",
    "SORVANE_FAKE_AGENT_LOG",        "SORVANE_SORVANEAPPLEBRIDGE_PATH"};

QStringList temporaryRecordings()
{
    return QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files);
}

bool finished(const AppState &state)
{
    const auto kind = state.status().kind();
    return kind == CaptureStatus::Kind::Success || kind == CaptureStatus::Kind::Error;
}

QList<QJsonObject> agentRequests(const QString &log)
{
    QList<QJsonObject> requests;
    for (const QByteArray &line : readFile(log).split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("record")).toString() == QLatin1String("request"))
            requests.append(QJsonDocument::fromJson(record.value(QStringLiteral("line")).toString().toUtf8()).object());
    }
    return requests;
}

} // namespace

class DictationFlowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> t;
    QString agentLog;

    // The fixture with the selected model downloaded, the editor in front holding the
    // earlier clipboard, automatic paste and restore on.
    TestAppState &fixture()
    {
        t = std::make_unique<TestAppState>();
        t->engineLocator = [](SpeechEngine) { return std::optional<QString>(testProgram(QStringLiteral("fake-speech-engine"))); };
        t->runtimeExecutable = testProgram(QStringLiteral("fake-sorvane-agent"));
        t->placeSpeechModelFile(QStringLiteral("pocket"));
        t->fakes.settings->values.insert(QStringLiteral("clipboardRestoreEnabled"), true);
        t->fakes.windowSystem->applications = {editor};
        t->fakes.windowSystem->frontmost = editor;
        t->fakes.clipboard->writeByOtherProgram({ClipboardItem{{QStringLiteral("text/plain"), earlierClipboard},
                                                               {QStringLiteral("text/html"), "<b>copied</b>"}}});
        return *t;
    }

    bool cancelRegistered() const { return t->fakes.hotKeys->registration(HotKeyManager::CancelId) != nullptr; }

    // Toggle, a little sound, toggle; then wait for the end.
    void dictate(AppState &state)
    {
        state.toggleRecording();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        t->fakes.audioInput->pushSamples(QVector<qint16>(1600, 1200));
        state.toggleRecording();
        QTRY_VERIFY_WITH_TIMEOUT(finished(state), 20000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *program : {"fake-speech-engine", "fake-sorvane-agent"})
            QVERIFY2(QFileInfo(testProgram(QString::fromLatin1(program))).isExecutable(), program);
    }

    void init()
    {
        for (const char *name : steeringVariables)
            qunsetenv(name);
        qputenv("FAKE_SPEECH_ENGINE_TRANSCRIPT", spokenText.toUtf8());
        agentLog = QDir::temp().filePath(QStringLiteral("dictation-flow-agent-%1.log").arg(QCoreApplication::applicationPid()));
        QFile::remove(agentLog);
        qputenv("SORVANE_FAKE_AGENT_LOG", QFile::encodeName(agentLog));
    }

    void cleanup()
    {
        t.reset();
        for (const char *name : steeringVariables)
            qunsetenv(name);
        QFile::remove(agentLog);
        // Nothing of a dictation stays behind, whatever its end.
        QCOMPARE(temporaryRecordings(), QStringList());
    }

    // --- starting -----------------------------------------------------------------

    void permissions_data()
    {
        QTest::addColumn<bool>("automaticPaste");
        QTest::addColumn<bool>("microphone");
        QTest::addColumn<bool>("accessibility");
        QTest::addColumn<std::optional<PermissionAttention>>("attention");
        QTest::addColumn<QString>("message");

        const auto none = std::optional<PermissionAttention>();
        QTest::newRow("paste on, both missing") << true << false << false
                                                << std::optional(PermissionAttention::MicrophoneAndAccessibility)
                                                << "Microphone and Accessibility access are required.";
        QTest::newRow("paste on, microphone missing") << true << false << true
                                                      << std::optional(PermissionAttention::Microphone)
                                                      << "Microphone access is required.";
        QTest::newRow("paste on, accessibility missing") << true << true << false
                                                         << std::optional(PermissionAttention::Accessibility)
                                                         << "Accessibility access is required for automatic paste.";
        QTest::newRow("paste off, microphone missing") << false << false << false
                                                       << std::optional(PermissionAttention::Microphone)
                                                       << "Microphone access is required.";
        QTest::newRow("paste off, accessibility missing") << false << true << false << none << QString();
        QTest::newRow("everything granted") << true << true << true << none << QString();
    }

    void permissions()
    {
        QFETCH(bool, automaticPaste);
        QFETCH(bool, microphone);
        QFETCH(bool, accessibility);
        QFETCH(std::optional<PermissionAttention>, attention);
        QFETCH(QString, message);

        TestAppState &f = fixture();
        f.fakes.settings->values.insert(QStringLiteral("automaticPaste"), automaticPaste);
        AppState &state = f.build();
        // The grants are read when the recording is asked for, not at start-up.
        f.permissions.microphone = microphone;
        f.permissions.accessibility = accessibility;
        state.toggleRecording();

        QCOMPARE(state.permissionAttention(), attention);
        QVERIFY(f.overlay && f.overlay->presented);
        if (!attention) {
            QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
            QVERIFY(cancelRegistered());
            QVERIFY(!state.errorResolution());
            QCOMPARE(f.timers.pendingCount(), 0); // the overlay stays while recording
            state.cancelRecording();
            return;
        }
        QCOMPARE(state.status(), CaptureStatus::error(message));
        QVERIFY(state.errorResolution());
        QCOMPARE(state.errorResolution()->message, message);
        QCOMPARE(state.errorResolution()->destination, ErrorResolutionDestination::permissions());
        QCOMPARE(f.timers.pendingDelays(), QList<qint64>{6000});
        QCOMPARE(f.fakes.audioInput->starts, 0);
        QVERIFY(!cancelRegistered());
        // Nothing navigates: the overlay or the banner leads to the permission rows.
        QCOMPARE(state.selectedSection(), AppSection::Home);

        f.timers.advance(std::chrono::milliseconds(6000));
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
        QVERIFY(!f.overlay->presented);
    }

    void noModelFileLeadsToTheModels()
    {
        TestAppState &f = fixture();
        QVERIFY(QFile::remove(QDir(f.modelsFolder()).filePath(SpeechModel::find(QStringLiteral("pocket"))->fileName)));
        AppState &state = f.build();
        QVERIFY(!state.canDictate());
        state.toggleRecording();

        QCOMPARE(state.status(), CaptureStatus::error(QStringLiteral("Choose a downloaded model.")));
        QCOMPARE(state.errorResolution()->message, QStringLiteral("Choose or download a Dictation model."));
        QCOMPARE(state.errorResolution()->destination, ErrorResolutionDestination::dictationModels());
        QCOMPARE(state.selectedSection(), AppSection::Models);
        QVERIFY(f.windows.calls.contains(QStringLiteral("raise")));
        QVERIFY(f.overlay->presented);
        QCOMPARE(f.timers.pendingDelays(), QList<qint64>{2200});
        QCOMPARE(f.fakes.audioInput->starts, 0);
    }

    void aRecorderThatCannotStart()
    {
        TestAppState &f = fixture();
        f.fakes.audioInput->startFailure = QStringLiteral("device busy");
        AppState &state = f.build();
        state.toggleRecording();
        const QString message = RecorderError::unavailable().message();
        QCOMPARE(state.status(), CaptureStatus::error(message));
        QCOMPARE(state.errorResolution()->destination, ErrorResolutionDestination::permissions());
        QCOMPARE(f.timers.pendingDelays(), QList<qint64>{2200});
        QVERIFY(!f.windows.calls.contains(QStringLiteral("raise")));
        QVERIFY(!cancelRegistered());
    }

    // --- finishing ----------------------------------------------------------------

    void success_data()
    {
        QTest::addColumn<bool>("pasteDelivered");
        QTest::newRow("pasted") << true;
        QTest::newRow("paste failed") << false;
    }

    void success()
    {
        QFETCH(bool, pasteDelivered);
        TestAppState &f = fixture();
        AppState &state = f.build();
        f.fakes.keystrokes->delivers = pasteDelivered;

        // What the user sees, in order, with what was true at each moment.
        QStringList events;
        QString recording;
        connect(f.fakes.clipboard, &SystemClipboard::changed, this, [&] {
            events << QStringLiteral("clipboard ") + f.fakes.clipboard->text().value_or(QStringLiteral("(empty)"));
        });
        connect(f.historyStore.get(), &HistoryStore::itemsChanged, this, [&] {
            events << QStringLiteral("history, recording %1").arg(QFile::exists(recording) ? "kept" : "gone");
        });
        f.fakes.keystrokes->onSend = [&](const KeyChord &) { events << QStringLiteral("paste"); };
        connect(&state, &AppState::statusChanged, this, [&] {
            if (state.status().kind() == CaptureStatus::Kind::Success)
                events << QStringLiteral("success, restore %1").arg(state.isClipboardRestorePending() ? "pending" : "none");
            if (state.status().kind() == CaptureStatus::Kind::Recording) {
                recording = AppPaths::temporaryRecordings() + QLatin1Char('/') + temporaryRecordings().value(0);
                // The user moves to another window while speaking; the text still goes
                // to the one that was in front at the start.
                f.fakes.windowSystem->frontmost = RunningApplication{5151, QStringLiteral("Other"), 88, QStringLiteral("other"), QStringLiteral("other")};
            }
        });

        dictate(state);
        QCOMPARE(state.status(), CaptureStatus::success(spokenText));
        const QStringList expected{QStringLiteral("clipboard (empty)"), QStringLiteral("clipboard ") + spokenText,
                                   QStringLiteral("history, recording gone"), QStringLiteral("paste"),
                                   QStringLiteral("success, restore %1").arg(pasteDelivered ? "pending" : "none")};
        if (pasteDelivered) {
            QCOMPARE(events, expected);
        } else {
            // The keystroke was tried and not delivered.
            QCOMPARE(events, (QStringList{expected[0], expected[1], expected[2], expected[4]}));
            QCOMPARE(f.fakes.keystrokes->sent.size(), 1);
        }
        QCOMPARE(f.fakes.windowSystem->activationRequests.value(0), editor);
        QCOMPARE(state.lastTranscript(), spokenText);
        QCOMPARE(state.transcriptionProgress(), 1.0);
        QVERIFY(!cancelRegistered());
        QCOMPARE(f.sounds.calls, QStringList{QStringLiteral("play Glass 0.55")});

        f.historyStore->waitForWrites();
        QCOMPARE(f.historyStore->items().size(), 1);
        const HistoryItem item = f.historyStore->items().first();
        QCOMPARE(item.text, spokenText);
        QCOMPARE(item.modelID, QStringLiteral("pocket"));
        QVERIFY(!item.audioFileName);
        QVERIFY(item.duration >= 0);
        const QJsonArray saved = QJsonDocument::fromJson(readFile(f.historyStore->path())).array();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.at(0).toObject().value(QStringLiteral("text")).toString(), spokenText);

        // The overlay goes 1.25 s after the success; the restore after the 3 s default.
        QCOMPARE(f.timers.pendingDelays().first(), 1250);
        f.timers.advance(std::chrono::milliseconds(1250));
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
        QVERIFY(!f.overlay->presented);
        f.timers.advance(std::chrono::milliseconds(2000));
        if (pasteDelivered) {
            QCOMPARE(f.fakes.clipboard->text(), QString::fromUtf8(earlierClipboard));
            QCOMPARE(f.fakes.clipboard->items().first().value(QStringLiteral("text/html")), QByteArray("<b>copied</b>"));
        } else {
            QCOMPARE(f.fakes.clipboard->text(), spokenText);
        }
        QVERIFY(!state.isClipboardRestorePending());
    }

    void twoDictationsPutBackTheClipboardFromBeforeTheFirst()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        dictate(state);
        QVERIFY(state.isClipboardRestorePending());
        f.timers.advance(std::chrono::milliseconds(1000));
        dictate(state);
        QCOMPARE(f.fakes.clipboard->text(), spokenText);
        // The first restore was replaced; the second puts back what was there before both.
        f.timers.advance(std::chrono::milliseconds(3000));
        QCOMPARE(f.fakes.clipboard->text(), QString::fromUtf8(earlierClipboard));
        f.historyStore->waitForWrites();
        QCOMPARE(f.historyStore->items().size(), 2);
    }

    void automaticPasteOffKeepsTheTextOnTheClipboard()
    {
        TestAppState &f = fixture();
        f.fakes.settings->values.insert(QStringLiteral("automaticPaste"), false);
        AppState &state = f.build();
        dictate(state);
        QCOMPARE(state.status(), CaptureStatus::success(spokenText));
        QVERIFY(f.fakes.keystrokes->sent.isEmpty());
        QVERIFY(!state.isClipboardRestorePending());
        QCOMPARE(f.fakes.clipboard->text(), spokenText);
    }

    // What the user is told is what happened: inserted, or only copied with the key that
    // pastes the clipboard in the target, whatever the automatic-paste setting asked for.
    void theResultSaysWhatWasDone_data()
    {
        QTest::addColumn<bool>("automaticPaste");
        QTest::addColumn<bool>("keystrokeDelivered");
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<bool>("inserted");
        QTest::addColumn<QString>("pasteKey");
        QTest::newRow("pasted") << true << true << "Mousepad" << true << "Ctrl+V";
        QTest::newRow("paste not delivered") << true << false << "Mousepad" << false << "Ctrl+V";
        QTest::newRow("automatic paste off") << false << true << "Mousepad" << false << "Ctrl+V";
        QTest::newRow("off, in a terminal") << false << true << "Lxterminal" << false << "Ctrl+Shift+V";
        // xterm's paste key inserts PRIMARY, not the clipboard: there is no key to name.
        QTest::newRow("off, in xterm") << false << true << "XTerm" << false << "";
        QTest::newRow("pasted into xterm") << true << true << "XTerm" << true << "";
    }
    void theResultSaysWhatWasDone()
    {
        QFETCH(bool, automaticPaste);
        QFETCH(bool, keystrokeDelivered);
        QFETCH(QString, windowClass);
        QFETCH(bool, inserted);
        QFETCH(QString, pasteKey);
        TestAppState &f = fixture();
        RunningApplication target = editor;
        target.windowClass = windowClass;
        target.windowInstance = windowClass.toLower();
        f.fakes.windowSystem->applications = {target};
        f.fakes.windowSystem->frontmost = target;
        f.fakes.settings->values.insert(QStringLiteral("automaticPaste"), automaticPaste);
        AppState &state = f.build();
        f.fakes.keystrokes->delivers = keystrokeDelivered;
        dictate(state);
        QCOMPARE(state.status(), CaptureStatus::success(spokenText));
        QCOMPARE(state.lastDictationInserted(), inserted);
        QCOMPARE(state.lastDictationPasteKeyName(), pasteKey);
    }

    void engineError()
    {
        qputenv("FAKE_SPEECH_ENGINE_EXIT_STATUS", "3");
        qputenv("FAKE_SPEECH_ENGINE_STDERR", "engine exploded\n");
        TestAppState &f = fixture();
        AppState &state = f.build();
        dictate(state);

        QCOMPARE(state.status(), CaptureStatus::error(QStringLiteral("engine exploded")));
        QCOMPARE(state.errorResolution()->message, QStringLiteral("engine exploded"));
        QCOMPARE(state.errorResolution()->destination, ErrorResolutionDestination::dictationModels());
        QCOMPARE(state.transcriptionProgress(), 0.0);
        QVERIFY(!state.permissionAttention());
        QCOMPARE(temporaryRecordings(), QStringList());
        f.historyStore->waitForWrites();
        QVERIFY(f.historyStore->items().isEmpty());
        QVERIFY(!QFile::exists(f.historyStore->path()));
        QCOMPARE(f.fakes.clipboard->text(), QString::fromUtf8(earlierClipboard));
        QVERIFY(!cancelRegistered());
        QCOMPARE(f.timers.pendingDelays(), QList<qint64>{2800});
    }

    void aMicrophoneLostWhileRecording()
    {
        qputenv("FAKE_SPEECH_ENGINE_RECORD", QFile::encodeName(QDir::temp().filePath(QStringLiteral("flow-engine-args"))));
        QFile::remove(QDir::temp().filePath(QStringLiteral("flow-engine-args")));
        TestAppState &f = fixture();
        AppState &state = f.build();
        state.toggleRecording();
        QVERIFY(cancelRegistered());
        f.fakes.audioInput->breakDown(QStringLiteral("unplugged"));

        const QString message = RecorderError::unavailable().message();
        QCOMPARE(state.status(), CaptureStatus::error(message));
        QCOMPARE(state.errorResolution()->destination, ErrorResolutionDestination::permissions());
        QVERIFY(!cancelRegistered());
        QCOMPARE(temporaryRecordings(), QStringList());
        QCOMPARE(f.timers.pendingDelays(), QList<qint64>{2200});
        // A toggle now starts a new recording; nothing was transcribed.
        state.toggleRecording();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        state.cancelRecording();
        QVERIFY(!QFile::exists(QDir::temp().filePath(QStringLiteral("flow-engine-args"))));
    }

    void stoppingWithoutASelectedModel()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        state.toggleRecording();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        state.setSelectedModelID(QStringLiteral("no-such-model"));
        state.toggleRecording();

        // Not left "recording" with the microphone off: the recording is dropped.
        QCOMPARE(state.status(), CaptureStatus::error(QStringLiteral("Choose a downloaded model.")));
        QVERIFY(!f.recorder->isRecording());
        QVERIFY(!cancelRegistered());
        QCOMPARE(temporaryRecordings(), QStringList());
        QCOMPARE(state.selectedSection(), AppSection::Models);

        state.setSelectedModelID(QStringLiteral("pocket"));
        dictate(state);
        QCOMPARE(state.status(), CaptureStatus::success(spokenText));
    }

    void cancelWhileRecording()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        state.toggleRecording();
        QVERIFY(cancelRegistered());
        QVERIFY(f.fakes.hotKeys->key(53, {}));
        QTRY_COMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
        QVERIFY(!f.overlay->presented);
        QVERIFY(!cancelRegistered());
        QCOMPARE(temporaryRecordings(), QStringList());
        QCOMPARE(f.fakes.keystrokes->sent.size(), 0);
    }

    void cancelDuringTheSpokenCommandInstruction()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        // The Command flow records its instruction with the same recorder.
        QVERIFY(f.recorder->start());
        state.setAgentPhase(AgentPhase::Listening);
        state.setAgentProgress(0.4);
        state.refreshHotKeys();
        QVERIFY(cancelRegistered());

        QVERIFY(f.fakes.hotKeys->key(53, {}));
        QTRY_COMPARE(state.agentPhase(), AgentPhase::Cancelled);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Cancelled"));
        QCOMPARE(state.agentProgress(), 0.0);
        QVERIFY(!f.recorder->isRecording());
        QVERIFY(!cancelRegistered());
        QCOMPARE(temporaryRecordings(), QStringList());
        QCOMPARE(f.timers.pendingDelays(), QList<qint64>{500});
        // The Dictation status was never touched.
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
    }

    // --- cleanup ------------------------------------------------------------------

    void smartCleanup_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("bridgePresent");
        QTest::addColumn<QByteArray>("answer"); // null: the runtime answers with an error
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("pasted");

        QTest::newRow("off") << false << true << QByteArray("Cleaned.") << 0 << spokenText;
        QTest::newRow("no bridge program") << true << false << QByteArray("Cleaned.") << 0 << spokenText;
        QTest::newRow("runtime error") << true << true << QByteArray() << 1 << spokenText;
        QTest::newRow("only blanks") << true << true << QByteArray("  \n\t \n") << 1 << spokenText;
        QTest::newRow("a cleaned text") << true << true << QByteArray("  Hello from the fake engine.\n") << 1
                                        << QStringLiteral("Hello from the fake engine.");
    }

    void smartCleanup()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, bridgePresent);
        QFETCH(QByteArray, answer);
        QFETCH(int, requests);
        QFETCH(QString, pasted);
        if (!answer.isNull())
            qputenv("SORVANE_FAKE_AGENT_ANSWER", answer);
        if (!bridgePresent)
            qputenv("SORVANE_SORVANEAPPLEBRIDGE_PATH", "/nonexistent/SorvaneAppleBridge");

        TestAppState &f = fixture();
        f.fakes.settings->values.insert(QStringLiteral("smartDictation"), enabled);
        AppState &state = f.build();
        dictate(state);
        QCOMPARE(state.status(), CaptureStatus::success(pasted));
        QCOMPARE(f.fakes.clipboard->changeCount() > 0, true);
        QCOMPARE(agentRequests(agentLog).size(), requests);
        if (QTest::currentDataTag() != QLatin1String("a cleaned text"))
            return;

        // The one-shot request, field by field.
        const QJsonObject request = agentRequests(agentLog).first();
        QCOMPARE(request.value(QStringLiteral("version")).toInt(), 1);
        QCOMPARE(request.value(QStringLiteral("command")).toString(), QStringLiteral("run"));
        QVERIFY(!QUuid::fromString(request.value(QStringLiteral("requestID")).toString()).isNull());
        QVERIFY(!QUuid::fromString(request.value(QStringLiteral("conversationID")).toString()).isNull());
        QCOMPARE(request.value(QStringLiteral("model")).toObject().value(QStringLiteral("id")).toString(),
                 QStringLiteral("apple-system"));
        QCOMPARE(request.value(QStringLiteral("instruction")).toString(),
                 QStringLiteral("Clean up the dictation transcript provided as reference material."));
        const QString trusted = request.value(QStringLiteral("trustedInstructions")).toString();
        QCOMPARE(trusted, dictationflow::cleanupTrustedInstructions());
        QCOMPARE(trusted.split(QLatin1Char('\n')).size(), 13);
        QVERIFY(trusted.split(QLatin1Char('\n')).at(7).isEmpty());
        QVERIFY(!trusted.endsWith(QLatin1Char('\n')));
        const QJsonArray attachments = request.value(QStringLiteral("attachments")).toArray();
        QCOMPARE(attachments.size(), 1);
        const QJsonObject attachment = attachments.at(0).toObject();
        QCOMPARE(attachment.value(QStringLiteral("kind")).toString(), QStringLiteral("selectedText"));
        QCOMPARE(attachment.value(QStringLiteral("displayName")).toString(), QStringLiteral("Dictation transcript"));
        QCOMPARE(attachment.value(QStringLiteral("text")).toString(), spokenText);
        QVERIFY(!attachment.contains(QStringLiteral("filePath")));
        QCOMPARE(request.value(QStringLiteral("appleBridgePath")).toString(),
                 AgentRuntimeService::bundledExecutable(QStringLiteral("SorvaneAppleBridge")).value());
        QCOMPARE(request.value(QStringLiteral("sessionPath")).toString(), AppPaths::agentSessions());
        QCOMPARE(request.value(QStringLiteral("ephemeralSession")).toBool(), true);
        for (const char *absent : {"modelPath", "projectorPath", "llamaServerPath", "cloudAPIKey", "personalContext",
                                   "reasoningEffort"})
            QVERIFY2(!request.contains(QLatin1String(absent)) || request.value(QLatin1String(absent)).isNull(), absent);
    }

    // --- progress -----------------------------------------------------------------

    void engineProgressIsClamped()
    {
        qputenv("FAKE_SPEECH_ENGINE_PROGRESS", "40,100");
        TestAppState &f = fixture();
        AppState &state = f.build();
        QList<double> seen;
        connect(&state, &AppState::transcriptionProgressChanged, this,
                [&] { seen.append(state.transcriptionProgress()); });
        dictate(state);
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Success);
        QVERIFY(seen.size() >= 2);
        QCOMPARE(seen.first(), 0.03);
        QCOMPARE(seen.last(), 1.0);
        // 100 % is not done: the bar stops at 0.97 until the finish.
        QVERIFY2(seen.contains(0.97), qPrintable(QString::number(seen.at(seen.size() - 2))));
        for (qsizetype i = 1; i < seen.size(); ++i)
            QVERIFY(seen[i] >= seen[i - 1]);

        // A report that arrives after the end changes nothing.
        state.reportEngineProgress(0.5);
        QCOMPARE(state.transcriptionProgress(), 1.0);
    }

    void progressRule_data()
    {
        QTest::addColumn<double>("current");
        QTest::addColumn<double>("reported");
        QTest::addColumn<double>("expected");
        QTest::newRow("forward") << 0.2 << 0.5 << 0.5;
        QTest::newRow("never backwards") << 0.6 << 0.4 << 0.6;
        QTest::newRow("capped") << 0.5 << 1.0 << 0.97;
        QTest::newRow("ticker already past the cap") << 0.98 << 1.0 << 0.98;
    }

    void progressRule()
    {
        QFETCH(double, current);
        QFETCH(double, reported);
        QFETCH(double, expected);
        QCOMPARE(dictationflow::progressAfterEngineReport(current, reported), expected);
    }

    // --- shortcut wiring ----------------------------------------------------------

    void refresh_data()
    {
        QTest::addColumn<bool>("imageModel");
        QTest::addColumn<int>("profiles");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<QList<quint32>>("expected");
        QTest::newRow("text model") << false << 0 << false << QList<quint32>{1, 2, 4};
        QTest::newRow("image model") << true << 0 << false << QList<quint32>{1, 2, 4, 5};
        QTest::newRow("three profiles") << false << 3 << false << QList<quint32>{1, 2, 4, 100, 101, 102};
        QTest::newRow("while recording") << false << 0 << true << QList<quint32>{1, 2, 3, 4};
    }

    void refresh()
    {
        QFETCH(bool, imageModel);
        QFETCH(int, profiles);
        QFETCH(bool, recording);
        QFETCH(QList<quint32>, expected);
        TestAppState &f = fixture();
        AppState &state = f.build();
        if (recording)
            state.toggleRecording();

        AgentSettings settings = state.agentSettings();
        if (imageModel) {
            for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog())
                if (model.provider == AgentModelProvider::LlamaCPP && model.capabilities.images)
                    settings.selectedModelID = model.id;
            QVERIFY(settings.selectedModelID != QLatin1String("apple-system"));
        }
        for (int i = 0; i < profiles; ++i)
            settings.promptProfiles.append(
                {QUuid::createUuid(), QStringLiteral("Profile %1").arg(i), QStringLiteral("Prompt"),
                 KeyboardShortcutSetting{quint32(0x12 + i), QString::number(i + 1), false, true, true, false}});
        state.setAgentSettings(settings);

        QList<quint32> ids;
        for (const auto &registration : std::as_const(f.fakes.hotKeys->registrations))
            ids.append(registration.id);
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, expected);

        if (profiles > 1) {
            // Removing the first renumbers the others from 100.
            const quint32 secondKey = settings.promptProfiles.at(1).shortcut.keyCode;
            settings.promptProfiles.removeFirst();
            state.setAgentSettings(settings);
            QCOMPARE(f.fakes.hotKeys->registration(100)->keyCode, secondKey);
            QVERIFY(!f.fakes.hotKeys->registration(102));
        }
        if (recording) {
            // A shortcut changed meanwhile: cancel is still there.
            state.setToggleShortcut(KeyboardShortcutSetting{49, QStringLiteral("Space"), false, true, false, false});
            QVERIFY(cancelRegistered());
            state.cancelRecording();
            QVERIFY(!cancelRegistered());
        }
    }

    void suspension()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        state.setHotKeysSuspended(true);
        QVERIFY(f.fakes.hotKeys->registrations.isEmpty());
        // The toggle's keys start nothing while the settings screen records a shortcut.
        QVERIFY(!f.fakes.hotKeys->key(49, HotKeyModifier::Option));
        state.setToggleShortcut(KeyboardShortcutSetting{0x28, QStringLiteral("K"), false, true, false, false});
        QVERIFY(f.fakes.hotKeys->registrations.isEmpty());
        state.setHotKeysSuspended(false);
        QVERIFY(f.fakes.hotKeys->registration(HotKeyManager::ToggleId));
        QCOMPARE(f.fakes.hotKeys->registration(HotKeyManager::ToggleId)->keyCode, 0x28u);
        QVERIFY(f.fakes.hotKeys->key(0x28, HotKeyModifier::Option));
        QTRY_COMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        state.cancelRecording();
    }

    void guards_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("a Command generating") << "generating";
        QTest::newRow("a Command listening") << "listening";
        QTest::newRow("transcribing") << "processing";
    }

    void guards()
    {
        QFETCH(QString, situation);
        qputenv("FAKE_SPEECH_ENGINE_PROGRESS", "10");
        TestAppState &f = fixture();
        AppState &state = f.build();
        if (situation == QLatin1String("processing")) {
            state.toggleRecording();
            state.toggleRecording();
            QCOMPARE(state.status().kind(), CaptureStatus::Kind::Processing);
        } else {
            state.setAgentPhase(situation == QLatin1String("generating") ? AgentPhase::Generating : AgentPhase::Listening);
        }
        const int shows = f.overlay ? int(f.overlay->calls.count(QStringLiteral("show"))) : 0;
        const int starts = f.fakes.audioInput->starts;

        // The toggle shortcut, delivered through the hot-key callbacks.
        QVERIFY(f.fakes.hotKeys->key(49, HotKeyModifier::Option));
        // The press goes through two queued turns (the manager's, then the state's); a
        // marker queued the same way behind it arrives after the call was made.
        bool delivered = false;
        QMetaObject::invokeMethod(
            this, [&] { QMetaObject::invokeMethod(this, [&] { delivered = true; }, Qt::QueuedConnection); },
            Qt::QueuedConnection);
        QTRY_VERIFY(delivered);
        QCOMPARE(f.fakes.audioInput->starts, starts);
        QCOMPARE(f.overlay ? int(f.overlay->calls.count(QStringLiteral("show"))) : 0, shows);
        if (situation == QLatin1String("processing")) {
            QCOMPARE(state.status().kind(), CaptureStatus::Kind::Processing);
            QTRY_VERIFY_WITH_TIMEOUT(finished(state), 20000);
        } else {
            QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
            state.setAgentPhase(AgentPhase::Idle);
        }
    }

    void pushToTalk()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        const HotKeyModifiers optionControl = HotKeyModifier::Option | HotKeyModifier::Control;
        QVERIFY(f.fakes.hotKeys->key(49, optionControl, HotKeyEventKind::Pressed));
        QTRY_COMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        QVERIFY(state.pushToTalkActive());
        f.fakes.audioInput->pushSamples(QVector<qint16>(1600, 900));
        QVERIFY(f.fakes.hotKeys->key(49, optionControl, HotKeyEventKind::Released));
        QTRY_VERIFY_WITH_TIMEOUT(finished(state), 20000);
        QCOMPARE(state.status(), CaptureStatus::success(spokenText));
        QVERIFY(!state.pushToTalkActive());
    }

    void pushToTalkDuringAToggleRecording()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        state.toggleRecording();
        state.beginPushToTalk();
        QVERIFY(!state.pushToTalkActive());
        state.endPushToTalk();
        // The release does not stop the toggle's recording.
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        state.cancelRecording();
    }

    void aPressThatStartedNothingDoesNotEndALaterRecording()
    {
        TestAppState &f = fixture();
        AppState &state = f.build();
        f.permissions.microphone = false;
        state.beginPushToTalk();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Error);
        // Still held; the toggle starts a recording meanwhile.
        f.permissions.microphone = true;
        state.toggleRecording();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        state.endPushToTalk();
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Recording);
        state.cancelRecording();
    }

    void refusedShortcutsArePublished()
    {
        TestAppState &f = fixture();
        // The window manager holds Alt+Space.
        f.fakes.hotKeys->takenElsewhere.append({49, HotKeyModifier::Option});
        QTest::ignoreMessage(QtInfoMsg, "The shortcut Alt+Space was refused: Another application already uses this shortcut.");
        AppState &state = f.build();
        QSignalSpy changed(&state, &AppState::refusedShortcutsChanged);
        QCOMPARE(state.refusedShortcuts(), QSet<KeyboardShortcutSetting>{state.toggleShortcut()});
        const QVariantList published = state.property("refusedShortcuts").toList();
        QCOMPARE(published.size(), 1);
        QCOMPARE(published.first().value<KeyboardShortcutSetting>(), state.toggleShortcut());

        state.setToggleShortcut(KeyboardShortcutSetting{0x28, QStringLiteral("K"), false, true, false, false});
        QVERIFY(state.refusedShortcuts().isEmpty());
        QCOMPARE(changed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(DictationFlowTest)
#include "tst_dictation_flow.moc"
