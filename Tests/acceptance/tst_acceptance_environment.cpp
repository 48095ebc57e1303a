// The whole program as a user meets it when something around it is wrong: one of its
// stored files damaged, a service of the desktop missing, the disk full. Each case starts
// the built program in a home of its own that a user has used before (a finished set-up,
// a dictation and a conversation in the history, a custom writing model), with the
// shipped whisper-cli on the test model that hears one word in every recording and the
// built runtime in front of a loopback provider. The user is told what they must know
// where the program tells it (a banner, a row of the Home screen), read
// over the accessibility bus as a screen reader does; the program goes on working, and
// nothing but what was damaged is missing.
#include "../real-apps/RealApps.h"
#include "../agent/FakeChatServer.h"
#include "AwaitTask.h"
#include "Command/AgentSettings.h"
#include "Dictation/HistoryItem.h"
#include "Platform/Keyring/QtKeychainSecretStore.h"
#include "Services/Command/AgentConversationStore.h"
#include "Support/StoredJson.h"

#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QDirIterator>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QStandardPaths>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 60000;
// The test model hears this word in every recording.
const QString heard = QStringLiteral("Marmalade");
// What the user had before this start.
const QString earlierDictation = QStringLiteral("Words dictated last week");
const QString earlierQuestion = QStringLiteral("Shorten the earlier letter");
// The history shows a conversation by its last answer.
const QString earlierAnswer = QStringLiteral("Shorter, as asked.");
const QString customModelName = QStringLiteral("Tinkerer");
// The loopback provider's answer to every Command.
const QString answer = QStringLiteral("Kind regards");
const QString openAIKey = QStringLiteral("sk-acceptance-environment-key-0123456789");
const QString keyService = QStringLiteral("com.sorvane.local.openai-api");
const QString keyAccount = QStringLiteral("OPENAI_API_KEY");

// The text field's words around the selection a Command replaces.
const QString fieldText = QStringLiteral("Dear team, please find the report attached.");
constexpr int selectionStart = 11;
const int selectionLength = int(fieldText.size()) - 11 - 1;

QByteArray customModel()
{
    const QJsonObject artifact{{"fileName", "tinkerer.gguf"}, {"url", "https://example.test/tinkerer.gguf"}, {"byteSize", 5},
                               {"sha256", "00ff"}, {"role", "model"}};
    const QJsonObject model{{"id", "tinkerer"}, {"name", customModelName}, {"officialName", "Tinkerer 1B"},
                            {"organization", "Me"}, {"detail", "My own model."}, {"sizeLabel", "1 GB"}, {"license", "MIT"},
                            {"sourceRevision", "v1"}, {"provider", "llamaCPP"},
                            {"capabilities", QJsonObject{{"text", true}, {"images", false}}},
                            {"artifacts", QJsonArray{artifact}}, {"isCustom", true}, {"recommendedFor16GB", false},
                            {"minimumMemoryGB", 1}, {"recommendedMemoryGB", 2}};
    return QJsonDocument(QJsonArray{model}).toJson(QJsonDocument::Compact);
}

QStringList historyTexts()
{
    QStringList texts;
    for (const QJsonValue &item : QJsonDocument::fromJson(readFile(AppPaths::history())).array())
        texts.append(item.toObject().value(QStringLiteral("text")).toString());
    return texts;
}

QStringList setAside(const QString &path)
{
    const QFileInfo file(path);
    return file.dir().entryList({file.fileName() + QStringLiteral(".unreadable-*")}, QDir::Files);
}

// Every file set aside in the data and settings folders.
QStringList everythingSetAside(const QString &home)
{
    QStringList found;
    QDirIterator files(home, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (path.contains(QLatin1String(".unreadable-")))
            found.append(QFileInfo(path).fileName().section(QLatin1String(".unreadable-"), 0, 0));
    }
    return found;
}

