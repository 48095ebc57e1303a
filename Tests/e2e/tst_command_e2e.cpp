// The built program running a Command on text selected in another application on the
// test session's X display: the Command shortcut, an instruction spoken into the test
// microphone (heard by the fake speech engine), the scripted fake runtime's answer
// pasted over the selection and stored in the conversations file; then a follow-up typed
// into the conversation window, opened from the result toast, continues that conversation.
#include "Shared/AppPaths.h"
#include "E2eTools.h"
#include "Platform/SettingsStore.h"
#include "Dictation/SpeechModel.h"
#include "TestPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QHash>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString fieldText = QStringLiteral("Dear team, the meeting moves to Friday.");
constexpr int selectionStart = 11;
constexpr int selectionLength = 27; // "the meeting moves to Friday"
// The fake runtime streams "Hello", ", ", "world" for the instruction "stream".
const QString answer = QStringLiteral("Hello, world");

QJsonArray conversations()
{
    return QJsonDocument::fromJson(readFile(AppPaths::agentConversations())).array();
}

// The request lines the fake runtime received, in order.
QList<QJsonObject> receivedRequests(const QString &agentLog)
{
    QList<QJsonObject> found;
    for (const QByteArray &line : readFile(agentLog).split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("record")).toString() == QLatin1String("request"))
            found.append(QJsonDocument::fromJson(record.value(QStringLiteral("line")).toString().toUtf8()).object());
    }
    return found;
}

struct WindowGeometry {
    quint64 window = 0;
    QRect rect;
};

