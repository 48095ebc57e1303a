// The built program with real Debian applications as its targets: a Dictation pasted
// into xterm (which pastes only PRIMARY, with Shift+Insert) and into mousepad (GTK 3,
// Ctrl+V), a Command on mousepad's selection, and a Command that fails because this
// computer has no on-device model, a new user's default writing model.
#include "RealApps.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString transcript = QStringLiteral("Hello from the test microphone.");
// The fake runtime streams "Hello", ", ", "world" for the instruction "stream".
const QString answer = QStringLiteral("Hello, world");

QString selection(const char *name)
{
    const auto text = runTool(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                        QString::fromLatin1(name)});
    return text ? QString::fromUtf8(*text) : QString();
}

// The instructions' attachments the fake runtime received, in order.
QStringList attachedTexts(const QString &agentLog)
{
    QStringList found;
    for (const QByteArray &line : readFile(agentLog).split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("record")).toString() != QLatin1String("request"))
            continue;
        const QJsonObject request = QJsonDocument::fromJson(record.value(QStringLiteral("line")).toString().toUtf8()).object();
        for (const QJsonValue &attachment : request.value(QStringLiteral("attachments")).toArray())
            found.append(attachment.toObject().value(QStringLiteral("text")).toString());
    }
    return found;
}

} // namespace

class RealApplicationsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<SorvaneProgram> sorvane;
    QString tone;

    QString appHome() const { return home->filePath(QStringLiteral("app")); }

    // mousepad with a file of this text; the file is saved with Ctrl+S to read it.
    bool startMousepad(RealApplication &editor, const QString &file, const QString &text)
    {
        return writeFile(file, text.toUtf8())
            && editor.start(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file}, appHome())
            && editor.bringToFront();
    }

    // What mousepad holds, saved by Ctrl+S (sent again on every look: a save before the
    // paste has landed saves the earlier text).
    static QString savedText(const QString &file)
    {
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+s")});
        return QString::fromUtf8(readFile(file));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        for (const char *tool : {"xdotool", "xclip", "sox", "paplay", "pactl", "dbus-send", "xterm", "mousepad"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        QVERIFY(accessibilityBusOn());
    }

    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        QVERIFY(QDir().mkpath(appHome()));
        tone = home->filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(tone));
        sorvane = std::make_unique<SorvaneProgram>(*home);
        QVERIFY(sorvane->prepare());
    }

    void cleanup()
    {
        sorvane.reset();
        xdotool({QStringLiteral("keyup"), QStringLiteral("alt+shift+space")});
    }

    // xterm has no clipboard paste key: the text goes in through PRIMARY with
    // Shift+Insert, and PRIMARY holds what the user had selected again afterwards.
    void dictationIntoXterm()
    {
        QVERIFY(sorvane->start(transcript));
        const QString typed = home->filePath(QStringLiteral("xterm-input"));
        RealApplication terminal;
        // What the terminal's program reads is written to a file as it comes.
        QVERIFY(terminal.start(QStringLiteral("xterm"),
                               {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                QStringLiteral("stty -icanon -echo; exec cat > '%1'").arg(typed)},
                               appHome()));
        QVERIFY(terminal.bringToFront());
        // The user's own selection, on PRIMARY.
        QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("primary")},
                        QByteArray("what the user selected")));
        QTRY_COMPARE_WITH_TIMEOUT(selection("primary"), QStringLiteral("what the user selected"), 10000);

        QVERIFY(speakBetweenPresses(QStringLiteral("alt+space"), tone));

        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(typed)), transcript, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(selection("primary"), QStringLiteral("what the user selected"), 10000);
        QCOMPARE(selection("clipboard"), transcript);
    }

    void dictationIntoMousepad()
    {
        QVERIFY(sorvane->start(transcript));
        const QString file = home->filePath(QStringLiteral("dictated.txt"));
        RealApplication editor;
        QVERIFY(startMousepad(editor, file, QString()));

        QVERIFY(speakBetweenPresses(QStringLiteral("alt+space"), tone));

        QTRY_COMPARE_WITH_TIMEOUT(savedText(file), transcript, 30000);
    }

    // The selection is read from the GTK 3 editor, and the answer replaces it there;
    // the result toast tells a screen reader what it shows.
    void commandOnMousepadSelection()
    {
        AtSpiClient screenReader;
        QVERIFY(screenReader.connect());
        QVERIFY(sorvane->start(QStringLiteral("stream")));
        const QString file = home->filePath(QStringLiteral("letter.txt"));
        const QString text = QStringLiteral("the meeting moves to Friday");
        RealApplication editor;
        QVERIFY(startMousepad(editor, file, text));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));

        QVERIFY(speakBetweenPresses(QStringLiteral("alt+shift+space"), tone));
        // The pointer waits where the result toast shows, the screen's top right corner,
        // which holds the toast's automatic hide back.
        const auto display = runTool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")});
        QVERIFY(display);
        const int displayWidth = display->split(' ').value(0).toInt();
        QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(displayWidth - 18 - 175), QStringLiteral("76")}));

        const QString agentLog = home->filePath(QStringLiteral("agent.log"));
        QTRY_COMPARE_WITH_TIMEOUT(attachedTexts(agentLog), QStringList{text}, 30000);
        std::optional<AtSpiNode> application;
        QTRY_VERIFY_WITH_TIMEOUT((application = screenReader.application(QStringLiteral("Sorvane"))).has_value(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(screenReader.nameStartingWith(*application, QStringLiteral("Command finished")),
                                  QStringLiteral("Command finished"), 30000);
        QCOMPARE(screenReader.nameStartingWith(*application, answer), answer);
        QTRY_COMPARE_WITH_TIMEOUT(savedText(file), answer, 30000);
    }

    // A new user's default writing model is the on-device one, which this computer does
    // not have: the Command fails, says so in the program's log with its cause, and the
    // selected text stays as it was.
    void commandWithTheOnDeviceModelFailsAndSaysWhy()
    {
        QVERIFY(sorvane->start(QStringLiteral("rewrite this"), true));
        const QString file = home->filePath(QStringLiteral("note.txt"));
        const QString text = QStringLiteral("keep me");
        RealApplication editor;
        QVERIFY(startMousepad(editor, file, text));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));

        QVERIFY(speakBetweenPresses(QStringLiteral("alt+shift+space"), tone));

        QTRY_VERIFY_WITH_TIMEOUT(sorvane->output.contains("sorvane.command: A Command failed: "), 60000);
        const QByteArray output = sorvane->output;
        const QByteArray line = output.mid(output.indexOf("sorvane.command: A Command failed: ")).split('\n').first();
        QVERIFY2(line.contains("not eligible for the on-device model"), line.constData());
        QVERIFY2(line.contains("apple-system"), line.constData());
        QCOMPARE(savedText(file), text);
        // The instruction is kept in its conversation, without an answer.
        QJsonArray stored;
        QTRY_VERIFY_WITH_TIMEOUT((stored = QJsonDocument::fromJson(readFile(AppPaths::agentConversations())).array()).size() == 1,
                                 20000);
        const QJsonArray messages = stored.at(0).toObject().value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.at(0).toObject().value(QStringLiteral("text")).toString(), QStringLiteral("rewrite this"));
    }
};

QTEST_GUILESS_MAIN(RealApplicationsTest)
#include "tst_real_apps_e2e.moc"
