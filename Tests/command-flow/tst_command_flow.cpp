// The Command flow end to end inside the application state: the shortcut, the capture
// on a fake desktop, the spoken instruction through the fake speech engine, the run on
// the scripted fake runtime, the delivery, the follow-ups and the result actions.
#include "CommandHarness.h"

#include "Command/AgentRuntimeError.h"
#include "Command/AgentCompletionNotice.h"
#include "Shared/AppPaths.h"
#include "AwaitTask.h"
#include "../runtime/FakeAgent.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(sorvane::ErrorResolutionDestination)

namespace {

constexpr int runWait = 20000;
const QList<AgentContextAttachment> noAttachments;

const QString openAIService = QStringLiteral("com.sorvane.local.openai-api");
const QString openAIAccount = QStringLiteral("OPENAI_API_KEY");
const QString openAIKey = QStringLiteral("sk-test-0123456789abcdefghij");

// The request lines the fake runtime received, oldest first.
QList<QJsonObject> requestLines(const QString &logPath)
{
    QList<QJsonObject> lines;
    for (const QString &line : FakeAgentLog(logPath).requestLines())
        lines.append(QJsonDocument::fromJson(line.toUtf8()).object());
    return lines;
}

// A file whose reader waits until the test lets it read: a named pipe at its path, which
// a reader's open() waits on until this end opens it, writes the content and closes it.
class HeldFile {
public:
    explicit HeldFile(QString path) : m_path(std::move(path))
    {
        m_made = ::mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0;
    }
    ~HeldFile() { release({}); } // a failed test must not leave its reader waiting
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

