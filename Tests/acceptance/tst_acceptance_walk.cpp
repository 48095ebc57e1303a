// The whole program as a user meets it, one step after the other in one home: the first
// launch's set-up with a speech model fetched from a loopback model host, then
// Dictations by the toggle and by push-to-talk into a Qt text field and into xterm,
// heard by the shipped whisper-cli on the test model that hears one word in every
// recording. The screens are driven through the accessibility bus, as assistive
// technology does; each step leaves a picture of the screen in the test's folder.
#include "../real-apps/RealApps.h"
#include "Dictation/SpeechModel.h"
#include "LoopbackHttpServer.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>

#include <utility>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 60000;
// The test model hears this word in every recording.
const QString heard = QStringLiteral("Marmalade");
const QString earlierClipboard = QStringLiteral("what the user had copied");

QString selection(const char *name)
{
    const auto text = runTool(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                        QString::fromLatin1(name)});
    return text ? QString::fromUtf8(*text) : QString();
}

// A value of the program's settings file, which keeps each as {"<type>": value}.
QJsonValue setting(const QString &configHome, const char *key)
{
    const QJsonObject typed = QJsonDocument::fromJson(readFile(configHome + QStringLiteral("/Sorvane/settings.json")))
                                  .object()
                                  .value(QLatin1String(key))
                                  .toObject();
    return typed.isEmpty() ? QJsonValue() : *typed.begin();
}

QStringList historyTexts()
{
    QStringList texts;
    for (const QJsonValue &item : QJsonDocument::fromJson(readFile(AppPaths::history())).array())
        texts.append(item.toObject().value(QStringLiteral("text")).toString());
    return texts;
}

bool overlayShown()
{
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--name"), QStringLiteral("^Sorvane overlay$")})
        .has_value();
}

// Where the session's accessibility bus says applications need not be readable: the
// set-up's "Allow auto-paste" then has something to turn on.
bool accessibilityBusOff()
{
    return runTool(QStringLiteral("dbus-send"),
                   {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.a11y.Bus"),
                    QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties.Set"),
                    QStringLiteral("string:org.a11y.Status"), QStringLiteral("string:IsEnabled"),
                    QStringLiteral("variant:boolean:false")})
        .has_value();
}

} // namespace

class AcceptanceWalkTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    LoopbackHttpServer m_server;
    // Finds what is showing; the client presses it, as a screen reader does.
    AtSpiDriver m_atspi;
    AtSpiClient m_screenReader;
    std::unique_ptr<SorvaneProgram> m_sorvane;
    std::optional<AtSpiNode> m_application;
    QString m_tone;
    QString m_rigged;
    QString m_pictures;
    int m_picture = 0;
    // Each step goes on from where the one before ended.
    bool m_stepDone = false;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("HOME"), m_home.path());
        extra.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
        extra.insert(QStringLiteral("SORVANE_MODEL_HOST"), m_server.url(QString()).toString());
        extra.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        // The shipped engine, found by the program's own lookup (empty counts as unset).
        extra.insert(QStringLiteral("SORVANE_WHISPER_CLI_PATH"), QString());
        return extra;
    }

    // The whole screen, as the user sees it at this step.
    void picture(const QString &name)
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        const QString path = m_pictures + QStringLiteral("/%1-%2.png").arg(++m_picture, 2, 10, QLatin1Char('0')).arg(name);
        QVERIFY2(screen->grabWindow(0).save(path), qPrintable(path));
    }

    std::optional<AtSpiNode> waitForButton(const QString &name, int timeoutMs = wait)
    {
        const auto found = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) {
            return m_atspi.name(node) == name && m_atspi.role(node) == AtSpiDriver::rolePushButton;
        }, timeoutMs);
        if (!found)
            qWarning().noquote() << "no button" << name << "among:\n" << m_atspi.dump(*m_application);
        return found;
    }

    bool pressButton(const QString &name)
    {
        const auto button = waitForButton(name);
        return button && m_screenReader.press(*button);
    }

    // The name of the first showing element whose name `matches`, waited for.
    QString waitForName(const std::function<bool(const QString &)> &matches)
    {
        const auto found = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) { return matches(m_atspi.name(node)); },
                                           wait);
        if (!found)
            qWarning().noquote() << "not among:\n" << m_atspi.dump(*m_application);
        return found ? m_atspi.name(*found) : QString();
    }

    // In front with the keyboard focus, the window the program will paste into.
    static bool bringToFront(quint64 window)
    {
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            xdotool({QStringLiteral("windowactivate"), QString::number(window)});
            if (activeWindow() == window)
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    void putOnClipboard(const QString &text)
    {
        QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                        text.toUtf8()));
        QTRY_COMPARE_WITH_TIMEOUT(selection("clipboard"), text, 10000);
    }

    // A Dictation into a Qt text field, started and ended by the given keystrokes: the
    // overlay shows without taking the focus, the heard word is pasted at the cursor, the
    // clipboard comes back, the overlay hides and the history has `historySize` items.
    void dictateIntoAQtTextField(const QStringList &start, const QStringList &end, const QString &name,
                                 qsizetype historySize)
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        putOnClipboard(earlierClipboard);
        TargetWindow target;
        QVERIFY2(target.start(), "the text field's window did not open");
        QVERIFY(bringToFront(target.window));

        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(xdotool(start));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(overlayShown(), 20000);
        QCOMPARE(activeWindow(), target.window);
        picture(name + QStringLiteral("-recording"));
        QCOMPARE(QProcess::execute(QStringLiteral("paplay"),
                                   {QStringLiteral("--device=") + qEnvironmentVariable("SORVANE_TEST_PULSE_SINK"), m_tone}),
                 0);
        QVERIFY(xdotool(end));

        QTRY_COMPARE_WITH_TIMEOUT(target.text, heard, wait);
        picture(name + QStringLiteral("-pasted"));
        QTRY_COMPARE_WITH_TIMEOUT(selection("clipboard"), earlierClipboard, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!overlayShown(), 20000);
        QCOMPARE(activeWindow(), target.window);
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts(), QStringList(historySize, heard), 20000);
        m_stepDone = true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        for (const char *tool : {"xdotool", "xclip", "sox", "paplay", "pactl", "dbus-send", "xterm"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        const QString engine = buildDirectory() + QStringLiteral("/libexec/sorvane/whisper-cli");
        QVERIFY2(QFileInfo(engine).isExecutable(), qPrintable(engine + QStringLiteral(" is missing: scripts/build.sh builds it")));
        m_rigged = qEnvironmentVariable("SORVANE_TEST_MODELS_DIR") + QStringLiteral("/whisper-marmalade.bin");
        QVERIFY2(QFileInfo(m_rigged).isFile(), qPrintable(m_rigged));
        QVERIFY(m_home.isValid());
        m_pictures = buildDirectory() + QStringLiteral("/test-output/acceptance-walk");
        QDir(m_pictures).removeRecursively();
        QVERIFY(QDir().mkpath(m_pictures));
        m_tone = m_home.filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(m_tone));
        QVERIFY(m_server.listen());
        QVERIFY(m_screenReader.connect());
        QVERIFY(m_atspi.connect());
        QVERIFY(accessibilityBusOff());
        useDataHome(m_home.filePath(QStringLiteral("data")));
    }

    void cleanupTestCase()
    {
        m_sorvane.reset();
        xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+space")});
        // The session's other tests read applications through the bus.
        accessibilityBusOn();
    }

    // A fresh home: the main window opens on the set-up; the microphone is granted, auto-
    // paste allowed, a speech model fetched from the model host with its progress shown,
    // and the set-up ends on Home.
    void firstLaunchSetsUpAndEndsOnHome()
    {
        // The rigged test model, served in place of Pocket's weights, slowly enough for
        // the progress to be seen.
        const SpeechModel *pocket = SpeechModel::find(QStringLiteral("pocket"));
        QVERIFY(pocket);
        LoopbackHttpServer::Response weights;
        weights.body = readFile(m_rigged);
        QVERIFY(!weights.body.isEmpty());
        weights.chunkSize = std::max<qint64>(4096, weights.body.size() / 64);
        weights.chunkDelay = 400;
        m_server.route(pocket->url.path(), weights);

        m_sorvane = std::make_unique<SorvaneProgram>(m_home);
        QVERIFY(m_sorvane->start(QString(), true, environment()));
        m_application = m_atspi.application(QStringLiteral("Sorvane"), wait);
        QVERIFY2(m_application, "the program never appeared on the accessibility bus");

        // The welcome page, then each permission: asked for, then ready.
        QVERIFY(waitForButton(QStringLiteral("Continue")));
        picture(QStringLiteral("welcome"));
        QVERIFY(pressButton(QStringLiteral("Continue")));
        if (waitForButton(QStringLiteral("Allow microphone"), 5000))
            QVERIFY(pressButton(QStringLiteral("Allow microphone")));
        QVERIFY2(waitForButton(QStringLiteral("Microphone ready")), "the session's microphone was not granted");
        picture(QStringLiteral("microphone-ready"));
        QVERIFY(pressButton(QStringLiteral("Continue")));
        QVERIFY(pressButton(QStringLiteral("Allow auto-paste")));
        QVERIFY2(waitForButton(QStringLiteral("Auto-paste ready")), "auto-paste was not allowed");
        picture(QStringLiteral("auto-paste-ready"));
        QVERIFY(pressButton(QStringLiteral("Continue")));

        // The speech model: chosen, its progress on screen while the bytes arrive.
        // The row, clicked with the pointer as a user does.
        const auto pocketRow = waitForButton(QStringLiteral("Choose Pocket"));
        QVERIFY(pocketRow);
        QVERIFY(m_atspi.click(*pocketRow));
        const QString status = waitForName([](const QString &name) {
            if (!name.startsWith(QStringLiteral("Pocket is downloading \u00b7 ")))
                return false;
            const int percent = name.section(QStringLiteral("\u00b7 "), 1).section(QLatin1Char('%'), 0, 0).toInt();
            return percent > 0 && percent < 100;
        });
        QVERIFY2(!status.isEmpty(), qPrintable(QStringLiteral("no progress shown while the download ran (%1 requests)")
                                                    .arg(m_server.requestCount(pocket->url.path()))));
        picture(QStringLiteral("model-downloading"));
        const QString installed = AppPaths::models() + QLatin1Char('/') + pocket->fileName;
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(installed).size(), qint64(weights.body.size()), wait);

        QVERIFY(pressButton(QStringLiteral("Finish setup")));
        QTRY_VERIFY_WITH_TIMEOUT(setting(m_sorvane->configHome(), "onboardingComplete").toBool(), wait);
        QCOMPARE(setting(m_sorvane->configHome(), "selectedModelID").toString(), QStringLiteral("pocket"));
        QVERIFY2(waitForButton(QStringLiteral("Start dictation")), "the set-up did not end on Home");
        picture(QStringLiteral("home"));
        m_stepDone = true;
    }

    // Settings: the clipboard put back after a paste (off for a new user).
    void restoringTheClipboardIsTurnedOnInSettings()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        QVERIFY(pressButton(QStringLiteral("Settings")));
        // The area's tab, with the pointer.
        const auto behaviour = waitForButton(QStringLiteral("Behaviour"));
        QVERIFY(behaviour);
        QVERIFY(m_atspi.click(*behaviour));
        const auto restore = m_atspi.waitFor(*m_application, m_atspi.named(QStringLiteral("Restore clipboard after paste")), wait);
        if (!restore)
            qWarning().noquote() << m_atspi.dump(*m_application);
        QVERIFY2(restore, "no switch to restore the clipboard");
        QVERIFY(m_atspi.click(*restore));
        QTRY_VERIFY_WITH_TIMEOUT(setting(m_sorvane->configHome(), "clipboardRestoreEnabled").toBool(), wait);
        picture(QStringLiteral("settings-restore-clipboard"));
        QVERIFY(pressButton(QStringLiteral("Home")));
        QVERIFY(waitForButton(QStringLiteral("Start dictation")));
        m_stepDone = true;
    }

    void toggleDictationIntoAQtTextField()
    {
        dictateIntoAQtTextField({QStringLiteral("key"), QStringLiteral("alt+space")},
                                {QStringLiteral("key"), QStringLiteral("alt+space")}, QStringLiteral("toggle"), 1);
    }

    // xterm pastes only PRIMARY (Shift+Insert): the word arrives, and PRIMARY holds the
    // user's own selection again.
    void toggleDictationIntoXterm()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        const QString typed = m_home.filePath(QStringLiteral("xterm-input"));
        const QString appHome = m_home.filePath(QStringLiteral("xterm"));
        QVERIFY(QDir().mkpath(appHome));
        RealApplication terminal;
        // What the terminal's program reads is written to a file as it comes.
        QVERIFY(terminal.start(QStringLiteral("xterm"),
                               {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                QStringLiteral("stty -icanon -echo; exec cat > '%1'").arg(typed)},
                               appHome));
        QVERIFY(terminal.bringToFront());
        QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("primary")},
                        QByteArray("what the user selected")));
        QTRY_COMPARE_WITH_TIMEOUT(selection("primary"), QStringLiteral("what the user selected"), 10000);

        QVERIFY(speakBetweenPresses(QStringLiteral("alt+space"), m_tone));

        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(typed)).trimmed(), heard, wait);
        picture(QStringLiteral("xterm-pasted"));
        QTRY_COMPARE_WITH_TIMEOUT(selection("primary"), QStringLiteral("what the user selected"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts(), QStringList({heard, heard}), 20000);
        m_stepDone = true;
    }

    // Push-to-talk: held while the user speaks, released to paste.
    void pushToTalkIntoAQtTextField()
    {
        dictateIntoAQtTextField({QStringLiteral("keydown"), QStringLiteral("ctrl+alt+space")},
                                {QStringLiteral("keyup"), QStringLiteral("ctrl+alt+space")},
                                QStringLiteral("push-to-talk"), 3);
    }

    // A second launch hands over to the first, which brings its window forward, and
    // ends; Quit (Ctrl+Q in the main window) ends the program and every process it
    // started (its runtime among them).
    void aSecondLaunchBringsTheWindowForwardAndQuitLeavesNothingRunning()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        const quint64 mainWindow = shownWindowOf(m_sorvane->process.processId());
        QVERIFY(mainWindow != 0);
        TargetWindow other;
        QVERIFY2(other.start(), "the other window did not open");
        QVERIFY(bringToFront(other.window));

        QProcess second;
        second.setProcessEnvironment(m_sorvane->process.processEnvironment());
        second.start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(second.waitForFinished(wait));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), mainWindow, 20000);
        picture(QStringLiteral("second-launch"));

        const QList<qint64> children = descendantsOf(m_sorvane->process.processId());
        QVERIFY2(!children.isEmpty(), "the program runs no runtime");
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")}));
        QVERIFY(m_sorvane->process.waitForFinished(wait));
        QCOMPARE(m_sorvane->process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_sorvane->process.exitCode(), 0);
        for (const qint64 child : children)
            QTRY_VERIFY2_WITH_TIMEOUT(!isRunning(child), qPrintable(QStringLiteral("process %1 outlived the program").arg(child)),
                                      20000);
        m_stepDone = true;
    }
};

int main(int argc, char **argv)
{
    // The test reads the session's screen for its pictures.
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    AcceptanceWalkTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_acceptance_walk.moc"
