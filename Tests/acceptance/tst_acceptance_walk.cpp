// The whole program as a user meets it, one step after the other in one home: the first
// launch's set-up with a speech model fetched from a loopback model host, then
// Dictations by the toggle and by push-to-talk into a Qt text field and into xterm,
// heard by the shipped whisper-cli on the test model that hears one word in every
// recording; then spoken Commands on a selection, answered by the shipped llama-server
// on a tiny local model and by a loopback server speaking OpenAI's streaming API with
// the key saved in the session's keyring; settings changed and kept over a restart, and a
// shortcut the window manager's own key bindings hold, replaced in Settings. The screens
// are driven through the accessibility bus, as assistive technology does; each step
// leaves a picture of the screen in the test's folder.
#include "../real-apps/RealApps.h"
#include "Command/AgentModelDescriptor.h"
#include "Dictation/SpeechModel.h"
#include "FakeChatServer.h"
#include "Dictation/DictationTypes.h"
#include "Shared/KeyboardShortcutSetting.h"
#include "LoopbackHttpServer.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QUuid>

#include <climits>
#include <cstdlib>
#include <utility>

#include <X11/Xlib.h>
#include <X11/keysym.h>

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

// The editor's text, with its last words selected for a Command.
const QString fieldText = QStringLiteral("Dear team, the meeting moves to Friday.");
constexpr int selectionStart = 11;
constexpr int selectionLength = 27; // "the meeting moves to Friday"
QString fieldTextWith(const QString &replacement)
{
    return fieldText.left(selectionStart) + replacement + fieldText.mid(selectionStart + selectionLength);
}
// The tiny local test model answers every prompt with this sentence.
const QString localAnswer = QStringLiteral("The engines answer from this computer.");
// The user's own local model, listed in their custom-models file.
const QString localModelID = QStringLiteral("tiny-writer");
const QString localModelName = QStringLiteral("Tiny Writer");
// What the loopback provider streams, piece by piece.
const QStringList cloudPieces{QStringLiteral("The provider "), QStringLiteral("answers "),
                              QStringLiteral("over its API.")};
// The OpenAI key's item in the keyring.
const QString keyService = QStringLiteral("com.sorvane.local.openai-api");
const QString keyAccount = QStringLiteral("OPENAI_API_KEY");
// The Command shortcut, Alt+Shift+Space by default.
const QString commandShortcut = QStringLiteral("alt+shift+space");

// The stored Command conversations, oldest first as the file keeps them.
QJsonArray conversations()
{
    return QJsonDocument::fromJson(readFile(AppPaths::agentConversations())).array();
}

QStringList messageTexts(const QJsonValue &conversation)
{
    QStringList texts;
    for (const QJsonValue &message : conversation.toObject().value(QStringLiteral("messages")).toArray())
        texts.append(message.toObject().value(QStringLiteral("text")).toString().trimmed());
    return texts;
}

// The stored conversation whose messages are these texts (the tiny model's answer comes
// with the blank its first word was written with).
std::optional<QJsonObject> conversationOf(const QStringList &messages)
{
    for (const QJsonValue &conversation : conversations())
        if (messageTexts(conversation) == messages)
            return conversation.toObject();
    return std::nullopt;
}

// A field of the Command settings, which the settings file keeps as one JSON record.
QJsonValue agentSetting(const QString &configHome, const char *field)
{
    const JsonFileSettingsStore settings(configHome + QStringLiteral("/Sorvane/settings.json"),
                                         JsonFileSettingsStore::Mode::ReadOnly);
    const auto bytes = settings.bytesValue(QStringLiteral("agentSettings"));
    return bytes ? QJsonDocument::fromJson(*bytes).object().value(QLatin1String(field)) : QJsonValue();
}

// Whether another program holds Alt+Space: a grab of it is refused.
int s_grabRefused = 0;
bool altSpaceTaken()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    s_grabRefused = 0;
    const XErrorHandler previous = XSetErrorHandler([](Display *, XErrorEvent *error) {
        if (error->error_code == BadAccess)
            s_grabRefused = 1;
        return 0;
    });
    XGrabKey(display, XKeysymToKeycode(display, XK_space), Mod1Mask, DefaultRootWindow(display), False, GrabModeAsync,
             GrabModeAsync);
    XSync(display, False);
    XSetErrorHandler(previous);
    // Closing the connection lets a grab that was granted go.
    XCloseDisplay(display);
    return s_grabRefused != 0;
}

// The window manager's configuration file, which it names on the root window.
QString windowManagerConfiguration()
{
    const auto property = runTool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_OB_CONFIG_FILE")});
    return property ? QString::fromUtf8(*property).section(QLatin1Char('"'), 1, 1) : QString();
}

bool reconfigureTheWindowManager()
{
    return runTool(QStringLiteral("openbox"), {QStringLiteral("--reconfigure")}).has_value();
}

// A shortcut of the settings file, as the recorder shows it.
QString storedShortcut(const QString &configHome, const char *key)
{
    const JsonFileSettingsStore settings(configHome + QStringLiteral("/Sorvane/settings.json"),
                                         JsonFileSettingsStore::Mode::ReadOnly);
    return KeyboardShortcutSetting::load(settings, QLatin1String(key), {}).displayName();
}

