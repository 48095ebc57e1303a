#include "FakeAgent.h"
#include "Platform/UnixSignalWatcher.h"
#include "TestPaths.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

namespace {

constexpr int runWait = 20000; // generous: the suite runs many programs in parallel

QStringList messagesSeen;
QtMessageHandler previousHandler = nullptr;

void keepMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    messagesSeen.append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

QString describe(const AgentRuntimeEvent &event)
{
    if (event.kind == AgentProtocolEventKind::Phase)
        return QStringLiteral("phase:") + (event.phase ? toText(*event.phase) : QString());
    return toText(event.kind) + QLatin1Char(':') + event.text.value_or(QString());
}

QStringList describe(const QList<AgentRuntimeEvent> &events)
{
    QStringList list;
    for (const AgentRuntimeEvent &event : events)
        list.append(describe(event));
    return list;
}

const char *const secretVariables[] = {
    "OPENAI_API_KEY",   "OPENAI_BASE_URL", "OPENAI_ORG_ID",  "OPENAI_ORGANIZATION", "OPENAI_PROJECT",
    "OPENAI_PROJECT_ID", "GEMINI_API_KEY", "GOOGLE_API_KEY", "MISTRAL_API_KEY",
};

} // namespace

class AgentRuntimeServiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<FakeAgentLog> m_log;
    std::unique_ptr<AgentRuntimeService> m_service;

    AgentRuntimeService &service() { return *m_service; }
    const FakeAgentLog &log() const { return *m_log; }

    std::shared_ptr<RunProbe> runToEnd(AgentRuntimeRequest request)
    {
        auto probe = startRun(service(), std::move(request));
        if (!QTest::qWaitFor([&] { return probe->done(); }, runWait))
            qWarning("run did not end in time");
        return probe;
    }

    static AgentRuntimeService::Options baseOptions()
    {
        AgentRuntimeService::Options options;
        options.limits.retireGrace = 200ms;
        options.limits.killGrace = 300ms;
        return options;
    }

    // A new service for the rest of the test (the one before has no runtime yet).
    void restart(AgentRuntimeService::Options options)
    {
        m_service = std::make_unique<AgentRuntimeService>(std::move(options));
    }