// What a fresh desktop says: applications need not be readable.
bool accessibilityBusOff()
{
    return runTool(QStringLiteral("dbus-send"),
                   {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.a11y.Bus"),
                    QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties.Set"),
                    QStringLiteral("string:org.a11y.Status"), QStringLiteral("string:IsEnabled"),
                    QStringLiteral("variant:boolean:false")})
        .has_value();
}

// The accessibility bus's entry on a session bus of the test's own, which has no keyring:
// it names the session's real accessibility bus and says it is on, as at-spi-bus-launcher
// does, so that the program is read and reads other applications as on any desktop.
class AccessibilityBusEntry : public QDBusVirtualObject {
public:
    explicit AccessibilityBusEntry(QString address) : m_address(std::move(address)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QDBusMessage reply;
        if (message.member() == QLatin1String("GetAddress"))
            reply = message.createReply(m_address);
        else if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")
                 && message.member() == QLatin1String("Get"))
            reply = message.createReply(QVariant::fromValue(QDBusVariant(true)));
        else if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")
                 && message.member() == QLatin1String("GetAll"))
            reply = message.createReply(QVariant::fromValue(QVariantMap{{QStringLiteral("IsEnabled"), true},
                                                                        {QStringLiteral("ScreenReaderEnabled"), false}}));
        else
            reply = message.createErrorReply(QDBusError::UnknownMethod, message.member());
        connection.send(reply);
        return true;
    }

private:
    QString m_address;
};

// A session bus of the test's own: nothing but what the test puts on it.
class PrivateSessionBus {
public:
    ~PrivateSessionBus()
    {
        if (m_connected)
            QDBusConnection::disconnectFromBus(QStringLiteral("private-session"));
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    // `folder` holds its configuration, which names no service folder: nothing is
    // started on it by bus activation (a keyring daemon would be).
    bool start(const QString &folder, const QString &accessibilityAddress)
    {
        const QString configuration = folder + QStringLiteral("/bus.conf");
        if (!QDir().mkpath(folder)
            || !writeFile(configuration, QStringLiteral(
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                   "<policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/></policy>"
                   "</busconfig>\n").arg(folder).toUtf8()))
            return false;
        m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + configuration,
                                                       QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(20000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired())
            m_daemon.waitForReadyRead(100);
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (address.isEmpty())
            return false;
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("private-session"));
        m_connected = true;
        m_entry = std::make_unique<AccessibilityBusEntry>(accessibilityAddress);
        return bus.isConnected() && bus.registerVirtualObject(QStringLiteral("/org/a11y/bus"), m_entry.get())
            && bus.registerService(QStringLiteral("org.a11y.Bus"));
    }

    QString address;

private:
    QProcess m_daemon;
    std::unique_ptr<AccessibilityBusEntry> m_entry;
    bool m_connected = false;
};

// A sound server with no input device at all.
class SoundServerWithoutMicrophone {
public:
    ~SoundServerWithoutMicrophone()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    bool start(const QString &folder)
    {
        socket = folder + QStringLiteral("/native");
        QDir().mkpath(folder + QStringLiteral("/home"));
        const QString script = folder + QStringLiteral("/server.pa");
        if (!writeFile(script, QStringLiteral("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n")
                                   .arg(socket).toUtf8()))
            return false;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), folder + QStringLiteral("/home"));
        m_daemon.setProcessEnvironment(environment);
        m_daemon.start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                        QStringLiteral("-n"), QStringLiteral("-F"), script, QStringLiteral("--log-target=file:") + folder
                            + QStringLiteral("/pulse.log")});
        if (!m_daemon.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            QProcess info;
            QProcessEnvironment client = QProcessEnvironment::systemEnvironment();
            client.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socket);
            info.setProcessEnvironment(client);
            info.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")});
            if (info.waitForFinished(5000) && info.exitCode() == 0)
                return info.readAllStandardOutput().trimmed().isEmpty();
            QTest::qWait(100);
        }
        return false;
    }

    QString socket;

private:
    QProcess m_daemon;
};

} // namespace

class AcceptanceEnvironmentTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<SorvaneProgram> m_sorvane;
    FakeChatServer m_provider;
    AtSpiDriver m_atspi;
    AtSpiClient m_screenReader;
    std::optional<AtSpiNode> m_application;
    QString m_tone;
    QString m_rigged;
    QString m_accessibilityAddress;

    QString dataFolder() const { return m_home->filePath(QStringLiteral("data/Sorvane")); }
    QString settingsFile() const { return m_home->filePath(QStringLiteral("config/Sorvane/settings.json")); }

    // A store of this home by the name the user sees in its folder.
    QString storePath(const QString &store) const
    {
        if (store == QLatin1String("settings.json"))
            return settingsFile();
        if (store == QLatin1String("history.json"))
            return AppPaths::history();
        return AppPaths::agentData() + QLatin1Char('/') + store;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("HOME"), m_home->path());
        extra.insert(QStringLiteral("XDG_CACHE_HOME"), m_home->filePath(QStringLiteral("cache")));
        extra.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        // The shipped engine, found by the program's own lookup (empty counts as unset).
        extra.insert(QStringLiteral("SORVANE_WHISPER_CLI_PATH"), QString());
        extra.insert(QStringLiteral("SORVANE_AGENT_OPENAI_BASE_URL"), m_provider.url(QStringLiteral("/v1")).toString());
        return extra;
    }

    // A home used before: the set-up done with Pocket (the rigged model), paste on, a
    // cloud writing model whose key is in the session's keyring, one dictation and one
    // conversation in the history, a custom writing model.
    void prepareHome()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        useDataHome(m_home->filePath(QStringLiteral("data")));
        QVERIFY(AppPaths::prepare().ok());
        QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).absolutePath()));
        {
            JsonFileSettingsStore settings(settingsFile());
            settings.setValue(QStringLiteral("onboardingComplete"), true);
            settings.setValue(QStringLiteral("selectedModelID"), QStringLiteral("pocket"));
            settings.setValue(QStringLiteral("automaticPaste"), true);
            settings.setValue(QStringLiteral("completionSoundEnabled"), false);
            AgentSettings agent;
            agent.writingProvider = AgentWritingProvider::OpenAI;
            agent.selectedOpenAIModelID = QStringLiteral("openai-luna");
            settings.setValue(QStringLiteral("agentSettings"), storedjson::encode(agent.toJson()));
        }
        const SpeechModel *pocket = SpeechModel::find(QStringLiteral("pocket"));
        QVERIFY(pocket);
        QVERIFY(QFile::copy(m_rigged, AppPaths::models() + QLatin1Char('/') + pocket->fileName));

        const QJsonArray history{HistoryItem::make(QDateTime::currentDateTimeUtc().addDays(-7), earlierDictation, 3,
                                                   QStringLiteral("pocket"))
                                     .toJson()};
        QVERIFY(writeFile(AppPaths::history(), QJsonDocument(history).toJson()));
        {
            AgentConversationStore conversations(AgentConversationStore::defaultOptions());
            const QUuid id = conversations.createConversation(QUuid::createUuid(), earlierQuestion, {}, QStringLiteral("Editor"));
            conversations.addAssistantMessage(earlierAnswer, id);
        }
        QVERIFY(QFileInfo::exists(AppPaths::agentConversations()));
        QVERIFY(writeFile(AppPaths::customAgentModels(), customModel()));
        QVERIFY(writeFile(AppPaths::agentModels() + QStringLiteral("/tinkerer/tinkerer.gguf"), "model"));
    }

    void startProgram(const QProcessEnvironment &extra = {})
    {
        m_sorvane = std::make_unique<SorvaneProgram>(*m_home);
        QProcessEnvironment environment = this->environment();
        environment.insert(extra);
        QVERIFY2(m_sorvane->start(QString(), true, environment), "the program did not start");
        m_application = m_atspi.application(QStringLiteral("Sorvane"), wait);
        QVERIFY2(m_application, "the program never appeared on the accessibility bus");
    }

    // The whole screen when a step found nothing, for looking at; kept in the test's folder.
    void picture(const QString &what)
    {
        const QString folder = buildDirectory() + QStringLiteral("/test-output/acceptance-environment");
        QDir().mkpath(folder);
        const QString name = QStringLiteral("%1-%2.png").arg(QString::fromLatin1(QTest::currentTestFunction()),
                                                             QString::fromLatin1(QTest::currentDataTag()));
        if (QScreen *screen = QGuiApplication::primaryScreen())
            screen->grabWindow(0).save(folder + QLatin1Char('/') + what + QLatin1Char('-') + name);
    }

    std::optional<AtSpiNode> waitForButton(const QString &name, int timeoutMs = wait)
    {
        const auto found = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) {
            return m_atspi.name(node) == name && m_atspi.role(node) == AtSpiDriver::rolePushButton;
        }, timeoutMs);
        if (!found) {
            qWarning().noquote() << "no button" << name << "among:\n" << m_atspi.dump(*m_application);
            picture(QStringLiteral("no-button"));
        }
        return found;
    }

    bool pressButton(const QString &name)
    {
        const auto button = waitForButton(name);
        return button && m_screenReader.press(*button);
    }

    // Something on screen reads `words`: its name, or the text it holds.
    bool showing(const QString &words, int timeoutMs = wait)
    {
        const bool found = m_atspi
                               .waitFor(*m_application, [&](const AtSpiNode &node) {
                                   return m_atspi.name(node).contains(words) || m_atspi.text(node).contains(words);
                               }, timeoutMs)
                               .has_value();
        if (!found) {
            qWarning().noquote() << "nothing reads" << words << "among:\n" << m_atspi.dump(*m_application);
            picture(QStringLiteral("not-found"));
        }
        return found;
    }

    // One of the main window's sections, from the sidebar.
    void openSection(const QString &section)
    {
        QVERIFY2(pressButton(section), qPrintable(section));
    }

    // A tab of Settings, clicked with the pointer.
    void openSettingsArea(const QString &area)
    {
        openSection(QStringLiteral("Settings"));
        const auto tab = waitForButton(area);
        QVERIFY2(tab, qPrintable(area));
        QVERIFY(m_atspi.click(*tab));
    }

    // The banner's message, as a screen reader reads it (the alert's description).
    QString bannerMessage(const std::function<bool(const QString &)> &matches = {})
    {
        QString message;
        const auto found = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) {
            if (m_atspi.name(node) != QLatin1String("Why the last action failed"))
                return false;
            message = m_atspi.description(node);
            return !matches || matches(message);
        }, wait);
        if (!found) {
            qWarning().noquote() << "no banner (last read:" << message << ") among:\n" << m_atspi.dump(*m_application);
            picture(QStringLiteral("no-banner"));
        }
        return found ? message : QString();
    }

    // A Dictation into a Qt text field by the toggle: the heard word arrives.
    void dictate()
    {
        TargetWindow target;
        QVERIFY2(target.start(), "the text field's window did not open");
        QVERIFY(bringWindowToFront(target.window));
        QVERIFY(speakBetweenPresses(QStringLiteral("alt+space"), m_tone));
        QTRY_COMPARE_WITH_TIMEOUT(target.text, heard, wait);
    }

    // A Command on the field's selection: the loopback provider's answer replaces it.
    void command()
    {
        QVERIFY(accessibilityBusOn());
        TargetWindow target;
        QVERIFY2(target.start(fieldText, selectionStart, selectionLength, true), "the text field's window did not open");
        QVERIFY(bringWindowToFront(target.window));
        QVERIFY(speakBetweenPresses(QStringLiteral("alt+shift+space"), m_tone));
        QTRY_COMPARE_WITH_TIMEOUT(target.text, QStringLiteral("Dear team, ") + answer + QStringLiteral("."), wait);
    }

    // What this home held before the start and was not damaged is still there: the
    // settings (Home, not the set-up), the history's dictation and conversation, the
    // custom writing model; and nothing but `damaged` was set aside.
    void everythingElseLoaded(const QString &damaged)
    {
        if (damaged != QLatin1String("settings.json")) {
            openSection(QStringLiteral("Home"));
            QVERIFY2(waitForButton(QStringLiteral("Start dictation")), "Home is not shown: the settings were lost");
        }
        openSection(QStringLiteral("History"));
        if (damaged != QLatin1String("history.json"))
            QVERIFY2(showing(earlierDictation), "the earlier dictation is missing");
        if (damaged != QLatin1String("conversations.json"))
            QVERIFY2(showing(earlierAnswer), "the earlier conversation is missing");
        if (damaged != QLatin1String("custom-models.json")) {
            // Listed in the writing-model sheet.
            openSection(QStringLiteral("Models"));
            QVERIFY(pressButton(QStringLiteral("Change writing model")));
            QVERIFY(waitForButton(QStringLiteral("Done")));
            // Far down the list: scrolled to with the wheel, as a user does.
            QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("640"), QStringLiteral("600")}));
            bool listed = false;
            for (int turn = 0; turn < 40 && !listed; ++turn) {
                listed = m_atspi.find(*m_application, [&](const AtSpiNode &node) {
                    return m_atspi.name(node) == customModelName;
                }).has_value();
                if (!listed)
                    xdotool({QStringLiteral("click"), QStringLiteral("5")});
            }
            QVERIFY2(listed || showing(customModelName, 5000), "the custom writing model is missing");
            QVERIFY(pressButton(QStringLiteral("Done")));
        }
        const QStringList aside = everythingSetAside(m_home->path());
        QCOMPARE(aside, damaged.isEmpty() ? QStringList() : QStringList{damaged});
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl", "dbus-send", "dbus-daemon", "pulseaudio"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        const QString engine = buildDirectory() + QStringLiteral("/libexec/sorvane/whisper-cli");
        QVERIFY2(QFileInfo(engine).isExecutable(), qPrintable(engine + QStringLiteral(" is missing: scripts/build.sh builds it")));
        m_rigged = qEnvironmentVariable("SORVANE_TEST_MODELS_DIR") + QStringLiteral("/whisper-marmalade.bin");
        QVERIFY2(QFileInfo(m_rigged).isFile(), qPrintable(m_rigged));
        m_tone = QDir::temp().filePath(QStringLiteral("sorvane-acceptance-environment-tone.wav"));
        QVERIFY(writeTone(m_tone));
        QVERIFY(m_provider.listen());
        m_provider.setHandler([](const FakeChatServer::Request &) { return FakeChatServer::streamOf({answer}); });
        QVERIFY(m_screenReader.connect());
        QVERIFY(m_atspi.connect());
        QVERIFY(accessibilityBusOn());
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
            QStringLiteral("GetAddress")));
        QVERIFY(address.isValid());
        m_accessibilityAddress = address.value();
        // The key of the cloud writing model, where the program keeps it.
        QtKeychainSecretStore keyring;
        const SecretStore::Status saved = awaitTask(keyring.write(keyService, keyAccount, openAIKey.toUtf8()));
        QVERIFY2(saved.kind == SecretStore::Status::Kind::Success, qPrintable(saved.message));
    }

    void cleanup()
    {
        m_sorvane.reset();
        m_application.reset();
        xdotool({QStringLiteral("keyup"), QStringLiteral("alt+space")});
        xdotool({QStringLiteral("keyup"), QStringLiteral("alt+shift+space")});
        // The session's other tests read applications through the bus.
        accessibilityBusOn();
    }

    void cleanupTestCase()
    {
        QtKeychainSecretStore keyring;
        (void)awaitTask(keyring.remove(keyService, keyAccount));
        QFile::remove(m_tone);
    }

    // Nothing damaged: the fixture's own check, that every store loads and nothing is set aside.
    void aUsedHomeLoadsWhole()
    {
        prepareHome();
        startProgram();
        dictate();
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts(), (QStringList{heard, earlierDictation}), wait);
        everythingElseLoaded(QString());
    }

    void aDamagedStoreIsSetAsideAndTheUserTold_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QByteArray>("damage");
        // What the user does that saves the store: a Dictation or a Command.
        QTest::addColumn<bool>("byCommand");
        // Where the program tells it: the section or settings area with the banner.
        QTest::addColumn<QString>("toldIn");
        // The notice's words before and after where the file now lies.
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("ending");
        const QString quoteEnd = QStringLiteral("\u201d.");

        QTest::newRow("history") << "history.json" << QByteArray("[{\"id\": 1") << false << "Models"
                                 << "The history file could not be read. It was set aside as \u201c" << quoteEnd;
        QTest::newRow("settings") << "settings.json" << QByteArray("{\"onboardingComplete\": {\"bool\": tr") << false
                                  << "Behaviour" << "The settings file could not be read. It was set aside as \u201c" << quoteEnd;
        QTest::newRow("custom models") << "custom-models.json" << QByteArray("[{ not json") << false << "Models"
                                       << "The custom models file could not be read. It was set aside as \u201c" << quoteEnd;
        QTest::newRow("conversations") << "conversations.json" << QByteArray("[{\"messages\": ") << true << "Behaviour"
                                       << "The conversations file could not be read. It was set aside as \u201c" << quoteEnd;
        // Told with the Command's answer; the test session has no notification server.
        QTest::newRow("runtime sessions") << "sessions.sqlite" << QByteArray(4096, 'x') << true << "Behaviour"
                                          << "Command's conversation store could not be read. It was moved to "
                                          << " and a new one was started; earlier Command conversations cannot be continued.";
    }

    void aDamagedStoreIsSetAsideAndTheUserTold()
    {
        QFETCH(QString, store);
        QFETCH(QByteArray, damage);
        QFETCH(bool, byCommand);
        QFETCH(QString, toldIn);
        QFETCH(QString, notice);
        QFETCH(QString, ending);

        prepareHome();
        const QString path = storePath(store);
        QVERIFY(writeFile(path, damage));
        startProgram();
        if (store == QLatin1String("settings.json")) {
            // Without its settings the program begins as on a first day: the set-up,
            // walked through as a user does (Pocket is in place already).
            QVERIFY(pressButton(QStringLiteral("Continue")));
            QVERIFY(waitForButton(QStringLiteral("Microphone ready")));
            QVERIFY(pressButton(QStringLiteral("Continue")));
            QVERIFY(waitForButton(QStringLiteral("Auto-paste ready")));
            QVERIFY(pressButton(QStringLiteral("Continue")));
            QVERIFY(pressButton(QStringLiteral("Finish setup")));
            QVERIFY(waitForButton(QStringLiteral("Start dictation")));
        }
        byCommand ? command() : dictate();
        if (QTest::currentTestFailed())
            return;

        // Set aside whole, and a new file in its place.
        QStringList aside;
        QTRY_VERIFY_WITH_TIMEOUT((aside = setAside(path)).size() == 1, wait);
        const QString asidePath = QFileInfo(path).dir().filePath(aside.first());
        QCOMPARE(readFile(asidePath), damage);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path) && readFile(path) != damage, wait);

        if (toldIn == QLatin1String("Models"))
            openSection(toldIn);
        else
            openSettingsArea(toldIn);
        const QString message = bannerMessage([&](const QString &text) { return text.startsWith(notice); });
        QCOMPARE(message, notice + asidePath + ending);

        if (byCommand)
            QTRY_VERIFY_WITH_TIMEOUT(readFile(AppPaths::agentConversations()).contains(answer.toUtf8()), wait);
        else
            QTRY_VERIFY_WITH_TIMEOUT(historyTexts().value(0) == heard, wait);
        everythingElseLoaded(store);
    }
};

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    AcceptanceEnvironmentTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_acceptance_environment.moc"