// The Command profiles of the settings file, as name and writing instructions.
QList<QPair<QString, QString>> storedProfiles(const QString &configHome)
{
    QList<QPair<QString, QString>> profiles;
    for (const QJsonValue &profile : agentSetting(configHome, "promptProfiles").toArray())
        profiles.append({profile.toObject().value(QStringLiteral("name")).toString(),
                         profile.toObject().value(QStringLiteral("prompt")).toString()});
    return profiles;
}

// The OpenAI key as the keyring's own client finds it.
QString keyringItem()
{
    const auto found = runTool(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("server"),
                                                               keyService, QStringLiteral("user"), keyAccount});
    return found ? QString::fromUtf8(*found) : QString();
}

void clearKeyringItem()
{
    runTool(QStringLiteral("secret-tool"),
            {QStringLiteral("clear"), QStringLiteral("server"), keyService, QStringLiteral("user"), keyAccount});
}

// The processes whose `file` in /proc holds `secret`, and how many of them could be read.
struct ProcSearch {
    QStringList holding;
    QList<qint64> read;
};
ProcSearch searchProcesses(const char *file, const QByteArray &secret)
{
    ProcSearch search;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile contents(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
        if (!contents.open(QIODevice::ReadOnly))
            continue; // another user's, or gone
        search.read.append(pid);
        if (contents.readAll().contains(secret))
            search.holding.append(QStringLiteral("%1 (%2)").arg(pid).arg(QString::fromUtf8(
                readFile(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed())));
    }
    return search;
}

// The files below `folder` that hold `secret`.
QStringList filesHolding(const QString &folder, const QByteArray &secret)
{
    QStringList found;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (readFile(path).contains(secret))
            found.append(path);
    }
    return found;
}

} // namespace

class AcceptanceWalkTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    LoopbackHttpServer m_server;
    // Stands for OpenAI: it speaks its streaming chat API and keeps what it was sent.
    FakeChatServer m_provider;
    // Made for this run, so that nothing else holds it by chance.
    const QString m_cloudKey = QStringLiteral("sk-walk-") + QUuid::createUuid().toString(QUuid::Id128);
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
    // The editor a Command works on, kept open from the Command to its follow-up.
    std::unique_ptr<TargetWindow> m_target;
    // A point over the shown Settings area, where the wheel scrolls it.
    QPoint m_settingsArea;
    int m_settingsBottom = 0;
    // The test session's window manager configuration while its default key bindings
    // are on, to be put back.
    QString m_windowManagerConfiguration;
    QByteArray m_sessionKeyBindings;

    const QString conversationWindowTitle = QStringLiteral("Sorvane \u2014 Command");
    static constexpr quint32 checkBoxRole = 7; // ATSPI_ROLE_CHECK_BOX, a switch among them
    static constexpr quint32 passwordTextRole = 40; // ATSPI_ROLE_PASSWORD_TEXT
    static constexpr quint32 comboBoxRole = 11; // ATSPI_ROLE_COMBO_BOX

    // The program's runtime, once it runs.
    std::optional<qint64> runtimePid() const
    {
        const QList<qint64> runtimes = childrenNamed(m_sorvane->process.processId(), QStringLiteral("sorvane-agent"));
        return runtimes.size() == 1 ? std::optional(runtimes.first()) : std::nullopt;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("HOME"), m_home.path());
        extra.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
        extra.insert(QStringLiteral("SORVANE_MODEL_HOST"), m_server.url(QString()).toString());
        extra.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        // The shipped engine, found by the program's own lookup (empty counts as unset).
        extra.insert(QStringLiteral("SORVANE_WHISPER_CLI_PATH"), QString());
        // The cloud provider's address, in place of api.openai.com.
        extra.insert(QStringLiteral("SORVANE_AGENT_OPENAI_BASE_URL"), m_provider.url(QStringLiteral("/v1")).toString());
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

    void putOnClipboard(const QString &text)
    {
        QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                        text.toUtf8()));
        QTRY_COMPARE_WITH_TIMEOUT(selection("clipboard"), text, 10000);
    }

    // Ends the program and starts it again in the same home; the new copy's windows are
    // then the ones read.
    void restart()
    {
        const QString before = m_application ? m_application->service : QString();
        m_sorvane.reset();
        m_sorvane = std::make_unique<SorvaneProgram>(m_home);
        QVERIFY(m_sorvane->start(QString(), true, environment()));
        QTRY_VERIFY_WITH_TIMEOUT((m_application = m_atspi.application(QStringLiteral("Sorvane"), 1000))
                                     && m_application->service != before,
                                 wait);
    }

    // Every showing element below `under` whose name is `text`, blanks around it aside.
    QList<AtSpiNode> allNamed(const AtSpiNode &under, const QString &text)
    {
        QList<AtSpiNode> found;
        m_atspi.find(under, [&](const AtSpiNode &node) {
            if (m_atspi.name(node).trimmed() == text)
                found.append(node);
            return false;
        });
        return found;
    }

    // The program's main window (the conversation window may be shown beside it).
    static quint64 mainWindowId()
    {
        const auto found = runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                               QStringLiteral("--name"), QStringLiteral("^Sorvane$")});
        return found ? found->split('\n').value(0).trimmed().toULongLong() : 0;
    }

    // The program's shown window of this title.
    std::optional<AtSpiNode> windowTitled(const QString &title)
    {
        for (const AtSpiNode &window : m_atspi.children(*m_application))
            if (m_atspi.name(window) == title && m_atspi.showing(window))
                return window;
        return std::nullopt;
    }

    // How many of the conversation window's elements say `text`; -1 while it is not shown.
    qsizetype inConversationWindow(const QString &text)
    {
        const auto window = windowTitled(conversationWindowTitle);
        return window ? allNamed(*window, text).size() : -1;
    }

    // Whether an element saying `text` (blanks around it aside) shows, waited for.
    bool shows(const QString &text)
    {
        return !waitForName([&](const QString &name) { return name.trimmed() == text; }).isEmpty();
    }

    // The element of this role and name, brought into sight by turning the mouse wheel
    // with the pointer at `over`, a notch at a time, as a user scrolls down to it; it
    // counts as in sight once it shows and lies above `above` (a footer's top).
    // A role of 0 takes any. The view is first scrolled back to its top.
    std::optional<AtSpiNode> scrolledTo(QPoint over, quint32 role, const QString &name, int above = INT_MAX)
    {
        if (!xdotool({QStringLiteral("mousemove"), QString::number(over.x()), QString::number(over.y())})
            || !xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("30"), QStringLiteral("4")}))
            return std::nullopt;
        for (int notch = 0; notch < 40; ++notch) {
            const auto found = m_atspi.find(*m_application, [&](const AtSpiNode &node) {
                return (role == 0 || m_atspi.role(node) == role) && m_atspi.name(node) == name;
            });
            const auto rect = found ? m_atspi.extents(*found) : std::nullopt;
            if (rect && !rect->isEmpty() && rect->bottom() < above)
                return found;
            if (!xdotool({QStringLiteral("click"), QStringLiteral("5")}))
                return std::nullopt;
        }
        qWarning().noquote() << "nothing called" << name << "in sight among:\n" << m_atspi.dump(*m_application);
        return std::nullopt;
    }

    // Settings, on the tab of this area, in the main window brought in front.
    void openSettingsArea(const QString &area)
    {
        QVERIFY(bringWindowToFront(mainWindowId()));
        QVERIFY(pressButton(QStringLiteral("Settings")));
        const auto tab = waitForButton(area);
        QVERIFY(tab);
        QVERIFY(m_atspi.click(*tab));
        const auto where = m_atspi.extents(*tab);
        const auto window = windowTitled(QStringLiteral("Sorvane"));
        const auto frame = window ? m_atspi.extents(*window) : std::nullopt;
        QVERIFY(where && frame);
        m_settingsArea = where->center() + QPoint(0, 250);
        m_settingsBottom = frame->bottom() - 10;
    }

    // An element of the Settings area shown, scrolled into sight above the window's
    // bottom edge.
    std::optional<AtSpiNode> inSettings(quint32 role, const QString &name)
    {
        return scrolledTo(m_settingsArea, role, name, m_settingsBottom);
    }

    // Of the buttons called `name`, the one on the line of the element called `label`
    // (several rows offer an "Add").
    std::optional<AtSpiNode> buttonBeside(const QString &label, const QString &name)
    {
        const auto anchor = m_atspi.waitFor(*m_application, m_atspi.named(label), wait);
        const auto anchorRect = anchor ? m_atspi.extents(*anchor) : std::nullopt;
        if (!anchorRect)
            return std::nullopt;
        std::optional<AtSpiNode> nearest;
        int distance = 0;
        for (const AtSpiNode &button : allNamed(*m_application, name)) {
            const auto rect = m_atspi.extents(button);
            if (m_atspi.role(button) != AtSpiDriver::rolePushButton || !rect)
                continue;
            const int away = std::abs(rect->center().y() - anchorRect->center().y());
            if (!nearest || away < distance) {
                nearest = button;
                distance = away;
            }
        }
        return nearest;
    }

    // The pointer rests where the result toast shows (the screen's top right corner), so
    // that it holds the toast's automatic hide back while the test reads and presses it.
    void restThePointerWhereTheToastShows()
    {
        const auto display = runTool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")});
        QVERIFY(display);
        const int width = display->split(' ').value(0).toInt();
        QVERIFY(width > 0);
        QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(width - 18 - 175), QStringLiteral("76")}));
    }

    // A Command on the editor's selection: the instruction spoken between two presses
    // of the Command shortcut, heard by the speech engine as the one word it hears.
    void speakACommand()
    {
        QVERIFY(speakBetweenPresses(commandShortcut, m_tone));
    }

    // The window manager with the key bindings of its own default configuration, Alt+Space
    // among them, once it holds that combination.
    void useTheWindowManagersDefaultKeyBindings()
    {
        m_windowManagerConfiguration = windowManagerConfiguration();
        QVERIFY2(!m_windowManagerConfiguration.isEmpty(), "the window manager names no configuration");
        const QByteArray session = readFile(m_windowManagerConfiguration);
        const QByteArray defaults = readFile(QStringLiteral("/etc/xdg/openbox/rc.xml"));
        const auto section = [](const QByteArray &configuration) -> std::pair<qsizetype, qsizetype> {
            const qsizetype start = configuration.indexOf("<keyboard>");
            const qsizetype end = configuration.indexOf("</keyboard>", start);
            return {start, start < 0 || end < 0 ? -1 : end + qsizetype(sizeof("</keyboard>") - 1) - start};
        };
        const auto [sessionStart, sessionLength] = section(session);
        const auto [defaultStart, defaultLength] = section(defaults);
        QVERIFY(sessionLength > 0 && defaultLength > 0);
        m_sessionKeyBindings = session;
        QByteArray configuration = session;
        configuration.replace(sessionStart, sessionLength, defaults.mid(defaultStart, defaultLength));
        QVERIFY(writeFile(m_windowManagerConfiguration, configuration));
        QVERIFY(reconfigureTheWindowManager());
        QTRY_VERIFY_WITH_TIMEOUT(altSpaceTaken(), wait);
    }

    // The test session's own configuration back, and Alt+Space free again.
    void restoreTheSessionsKeyBindings()
    {
        if (m_sessionKeyBindings.isEmpty())
            return;
        QVERIFY(writeFile(m_windowManagerConfiguration, std::exchange(m_sessionKeyBindings, {})));
        QVERIFY(reconfigureTheWindowManager());
        QTRY_VERIFY_WITH_TIMEOUT(!altSpaceTaken(), wait);
    }

    // A Dictation into a Qt text field, started and ended by the given keystrokes: the
    // overlay shows without taking the focus, the heard word is pasted at the cursor, the
    // clipboard comes back, the overlay hides and the history has the Dictation first.
    void dictateIntoAQtTextField(const QStringList &start, const QStringList &end, const QString &name)
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        const QStringList history = QStringList{heard} + historyTexts();
        putOnClipboard(earlierClipboard);
        TargetWindow target;
        QVERIFY2(target.start(), "the text field's window did not open");
        QVERIFY(bringWindowToFront(target.window));

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
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts(), history, 20000);
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
        QVERIFY(m_provider.listen());
        QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("secret-tool")).isEmpty());
        clearKeyringItem();
        QVERIFY(keyringItem().isEmpty());
        QVERIFY(m_screenReader.connect());
        QVERIFY(m_atspi.connect());
        QVERIFY(accessibilityBusOff());
        useDataHome(m_home.filePath(QStringLiteral("data")));
    }

    void cleanupTestCase()
    {
        m_target.reset();
        m_sorvane.reset();
        restoreTheSessionsKeyBindings();
        xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+space")});
        xdotool({QStringLiteral("keyup"), commandShortcut});
        // The session's keyring is shared with the other tests.
        clearKeyringItem();
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
                                {QStringLiteral("key"), QStringLiteral("alt+space")}, QStringLiteral("toggle"));
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
                                QStringLiteral("push-to-talk"));
    }

    // The user's own local writing model, listed in their custom-models file (the program
    // reads it at start) and fetched from the model host in Models; the Command's answer
    // is to wait for the user's "Paste", so Behaviour's automatic paste is turned off.
    void aLocalWritingModelIsFetchedAndChosenInModels()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        const QByteArray weights = readFile(qEnvironmentVariable("SORVANE_TEST_MODELS_DIR") + QStringLiteral("/writer-a.gguf"));
        QVERIFY(!weights.isEmpty());
        const QString weightsPath = QStringLiteral("/writing-models/tiny-writer/writer-a.gguf");
        LoopbackHttpServer::Response served;
        served.body = weights;
        m_server.route(weightsPath, served);
        AgentModelDescriptor model;
        model.id = localModelID;
        model.name = localModelName;
        model.officialName = QStringLiteral("Tiny Llama F32");
        model.organization = QStringLiteral("Test bench");
        model.detail = QStringLiteral("Answers every prompt with one sentence");
        model.sizeLabel = QStringLiteral("%1 KB").arg(weights.size() / 1024);
        model.license = QStringLiteral("MIT");
        model.sourceRevision = QStringLiteral("test");
        model.provider = AgentModelProvider::LlamaCPP;
        model.isCustom = true;
        model.artifacts = {{QStringLiteral("writer-a.gguf"), m_server.url(weightsPath), weights.size(),
                            QString::fromLatin1(QCryptographicHash::hash(weights, QCryptographicHash::Sha256).toHex()),
                            AgentModelArtifact::Role::Model}};
        QVERIFY(writeFile(AppPaths::customAgentModels(), QJsonDocument(QJsonArray{model.toJson()}).toJson()));
        restart();
        if (QTest::currentTestFailed())
            return;

        QVERIFY(pressButton(QStringLiteral("Settings")));
        const auto behaviour = waitForButton(QStringLiteral("Behaviour"));
        QVERIFY(behaviour);
        QVERIFY(m_atspi.click(*behaviour));
        // Further down the area than the window shows.
        const auto tab = m_atspi.extents(*behaviour);
        QVERIFY(tab);
        const auto autoPaste = scrolledTo(tab->center() + QPoint(0, 250), checkBoxRole,
                                          QStringLiteral("Paste Command result automatically"));
        QVERIFY2(autoPaste, "no switch for the Command's automatic paste");
        QVERIFY(agentSetting(m_sorvane->configHome(), "automaticPaste").toBool(true));
        QVERIFY(m_atspi.click(*autoPaste));
        QTRY_VERIFY_WITH_TIMEOUT(!agentSetting(m_sorvane->configHome(), "automaticPaste").toBool(true), wait);

        QVERIFY(pressButton(QStringLiteral("Models")));
        QVERIFY(pressButton(QStringLiteral("Change writing model")));
        // The user's own model comes after the catalogue's: the list is scrolled with the
        // wheel until its "Get" is in sight above the sheet's footer, then clicked.
        const auto done = waitForButton(QStringLiteral("Done"));
        QVERIFY(done);
        const auto footer = m_atspi.extents(*done);
        QVERIFY(footer);
        const auto get = scrolledTo(footer->topLeft() - QPoint(300, 200), AtSpiDriver::rolePushButton,
                                    QStringLiteral("Get ") + localModelName, footer->top() - 40);
        QVERIFY2(get, "the user's own model is not offered for download");
        QVERIFY(m_atspi.click(*get));
        const QString installed = AppPaths::agentModels() + QLatin1Char('/') + localModelID + QStringLiteral("/writer-a.gguf");
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(installed).size(), qint64(weights.size()), wait);
        // Fetched, it is the Command model.
        QTRY_COMPARE_WITH_TIMEOUT(agentSetting(m_sorvane->configHome(), "selectedModelID").toString(), localModelID, wait);
        QCOMPARE(agentSetting(m_sorvane->configHome(), "writingProvider").toString(), QStringLiteral("local"));
        picture(QStringLiteral("writing-model-chosen"));
        QVERIFY(pressButton(QStringLiteral("Done")));
        m_stepDone = true;
    }

    // A spoken Command on the selection, answered by the shipped llama-server on the
    // local model: the answer is stored and announced in the result toast, and the
    // conversation's "Paste" puts it in place of the selection.
    void commandOnASelectionWithTheLocalModelIsPastedFromTheConversation()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        m_target = std::make_unique<TargetWindow>();
        QVERIFY2(m_target->start(fieldText, selectionStart, selectionLength, true), "the editor's window did not open");
        QVERIFY(bringWindowToFront(m_target->window));
        restThePointerWhereTheToastShows();
        speakACommand();
        if (QTest::currentTestFailed())
            return;

        // The model loads and answers; the conversation keeps the spoken instruction with
        // the selection attached, and the answer.
        std::optional<QJsonObject> conversation;
        QTRY_VERIFY_WITH_TIMEOUT((conversation = conversationOf({heard, localAnswer})).has_value(), 2 * wait);
        const QString answer =
            conversation->value(QStringLiteral("messages")).toArray().at(1).toObject().value(QStringLiteral("text")).toString();
        const QJsonArray attachments =
            conversation->value(QStringLiteral("messages")).toArray().at(0).toObject().value(QStringLiteral("attachments")).toArray();
        QCOMPARE(attachments.size(), qsizetype(1));
        QCOMPARE(attachments.at(0).toObject().value(QStringLiteral("text")).toString(),
                 fieldText.mid(selectionStart, selectionLength));
        const auto runtime = runtimePid();
        QVERIFY2(runtime, "the program runs no runtime");
        QVERIFY2(!childrenNamed(*runtime, QStringLiteral("llama-server")).isEmpty(), "the runtime runs no llama-server");

        // The toast says so, with the answer; nothing was pasted (the answer waits on the
        // clipboard), so the toast's own "Paste", kept for a paste that failed, is absent.
        QVERIFY(shows(QStringLiteral("Command finished")));
        QVERIFY(shows(localAnswer));
        // The editor tells each change of its text: there was none.
        QVERIFY2(m_target->text.isEmpty(), qPrintable(m_target->text));
        picture(QStringLiteral("command-local-toast"));
        QVERIFY(!m_atspi.find(*m_application, [&](const AtSpiNode &node) {
            return m_atspi.role(node) == AtSpiDriver::rolePushButton && m_atspi.name(node) == QStringLiteral("Paste");
        }));

        // Its "Open" shows the conversation, whose "Paste" puts the answer in place of the
        // selection.
        QVERIFY(pressButton(QStringLiteral("Open")));
        QTRY_VERIFY_WITH_TIMEOUT(windowTitled(conversationWindowTitle).has_value(), wait);
        QTRY_COMPARE_WITH_TIMEOUT(inConversationWindow(localAnswer), qsizetype(1), wait);
        QVERIFY(pressButton(QStringLiteral("Paste")));
        QTRY_COMPARE_WITH_TIMEOUT(m_target->text, fieldTextWith(answer), wait);
        QCOMPARE(activeWindow(), m_target->window);
        picture(QStringLiteral("command-local-pasted"));
        m_stepDone = true;
    }

    // The conversation window's microphone takes a spoken follow-up, which the same
    // conversation keeps with its answer.
    void aSpokenFollowUpContinuesTheConversation()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        QVERIFY(windowTitled(conversationWindowTitle));
        const auto microphone = waitForButton(QStringLiteral("Speak a follow-up"));
        QVERIFY(microphone);
        picture(QStringLiteral("conversation-window"));

        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(m_atspi.click(*microphone));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
        QCOMPARE(QProcess::execute(QStringLiteral("paplay"),
                                   {QStringLiteral("--device=") + qEnvironmentVariable("SORVANE_TEST_PULSE_SINK"), m_tone}),
                 0);
        picture(QStringLiteral("follow-up-listening"));
        QVERIFY(m_atspi.click(*microphone));

        QTRY_VERIFY_WITH_TIMEOUT(conversationOf({heard, localAnswer, heard, localAnswer}).has_value(), 2 * wait);
        QCOMPARE(conversations().size(), qsizetype(1));
        // Both answers stand in the window.
        QTRY_COMPARE_WITH_TIMEOUT(inConversationWindow(localAnswer), qsizetype(2), wait);
        picture(QStringLiteral("follow-up-answered"));
        m_stepDone = true;
    }

    // After a restart the conversation, opened from the history, shows both turns.
    void theConversationShowsBothTurnsAfterARestart()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        m_target.reset();
        restart();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(pressButton(QStringLiteral("History")));
        // A double click on the Command's row opens its conversation.
        const auto badge = m_atspi.waitFor(*m_application, m_atspi.named(QStringLiteral("COMMAND")), wait);
        QVERIFY2(badge, "the history lists no Command");
        const auto where = m_atspi.extents(*badge);
        QVERIFY(where);
        QVERIFY(clickOnScreen(where->center(), 1));
        QVERIFY(clickOnScreen(where->center(), 1));
        QTRY_COMPARE_WITH_TIMEOUT(inConversationWindow(localAnswer), qsizetype(2), wait);
        QCOMPARE(inConversationWindow(heard), qsizetype(2));
        picture(QStringLiteral("conversation-after-restart"));
        m_stepDone = true;
    }

    // Settings › Account: the OpenAI key typed into its field and saved into the
    // session's keyring; Command then writes with OpenAI.
    void aCloudKeyIsSavedThroughSettingsIntoTheKeyring()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        // The main window brought in front of the conversation window, as from the
        // taskbar.
        QVERIFY(bringWindowToFront(mainWindowId()));
        QVERIFY(pressButton(QStringLiteral("Settings")));
        const auto account = waitForButton(QStringLiteral("Account"));
        QVERIFY(account);
        QVERIFY(m_atspi.click(*account));
        const QString row = QStringLiteral("OpenAI API key");
        const auto add = buttonBeside(row, QStringLiteral("Add"));
        QVERIFY2(add, "no Add on the OpenAI key's row");
        const QList<AtSpiNode> titles = allNamed(*m_application, row);
        QCOMPARE(titles.size(), qsizetype(1));
        QVERIFY(m_screenReader.press(*add));
        // The open row's masked field, which carries the row's name too.
        const auto field = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) {
            return node.path != titles.first().path
                && (m_atspi.role(node) == passwordTextRole || m_atspi.name(node).trimmed() == row);
        }, wait);
        if (!field)
            qWarning().noquote() << "no key field among:\n" << m_atspi.dump(*m_application);
        QVERIFY(field);
        QVERIFY(m_atspi.click(*field));
        // Typed from standard input, so that the key stands in no program's arguments.
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                                                    QStringLiteral("--file"), QStringLiteral("-")},
                        m_cloudKey.toUtf8()));
        QVERIFY(keyringItem().isEmpty());
        QVERIFY(pressButton(QStringLiteral("Save key")));
        QTRY_COMPARE_WITH_TIMEOUT(keyringItem(), m_cloudKey, wait);
        QTRY_COMPARE_WITH_TIMEOUT(agentSetting(m_sorvane->configHome(), "writingProvider").toString(), QStringLiteral("openAI"),
                                  wait);
        const QString saved = QStringLiteral("Saved in the system keyring \u00b7 ready for Command");
        QCOMPARE(waitForName([&](const QString &name) { return name == saved; }), saved);
        picture(QStringLiteral("cloud-key-saved"));
        m_stepDone = true;
    }

    // A spoken Command answered by the cloud model: the provider was sent the key, and
    // the key stands in no process's arguments or environment, in none of the program's
    // output and in no file of its home.
    void commandWithTheCloudModelKeepsTheKeyOutOfSight()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        m_provider.setHandler([](const FakeChatServer::Request &) { return FakeChatServer::streamOf(cloudPieces); });
        m_provider.clearRequests();
        m_target = std::make_unique<TargetWindow>();
        QVERIFY2(m_target->start(fieldText, selectionStart, selectionLength, true), "the editor's window did not open");
        QVERIFY(bringWindowToFront(m_target->window));
        restThePointerWhereTheToastShows();
        speakACommand();
        if (QTest::currentTestFailed())
            return;

        const QString answer = cloudPieces.join(QString());
        QTRY_VERIFY_WITH_TIMEOUT(conversationOf({heard, answer}).has_value(), 2 * wait);
        QVERIFY(shows(answer));
        picture(QStringLiteral("command-cloud-toast"));

        const QList<FakeChatServer::Request> requests = m_provider.requestsTo("/v1/chat/completions");
        QCOMPARE(requests.size(), qsizetype(1));
        QCOMPARE(requests.first().headers.value("authorization"), QByteArray(QByteArray("Bearer ") + m_cloudKey.toUtf8()));
        QCOMPARE(requests.first().json().value(QStringLiteral("stream")).toBool(), true);

        const QByteArray key = m_cloudKey.toUtf8();
        const auto runtime = runtimePid();
        QVERIFY(runtime);
        for (const char *file : {"cmdline", "environ"}) {
            const ProcSearch search = searchProcesses(file, key);
            QVERIFY2(search.holding.isEmpty(), qPrintable(QStringLiteral("the key is in the %1 of %2")
                                                             .arg(QLatin1String(file), search.holding.join(QStringLiteral(", ")))));
            // Not a search of nothing: the program's and its runtime's were read.
            QVERIFY(search.read.contains(m_sorvane->process.processId()));
            QVERIFY(search.read.contains(*runtime));
        }
        QVERIFY2(!m_sorvane->output.contains(key), "the key is in the program's output");
        const QStringList files = filesHolding(m_home.path(), key);
        QVERIFY2(files.isEmpty(), qPrintable(QStringLiteral("the key is in ") + files.join(QStringLiteral(", "))));

        // The toast dismissed, the editor closed, the main window back on Home.
        QVERIFY(pressButton(QStringLiteral("Dismiss")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_atspi.find(*m_application, m_atspi.named(QStringLiteral("Command finished"))), wait);
        m_target.reset();
        QVERIFY(pressButton(QStringLiteral("Home")));
        QVERIFY(waitForButton(QStringLiteral("Start dictation")));
        m_stepDone = true;
    }

    // Settings: a changed shortcut, a Command profile, the overlay's appearance and "Open
    // at login" are there again after a restart. The login item is the desktop's
    // autostart file, which goes once the switch is turned off.
    void settingsSurviveARestart()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        const QString configHome = m_sorvane->configHome();
        const QString loginItem = configHome + QStringLiteral("/autostart/com.sorvane.local.desktop");
        QVERIFY(!QFileInfo::exists(loginItem));
        const QString profileName = QStringLiteral("Team chat");
        const QString profilePrompt = QStringLiteral("Short sentences, no sign-off.");
        const QString commandRecorder = QStringLiteral("Command shortcut");
        const QString newCommandKeys = QStringLiteral("Ctrl+Alt+K");

        // Shortcuts: the Command on new keys, and a profile of the user's own.
        openSettingsArea(QStringLiteral("Shortcuts"));
        const auto recorder = inSettings(AtSpiDriver::rolePushButton, commandRecorder);
        QVERIFY(recorder);
        QVERIFY(m_atspi.click(*recorder));
        QVERIFY(shows(QStringLiteral("Press keys\u2026")));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+k")}));
        QTRY_COMPARE_WITH_TIMEOUT(storedShortcut(configHome, "agentShortcut"), newCommandKeys, wait);

        const auto add = inSettings(AtSpiDriver::rolePushButton, QStringLiteral("Add profile"));
        QVERIFY(add);
        QVERIFY(m_atspi.click(*add));
        QTRY_COMPARE_WITH_TIMEOUT(storedProfiles(configHome).size(), qsizetype(1), wait);
        const auto nameField = inSettings(0, QStringLiteral("Command profile name"));
        QVERIFY(nameField);
        QVERIFY(m_atspi.click(*nameField));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));
        QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), profileName}));
        const auto instructions = inSettings(0, QStringLiteral("Writing instructions for ") + profileName);
        QVERIFY2(instructions, "the profile's instructions do not carry its new name");
        QVERIFY(m_atspi.click(*instructions));
        QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), profilePrompt}));
        const QList<QPair<QString, QString>> profile{{profileName, profilePrompt}};
        QTRY_COMPARE_WITH_TIMEOUT(storedProfiles(configHome), profile, wait);
        picture(QStringLiteral("settings-shortcuts-changed"));

        // Behaviour: opened at login, a light overlay (dark for a new user) of the small size.
        openSettingsArea(QStringLiteral("Behaviour"));
        auto login = inSettings(checkBoxRole, QStringLiteral("Open Sorvane at login"));
        QVERIFY(login);
        QVERIFY(!m_atspi.checked(*login));
        QVERIFY(m_atspi.click(*login));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(loginItem), wait);
        QVERIFY(readFile(loginItem).contains("Exec="));
        auto appearance = inSettings(comboBoxRole, QStringLiteral("Overlay appearance"));
        QVERIFY(appearance);
        QCOMPARE(m_atspi.description(*appearance), QStringLiteral("Dark"));
        QVERIFY(m_atspi.click(*appearance));
        // The picker's entry, clicked in its open menu.
        QVERIFY(m_atspi.clickButton(*m_application, QStringLiteral("Light"), wait));
        QTRY_COMPARE_WITH_TIMEOUT(setting(configHome, "overlayAppearance").toString(), toText(OverlayAppearance::Light), wait);
        auto mini = inSettings(AtSpiDriver::rolePushButton, QStringLiteral("Mini overlay size"));
        QVERIFY(mini);
        QVERIFY(m_atspi.click(*mini));
        QTRY_COMPARE_WITH_TIMEOUT(setting(configHome, "overlaySize").toString(), toText(OverlaySize::Mini), wait);
        picture(QStringLiteral("settings-behaviour-changed"));

        restart();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(QFileInfo::exists(loginItem));
        openSettingsArea(QStringLiteral("Shortcuts"));
        const auto recorderAgain = inSettings(AtSpiDriver::rolePushButton, commandRecorder);
        QVERIFY(recorderAgain);
        QCOMPARE(m_atspi.description(*recorderAgain), newCommandKeys);
        const auto nameAgain = inSettings(0, QStringLiteral("Command profile name"));
        QVERIFY(nameAgain);
        QCOMPARE(m_atspi.text(*nameAgain), profileName);
        const auto instructionsAgain = inSettings(0, QStringLiteral("Writing instructions for ") + profileName);
        QVERIFY(instructionsAgain);
        QCOMPARE(m_atspi.text(*instructionsAgain), profilePrompt);
        picture(QStringLiteral("settings-shortcuts-after-restart"));

        openSettingsArea(QStringLiteral("Behaviour"));
        login = inSettings(checkBoxRole, QStringLiteral("Open Sorvane at login"));
        QVERIFY(login);
        QVERIFY(m_atspi.checked(*login));
        appearance = inSettings(comboBoxRole, QStringLiteral("Overlay appearance"));
        QVERIFY(appearance);
        QCOMPARE(m_atspi.description(*appearance), QStringLiteral("Light"));
        mini = inSettings(AtSpiDriver::rolePushButton, QStringLiteral("Mini overlay size"));
        QVERIFY(mini);
        QCOMPARE(m_atspi.description(*mini), QStringLiteral("Selected"));
        picture(QStringLiteral("settings-behaviour-after-restart"));

        // Switched off, the login item is gone.
        login = inSettings(checkBoxRole, QStringLiteral("Open Sorvane at login"));
        QVERIFY(login);
        QVERIFY(m_atspi.click(*login));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(loginItem), wait);
        QTRY_VERIFY_WITH_TIMEOUT(!m_atspi.checked(*login), wait);
        m_stepDone = true;
    }

    // The window manager's default key bindings take Alt+Space: the program, started
    // after it, says so beside the Dictation shortcut in Settings; Ctrl+Alt+D recorded
    // there dictates at once.
    void aShortcutTheWindowManagerHoldsIsRefusedAndReplaced()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        // Ended first, so that it holds Alt+Space no more.
        m_sorvane.reset();
        useTheWindowManagersDefaultKeyBindings();
        if (QTest::currentTestFailed())
            return;
        restart();
        if (QTest::currentTestFailed())
            return;

        openSettingsArea(QStringLiteral("Shortcuts"));
        const QString refusal = QStringLiteral("In use by another program");
        QVERIFY2(shows(refusal), "the refused shortcut is not told");
        const auto recorder = inSettings(AtSpiDriver::rolePushButton, QStringLiteral("Dictate shortcut"));
        QVERIFY(recorder);
        QCOMPARE(m_atspi.description(*recorder), QStringLiteral("Alt+Space"));
        picture(QStringLiteral("shortcut-refused"));

        QVERIFY(m_atspi.click(*recorder));
        QVERIFY(shows(QStringLiteral("Press keys\u2026")));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+d")}));
        QTRY_COMPARE_WITH_TIMEOUT(storedShortcut(m_sorvane->configHome(), "toggleShortcut"), QStringLiteral("Ctrl+Alt+D"), wait);
        QTRY_COMPARE_WITH_TIMEOUT(m_atspi.description(*recorder), QStringLiteral("Ctrl+Alt+D"), wait);
        QTRY_VERIFY_WITH_TIMEOUT(!m_atspi.find(*m_application, m_atspi.named(refusal)), wait);
        picture(QStringLiteral("shortcut-recorded"));

        // The Dictation ends the step; the session's own key bindings come back at the
        // end of the walk.
        m_stepDone = true;
        dictateIntoAQtTextField({QStringLiteral("key"), QStringLiteral("ctrl+alt+d")},
                                {QStringLiteral("key"), QStringLiteral("ctrl+alt+d")}, QStringLiteral("new-shortcut"));
    }

    // A second launch hands over to the first, which brings its window forward, and
    // ends; Quit (Ctrl+Q in the main window) ends the program and every process it
    // started (its runtime among them).
    void aSecondLaunchBringsTheWindowForwardAndQuitLeavesNothingRunning()
    {
        QVERIFY2(std::exchange(m_stepDone, false), "the step before did not end");
        const quint64 mainWindow = mainWindowId();
        QVERIFY(mainWindow != 0);
        TargetWindow other;
        QVERIFY2(other.start(), "the other window did not open");
        QVERIFY(bringWindowToFront(other.window));

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