private Q_SLOTS:
    void initTestCase()
    {
        UnixSignalWatcher::ignoreBrokenPipes();
        if (!QFileInfo(fakeAgentProgram()).isExecutable())
            QFAIL(qPrintable(QStringLiteral("The fake runtime is not built: ") + fakeAgentProgram()));
        // Found the way the application finds it: through the path override.
        qputenv("SORVANE_SORVANE_AGENT_PATH", fakeAgentProgram().toLocal8Bit());
    }

    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        m_log = std::make_unique<FakeAgentLog>(m_folder->filePath(QStringLiteral("fake-agent.log")));
        qputenv("SORVANE_FAKE_AGENT_LOG", m_log->path().toLocal8Bit());
        qunsetenv("SORVANE_FAKE_AGENT_MODE");
        restart(baseOptions());
    }

    void cleanup()
    {
        m_service.reset();
        // No fake runtime, nor anything it started, outlives its service.
        const QList<qint64> processes = m_log->allProcesses();
        for (qint64 pid : processes)
            QTRY_VERIFY2_WITH_TIMEOUT(processGone(pid), qPrintable(QStringLiteral("left running: %1").arg(pid)), 5000);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("instruction");
        QTest::addColumn<QString>("modelName"); // empty: no model in the request
        QTest::addColumn<int>("loadMs");
        QTest::addColumn<int>("runMs");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("fate"); // kept, retired, or died (cleared; the next run starts anew)

        const int load = 30000, run = 120000;
        QTest::newRow("error for the request") << "error" << "Tiny Model" << load << run
                                               << "The model ran out of memory." << "kept";
        QTest::newRow("error for the request, no text") << "error-bare" << "Tiny Model" << load << run
                                                        << "Command failed." << "kept";
        QTest::newRow("error for no request") << "reject" << "Tiny Model" << load << run
                                              << "The runtime cannot serve requests." << "retired";
        QTest::newRow("error for no request, no text") << "reject-bare" << "Tiny Model" << load << run
                                                       << "Command rejected the request." << "retired";
        QTest::newRow("line that is not an event") << "garbage" << "Tiny Model" << load << run
                                                   << "Command returned an invalid response." << "retired";
        QTest::newRow("unknown event kind")
            << R"(raw {"version":1,"requestID":"{id}","kind":"progress"})" << "Tiny Model" << load << run
            << "Command returned an invalid response." << "retired";
        QTest::newRow("only version and kind error")
            << R"(raw {"version":1,"kind":"error"})" << "Tiny Model" << load << run
            << "Command rejected the request." << "retired";
        QTest::newRow("endless line") << "huge" << "Tiny Model" << load << run
                                      << "Command returned an invalid response." << "retired";
        QTest::newRow("crash mid-answer") << "crash" << "Tiny Model" << load << run
                                          << "Command stopped unexpectedly. second line third line fourth line" << "died";
        // The runtime's diagnostics must be in before the time-out: it gets a few seconds.
        QTest::newRow("model never loads") << "silent stderr=4" << "Tiny Model" << 3000 << run
                                           << "Tiny Model did not start in time. note 2 note 3 note 4" << "retired";
        QTest::newRow("model loads too slowly") << "slow-load delay=3000" << "Tiny Model" << 400 << run
                                                << "Tiny Model did not start in time." << "retired";
        QTest::newRow("no model, never loads") << "silent" << "" << 400 << run
                                               << "The local model did not start in time." << "retired";
        QTest::newRow("generating, never finishes") << "generate-then-hang delay=200" << "Tiny Model" << 3000 << 6000
                                                    << "Command stopped responding." << "retired";
    }

    void failures()
    {
        QFETCH(QString, instruction);
        QFETCH(QString, modelName);
        QFETCH(int, loadMs);
        QFETCH(int, runMs);
        QFETCH(QString, message);
        QFETCH(QString, fate);

        auto options = baseOptions();
        options.limits.modelLoadTimeout = std::chrono::milliseconds(loadMs);
        options.limits.runTimeout = std::chrono::milliseconds(runMs);
        restart(options);

        // A runtime that is up and reading: how long a busy machine takes to start a
        // program is no part of the time limits under test.
        auto warm = runToEnd(fakeRequest(QStringLiteral("pid")));
        QVERIFY2(warm->succeeded(), qPrintable(warm->failure()));

        AgentRuntimeRequest request = fakeRequest(instruction);
        if (!modelName.isEmpty())
            request.model = testModel(AgentModelProvider::LlamaCPP, modelName);
        auto probe = startRun(service(), request);
        const qint64 pid = service().processId();
        QCOMPARE(QString::number(pid), warm->answer());
        QVERIFY(pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(probe->done(), runWait);
        QVERIFY(!probe->succeeded());
        QCOMPARE(probe->failure(), message);
        QCOMPARE(probe->result->error().runtimeError()->kind(), AgentRuntimeError::Kind::WritingModelUnavailable);

        if (fate == QLatin1String("kept")) {
            QCOMPARE(service().processId(), pid);
            QVERIFY(!log().sawEndOfInput(pid));
        } else if (fate == QLatin1String("retired")) {
            QCOMPARE(service().processId(), 0);
            // Its input was closed; one still busy gets SIGTERM after the grace.
            QTRY_VERIFY_WITH_TIMEOUT(log().sawEndOfInput(pid) || log().sawTermination(pid), 5000);
        } else {
            QCOMPARE(service().processId(), 0);
            QVERIFY(processGone(pid));
            QVERIFY(!log().sawEndOfInput(pid) && !log().sawTermination(pid));
        }

        auto next = runToEnd(fakeRequest(QStringLiteral("pid")));
        QVERIFY2(next->succeeded(), qPrintable(next->failure()));
        QCOMPARE(next->answer(), QString::number(service().processId()));
        QCOMPARE(next->answer() == QString::number(pid), fate == QLatin1String("kept"));
    }

    void aPromptTooLargeForTheModelIsThatError()
    {
        auto probe = runToEnd(fakeRequest(QStringLiteral(
            R"(raw {"version":1,"requestID":"{id}","kind":"error","code":"contextTooLarge","text":"The selected context is too large for this writing model."})")));
        QVERIFY(!probe->succeeded());
        QCOMPARE(probe->result->error().runtimeError()->kind(), AgentRuntimeError::Kind::ContextTooLarge);
        QCOMPARE(probe->failure(), QStringLiteral("The selected context is too large for this writing model."));
        QVERIFY(service().processId() > 0); // the runtime is kept
    }

    void tellsTheRuntimeWhichTurnsToRemove_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("deleted conversations") << false;
        QTest::newRow("the conversations that remain") << true;
    }

    void tellsTheRuntimeWhichTurnsToRemove()
    {
        QFETCH(bool, keep);
        const QList<QUuid> ids{QUuid::createUuid(), QUuid::createUuid()};
        const QString session = m_folder->filePath(QStringLiteral("sessions.sqlite"));
        QVERIFY(keep ? service().keepTurns(session, ids) : service().forgetTurns(session, ids));
        QTRY_COMPARE_WITH_TIMEOUT(log().turnsRequests().size(), 1, runWait);
        const QJsonObject line = log().turnsRequests().first();
        QCOMPARE(line.value(QStringLiteral("command")).toString(), keep ? QStringLiteral("keepTurns") : QStringLiteral("forgetTurns"));
        QCOMPARE(line.value(QStringLiteral("sessionPath")).toString(), session);
        QCOMPARE(line.value(QStringLiteral("conversationIDs")).toArray(),
                 (QJsonArray{ids[0].toString(QUuid::WithoutBraces).toUpper(), ids[1].toString(QUuid::WithoutBraces).toUpper()}));
        // Nothing waits for it: a run goes on as ever, on the same runtime.
        const qint64 pid = service().processId();
        auto probe = runToEnd(fakeRequest(QStringLiteral("pid")));
        QVERIFY2(probe->succeeded(), qPrintable(probe->failure()));
        QCOMPARE(probe->answer(), QString::number(pid));
    }

    void streaming_data()
    {
        QTest::addColumn<QString>("instruction");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("answer");

        QTest::newRow("streamed answer")
            << "stream"
            << QStringList{"phase:loadingModel", "phase:generating", "delta:Hello", "delta:, ", "delta:world",
                           "completed:Hello, world"}
            << "Hello, world";
        QTest::newRow("line split across writes, two events and an empty line in one")
            << "split" << QStringList{"delta:one", "delta:two", "completed:onetwo"} << "onetwo";
        QTest::newRow("loads in time") << "slow-load delay=300"
                                       << QStringList{"phase:loadingModel", "phase:generating", "completed:Loaded"}
                                       << "Loaded";
        QTest::newRow("events of no pending request are not handed on, completed without text")
            << R"(raw {"version":1,"requestID":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","kind":"error","text":"stale"} || {"version":1,"kind":"warning"} || {"version":1,"kind":"delta","text":"x"} || {"version":1,"requestID":"{id}","kind":"warning","text":"careful"} || {"version":1,"requestID":"{id}","kind":"completed"})"
            << QStringList{"warning:careful", "completed:"} << "";
    }

    void streaming()
    {
        QFETCH(QString, instruction);
        QFETCH(QStringList, events);
        QFETCH(QString, answer);

        auto options = baseOptions();
        options.limits.modelLoadTimeout = 2000ms;
        restart(options);
        auto probe = runToEnd(fakeRequest(instruction));
        QVERIFY2(probe->succeeded(), qPrintable(probe->failure()));
        QCOMPARE(probe->answer(), answer);
        QCOMPARE(describe(probe->events), events);
        QVERIFY(service().processId() > 0); // kept for the next request
    }

    void completedThenExitIsASuccess()
    {
        // Each round: the answer and the exit arrive together; the answer wins, and the
        // next request starts a new runtime.
        QSet<QString> pids;
        for (int round = 0; round < 5; ++round) {
            auto probe = runToEnd(fakeRequest(QStringLiteral("complete-exit")));
            QVERIFY2(probe->succeeded(), qPrintable(probe->failure()));
            QCOMPARE(probe->answer(), QStringLiteral("Done and gone"));
            QCOMPARE(describe(probe->events), (QStringList{"phase:generating", "completed:Done and gone"}));
            // The runtime leaves right after its answer; the next request is for a new one.
            QTRY_COMPARE_WITH_TIMEOUT(service().processId(), 0, runWait);
            auto pid = runToEnd(fakeRequest(QStringLiteral("pid")));
            QVERIFY2(pid->succeeded(), qPrintable(pid->failure()));
            pids.insert(pid->answer());
        }
        QCOMPARE(pids.size(), 5);
    }

    void secondRunWhileBusy()
    {
        auto first = startRun(service(), fakeRequest(QStringLiteral("slow-load delay=300")));
        auto second = startRun(service(), fakeRequest(QStringLiteral("stream")));
        QVERIFY(second->done()); // refused at once
        QCOMPARE(second->failure(), QStringLiteral("Command is already working."));
        QCOMPARE(second->result->error().runtimeError(), AgentRuntimeError::busy());
        QTRY_VERIFY_WITH_TIMEOUT(first->done(), runWait);
        QCOMPARE(first->answer(), QStringLiteral("Loaded"));
        QCOMPARE(log().requestLines().size(), 1);
    }

    void cancelIgnoresLateOutput()
    {
        AgentRuntimeRequest request = fakeRequest(QStringLiteral("linger"));
        auto first = startRun(service(), request);
        const qint64 oldPid = service().processId();
        QTRY_VERIFY_WITH_TIMEOUT(describe(first->events).contains(QStringLiteral("phase:generating")), runWait);
        service().cancel(request.requestID);
        QCOMPARE(service().processId(), 0);
        QTRY_VERIFY(first->done());
        QVERIFY(first->result->error().isCancelled());
        const qsizetype eventsAtCancel = first->events.size();

        // The old runtime answers late, reports an error for no request and exits with a
        // failure; the next run, on a new runtime, waits until that is all over.
        auto second = runToEnd(fakeRequest(QStringLiteral("wait-exit pid=%1").arg(oldPid)));
        QVERIFY2(second->succeeded(), qPrintable(second->failure()));
        QCOMPARE(second->answer(), QStringLiteral("waited"));
        QCOMPARE(describe(second->events), QStringList{"completed:waited"});
        QCOMPARE(first->events.size(), eventsAtCancel);
        QVERIFY(log().sawEndOfInput(oldPid));
        QVERIFY(service().processId() != oldPid);
        QVERIFY(service().processId() > 0);
    }

    void cancelOfAnotherIdKeepsTheRuntime()
    {
        auto first = runToEnd(fakeRequest(QStringLiteral("pid")));
        QVERIFY(first->succeeded());
        service().cancel(QUuid::createUuid());
        QCOMPARE(QString::number(service().processId()), first->answer());
        auto second = runToEnd(fakeRequest(QStringLiteral("pid")));
        QCOMPARE(second->answer(), first->answer());
    }

    void cancelBeforeTheLineIsWritten()
    {
        // Cancelled before its line went out, and replaced at once by the next request:
        // the cancelled request is never sent, and the new runtime is left alone.
        AgentRuntimeRequest cancelled = fakeRequest(QStringLiteral("stream"));
        auto first = startRun(service(), cancelled);
        service().cancel(cancelled.requestID);
        auto second = startRun(service(), fakeRequest(QStringLiteral("pid")));
        QTRY_VERIFY_WITH_TIMEOUT(second->done(), runWait);
        QVERIFY2(second->succeeded(), qPrintable(second->failure()));
        QCOMPARE(second->answer(), QString::number(service().processId()));
        QVERIFY(first->done() && first->result->error().isCancelled());
        const QString id = cancelled.requestID.toString(QUuid::WithoutBraces).toUpper();
        for (const QString &line : log().requestLines())
            QVERIFY(!line.contains(id));
    }

    void retiredRuntimeIgnoringTerminationIsKilledWithItsGroup()
    {
        AgentRuntimeRequest request = fakeRequest(QStringLiteral("ignore-term"));
        auto probe = startRun(service(), request);
        const qint64 pid = service().processId();
        QTRY_VERIFY_WITH_TIMEOUT(describe(probe->events).contains(QStringLiteral("phase:generating")), runWait);
        QCOMPARE(log().children().size(), 1);
        const qint64 child = log().children().first();
        QVERIFY(!processGone(child));

        service().cancel(request.requestID);
        QTRY_VERIFY(probe->done());
        QTRY_VERIFY_WITH_TIMEOUT(log().sawEndOfInput(pid), 5000);
        QVERIFY(!processGone(pid)); // ignored the end of its input
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid) && processGone(child), 5000);
        QVERIFY(!log().sawTermination(pid)); // it had to be killed
    }

    void childrenEndWithTheirRuntime_data()
    {
        QTest::addColumn<QString>("instruction");
        QTest::addColumn<bool>("cancel"); // retire it first, once it is generating
        QTest::newRow("crashes") << "crash child=1" << false;
        QTest::newRow("answers and exits") << "complete-exit child=1" << false;
        QTest::newRow("retired, leaves at the end of its input") << "linger child=1" << true;
    }

    void childrenEndWithTheirRuntime()
    {
        // Whichever way the runtime ends, what it started in its group (the local
        // inference server, say) does not run on without it.
        QFETCH(QString, instruction);
        QFETCH(bool, cancel);
        AgentRuntimeRequest request = fakeRequest(instruction);
        auto probe = startRun(service(), request);
        const qint64 pid = service().processId();
        QVERIFY(pid > 0);
        if (cancel) {
            QTRY_VERIFY_WITH_TIMEOUT(describe(probe->events).contains(QStringLiteral("phase:generating")), runWait);
            service().cancel(request.requestID);
        }
        QTRY_VERIFY_WITH_TIMEOUT(probe->done(), runWait);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 5000);
        QCOMPARE(log().children().size(), 1);
        const qint64 child = log().children().first();
        QTRY_VERIFY2_WITH_TIMEOUT(processGone(child), qPrintable(QStringLiteral("left running: %1").arg(child)), 5000);
    }

    void destroyingTheServiceCancelsWaitingRuns()
    {
        auto probe = startRun(service(), fakeRequest(QStringLiteral("silent")));
        const qint64 pid = service().processId();
        QTRY_VERIFY_WITH_TIMEOUT(log().requestLines(pid).size() == 1, runWait);
        m_service.reset();
        QVERIFY(processGone(pid));
        QTRY_VERIFY(probe->done());
        QVERIFY(probe->result->error().isCancelled());
    }

    void environmentAndArguments()
    {
        for (const char *name : secretVariables)
            qputenv(name, "from-the-environment");
        qputenv("OPENAI_AGENTS_DISABLE_TRACING", "0");
        qputenv("SORVANE_TEST_MARKER", "kept");
        messagesSeen.clear();
        previousHandler = qInstallMessageHandler(keepMessage);

        AgentRuntimeRequest request = fakeRequest(QStringLiteral("pid"));
        request.model = testModel(AgentModelProvider::OpenAI);
        request.cloudAPIKey = QStringLiteral("sk-secret-123");
        auto probe = runToEnd(request);

        qInstallMessageHandler(previousHandler);
        for (const char *name : secretVariables)
            qunsetenv(name);
        qunsetenv("OPENAI_AGENTS_DISABLE_TRACING");
        qunsetenv("SORVANE_TEST_MARKER");

        QVERIFY2(probe->succeeded(), qPrintable(probe->failure()));
        const auto starts = log().starts();
        QCOMPARE(starts.size(), 1);
        const auto &start = starts.first();
        QCOMPARE(QString::number(start.pid), probe->answer());
        QCOMPARE(start.arguments, QStringList());
        QCOMPARE(start.processGroup, start.pid); // leads a group of its own
        for (const char *name : secretVariables)
            QVERIFY2(!start.environment.contains(QLatin1String(name)), name);
        QCOMPARE(start.environment.value(QStringLiteral("OPENAI_AGENTS_DISABLE_TRACING")), QStringLiteral("1"));
        QCOMPARE(start.environment.value(QStringLiteral("SORVANE_TEST_MARKER")), QStringLiteral("kept"));
        for (const QString &value : start.environment)
            QVERIFY(!value.contains(QStringLiteral("sk-secret")));

        // The key went on standard input, in the request line, and nowhere else.
        const QStringList lines = log().requestLines();
        QCOMPARE(lines.size(), 1);
        const QJsonObject received = QJsonDocument::fromJson(lines.first().toUtf8()).object();
        QCOMPARE(received.value(QStringLiteral("cloudAPIKey")).toString(), QStringLiteral("sk-secret-123"));
        QCOMPARE(AgentRuntimeRequest::fromJson(received), request);
        for (const QString &message : std::as_const(messagesSeen))
            QVERIFY(!message.contains(QStringLiteral("sk-secret")));
    }

    void cloudRateLimitWithInjectedClock()
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point origin = Clock::now();
        Clock::time_point now = origin;
        auto options = baseOptions();
        options.clock = [&now] { return now; };
        restart(options);

        const auto runWith = [&](AgentModelProvider provider, Clock::duration at) {
            now = origin + at;
            AgentRuntimeRequest request = fakeRequest(QStringLiteral("pid"));
            request.model = testModel(provider);
            return runToEnd(request);
        };

        const AgentModelProvider clouds[] = {AgentModelProvider::OpenAI, AgentModelProvider::Gemini,
                                             AgentModelProvider::Mistral};
        for (int i = 0; i < 10; ++i) {
            auto probe = runWith(clouds[i % 3], std::chrono::seconds(i));
            QVERIFY2(probe->succeeded(), qPrintable(probe->failure()));
        }
        const QString limited = QStringLiteral(
            "Sorvane paused cloud requests after 10 commands in one minute. Wait briefly and try again.");
        auto eleventh = runWith(AgentModelProvider::Gemini, 59999ms);
        QCOMPARE(eleventh->failure(), limited);
        QCOMPARE(eleventh->result->error().runtimeError(), AgentRuntimeError::cloudRequestLimitReached(10));
        QCOMPARE(log().requestLines().size(), 10); // refused before it was written
        QVERIFY(service().processId() > 0);        // and the runtime is kept

        // Local and on-device models never count and are never refused.
        QVERIFY(runWith(AgentModelProvider::LlamaCPP, 59999ms)->succeeded());
        QVERIFY(runWith(AgentModelProvider::AppleSystem, 59999ms)->succeeded());
        // A minute after the first, its slot is free again; then the window is full once more.
        QVERIFY(runWith(AgentModelProvider::OpenAI, 60s)->succeeded());
        QCOMPARE(runWith(AgentModelProvider::OpenAI, 60500ms)->failure(), limited);
        QVERIFY(runWith(AgentModelProvider::Mistral, 61s)->succeeded());
        QCOMPARE(log().requestLines().size(), 14);
    }

    void runtimeMissing_data()
    {
        QTest::addColumn<QString>("overrideProgram"); // empty: no override
        QTest::addColumn<QByteArray>("environmentPath");
        QTest::newRow("override to a missing program") << "/nonexistent/sorvane-agent" << QByteArray();
        QTest::newRow("environment to a missing program") << "" << QByteArray("/nonexistent/sorvane-agent");
        QTest::newRow("a file that is not a program") << "" << QByteArray("not-a-program");
    }

    void runtimeMissing()
    {
        QFETCH(QString, overrideProgram);
        QFETCH(QByteArray, environmentPath);
        if (!overrideProgram.isEmpty()) {
            auto options = baseOptions();
            options.executableOverride = overrideProgram;
            restart(options);
        }
        if (environmentPath == "not-a-program") {
            environmentPath = m_folder->filePath(QStringLiteral("plain-file")).toLocal8Bit();
            QVERIFY(writeFile(QString::fromLocal8Bit(environmentPath), "just text\n"));
        }
        if (!environmentPath.isEmpty())
            qputenv("SORVANE_SORVANE_AGENT_PATH", environmentPath);
        const auto started = service().ensureProcess();
        auto probe = startRun(service(), fakeRequest(QStringLiteral("stream")));
        qputenv("SORVANE_SORVANE_AGENT_PATH", fakeAgentProgram().toLocal8Bit());

        QVERIFY(!started);
        QCOMPARE(started.error(), AgentRuntimeError::runtimeMissing());
        QVERIFY(probe->done());
        QCOMPARE(probe->failure(), QStringLiteral("The bundled Command runtime is missing."));
        QCOMPARE(service().processId(), 0);
        QVERIFY(log().starts().isEmpty());
    }

    void emptyPathOverrideHasNoEffect()
    {
        qunsetenv("SORVANE_SORVANE_AGENT_PATH");
        const auto unset = AgentRuntimeService::bundledExecutable(QStringLiteral("sorvane-agent"));
        qputenv("SORVANE_SORVANE_AGENT_PATH", "");
        const auto empty = AgentRuntimeService::bundledExecutable(QStringLiteral("sorvane-agent"));
        qputenv("SORVANE_SORVANE_AGENT_PATH", "/some/where/agent");
        const auto set = AgentRuntimeService::bundledExecutable(QStringLiteral("sorvane-agent"));
        qputenv("SORVANE_SORVANE_AGENT_PATH", fakeAgentProgram().toLocal8Bit());
        QCOMPARE(empty, unset);
        QCOMPARE(set, std::optional<QString>(QStringLiteral("/some/where/agent")));
    }
};

QTEST_GUILESS_MAIN(AgentRuntimeServiceTest)
#include "tst_agent_runtime_service.moc"
