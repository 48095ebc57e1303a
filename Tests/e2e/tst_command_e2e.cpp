// The built program running a Command on text selected in another application on the
// test session's X display: the Command shortcut, an instruction spoken into the test
// microphone (heard by the fake speech engine), the scripted fake runtime's answer
// pasted over the selection and stored in the conversations file.
#include "AppPaths.h"
#include "E2eTools.h"
#include "Platform/SettingsStore.h"
#include "SpeechModel.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        sink = qEnvironmentVariable("SORVANE_TEST_PULSE_SINK");
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl", "dbus-send"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        // What the "Allow" action does: the accessibility bus on.
        QVERIFY(runTool(QStringLiteral("dbus-send"),
                        {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.a11y.Bus"),
                         QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties.Set"),
                         QStringLiteral("string:org.a11y.Status"), QStringLiteral("string:IsEnabled"),
                         QStringLiteral("variant:boolean:true")}));
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
    }
};

QTEST_GUILESS_MAIN(CommandEndToEndTest)
#include "tst_command_e2e.moc"