    bool isMade() const { return m_made; }
    // Whether the pipe is still there, not replaced by a file written in its place.
    bool isUntouched() const
    {
        struct stat info {};
        return ::lstat(QFile::encodeName(m_path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
    }

    // Hands the content to the reader, once it has come to the pipe.
    bool release(const QByteArray &content)
    {
        if (!m_made)
            return false;
        m_made = false;
        int fd = -1;
        // Without a reader at the other end, a writer's open fails at once (ENXIO).
        (void)QTest::qWaitFor([&] {
            fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
            return fd >= 0;
        }, 20000);
        if (fd < 0)
            return false;
        const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
        ::close(fd);
        return written;
    }

private:
    QString m_path;
    bool m_made = false;
};

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A local catalogue model that takes images, with its vision projector.
AgentModelDescriptor imageModel()
{
    for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog())
        if (model.provider == AgentModelProvider::LlamaCPP && model.capabilities.images && model.projectorArtifact())
            return model;
    qFatal("The catalogue has no local image model");
}

// Puts the files of a local model in place, as a finished download leaves them.
bool installModelFiles(const AgentModelStore &store, const AgentModelDescriptor &model)
{
    const QDir folder(store.modelFolder(model));
    if (!folder.mkpath(QStringLiteral(".")))
        return false;
    for (const AgentModelArtifact &artifact : model.artifacts) {
        QFile file(folder.filePath(artifact.fileName));
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

QString settingText(const SettingValue &value)
{
    if (const auto *text = std::get_if<QString>(&value))
        return *text;
    if (const auto *bytes = std::get_if<QByteArray>(&value))
        return QString::fromUtf8(*bytes);
    if (const auto *list = std::get_if<QStringList>(&value))
        return list->join(QLatin1Char('\n'));
    return QString();
}

} // namespace

class CommandFlowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_logFolder;
    QString m_agentLog;

    // A Command from the first press of its shortcut to the second, with what the
    // engine hears.
    static void runCommand(CommandHarness &h, const QByteArray &transcript, bool screenshot = false)
    {
        AppState &state = h.t.state();
        state.toggleAgentRecording(screenshot, std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
        CommandHarness::willHear(transcript);
        state.toggleAgentRecording(screenshot, std::nullopt);
    }

private Q_SLOTS:
    void init()
    {
        m_logFolder = std::make_unique<QTemporaryDir>();
        m_agentLog = m_logFolder->filePath(QStringLiteral("fake-agent.log"));
        qputenv("SORVANE_FAKE_AGENT_LOG", m_agentLog.toUtf8());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("screenshot");
        QTest::addColumn<QString>("message");
        QTest::addColumn<ErrorResolutionDestination>("destination");

        QTest::newRow("microphone") << "microphone" << false << "Microphone access is required."
                                    << ErrorResolutionDestination::permissions();
        QTest::newRow("accessibility")
            << "accessibility" << false
            << "Accessibility access is required for selected-text context and automatic paste."
            << ErrorResolutionDestination::permissions();
        QTest::newRow("no writing model") << "no model" << false << "Choose a writing model."
                                          << ErrorResolutionDestination::commandModels();
        QTest::newRow("screenshot with a text model")
            << "" << true << "Switch to an image-capable model to include a screenshot."
            << ErrorResolutionDestination::commandModels();
        QTest::newRow("cloud model without key")
            << "gemini" << false << "Add your Gemini API key before using this model."
            << ErrorResolutionDestination::apiKeys(AgentWritingProvider::Gemini);
        QTest::newRow("local model not downloaded") << "not downloaded" << false << "Download %1 before using it."
                                                    << ErrorResolutionDestination::commandModels();
        QTest::newRow("speech model missing") << "speech model" << false << "Download the selected speech model first."
                                              << ErrorResolutionDestination::dictationModels();
    }
    void refusals()
    {
        QFETCH(QString, setup);
        QFETCH(bool, screenshot);
        QFETCH(QString, message);
        QFETCH(ErrorResolutionDestination, destination);

        CommandHarness h;
        AgentSettings settings;
        if (setup == QLatin1String("microphone"))
            h.t.permissions.microphone = false;
        if (setup == QLatin1String("accessibility"))
            h.t.permissions.accessibility = false;
        if (setup == QLatin1String("no model"))
            settings.selectedModelID = QStringLiteral("no-such-model");
        if (setup == QLatin1String("not downloaded")) {
            settings.selectedModelID = imageModel().id;
            message = message.arg(imageModel().name);
        }
        if (setup == QLatin1String("speech model"))
            QVERIFY(QFile::remove(QDir(h.t.modelsFolder()).filePath(SpeechModel::find(QStringLiteral("pocket"))->fileName)));
        h.setAgentSettings(settings);
        AppState &state = h.start();
        if (setup == QLatin1String("gemini")) {
            // Chosen after start: without a key the start falls back to the local models.
            settings.writingProvider = AgentWritingProvider::Gemini;
            state.setAgentSettings(settings);
        }

        state.startAgentRecording(screenshot, std::nullopt, std::nullopt);
        QCOMPARE(state.agentPhase(), AgentPhase::Error);
        QCOMPARE(state.agentPhaseDetail(), message);
        QVERIFY(state.errorResolution());
        QCOMPARE(state.errorResolution()->message, message);
        QVERIFY(state.errorResolution()->destination == destination);
        // Nothing was captured or recorded.
        QCOMPARE(h.recorderStarts(), 0);
        QVERIFY(h.desktop.keystrokes->sent.isEmpty());
        QVERIFY(h.overlayPresented());
        QVERIFY(h.t.timers.pendingDelays().contains(3000));
        h.t.timers.advance(3000ms);
        QVERIFY(!h.overlayPresented());
    }

    void noInstruction()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, " \n\t ");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Error, runWait);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("No instruction was detected."));
        QVERIFY(state.errorResolution()->destination == ErrorResolutionDestination::commandModels());
        QVERIFY(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty());
        QVERIFY(h.t.agentConversationStore->conversations().isEmpty());
    }

    void newCommandEndToEnd()
    {
        CommandHarness h;
        AppState &state = h.start();

        // "stream" and then enough words for a title longer than its limit.
        const QString instruction = QStringLiteral("stream ") + QString(93, QLatin1Char('w'));
        runCommand(h, instruction.toUtf8());
        QCOMPARE(state.agentPhase(), AgentPhase::Transcribing);
        QCOMPARE(state.agentPhaseDetail(), SpeechModel::find(QStringLiteral("pocket"))->name);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);

        QCOMPARE(state.agentResultText(), QStringLiteral("Hello, world"));
        QCOMPARE(state.agentStreamedText(), QStringLiteral("Hello, world"));
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Ready"));
        QCOMPARE(state.agentProgress(), 1.0);
        QVERIFY(!state.agentResultNeedsPaste());
        // Pasted over the selection of the target, and copied (copy is on by default).
        QCOMPARE(h.desktop.field.value, QStringLiteral("Hello Hello, world new world"));
        QCOMPARE(h.desktop.clipboard->text(), std::optional(QStringLiteral("Hello, world")));
        QCOMPARE(state.targetApplicationName(), QStringLiteral("Fixture"));

        QCOMPARE(h.t.agentConversationStore->conversations().size(), 1);
        const AgentConversation conversation = h.t.agentConversationStore->conversations().first();
        QCOMPARE(state.activeAgentConversationID(), std::optional(conversation.id));
        QCOMPARE(conversation.title, instruction.left(72));
        QCOMPARE(conversation.targetApplicationName, QStringLiteral("Fixture"));
        QCOMPARE(conversation.messages.size(), 2);
        QCOMPARE(conversation.messages[0].text, instruction);
        QCOMPARE(conversation.messages[0].attachments.size(), 1);
        QCOMPARE(conversation.messages[0].attachments[0].text, std::optional(QStringLiteral("brave")));
        QCOMPARE(conversation.messages[1].text, QStringLiteral("Hello, world"));
        QCOMPARE(conversation.lastPastedText, std::optional(QStringLiteral("Hello, world")));
        QVERIFY(readAll(h.t.agentConversationStore->filePath()).contains(QStringLiteral("Hello, world")));

        const auto requests = requestLines(m_agentLog);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].value(QStringLiteral("command")).toString(), QStringLiteral("run"));
        QCOMPARE(requests[0].value(QStringLiteral("conversationID")).toString(),
                 conversation.id.toString(QUuid::WithoutBraces).toUpper());

        QCOMPARE(h.soundsPlayed(), 1);
        QCOMPARE(h.panelCalls().filter(QStringLiteral("showResult")),
                 QStringList{QStringLiteral("showResult ") + conversation.id.toString(QUuid::WithoutBraces).toUpper()});
        QTRY_COMPARE_WITH_TIMEOUT(h.t.fakes.notifications->shown.size(), 1, runWait);
        QCOMPARE(h.t.fakes.notifications->shown.first().body, AgentCompletionNotice::body(true, true, QStringLiteral("Fixture")));
        QVERIFY(!h.cancelRegistered());
        QVERIFY(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty());

        // The overlay goes 1.2 seconds after the answer.
        QVERIFY(h.overlayPresented());
        h.t.timers.advance(1199ms);
        QVERIFY(h.overlayPresented());
        h.t.timers.advance(1ms);
        QVERIFY(!h.overlayPresented());
    }

    void screenshotMovesIntoConversationFolder()
    {
        CommandHarness h;
        AgentSettings settings;
        settings.selectedModelID = imageModel().id;
        h.setAgentSettings(settings);
        AppState &state = h.start();
        QVERIFY(installModelFiles(*h.t.agentModelStore, imageModel()));

        state.startAgentRecording(true, std::nullopt, std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Window attached"));
        CommandHarness::willHear("stream");
        state.stopAgentAndRun();
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);

        const AgentConversation conversation = h.t.agentConversationStore->conversations().first();
        const auto attachments = conversation.messages.first().attachments;
        QCOMPARE(attachments.size(), 2);
        QCOMPARE(attachments[1].kind, AgentAttachmentKind::Screenshot);
        const QString expectedFolder = h.t.agentConversationStore->attachmentFolder(conversation.id);
        QVERIFY(attachments[1].filePath);
        QCOMPARE(QFileInfo(*attachments[1].filePath).absolutePath(), QDir(expectedFolder).absolutePath());
        QVERIFY(QFile::exists(*attachments[1].filePath));

        // The local model's files and its projector go with the request.
        const auto request = requestLines(m_agentLog).first();
        const QDir folder(h.t.agentModelStore->modelFolder(imageModel()));
        QCOMPARE(request.value(QStringLiteral("modelPath")).toString(), folder.filePath(imageModel().modelArtifact()->fileName));
        QCOMPARE(request.value(QStringLiteral("projectorPath")).toString(),
                 folder.filePath(imageModel().projectorArtifact()->fileName));
        QVERIFY(!request.contains(QStringLiteral("cloudAPIKey")));
        QVERIFY(!request.contains(QStringLiteral("reasoningEffort")));
        QCOMPARE(request.value(QStringLiteral("attachments")).toArray().size(), 2);
    }

    void cloudKeyOnlyInRequest()
    {
        CommandHarness h;
        h.storeKey(openAIService, openAIAccount, openAIKey);
        AgentSettings settings;
        settings.writingProvider = AgentWritingProvider::OpenAI;
        settings.openAIReasoningEffort = AgentReasoningEffort::High;
        h.setAgentSettings(settings);
        AppState &state = h.start();
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::OpenAI));

        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        const auto request = requestLines(m_agentLog).first();
        QCOMPARE(request.value(QStringLiteral("cloudAPIKey")).toString(), openAIKey);
        QCOMPARE(request.value(QStringLiteral("reasoningEffort")).toString(), QStringLiteral("high"));
        QCOMPARE(request.value(QStringLiteral("model")).toObject().value(QStringLiteral("provider")).toString(),
                 QStringLiteral("openAI"));
        QVERIFY(!request.contains(QStringLiteral("modelPath")));

        // Nowhere else: not in the stored conversations, the settings or what is shown.
        QVERIFY(!readAll(h.t.agentConversationStore->filePath()).contains(openAIKey));
        for (const auto &value : std::as_const(h.t.fakes.settings->values))
            QVERIFY(!settingText(value).contains(openAIKey));
        for (const QString &shown : {state.agentPhaseDetail(), state.agentResultText(), state.agentStreamedText()})
            QVERIFY(!shown.contains(openAIKey));
    }

    void legacyKeyIsCarriedOverAndUsed()
    {
        CommandHarness h;
        const QString legacyService = QStringLiteral("com.brivel.plus.openai-api");
        h.storeKey(legacyService, openAIAccount, openAIKey);
        AgentSettings settings;
        settings.writingProvider = AgentWritingProvider::OpenAI;
        h.setAgentSettings(settings);
        AppState &state = h.start();

        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QCOMPARE(requestLines(m_agentLog).first().value(QStringLiteral("cloudAPIKey")).toString(), openAIKey);
        const auto &items = h.t.fakes.secretStore->items;
        QCOMPARE(items.value({openAIService, openAIAccount}), openAIKey.toUtf8());
        QVERIFY(items.contains({legacyService, openAIAccount}));
    }

    void keyringFailureLeadsToTheKeyRow()
    {
        CommandHarness h;
        h.storeKey(openAIService, openAIAccount, openAIKey);
        AgentSettings settings;
        settings.writingProvider = AgentWritingProvider::OpenAI;
        h.setAgentSettings(settings);
        AppState &state = h.start();
        QVERIFY(state.isAPIKeyConfigured(AgentWritingProvider::OpenAI));
        // The keyring fails between the start and the run.
        h.t.fakes.secretStore->failures.insert(QStringLiteral("read ") + openAIService,
                                               SecretStore::Status::failed(-5, QStringLiteral("The keyring is locked.")));

        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Error, runWait);
        QVERIFY(state.errorResolution()->destination == ErrorResolutionDestination::apiKeys(AgentWritingProvider::OpenAI));
        QCOMPARE(state.agentPhaseDetail(), state.errorResolution()->message);
        QVERIFY(!state.agentPhaseDetail().isEmpty());
        QVERIFY(requestLines(m_agentLog).isEmpty());
        QVERIFY(!h.cancelRegistered());
    }

    void instructionFailures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<ErrorResolutionDestination>("destination");
        QTest::newRow("no speech engine") << "engine" << ErrorResolutionDestination::commandModels();
        QTest::newRow("engine fails") << "engine fails" << ErrorResolutionDestination::commandModels();
        QTest::newRow("microphone refuses to start") << "recorder" << ErrorResolutionDestination::commandSettings();
    }
    void instructionFailures()
    {
        QFETCH(QString, failure);
        QFETCH(ErrorResolutionDestination, destination);
        CommandHarness h;
        if (failure == QLatin1String("engine"))
            h.t.engineLocator = [](SpeechEngine) { return std::optional<QString>(); };
        if (failure == QLatin1String("engine fails"))
            qputenv("FAKE_SPEECH_ENGINE_EXIT_STATUS", "3");
        if (failure == QLatin1String("recorder"))
            h.t.fakes.audioInput->startFailure = QStringLiteral("the device is busy");
        AppState &state = h.start();

        state.toggleAgentRecording(false, std::nullopt);
        if (failure != QLatin1String("recorder")) {
            QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
            CommandHarness::willHear("stream");
            state.toggleAgentRecording(false, std::nullopt);
        }
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Error, runWait);
        qunsetenv("FAKE_SPEECH_ENGINE_EXIT_STATUS");
        QVERIFY(state.errorResolution());
        QVERIFY(state.errorResolution()->destination == destination);
        QCOMPARE(state.agentPhaseDetail(), state.errorResolution()->message);
        QVERIFY(!h.cancelRegistered());
        QVERIFY(h.t.agentConversationStore->conversations().isEmpty());
        QVERIFY(requestLines(m_agentLog).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty(), runWait);
    }

    void events()
    {
        CommandHarness h;
        AppState &state = h.start();
        struct Seen {
            AgentPhase phase;
            QString detail;
            QString streamed;
            double progress;
        };
        QList<Seen> seen;
        const auto record = [&] {
            seen.append({state.agentPhase(), state.agentPhaseDetail(), state.agentStreamedText(), state.agentProgress()});
        };
        connect(&state, &AppState::agentPhaseDetailChanged, this, record);
        connect(&state, &AppState::agentStreamedTextChanged, this, record);

        runCommand(h, "raw "
                      R"({"version":1,"requestID":"{id}","kind":"phase","phase":"loadingModel"})"
                      " || "
                      R"({"version":1,"requestID":"{id}","kind":"phase","phase":"generating","text":"Thinking it over"})"
                      " || "
                      R"({"version":1,"requestID":"{id}","kind":"delta","text":"0123456789"})"
                      " || "
                      // Of another request: never shown.
                      R"({"version":1,"requestID":"0E3E6C4C-5E4B-4F43-9C55-3D0C8F0B1A11","kind":"delta","text":"WRONG"})"
                      " || "
                      R"({"version":1,"requestID":"{id}","kind":"warning","text":"ignored"})"
                      " || "
                      R"({"version":1,"requestID":"{id}","kind":"completed","text":"0123456789"})");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);

        const auto at = [&](const QString &detail) {
            for (const Seen &s : seen)
                if (s.detail == detail)
                    return std::optional(s);
            return std::optional<Seen>();
        };
        const auto thinking = at(QStringLiteral("Thinking it over"));
        QVERIFY(thinking);
        QCOMPARE(thinking->phase, AgentPhase::Generating);
        QVERIFY(thinking->progress >= 0.38);
        const auto streamed = std::find_if(seen.begin(), seen.end(), [](const Seen &s) { return s.streamed == QLatin1String("0123456789"); });
        QVERIFY(streamed != seen.end());
        QVERIFY(streamed->progress >= thinking->progress + 0.002);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Ready"));
        QVERIFY(std::none_of(seen.begin(), seen.end(), [](const Seen &s) { return s.streamed.contains(QLatin1String("WRONG")); }));
        QCOMPARE(state.agentResultText(), QStringLiteral("0123456789"));
    }

    void progressTicksWhileLoading()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, "silent");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::LoadingModel, runWait);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Checking the on-device model"));
        QCOMPARE(state.agentProgress(), 0.04);
        QVERIFY(h.cancelRegistered());
        h.t.timers.advance(180ms);
        const double afterOneTick = state.agentProgress();
        QVERIFY(afterOneTick > 0.04);
        h.t.timers.advance(1800ms);
        QVERIFY(state.agentProgress() > afterOneTick);
        QVERIFY(state.agentProgress() <= 0.32);
    }

    void completionSettings_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<bool>("toast");
        QTest::addColumn<bool>("notify");

        QTest::newRow("copy and paste, toast and notification") << true << true << true << true;
        QTest::newRow("paste only") << false << true << false << true;
        QTest::newRow("copy only") << true << false << true << false;
        QTest::newRow("neither") << false << false << false << false;
    }
    void completionSettings()
    {
        QFETCH(bool, copy);
        QFETCH(bool, paste);
        QFETCH(bool, toast);
        QFETCH(bool, notify);

        CommandHarness h;
        AgentSettings settings;
        settings.copyResult = copy;
        settings.automaticPaste = paste;
        settings.showCompletionNotification = toast;
        settings.notifyOnCompletion = notify;
        h.setAgentSettings(settings);
        const QString before = QStringLiteral("what the user had copied");
        h.desktop.clipboard->writeByOtherProgram({textItem(before)});
        AppState &state = h.start();

        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);

        const AgentConversation conversation = h.t.agentConversationStore->conversations().first();
        QCOMPARE(h.desktop.field.value.contains(QLatin1String("Hello, world")), paste);
        QCOMPARE(conversation.lastPastedText, paste ? std::optional(QStringLiteral("Hello, world")) : std::nullopt);
        QVERIFY(!state.agentResultNeedsPaste());
        // Pasting without copying puts the user's clipboard back.
        QTRY_COMPARE_WITH_TIMEOUT(h.desktop.clipboard->text(), std::optional(copy ? QStringLiteral("Hello, world") : before), runWait);
        QCOMPARE(!h.panelCalls().filter(QStringLiteral("showResult")).isEmpty(), toast);
        if (notify) {
            QTRY_COMPARE_WITH_TIMEOUT(h.t.fakes.notifications->shown.size(), 1, runWait);
            // Pasted: said as pasted into the target, whether or not it was also copied.
            QCOMPARE(h.t.fakes.notifications->shown.first().body,
                     AgentCompletionNotice::body(paste, copy, paste ? QStringLiteral("Fixture") : QString()));
        } else {
            QVERIFY(h.t.fakes.notifications->shown.isEmpty());
        }
    }

    void runtimeErrorShown()
    {
        CommandHarness h;
        AppState &state = h.start();
        // The program's log keeps the failure with its cause: which writing model failed.
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^A Command failed: .*The model ran out of memory\\..* "
                                                               "\\(the writing model .+ \\(.+\\) answered with an error\\)$")));
        runCommand(h, "error");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Error, runWait);
        QVERIFY(state.agentPhaseDetail().contains(QStringLiteral("The model ran out of memory.")));
        QVERIFY(state.errorResolution()->destination == ErrorResolutionDestination::commandModels());
        QCOMPARE(state.errorResolution()->message, state.agentPhaseDetail());
        QCOMPARE(state.agentProgress(), 0.0);
        QVERIFY(!h.cancelRegistered());
        // The instruction stays in its conversation; no answer was added.
        QCOMPARE(h.t.agentConversationStore->conversations().first().messages.size(), 1);
    }

    void captureFailureIsNoPermissionMatter_data()
    {
        QTest::addColumn<bool>("denied");
        QTest::newRow("grab failed") << false;
        QTest::newRow("screen capture refused") << true;
    }
    void captureFailureIsNoPermissionMatter()
    {
        QFETCH(bool, denied);
        CommandHarness h;
        AgentSettings settings;
        settings.selectedModelID = imageModel().id;
        h.setAgentSettings(settings);
        if (denied)
            h.desktop.capture->granted = false;
        else
            h.desktop.capture->works = false;
        AppState &state = h.start();
        QVERIFY(installModelFiles(*h.t.agentModelStore, imageModel()));

        state.startAgentRecording(true, std::nullopt, std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Error, runWait);
        QVERIFY(state.errorResolution());
        QCOMPARE(state.errorResolution()->message, state.agentPhaseDetail());
        QCOMPARE(state.errorResolution()->destination == ErrorResolutionDestination::permissions(), denied);
        if (denied)
            QCOMPARE(state.agentPhaseDetail(), AgentRuntimeError::screenRecordingDenied().message());
        else
            QVERIFY(state.errorResolution()->destination == ErrorResolutionDestination::commandSettings());
        QCOMPARE(h.recorderStarts(), 0);
    }

    void cancelWhileGeneratingShowsNoLateError()
    {
        CommandHarness h;
        AppState &state = h.start();
        // The runtime answers only once its input closes, late: a delta, an answer
        // and an error that belongs to no request.
        runCommand(h, "linger");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Generating, runWait);
        QVERIFY(h.cancelRegistered());
        const qint64 runtime = h.t.runtime->processId();
        QVERIFY(runtime > 0);

        state.cancelRecording();
        QCOMPARE(state.agentPhase(), AgentPhase::Cancelled);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Cancelled"));
        QVERIFY(!h.cancelRegistered());
        // The retired runtime says its late piece and goes.
        QTRY_VERIFY_WITH_TIMEOUT(processGone(runtime), runWait);
        QTRY_VERIFY_WITH_TIMEOUT(!h.t.runtime->isBusy(), runWait);
        QCoreApplication::processEvents();
        QCOMPARE(state.agentPhase(), AgentPhase::Cancelled);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Cancelled"));
        QVERIFY(!state.errorResolution());
        QVERIFY(!state.agentStreamedText().contains(QStringLiteral("late")));
        QVERIFY(state.agentResultText().isEmpty());
        QCOMPARE(h.t.agentConversationStore->conversations().first().messages.size(), 1);
        QVERIFY(h.t.timers.pendingDelays().contains(500));
    }

    // ---- Races and guards ----

    void pressDuringCaptureIsIgnored()
    {
        CommandHarness h;
        // No accessible selection: the capture falls back to a synthetic copy that the
        // target never answers, and waits for it.
        h.desktop.accessibility->hasText = false;
        h.desktop.targetAnswersCopy = false;
        AppState &state = h.start();

        state.toggleAgentRecording(false, std::nullopt);
        QVERIFY(state.isCommandBusy());
        QCOMPARE(state.agentPhase(), AgentPhase::Idle);
        // Presses while the capture waits: none starts a second capture.
        state.toggleAgentRecording(false, std::nullopt);
        state.toggleAgentRecording(true, std::nullopt);
        state.startAgentRecording(false, std::nullopt, QUuid::createUuid());
        state.startAgentFollowUpRecording();
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
        QCOMPARE(h.recorderStarts(), 1);
        QCOMPARE(std::count_if(h.desktop.keystrokes->sent.begin(), h.desktop.keystrokes->sent.end(),
                               [](const KeyChord &chord) { return chord.key == QLatin1String("c"); }),
                 1);
    }

    void dictationBegunDuringCaptureKeepsRecorder()
    {
        CommandHarness h;
        h.desktop.accessibility->hasText = false;
        h.desktop.targetAnswersCopy = false;
        AgentSettings settings;
        settings.selectedModelID = imageModel().id;
        h.setAgentSettings(settings);
        AppState &state = h.start();
        QVERIFY(installModelFiles(*h.t.agentModelStore, imageModel()));
        const QDir pending(AppPaths::agentAttachments() + QStringLiteral("/pending"));

        state.toggleAgentRecording(true, std::nullopt);
        // A Dictation takes the recorder while the Command's capture waits.
        state.setStatus(CaptureStatus::recording());
        QTRY_VERIFY_WITH_TIMEOUT(!state.isCommandBusy(), runWait);
        QCOMPARE(state.agentPhase(), AgentPhase::Idle);
        QCOMPARE(h.recorderStarts(), 0);
        QVERIFY(!state.errorResolution());
        // The window was grabbed for a Command that never started: its file is gone.
        QVERIFY(h.desktop.capture->grabbedWindow != 0);
        QVERIFY(pending.entryList(QDir::Files).isEmpty());
    }

    void commandAfterDictationResultShowsCommandLayout_data()
    {
        QTest::addColumn<CaptureStatus>("before");
        QTest::newRow("success") << CaptureStatus::success(QStringLiteral("dictated"));
        QTest::newRow("error") << CaptureStatus::error(QStringLiteral("failed"));
    }
    void commandAfterDictationResultShowsCommandLayout()
    {
        QFETCH(CaptureStatus, before);
        CommandHarness h;
        AppState &state = h.start();
        state.setStatus(before);
        QVERIFY(!state.overlayShowsAgent());
        state.startAgentRecording(false, std::nullopt, std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
        QCOMPARE(state.status().kind(), CaptureStatus::Kind::Idle);
        QVERIFY(state.overlayShowsAgent());
    }

    void onlyOneRunAtATime()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, "generate-then-hang");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Generating, runWait);
        QTRY_COMPARE_WITH_TIMEOUT(requestLines(m_agentLog).size(), 1, runWait);
        const QUuid conversation = *state.activeAgentConversationID();

        state.runWritingAgent(QStringLiteral("stream"), conversation, {}, true, std::nullopt);
        state.submitAgentFollowUp(QStringLiteral("stream"), noAttachments);
        state.startAgentRecording(false, std::nullopt, std::nullopt);
        QCOMPARE(state.agentPhase(), AgentPhase::Generating);
        QCOMPARE(h.recorderStarts(), 1);
        QCOMPARE(h.t.agentConversationStore->conversation(conversation)->messages.size(), 1);
        // Give a second request the time to arrive, were one sent.
        QTest::qWait(300);
        QCOMPARE(requestLines(m_agentLog).size(), 1);
    }

    void deliveryKeepsRunActive()
    {
        CommandHarness h;
        AppState &state = h.start();
        bool refusedDuringDelivery = false;
        int startsDuringDelivery = -1;
        // The moment the answer is in and its delivery begins, the user presses again.
        connect(&state, &AppState::agentResultTextChanged, this, [&] {
            refusedDuringDelivery = state.isCommandBusy() && state.agentPhase() != AgentPhase::Completed;
            state.startAgentRecording(false, std::nullopt, std::nullopt);
            state.submitAgentFollowUp(QStringLiteral("stream"), noAttachments);
            startsDuringDelivery = h.recorderStarts();
        });
        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QVERIFY(refusedDuringDelivery);
        QCOMPARE(startsDuringDelivery, 1);
        QCOMPARE(h.recorderStarts(), 1);
        QCOMPARE(h.desktop.field.value, QStringLiteral("Hello Hello, world new world"));
        QCOMPARE(h.t.agentConversationStore->conversations().first().messages.size(), 2);
        QCOMPARE(requestLines(m_agentLog).size(), 1);
    }

    void cancelShortcutFollowsTheRun()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QVERIFY(!h.cancelRegistered());

        bool registeredWhileRunning = false;
        connect(&state, &AppState::agentStreamedTextChanged, this, [&] {
            if (state.agentPhase() == AgentPhase::Generating)
                registeredWhileRunning = registeredWhileRunning || h.cancelRegistered();
        });
        state.submitAgentFollowUp(QStringLiteral("stream"), noAttachments);
        QVERIFY(h.cancelRegistered());
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QVERIFY(registeredWhileRunning);
        QVERIFY(!h.cancelRegistered());
    }

    void followUpSetsPhaseAtOnceAndClearsStaleBanner()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        const QUuid conversation = *state.activeAgentConversationID();
        state.setErrorResolution(ErrorResolution(QStringLiteral("an old failure"), ErrorResolutionDestination::commandModels()));

        state.submitAgentFollowUp(QStringLiteral("  stream  "), noAttachments);
        QCOMPARE(state.agentPhase(), AgentPhase::LoadingModel);
        // A second submit in the same turn of the loop is refused.
        state.submitAgentFollowUp(QStringLiteral("stream"), noAttachments);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QVERIFY(!state.errorResolution());

        const auto messages = h.t.agentConversationStore->conversation(conversation)->messages;
        QCOMPARE(messages.size(), 4);
        QCOMPARE(messages[2].text, QStringLiteral("stream"));
        const auto requests = requestLines(m_agentLog);
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[1].value(QStringLiteral("command")).toString(), QStringLiteral("continue"));
        QCOMPARE(requests[1].value(QStringLiteral("conversationID")), requests[0].value(QStringLiteral("conversationID")));
    }

    // ---- Follow-ups and result actions ----

    void blankFollowUpDoesNothing()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        state.submitAgentFollowUp(QStringLiteral(" \n "), noAttachments);
        QCOMPARE(state.agentPhase(), AgentPhase::Completed);
        QCOMPARE(h.t.agentConversationStore->conversations().first().messages.size(), 2);
    }

    void spokenFollowUpKeepsProfile()
    {
        CommandHarness h;
        AgentSettings settings;
        settings.promptProfiles = {AgentPromptProfile{QUuid::createUuid(), QStringLiteral("Email"),
                                                      QStringLiteral("Write it as a friendly email."), {}}};
        h.setAgentSettings(settings);
        AppState &state = h.start();

        state.startAgentRecording(false, std::nullopt, state.agentSettings().promptProfiles.first().id);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("Email"));
        CommandHarness::willHear("stream");
        state.stopAgentAndRun();
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);

        state.startAgentFollowUpRecording();
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Listening, runWait);
        CommandHarness::willHear("stream again");
        state.startAgentFollowUpRecording();
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);

        const auto requests = requestLines(m_agentLog);
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[1].value(QStringLiteral("command")).toString(), QStringLiteral("continue"));
        QVERIFY(requests[1].value(QStringLiteral("trustedInstructions")).toString().contains(QStringLiteral("friendly email")));
        QCOMPARE(h.t.agentConversationStore->conversations().size(), 1);
        QCOMPARE(h.t.agentConversationStore->conversations().first().messages.size(), 4);
    }

    void typedFollowUpWithoutTargetWaitsForPaste()
    {
        CommandHarness h;
        AppState &state = h.start();
        // A conversation from an earlier session: nothing captured in this one.
        const QUuid id = QUuid::createUuid();
        h.t.agentConversationStore->createConversation(id, QStringLiteral("earlier"), {}, QStringLiteral("Fixture"));
        state.openAgentConversation(id);
        state.submitAgentFollowUp(QStringLiteral("stream"), noAttachments);
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QVERIFY(state.agentResultNeedsPaste());
        QCOMPARE(h.t.agentConversationStore->conversation(id)->lastPastedText, std::nullopt);
        QCOMPARE(h.desktop.clipboard->text(), std::optional(QStringLiteral("Hello, world")));
        QVERIFY(h.desktop.keystrokes->sent.isEmpty());
    }

    void copyAndPasteResult()
    {
        CommandHarness h;
        AgentSettings settings;
        settings.automaticPaste = false;
        settings.copyResult = false;
        h.setAgentSettings(settings);
        AppState &state = h.start();

        state.copyAgentResult(); // nothing to copy yet
        QCOMPARE(h.desktop.clipboard->changeCount(), 0);

        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QCOMPARE(h.desktop.field.value, QStringLiteral("Hello brave new world"));

        // Without Accessibility a paste does nothing at all, not even a copy.
        h.t.permissions.accessibility = false;
        const qint64 changes = h.desktop.clipboard->changeCount();
        state.pasteAgentResult();
        QCOMPARE(h.desktop.clipboard->changeCount(), changes);
        h.t.permissions.accessibility = true;

        state.pasteAgentResult();
        QTRY_COMPARE_WITH_TIMEOUT(h.desktop.field.value, QStringLiteral("Hello Hello, world new world"), runWait);
        QVERIFY(!state.agentResultNeedsPaste());

        h.desktop.clipboard->writeByOtherProgram({textItem(QStringLiteral("other"))});
        state.copyAgentResult();
        QCOMPARE(h.desktop.clipboard->text(), std::optional(QStringLiteral("Hello, world")));
        QVERIFY(!state.agentResultNeedsPaste());
    }

    void openAndDeleteConversation()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        const QUuid id = *state.activeAgentConversationID();
        QCOMPARE(h.panelCalls().last(), QStringLiteral("showResult ") + id.toString(QUuid::WithoutBraces).toUpper());

        h.t.resultPanel->calls.clear();
        state.openAgentConversation(id);
        QCOMPARE(h.panelCalls(), (QStringList{QStringLiteral("hideResult"), QStringLiteral("centre"), QStringLiteral("present")}));
        QVERIFY(state.agentPanelVisible());
        QVERIFY(h.t.windows.calls.contains(QStringLiteral("activate")));
        h.t.resultPanel->calls.clear();
        state.openAgentConversation(id);
        // Already visible: it stays where the user put it.
        QCOMPARE(h.panelCalls(), (QStringList{QStringLiteral("hideResult"), QStringLiteral("present")}));

        const QString folder = h.t.agentConversationStore->attachmentFolder(id);
        state.deleteAgentConversation(id);
        QVERIFY(!h.t.agentConversationStore->conversation(id));
        QCOMPARE(state.activeAgentConversationID(), std::nullopt);
        QVERIFY(!QDir(folder).exists());
        // The runtime is told to remove its turns too (its selected text included).
        const FakeAgentLog log(m_agentLog);
        QTRY_COMPARE_WITH_TIMEOUT(log.turnsRequests().size(), 2, runWait);
        const QJsonObject forget = log.turnsRequests().last();
        QCOMPARE(forget.value(QStringLiteral("command")).toString(), QStringLiteral("forgetTurns"));
        QCOMPARE(forget.value(QStringLiteral("sessionPath")).toString(), AppPaths::agentSessions());
        QCOMPARE(forget.value(QStringLiteral("conversationIDs")).toArray(),
                 QJsonArray{id.toString(QUuid::WithoutBraces).toUpper()});
    }

    void theRuntimeKeepsTheTurnsOfTheStoredConversationsOnly_data()
    {
        QTest::addColumn<bool>("inBackground");
        QTest::newRow("conversations read at once") << false;
        QTest::newRow("conversations read in the background") << true;
    }

    void theRuntimeKeepsTheTurnsOfTheStoredConversationsOnly()
    {
        // Turns of conversations deleted while the runtime could not hear of it go at start,
        // once the conversations have been read.
        QFETCH(bool, inBackground);
        CommandHarness h;
        h.t.conversationsLoadInBackground = inBackground;
        QUuid kept;
        {
            // A conversation stored before this start.
            AgentConversationStore::Options options = AgentConversationStore::defaultOptions();
            options.filePath = h.t.folder.filePath(QStringLiteral("conversations.json"));
            options.attachmentsRoot = h.t.folder.filePath(QStringLiteral("attachments"));
            AgentConversationStore earlier(options);
            kept = earlier.createConversation(QUuid::createUuid(), QStringLiteral("Kept"), {}, QStringLiteral("Fixture"));
        }
        h.start();
        QTRY_COMPARE_WITH_TIMEOUT(h.t.agentConversationStore->conversations().size(), 1, runWait);
        const FakeAgentLog log(m_agentLog);
        QTRY_COMPARE_WITH_TIMEOUT(log.turnsRequests().size(), 1, runWait);
        const QJsonObject keep = log.turnsRequests().first();
        QCOMPARE(keep.value(QStringLiteral("command")).toString(), QStringLiteral("keepTurns"));
        QCOMPARE(keep.value(QStringLiteral("sessionPath")).toString(), AppPaths::agentSessions());
        QCOMPARE(keep.value(QStringLiteral("conversationIDs")).toArray(),
                 QJsonArray{kept.toString(QUuid::WithoutBraces).toUpper()});
    }

    void aCommandFinishedBeforeTheConversationsAreReadIsSavedWithThem()
    {
        // The program reads its conversations in the background; here the file is held
        // unread until the Command has finished and its answer is pasted.
        CommandHarness h;
        h.t.conversationsLoadInBackground = true;
        const QString path = h.t.folder.filePath(QStringLiteral("conversations.json"));
        QByteArray stored;
        QUuid earlier;
        {
            AgentConversationStore::Options options = AgentConversationStore::defaultOptions();
            options.filePath = h.t.folder.filePath(QStringLiteral("earlier.json"));
            options.attachmentsRoot = h.t.folder.filePath(QStringLiteral("attachments"));
            AgentConversationStore store(options);
            earlier = store.createConversation(QUuid::createUuid(), QStringLiteral("Earlier"), {}, QStringLiteral("Mail"));
            stored = readAll(options.filePath).toUtf8();
            QVERIFY(QFile::remove(options.filePath));
        }
        HeldFile held(path);
        QVERIFY(held.isMade());
        AppState &state = h.start();
        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        AgentConversationStore &conversations = *h.t.agentConversationStore;
        QVERIFY(!conversations.isLoaded());
        QCOMPARE(conversations.conversations().size(), 1);
        const AgentConversation command = conversations.conversations().first();
        QCOMPARE(command.messages.size(), 2);
        QCOMPARE(command.lastPastedText, std::optional(QStringLiteral("Hello, world")));
        // Nothing is written over the unread file, and the runtime keeps every turn meanwhile.
        QVERIFY(held.isUntouched());
        const FakeAgentLog log(m_agentLog);
        QVERIFY(log.turnsRequests().isEmpty());

        QVERIFY(held.release(stored));
        QTRY_VERIFY_WITH_TIMEOUT(conversations.isLoaded(), runWait);
        const auto ids = [](const QList<AgentConversation> &list) {
            QList<QUuid> result;
            for (const AgentConversation &conversation : list)
                result.append(conversation.id);
            return result;
        };
        QCOMPARE(ids(conversations.conversations()), (QList<QUuid>{command.id, earlier}));
        // One file holds both, the Command's as it ended.
        AgentConversationStore::Options options = AgentConversationStore::defaultOptions();
        options.filePath = path;
        options.attachmentsRoot = h.t.folder.filePath(QStringLiteral("attachments"));
        AgentConversationStore reread(options);
        QCOMPARE(ids(reread.conversations()), (QList<QUuid>{command.id, earlier}));
        const AgentConversation saved = *reread.conversation(command.id);
        QCOMPARE(saved.messages.size(), 2);
        QCOMPARE(saved.messages.last().text, QStringLiteral("Hello, world"));
        QCOMPARE(saved.lastPastedText, command.lastPastedText);
        QCOMPARE(QDir(h.t.folder.path()).entryList({QStringLiteral("conversations*")}, QDir::Files | QDir::System),
                 QStringList{QStringLiteral("conversations.json")});
        // Now the runtime hears which conversations there are: both.
        QTRY_COMPARE_WITH_TIMEOUT(log.turnsRequests().size(), 1, runWait);
        const QJsonObject keep = log.turnsRequests().first();
        QCOMPARE(keep.value(QStringLiteral("command")).toString(), QStringLiteral("keepTurns"));
        QCOMPARE(keep.value(QStringLiteral("conversationIDs")).toArray(),
                 (QJsonArray{command.id.toString(QUuid::WithoutBraces).toUpper(),
                             earlier.toString(QUuid::WithoutBraces).toUpper()}));
    }

    void theRuntimeKeepsEveryTurnWhileTheConversationsCannotBeRead()
    {
        // Set aside, they may come back; their turns must still be there then.
        CommandHarness h;
        QFile file(h.t.folder.filePath(QStringLiteral("conversations.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[{\"not\": \"a conversation\"");
        file.close();
        AppState &state = h.start();
        runCommand(h, "stream");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QVERIFY(FakeAgentLog(m_agentLog).turnsRequests().isEmpty());
    }

    void aRuntimeWarningIsToldWithTheAnswer_data()
    {
        QTest::addColumn<bool>("notify");
        QTest::newRow("with the completion notice") << true;
        QTest::newRow("when no notice is wanted") << false;
    }

    void aRuntimeWarningIsToldWithTheAnswer()
    {
        // A turn the runtime could not keep cannot be continued: the user hears of it.
        QFETCH(bool, notify);
        CommandHarness h;
        AgentSettings settings;
        settings.notifyOnCompletion = notify;
        h.setAgentSettings(settings);
        AppState &state = h.start();
        runCommand(h, "raw "
                      R"({"version":1,"requestID":"{id}","kind":"phase","phase":"generating"})"
                      " || "
                      R"({"version":1,"requestID":"{id}","kind":"warning","text":"Command could not save this turn."})"
                      " || "
                      R"({"version":1,"requestID":"{id}","kind":"completed","text":"Done"})");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Completed, runWait);
        QTRY_COMPARE_WITH_TIMEOUT(h.t.fakes.notifications->shown.size(), 1, runWait);
        QCOMPARE(h.t.fakes.notifications->shown.first().body,
                 AgentCompletionNotice::body(true, true, QStringLiteral("Fixture")) +
                     QStringLiteral("\nCommand could not save this turn."));
        // And in the banner, for a desktop with no notification server; the next Command keeps it.
        QVERIFY(state.errorResolution().has_value());
        QCOMPARE(state.errorResolution()->message, QStringLiteral("Command could not save this turn."));
        QCOMPARE(state.errorResolution()->destination, ErrorResolutionDestination::commandSettings());
    }

    void aRuntimeWarningIsToldWithTheError()
    {
        CommandHarness h;
        AppState &state = h.start();
        runCommand(h, "raw "
                      R"({"version":1,"requestID":"{id}","kind":"warning","text":"The store was moved aside."})"
                      " || "
                      R"({"version":1,"requestID":"{id}","kind":"error","text":"The earlier turns are gone."})");
        QTRY_COMPARE_WITH_TIMEOUT(state.agentPhase(), AgentPhase::Error, runWait);
        QCOMPARE(state.agentPhaseDetail(), QStringLiteral("The earlier turns are gone.\nThe store was moved aside."));
    }

    void screenshotAttachmentNeedsImageModel()
    {
        CommandHarness h;
        AppState &state = h.start();
        const auto result = awaitTask(state.captureAgentScreenshotAttachment());
        QVERIFY(!result.ok());
        QCOMPARE(result.error(), QStringLiteral("Switch to an image-capable model to include a screenshot."));
        QCOMPARE(h.desktop.capture->grabbedWindow, quint64(0));
    }
};

QTEST_GUILESS_MAIN(CommandFlowTest)
#include "tst_command_flow.moc"
