// The whole program killed on the way, as a user's machine may kill it: the built program
// with its shipped engines (whisper-cli, sorvane-agent, llama-server) on the tiny test
// models, in one home that keeps what each step saved. Killed with SIGKILL while it
// records, while it transcribes, while a Command streams and in the middle of each
// store's save, it starts again with every store loading, nothing set aside and no save
// copy left, and nothing missing but the work in flight. The speech engine, the runtime
// and llama-server killed in the middle of their work are reported in the program's own
// words, and the next Dictation or Command works.
//
// Each kill point is reached by an event, never by a delay: the program's stream on the
// sound server, a held engine's process id, the stalled answer of a held llama-server, or
// the preloaded shim holding a save (HoldSaveShim.cpp). The engines are held by small
// scripts that run a fake once when armed and the shipped engine otherwise.
#include "../real-apps/RealApps.h"
#include "Command/AgentModelDescriptor.h"
#include "Command/AgentSettings.h"
#include "Dictation/SpeechModel.h"
#include "Support/StoredJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>
#include <csignal>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 60000;
// The test speech model hears this word in every recording; the test writing model
// answers every prompt with this sentence.
const QString heard = QStringLiteral("Marmalade");
const QString answer = QStringLiteral("The engines answer from this computer.");
const QString fieldText = QStringLiteral("Dear team, the meeting moves to Friday.");
constexpr int selectionStart = 11;
constexpr int selectionLength = 27; // "the meeting moves to Friday"
// The user's own writing models: the one Command uses, and one only there to be removed.
const QString writerID = QStringLiteral("my-writer");
const QString spareID = QStringLiteral("spare-writer");
const QString bannerName = QStringLiteral("Why the last action failed");

// Where a stored file of the program lies, by its name.
QString storedFile(const QString &name, const QString &configHome)
{
    if (name == QLatin1String("history.json"))
        return AppPaths::history();
    if (name == QLatin1String("conversations.json"))
        return AppPaths::agentConversations();
    if (name == QLatin1String("sessions.sqlite"))
        return AppPaths::agentSessions();
    if (name == QLatin1String("custom-models.json"))
        return AppPaths::customAgentModels();
    return configHome + QStringLiteral("/Sorvane/settings.json");
}

QStringList customModelIds()
{
    QStringList ids;
    for (const QJsonValue &entry : QJsonDocument::fromJson(readFile(AppPaths::customAgentModels())).array())
        ids.append(entry.toObject().value(QStringLiteral("id")).toString());
    return ids;
}

// A writing model of the user's own, with the test model's file in its folder.
AgentModelDescriptor customWriter(const QString &id, const QString &name)
{
    const QList<AgentModelDescriptor> &catalog = AgentModelDescriptor::catalog();
    AgentModelDescriptor model = *std::find_if(catalog.cbegin(), catalog.cend(), [](const AgentModelDescriptor &known) {
        return known.id == QLatin1String("qwen3-4b-q4");
    });
    model.id = id;
    model.name = name;
    model.isCustom = true;
    return model;
}

// What a runtime's or a speech engine's stand-in wrote to its log: the records of this event.
QList<QJsonObject> logged(const QString &log, const QString &event)
{
    QList<QJsonObject> found;
    for (const QByteArray &line : readFile(log).split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("event")).toString() == event)
            found.append(record);
    }
    return found;
}

// The answer in place of the selection; the model's answer may begin with a blank.
QString pastedAnswer(const QString &text)
{
    const QString before = fieldText.left(selectionStart);
    const QString after = fieldText.mid(selectionStart + selectionLength);
    if (!text.startsWith(before) || !text.endsWith(after) || text.size() < before.size() + after.size())
        return QString();
    return text.mid(before.size(), text.size() - before.size() - after.size()).trimmed();
}

void killProcess(qint64 pid)
{
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

} // namespace

class AcceptanceKillsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    AtSpiDriver m_atspi;
    AtSpiClient m_screenReader;
    std::unique_ptr<SorvaneProgram> m_sorvane;
    std::optional<AtSpiNode> m_application;
    QString m_tone;
    // What the stores held after the last step: nothing of it may go missing.
    QSet<QString> m_history;
    QSet<QString> m_conversations;

    QString path(const QString &name) const { return m_home.filePath(name); }
    QString configHome() const { return m_home.filePath(QStringLiteral("config")); }
    // Arming files: the engine's script runs its held stand-in once while its file is
    // there, and the shim holds the save of the file named in its own.
    QString engineArm() const { return path(QStringLiteral("hold-speech-engine")); }
    QString llamaArm() const { return path(QStringLiteral("hold-llama-server")); }
    QString saveArm() const { return path(QStringLiteral("hold-save")); }
    QString heldSave() const { return path(QStringLiteral("held-save")); }
    QString heldEngine() const { return path(QStringLiteral("held-speech-engine")); }
    QString llamaLog() const { return path(QStringLiteral("llama-server.log")); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("HOME"), m_home.path());
        extra.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
        extra.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        extra.insert(QStringLiteral("SORVANE_WHISPER_CLI_PATH"), path(QStringLiteral("whisper-cli.sh")));
        extra.insert(QStringLiteral("SORVANE_LLAMA_SERVER_PATH"), path(QStringLiteral("llama-server.sh")));
        extra.insert(QStringLiteral("SORVANE_FAKE_LLAMA_LOG"), llamaLog());
        extra.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(SORVANE_HOLD_SAVE_SHIM));
        extra.insert(QStringLiteral("SORVANE_HOLD_SAVE_ARM"), saveArm());
        extra.insert(QStringLiteral("SORVANE_HOLD_SAVE_MARKER"), heldSave());
        return extra;
    }

    // A script in the engine's place: the stand-in once when armed, else the shipped engine.
    bool writeEngineScript(const QString &name, const QString &arm, const QString &heldRun, const QString &shipped)
    {
        const QString script = path(name);
        if (!writeFile(script, QStringLiteral("#!/bin/sh\nif [ -e '%1' ]; then\n  rm -f '%1'\n  %2 \"$@\"\nfi\nexec '%3' \"$@\"\n")
                                   .arg(arm, heldRun, shipped)
                                   .toUtf8()))
            return false;
        return QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void startProgram()
    {
        m_sorvane = std::make_unique<SorvaneProgram>(m_home);
        QVERIFY2(m_sorvane->start(QString(), true, environment()), "the program did not start");
        m_application = m_atspi.application(QStringLiteral("Sorvane"), wait);
        QVERIFY2(m_application, "the program never appeared on the accessibility bus");
    }

    // SIGKILL, as a crash or the system's out-of-memory killer ends it.
    void killProgram()
    {
        QVERIFY(m_sorvane);
        killProcess(m_sorvane->process.processId());
        QVERIFY(m_sorvane->process.waitForFinished(wait));
        m_sorvane.reset();
        m_application.reset();
        releaseKeys();
        // A helper held by the test would wait for ever: it is the work in flight too.
        for (const QString &held : {heldSave(), heldEngine()}) {
            killProcess(readFile(held).trimmed().toLongLong());
            QFile::remove(held);
        }
        for (const QString &arm : {saveArm(), engineArm(), llamaArm()})
            QFile::remove(arm);
    }

    static void releaseKeys()
    {
        for (const char *keys : {"alt+space", "alt+shift+space"})
            xdotool({QStringLiteral("keyup"), QString::fromLatin1(keys)});
    }

    // Every stored file reads whole and holds what it held before, with at most the
    // work in flight added.
    void checkStores()
    {
        const auto history = storedIds(AppPaths::history());
        QVERIFY2(history, "the history does not load");
        QVERIFY2(history->contains(m_history), "a dictation saved before is missing");
        QVERIFY(history->size() <= m_history.size() + 1);
        m_history = *history;
        const auto conversations = storedIds(AppPaths::agentConversations());
        QVERIFY2(conversations, "the conversations do not load");
        QVERIFY2(conversations->contains(m_conversations), "a conversation saved before is missing");
        QVERIFY(conversations->size() <= m_conversations.size() + 1);
        m_conversations = *conversations;
        QVERIFY2(JsonFileSettingsStore::decodeContents(readFile(storedFile(QStringLiteral("settings.json"), configHome()))),
                 "the settings do not load");
        QVERIFY2(customModelIds().contains(writerID), "the user's writing model is missing");
    }

    // The runtime's database, once a runtime has opened it again (which rolls back a
    // transaction a kill cut short), reads whole; nothing anywhere is set aside or left.
    void checkReopened()
    {
        QVERIFY(QFile::exists(AppPaths::agentSessions()));
        const auto integrity = runTool(QStringLiteral("sqlite3"),
                                       {QStringLiteral("-cmd"), QStringLiteral(".timeout 10000"), AppPaths::agentSessions(),
                                        QStringLiteral("PRAGMA integrity_check;")});
        QVERIFY2(integrity && integrity->trimmed() == "ok", "the runtime's turns do not load");
        const QStringList left = leftOverOrSetAside({AppPaths::root(), configHome() + QStringLiteral("/Sorvane")},
                                                    AppPaths::isLeftOverSaveCopy);
        QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("left or set aside: ") + left.join(QLatin1Char(' '))));
    }

    bool pressButton(const QString &name)
    {
        const auto button = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) {
            return m_atspi.name(node) == name && m_atspi.role(node) == AtSpiDriver::rolePushButton;
        }, wait);
        if (!button)
            qWarning().noquote() << "no button" << name << "among:\n" << m_atspi.dump(*m_application);
        return button && m_screenReader.press(*button);
    }

    // After a kill: the stores as they were left, then the program started again, which
    // loads them all (it sets aside what it cannot read) and removes a save's copy.
    void restartAndCheck()
    {
        checkStores();
        if (QTest::currentTestFailed())
            return;
        startProgram();
        if (QTest::currentTestFailed())
            return;
        const QStringList left = leftOverOrSetAside({AppPaths::root(), configHome() + QStringLiteral("/Sorvane")},
                                                    AppPaths::isLeftOverSaveCopy);
        QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("left or set aside: ") + left.join(QLatin1Char(' '))));
        // A recording the kill cut short is not kept either.
        QTRY_VERIFY_WITH_TIMEOUT(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty(), wait);
        checkStores();
    }

    // Presses the shortcut in `target` and waits until the program reads the microphone.
    void startListening(quint64 target, const QString &shortcut)
    {
        QVERIFY(bringWindowToFront(target));
        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(xdotool({QStringLiteral("key"), shortcut}));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
    }

    // Speaks and ends the recording the shortcut started.
    void speakAndStop(const QString &shortcut)
    {
        QCOMPARE(QProcess::execute(QStringLiteral("paplay"),
                                   {QStringLiteral("--device=") + qEnvironmentVariable("SORVANE_TEST_PULSE_SINK"), m_tone}),
                 0);
        QVERIFY(xdotool({QStringLiteral("key"), shortcut}));
    }

    // A whole Dictation with the shipped engine: pasted, and one item more in the history.
    void dictationWorks()
    {
        TargetWindow target;
        QVERIFY2(target.start(), "the text field's window did not open");
        startListening(target.window, QStringLiteral("alt+space"));
        if (QTest::currentTestFailed())
            return;
        speakAndStop(QStringLiteral("alt+space"));
        QTRY_COMPARE_WITH_TIMEOUT(target.text, heard, wait);
        QTRY_COMPARE_WITH_TIMEOUT(storedIds(AppPaths::history()).value_or(QSet<QString>()).size(), m_history.size() + 1, wait);
        const auto history = storedIds(AppPaths::history());
        QVERIFY(history && history->contains(m_history));
        m_history = *history;
        // The text is in before the paste's keystroke has ended; the next shortcut
        // would be refused until then.
        QTRY_VERIFY_WITH_TIMEOUT(!overlayShown(), wait);
    }

    // The target of a Command: a text field with part of its text selected.
    static bool startCommandTarget(TargetWindow &target)
    {
        return target.start(fieldText, selectionStart, selectionLength, true);
    }

    // A whole Command on the real runtime and llama-server: the answer replaces the
    // selection and the conversation is kept.
    void commandWorks()
    {
        // A run that failed before may have kept its conversation, with the question.
        const auto before = storedIds(AppPaths::agentConversations());
        QVERIFY(before && before->contains(m_conversations));
        m_conversations = *before;
        TargetWindow target;
        QVERIFY2(startCommandTarget(target), "the text field's window did not open");
        startListening(target.window, QStringLiteral("alt+shift+space"));
        if (QTest::currentTestFailed())
            return;
        speakAndStop(QStringLiteral("alt+shift+space"));
        QTRY_COMPARE_WITH_TIMEOUT(pastedAnswer(target.text), answer, wait);
        QTRY_VERIFY_WITH_TIMEOUT(storedIds(AppPaths::agentConversations()).value_or(QSet<QString>()).size()
                                     == m_conversations.size() + 1,
                                 wait);
        const auto conversations = storedIds(AppPaths::agentConversations());
        QVERIFY(conversations && conversations->contains(m_conversations));
        m_conversations = *conversations;
    }

    // The reason of the last failure, as the Models screen's banner shows it.
    QString shownFailure(const std::function<bool(const QString &)> &matches)
    {
        if (!pressButton(QStringLiteral("Models")))
            return QStringLiteral("(no Models button)");
        const auto banner = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) {
            return m_atspi.name(node) == bannerName && matches(m_atspi.description(node));
        }, wait);
        if (!banner) {
            qWarning().noquote() << m_atspi.dump(*m_application);
            return QString();
        }
        return m_atspi.description(*banner);
    }

    // The row of this name in the open sheet, its list turned with the pointer's wheel
    // until the row shows whole.
    std::optional<AtSpiNode> scrolledTo(const QString &name)
    {
        constexpr quint32 roleScrollBar = 48;
        const auto bar = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) { return m_atspi.role(node) == roleScrollBar; },
                                         wait);
        const auto span = bar ? m_atspi.extents(*bar) : std::nullopt;
        if (!span)
            return std::nullopt;
        for (int turns = 0; turns < 100; ++turns) {
            if (const auto row = m_atspi.find(*m_application, m_atspi.named(name))) {
                const auto rect = m_atspi.extents(*row);
                if (rect && rect->top() >= span->top() && rect->bottom() <= span->bottom())
                    return row;
            }
            if (!clickOnScreen(span->center(), 5))
                return std::nullopt;
        }
        return std::nullopt;
    }

    // A Command whose llama-server stalls after the first words of its answer; the
    // stand-in's process id once they are written.
    qint64 commandThatStalls(TargetWindow &target)
    {
        QFile::remove(llamaLog());
        if (!writeFile(llamaArm(), "armed") || !startCommandTarget(target))
            return 0;
        startListening(target.window, QStringLiteral("alt+shift+space"));
        if (QTest::currentTestFailed())
            return 0;
        speakAndStop(QStringLiteral("alt+shift+space"));
        (void)QTest::qWaitFor([&] { return !logged(llamaLog(), QStringLiteral("stalled")).isEmpty(); }, wait);
        const QList<QJsonObject> starts = logged(llamaLog(), QStringLiteral("start"));
        if (starts.isEmpty() || logged(llamaLog(), QStringLiteral("stalled")).isEmpty())
            return 0;
        return starts.last().value(QStringLiteral("pid")).toInteger();
    }

    // A Dictation whose speech engine holds still; its process id once it runs.
    qint64 dictationThatHolds(TargetWindow &target)
    {
        if (!writeFile(engineArm(), "armed") || !target.start())
            return 0;
        startListening(target.window, QStringLiteral("alt+space"));
        if (QTest::currentTestFailed())
            return 0;
        speakAndStop(QStringLiteral("alt+space"));
        (void)QTest::qWaitFor([&] { return readFile(heldEngine()).trimmed().toLongLong() > 0; }, wait);
        return readFile(heldEngine()).trimmed().toLongLong();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl", "dbus-send", "sqlite3"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        const QString engines = buildDirectory() + QStringLiteral("/libexec/sorvane/");
        for (const char *program : {"whisper-cli", "llama-server", "sorvane-agent"})
            QVERIFY2(QFileInfo(engines + QLatin1String(program)).isExecutable(),
                     qPrintable(engines + QLatin1String(program) + QStringLiteral(" is missing: scripts/build.sh builds it")));
        const QString models = qEnvironmentVariable("SORVANE_TEST_MODELS_DIR");
        for (const char *file : {"whisper-marmalade.bin", "writer-a.gguf"})
            QVERIFY2(QFileInfo(models + QLatin1Char('/') + QLatin1String(file)).isFile(), file);
        QVERIFY(m_home.isValid());
        QVERIFY(m_screenReader.connect());
        QVERIFY(m_atspi.connect());
        // Command reads the selection through the accessibility bus.
        QVERIFY(accessibilityBusOn());
        m_tone = path(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(m_tone));

        QVERIFY(writeEngineScript(QStringLiteral("whisper-cli.sh"), engineArm(),
                                  QStringLiteral("FAKE_SPEECH_ENGINE_HOLD=1 FAKE_SPEECH_ENGINE_PID_FILE='%1' exec '%2'")
                                      .arg(heldEngine(), testProgram(QStringLiteral("fake-speech-engine"))),
                                  engines + QStringLiteral("whisper-cli")));
        QVERIFY(writeEngineScript(QStringLiteral("llama-server.sh"), llamaArm(),
                                  QStringLiteral("SORVANE_FAKE_LLAMA_STALL=1 exec '%1'")
                                      .arg(testProgram(QStringLiteral("fake-llama-server"))),
                                  engines + QStringLiteral("llama-server")));

        // A user who finished the set-up: Pocket is the test speech model, and Command
        // writes with a model of the user's own on the test writing model.
        SorvaneProgram setUp(m_home);
        QVERIFY(setUp.prepare());
        const SpeechModel *pocket = SpeechModel::find(QStringLiteral("pocket"));
        QFile::remove(AppPaths::models() + QLatin1Char('/') + pocket->fileName);
        QVERIFY(QFile::copy(models + QStringLiteral("/whisper-marmalade.bin"), AppPaths::models() + QLatin1Char('/') + pocket->fileName));
        QJsonArray custom;
        for (const auto &[id, name] : {std::pair{writerID, QStringLiteral("My Writer")}, std::pair{spareID, QStringLiteral("Spare Writer")}}) {
            const AgentModelDescriptor model = customWriter(id, name);
            custom.append(model.toJson());
            const QString folder = AppPaths::agentModels() + QLatin1Char('/') + id;
            QVERIFY(AppPaths::makePrivatePath(folder));
            QVERIFY(QFile::copy(models + QStringLiteral("/writer-a.gguf"), folder + QLatin1Char('/') + model.modelArtifact()->fileName));
        }
        QVERIFY(AppPaths::makePrivatePath(AppPaths::agentData()));
        QVERIFY(writeFile(AppPaths::customAgentModels(), QJsonDocument(custom).toJson()));
        AgentSettings command = AgentSettings::defaults();
        command.writingProvider = AgentWritingProvider::Local;
        command.selectedModelID = writerID;
        command.playCompletionSound = false;
        JsonFileSettingsStore(storedFile(QStringLiteral("settings.json"), configHome()))
            .setValue(QStringLiteral("agentSettings"), storedjson::encode(command.toJson()));
    }

    void cleanup()
    {
        if (m_sorvane)
            stopProgram(m_sorvane->process);
        m_sorvane.reset();
        m_application.reset();
        releaseKeys();
        for (const QString &held : {heldSave(), heldEngine()}) {
            killProcess(readFile(held).trimmed().toLongLong());
            QFile::remove(held);
        }
        for (const QString &arm : {saveArm(), engineArm(), llamaArm()})
            QFile::remove(arm);
    }

    // What the kills must not lose: a dictation and a Command, both whole, and the
    // runtime's turns of the conversation.
    void aDictationAndACommandAreKept()
    {
        startProgram();
        dictationWorks();
        commandWorks();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(AppPaths::agentSessions()), wait);
        checkReopened();
        QCOMPARE(m_history.size(), 1);
        QCOMPARE(m_conversations.size(), 1);
    }

    void killedWhileRecording()
    {
        startProgram();
        TargetWindow target;
        QVERIFY(target.start());
        startListening(target.window, QStringLiteral("alt+space"));
        killProgram();
        restartAndCheck();
    }

    void killedWhileTranscribing()
    {
        startProgram();
        TargetWindow target;
        QVERIFY2(dictationThatHolds(target) > 0, "the speech engine did not run");
        killProgram();
        restartAndCheck();
    }

    void killedWhileACommandStreams()
    {
        startProgram();
        TargetWindow target;
        QVERIFY2(commandThatStalls(target) > 0, "no answer began to stream");
        killProgram();
        restartAndCheck();
    }

    void killedDuringASave_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("history") << QStringLiteral("history.json");
        QTest::newRow("conversations") << QStringLiteral("conversations.json");
        QTest::newRow("runtime's turns") << QStringLiteral("sessions.sqlite");
        QTest::newRow("settings") << QStringLiteral("settings.json");
        QTest::newRow("custom models") << QStringLiteral("custom-models.json");
    }

    // The save is held where it replaces the file (the runtime's database where it
    // flushes it), then the program and the process that saves are killed.
    void killedDuringASave()
    {
        QFETCH(QString, file);
        startProgram();
        QVERIFY(writeFile(saveArm(), file.toUtf8()));
        TargetWindow target;
        if (file == QLatin1String("history.json")) {
            QVERIFY(target.start());
            startListening(target.window, QStringLiteral("alt+space"));
            speakAndStop(QStringLiteral("alt+space"));
        } else if (file == QLatin1String("conversations.json") || file == QLatin1String("sessions.sqlite")) {
            QVERIFY(startCommandTarget(target));
            startListening(target.window, QStringLiteral("alt+shift+space"));
            speakAndStop(QStringLiteral("alt+shift+space"));
        } else if (file == QLatin1String("settings.json")) {
            // The user turns a switch in Settings.
            QVERIFY(pressButton(QStringLiteral("Settings")));
            QVERIFY(m_atspi.clickButton(*m_application, QStringLiteral("Behaviour"), wait));
            const auto restore = m_atspi.waitFor(*m_application, m_atspi.named(QStringLiteral("Restore clipboard after paste")), wait);
            QVERIFY2(restore, "no switch to restore the clipboard");
            QVERIFY(m_atspi.click(*restore));
        } else {
            // The user removes the spare model from the writing-model sheet, from its
            // row's menu (a writing model goes without a question).
            QVERIFY(pressButton(QStringLiteral("Models")));
            QVERIFY(pressButton(QStringLiteral("Change writing model")));
            const auto row = scrolledTo(QStringLiteral("Spare Writer"));
            if (!row)
                qWarning().noquote() << m_atspi.dump(*m_application);
            QVERIFY2(row, "the spare model is not listed");
            QVERIFY(m_atspi.click(*row, 3));
            QVERIFY2(m_atspi.clickButton(*m_application, QStringLiteral("Remove downloaded model"), wait), "no menu item");
        }
        QTRY_VERIFY2_WITH_TIMEOUT(readFile(heldSave()).trimmed().toLongLong() > 0,
                                  qPrintable(QStringLiteral("the save of %1 never came").arg(file)), wait);
        const QString saved = storedFile(file, configHome());
        killProgram();
        QVERIFY2(QFile::exists(saved), qPrintable(saved + QStringLiteral(" is gone")));
        // Cut short in the middle: the new copy written beside the file, or the
        // database's rollback journal, is still there for the next start to deal with.
        if (file == QLatin1String("sessions.sqlite")) {
            QVERIFY2(QFile::exists(saved + QStringLiteral("-journal")), "the runtime's save was not under way");
        } else {
            const QStringList beside = QDir(QFileInfo(saved).absolutePath()).entryList(QDir::Files | QDir::Hidden);
            QVERIFY2(std::any_of(beside.cbegin(), beside.cend(),
                                 [&](const QString &name) { return name.startsWith(file) && AppPaths::isLeftOverSaveCopy(name); }),
                     qPrintable(QStringLiteral("the save of %1 was not under way: %2").arg(file, beside.join(QLatin1Char(' ')))));
        }
        restartAndCheck();
    }

    void theSpeechEngineKilledMidRunIsReported()
    {
        startProgram();
        TargetWindow target;
        const qint64 engine = dictationThatHolds(target);
        QVERIFY2(engine > 0, "the speech engine did not run");
        killProcess(engine);
        QFile::remove(heldEngine());
        // Killed, it said nothing: the runner's words for a failure without a reason.
        const QString expected = QStringLiteral("The local transcription failed.");
        QCOMPARE(shownFailure([&](const QString &text) { return text == expected; }), expected);
        QCOMPARE(target.text, QString());
        QCOMPARE(*storedIds(AppPaths::history()), m_history);
        dictationWorks();
    }

    void theRuntimeKilledMidAnswerIsReported()
    {
        startProgram();
        TargetWindow target;
        QVERIFY2(commandThatStalls(target) > 0, "no answer began to stream");
        const QList<qint64> runtimes = descendantsNamed(m_sorvane->process.processId(), QStringLiteral("sorvane-agent"));
        QCOMPARE(runtimes.size(), 1);
        killProcess(runtimes.first());
        // The runtime service's words, with the last lines the runtime wrote, if any.
        const QString shown = shownFailure([](const QString &text) { return text.startsWith(QLatin1String("Command stopped unexpectedly.")); });
        QVERIFY2(shown.startsWith(QLatin1String("Command stopped unexpectedly.")), qPrintable(shown));
        // Nothing was pasted: the field never changed.
        QCOMPARE(target.text, QString());
        commandWorks();
    }

    void llamaServerKilledMidAnswerIsReported()
    {
        startProgram();
        TargetWindow target;
        const qint64 server = commandThatStalls(target);
        QVERIFY2(server > 0, "no answer began to stream");
        killProcess(server);
        // The runtime's words for an answer whose stream ended before its end.
        const QString expected = QStringLiteral("The answer from llama-server was cut off before it was complete. Try again.");
        QCOMPARE(shownFailure([&](const QString &text) { return text == expected; }), expected);
        // Nothing was pasted: the field never changed.
        QCOMPARE(target.text, QString());
        commandWorks();
    }

    // After every kill, the program still dictates and runs Commands, and keeps them.
    void everythingWorksAfterTheKills()
    {
        startProgram();
        dictationWorks();
        commandWorks();
        checkReopened();
        stopProgram(m_sorvane->process);
        m_sorvane.reset();
        checkStores();
    }
};

QTEST_GUILESS_MAIN(AcceptanceKillsTest)
#include "tst_acceptance_kills.moc"