// The shown windows that xdotool finds with these search arguments, with where they are.
QList<WindowGeometry> shownWindows(const QStringList &search)
{
    QList<WindowGeometry> found;
    const auto ids = runTool(QStringLiteral("xdotool"), QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible")} + search);
    if (!ids)
        return found;
    for (const QByteArray &id : ids->split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        const auto shell = runTool(QStringLiteral("xdotool"),
                                   {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::fromLatin1(id.trimmed())});
        if (!shell)
            continue;
        QHash<QByteArray, int> values;
        for (const QByteArray &line : shell->split('\n')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                values.insert(line.left(equals), line.mid(equals + 1).toInt());
        }
        found.append({id.trimmed().toULongLong(),
                      QRect(values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT"))});
    }
    return found;
}

// Waits until the probe finds its window and returns what it found (nothing once the
// time is up). The probe runs once a turn and its finding is kept: a search that walks
// the window tree while another window is destroyed fails, so the same search may miss
// a window it found a moment before, which a QTRY condition evaluated twice would read
// as a timeout.
template <typename Probe>
auto waitForWindow(Probe probe, int timeout) -> decltype(probe())
{
    QDeadlineTimer deadline(timeout);
    for (;;) {
        if (auto found = probe())
            return found;
        if (deadline.hasExpired())
            return std::nullopt;
        QTest::qWait(50);
    }
}

// The result toast: Sorvane's shown window of the toast's size.
std::optional<WindowGeometry> shownToast()
{
    for (const WindowGeometry &candidate : shownWindows({QStringLiteral("--class"), QStringLiteral("sorvane")}))
        if (candidate.rect.size() == QSize(350, 116))
            return candidate;
    return std::nullopt;
}

// "Sorvane — Command", exactly (no application name appended by Qt).
std::optional<WindowGeometry> shownConversationWindow()
{
    const QList<WindowGeometry> found =
        shownWindows({QStringLiteral("--name"), QStringLiteral("^Sorvane .+ Command$")});
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

bool xdotool(const QStringList &arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

// Clicks at a point of the window, measured from its top left corner (xdotool places
// the pointer inside a framed window itself; the geometry it reports for one is offset).
bool clickAt(const WindowGeometry &window, QPoint point)
{
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window.window),
                    QString::number(point.x()), QString::number(point.y())})
        && xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

quint64 activeWindow()
{
    const auto active = runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    return active ? active->trimmed().toULongLong() : 0;
}

} // namespace

class CommandEndToEndTest : public QObject {
    Q_OBJECT

    QString sink;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QProcess> sorvane;
    QString agentLog;

    QString dataHome() const { return home->filePath(QStringLiteral("data")); }
    QString configHome() const { return home->filePath(QStringLiteral("config")); }

    // The Command shortcut, Alt+Shift+Space by default.
    bool pressCommand()
    {
        return runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+shift+space")}).has_value();
    }

    void startSorvane()
    {
        sorvane = std::make_unique<QProcess>();
        sorvane->setProcessEnvironment(sorvaneEnvironment(dataHome(), configHome(), QStringLiteral("stream"), agentLog));
        sorvane->setProcessChannelMode(QProcess::ForwardedChannels);
        sorvane->start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(sorvane->waitForStarted(10000));
        // Its shortcuts are registered before it starts its runtime.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(agentLog).contains("\"start\""), 20000);
        // Every start opens the main window: once it is up it no longer takes the focus
        // from the window the test brings forward next.
        QTRY_VERIFY_WITH_TIMEOUT(shownWindowOf(sorvane->processId()) != 0, 20000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        sink = qEnvironmentVariable("SORVANE_TEST_PULSE_SINK");
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl", "dbus-send"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        // Command reads the selection through the accessibility bus.
        QVERIFY(accessibilityBusOn());
    }

    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        agentLog = home->filePath(QStringLiteral("agent.log"));
        QDir().mkpath(configHome() + QStringLiteral("/Sorvane"));
        JsonFileSettingsStore settings(configHome() + QStringLiteral("/Sorvane/settings.json"));
        settings.setValue(QStringLiteral("onboardingComplete"), true);
        settings.setValue(QStringLiteral("selectedModelID"), QStringLiteral("pocket"));
        settings.setValue(QStringLiteral("completionSoundEnabled"), false);
        qputenv("XDG_DATA_HOME", dataHome().toUtf8()); // this process writes into the program's data folder
        const SpeechModel *model = SpeechModel::find(QStringLiteral("pocket"));
        QVERIFY(model);
        QVERIFY(writeFile(AppPaths::models() + QLatin1Char('/') + model->fileName, "weights"));
    }

    void cleanup()
    {
        if (sorvane)
            stopProgram(*sorvane);
        sorvane.reset();
        runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt+shift+space")});
    }

    void commandOnSelectedText()
    {
        startSorvane();
        TargetWindow target;
        QVERIFY2(target.start(fieldText, selectionStart, selectionLength, true), "the target window did not become active");

        const QString tone = home->filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(tone));
        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(pressCommand());
        // Listening once Sorvane's stream reads from the microphone.
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
        QCOMPARE(QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, tone}), 0);
        QVERIFY(pressCommand());
        // The pointer waits where the result toast shows, the screen's top right corner,
        // so that it holds the toast's automatic hide back from the start.
        const auto display = runTool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")});
        QVERIFY(display);
        const int displayWidth = display->split(' ').value(0).toInt();
        QVERIFY(displayWidth > 0);
        QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(displayWidth - 18 - 175), QStringLiteral("76")}));

        // The answer replaces the selection in the other application.
        QTRY_COMPARE_WITH_TIMEOUT(target.text, QStringLiteral("Dear team, ") + answer + QStringLiteral("."), 30000);

        // The runtime got the instruction with the selected text.
        const QStringList lines = [&] {
            QStringList found;
            for (const QByteArray &line : readFile(agentLog).split('\n')) {
                const QJsonObject record = QJsonDocument::fromJson(line).object();
                if (record.value(QStringLiteral("record")).toString() == QLatin1String("request"))
                    found.append(record.value(QStringLiteral("line")).toString());
            }
            return found;
        }();
        QCOMPARE(lines.size(), 1);
        const QJsonObject request = QJsonDocument::fromJson(lines.first().toUtf8()).object();
        QCOMPARE(request.value(QStringLiteral("instruction")).toString(), QStringLiteral("stream"));
        const QJsonArray attachments = request.value(QStringLiteral("attachments")).toArray();
        QCOMPARE(attachments.size(), 1);
        QCOMPARE(attachments.at(0).toObject().value(QStringLiteral("text")).toString(),
                 fieldText.mid(selectionStart, selectionLength));

        // Stored with the answer, and with where it went once its delivery has ended.
        QJsonArray stored;
        QTRY_VERIFY_WITH_TIMEOUT((stored = conversations()).size() == 1
                                     && stored.at(0).toObject().contains(QStringLiteral("lastPastedText")),
                                 20000);
        const QJsonArray messages = stored.at(0).toObject().value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.at(0).toObject().value(QStringLiteral("text")).toString(), QStringLiteral("stream"));
        QCOMPARE(messages.at(1).toObject().value(QStringLiteral("text")).toString(), answer);
        QCOMPARE(stored.at(0).toObject().value(QStringLiteral("lastPastedText")).toString(), answer);
        QTRY_VERIFY_WITH_TIMEOUT(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty(), 20000);

        // The result toast shows (the Command settings are the defaults, which show it).
        // The pointer rests on it at once, which holds its automatic hide back, then
        // clicks its "Open".
        const std::optional<WindowGeometry> toast = waitForWindow(shownToast, 20000);
        QVERIFY2(toast, "the result toast did not show");
        QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(toast->window),
                         QStringLiteral("175"), QStringLiteral("58")}));
        // "Open" is the first action, at the left of the row under the heading.
        QVERIFY(clickAt(*toast, QPoint(30, 77)));

        const std::optional<WindowGeometry> panel = waitForWindow(shownConversationWindow, 20000);
        QVERIFY2(panel, "the conversation window did not open");
        QTRY_VERIFY_WITH_TIMEOUT(!shownToast(), 20000);
        // The follow-up field is the composer's first row, above the "Ctrl+Enter to send" line.
        QVERIFY(clickAt(*panel, QPoint(60, panel->rect.height() - 56)));
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), panel->window, 20000);
        // The fake runtime answers "split" with "onetwo".
        const QString followUp = QStringLiteral("split");
        const QString followUpAnswer = QStringLiteral("onetwo");
        QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), followUp}));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Return")}));

        // The same conversation, with the typed follow-up and the runtime's second answer.
        QTRY_VERIFY_WITH_TIMEOUT((stored = conversations()).size() == 1
                                     && stored.at(0).toObject().value(QStringLiteral("messages")).toArray().size() == 4,
                                 30000);
        const QJsonObject conversation = stored.at(0).toObject();
        const QString conversationID = conversation.value(QStringLiteral("id")).toString();
        QVERIFY(!conversationID.isEmpty());
        const QJsonArray continued = conversation.value(QStringLiteral("messages")).toArray();
        QCOMPARE(continued.at(0).toObject().value(QStringLiteral("text")).toString(), QStringLiteral("stream"));
        QCOMPARE(continued.at(1).toObject().value(QStringLiteral("text")).toString(), answer);
        QCOMPARE(continued.at(2).toObject().value(QStringLiteral("role")).toString(), QStringLiteral("user"));
        QCOMPARE(continued.at(2).toObject().value(QStringLiteral("text")).toString(), followUp);
        QCOMPARE(continued.at(3).toObject().value(QStringLiteral("role")).toString(), QStringLiteral("assistant"));
        QCOMPARE(continued.at(3).toObject().value(QStringLiteral("text")).toString(), followUpAnswer);

        // The runtime was asked to continue that conversation with the follow-up.
        const QList<QJsonObject> requests = receivedRequests(agentLog);
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests.at(0).value(QStringLiteral("command")).toString(), QStringLiteral("run"));
        QCOMPARE(requests.at(0).value(QStringLiteral("conversationID")).toString(), conversationID);
        QCOMPARE(requests.at(1).value(QStringLiteral("command")).toString(), QStringLiteral("continue"));
        QCOMPARE(requests.at(1).value(QStringLiteral("conversationID")).toString(), conversationID);
        QCOMPARE(requests.at(1).value(QStringLiteral("instruction")).toString(), followUp);

        // The second answer replaces the first where it was pasted, and is stored as pasted.
        QTRY_COMPARE_WITH_TIMEOUT(target.text, QStringLiteral("Dear team, ") + followUpAnswer + QStringLiteral("."), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(conversations().at(0).toObject().value(QStringLiteral("lastPastedText")).toString(),
                                  followUpAnswer, 20000);
    }
};

QTEST_GUILESS_MAIN(CommandEndToEndTest)
#include "tst_command_e2e.moc"
