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

#include <QClipboard>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QDirIterator>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 60000;
constexpr quint32 passwordTextRole = 40; // ATSPI_ROLE_PASSWORD_TEXT
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

// Whether a stored conversation records the answer as pasted: the Command has ended.
bool answerPasted()
{
    for (const QJsonValue &conversation : QJsonDocument::fromJson(readFile(AppPaths::agentConversations())).array())
        if (conversation.toObject().value(QStringLiteral("lastPastedText")).toString() == answer)
            return true;
    return false;
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

// Whether the session's accessibility bus says applications are to be readable.
bool accessibilityBusIsOn()
{
    const auto reply = runTool(QStringLiteral("dbus-send"),
                               {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.a11y.Bus"),
                                QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                                QStringLiteral("string:org.a11y.Status"), QStringLiteral("string:IsEnabled")});
    return reply && reply->contains("boolean true");
}

// A field of the Command settings, which the settings file keeps as one JSON record.
QJsonValue agentSetting(const QString &settingsFile, const char *field)
{
    const JsonFileSettingsStore settings(settingsFile, JsonFileSettingsStore::Mode::ReadOnly);
    const auto bytes = settings.bytesValue(QStringLiteral("agentSettings"));
    return bytes ? QJsonDocument::fromJson(*bytes).object().value(QLatin1String(field)) : QJsonValue();
}

// The program's main window (beside the overlay and the toast).
quint64 mainWindow()
{
    const auto found = runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--name"), QStringLiteral("^Sorvane$")});
    return found ? found->split('\n').value(0).trimmed().toULongLong() : 0;
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

// Runs a tool of the test session on the bus at `address` (in place of the session's).
std::optional<QByteArray> runOnBus(const QString &address, const QString &program, const QStringList &arguments,
                                   const QByteArray &input = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning().noquote() << program << arguments << "failed:" << process.readAllStandardError();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

// A session bus of the test's own: nothing but what the test puts on it (no keyring, no
// notification server) besides the accessibility bus's entry.
class PrivateSessionBus {
public:
    ~PrivateSessionBus()
    {
        // The keyring leaves first, then the entry is taken off the connection before
        // the connection goes and before the entry itself is destroyed.
        m_keyring.kill();
        m_keyring.waitForFinished(5000);
        if (m_connected) {
            QDBusConnection bus(m_connectionName);
            bus.unregisterService(QStringLiteral("org.a11y.Bus"));
            bus.unregisterObject(QStringLiteral("/org/a11y/bus"));
            QDBusConnection::disconnectFromBus(m_connectionName);
        }
        m_entryThread.quit();
        m_entryThread.wait();
        m_entry.reset();
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    // `folder` holds its configuration, which names no service folder: nothing is
    // started on it by bus activation (a keyring daemon or a prompter would be).
    bool start(const QString &folder, const QString &accessibilityAddress)
    {
        m_folder = folder;
        const QString configuration = folder + QStringLiteral("/bus.conf");
        if (!QDir().mkpath(folder)
            || !writeFile(configuration, QStringLiteral(
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                   // A bus's policy denies what it does not allow, replies to its clients
                   // included: this is the usual session bus's.
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
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
        // A name of its own for every bus, so that no earlier connection is found again.
        static int buses = 0;
        m_connectionName = QStringLiteral("private-session-%1").arg(++buses);
        QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
        m_connected = true;
        m_entry = std::make_unique<AccessibilityBusEntry>(accessibilityAddress);
        // The program asks the entry with a short time-out (whether it may be read, at
        // every Dictation), and the test's own thread is often held up in calls of its
        // own: the entry answers from a thread of its own.
        m_entry->moveToThread(&m_entryThread);
        m_entryThread.start();
        return bus.isConnected() && bus.registerVirtualObject(QStringLiteral("/org/a11y/bus"), m_entry.get())
            && bus.registerService(QStringLiteral("org.a11y.Bus"));
    }

    // GNOME Keyring's secrets on this bus, its login keyring opened with `password`.
    bool startKeyring(const QString &password)
    {
        const QString runtime = m_folder + QStringLiteral("/keyring-runtime");
        if (!QDir().mkpath(runtime) || !QDir().mkpath(m_folder + QStringLiteral("/keyring-data"))
            || !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return false;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_folder + QStringLiteral("/keyring-data"));
        m_keyring.setProcessEnvironment(environment);
        m_keyring.setProcessChannelMode(QProcess::ForwardedChannels);
        m_keyring.start(QStringLiteral("gnome-keyring-daemon"), {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                                                                 QStringLiteral("--components=secrets")});
        if (!m_keyring.waitForStarted(10000))
            return false;
        m_keyring.write(password.toUtf8());
        m_keyring.closeWriteChannel();
        QDBusConnection bus(m_connectionName);
        QDeadlineTimer deadline(20000);
        while (!bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")) && !deadline.hasExpired())
            QTest::qWait(100);
        return bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"));
    }

    // An item as the program's keyring library writes it, by the keyring's own client.
    bool storeKey(const QString &service, const QString &account, const QString &key)
    {
        return runOnBus(address, QStringLiteral("secret-tool"),
                        {QStringLiteral("store"), QStringLiteral("--label=") + service, QStringLiteral("server"), service,
                         QStringLiteral("user"), account, QStringLiteral("type"), QStringLiteral("plaintext"),
                         QStringLiteral("xdg:schema"), QStringLiteral("org.qt.keychain")},
                        key.toUtf8())
            .has_value();
    }

    // The key as the keyring's own client finds it; empty when it finds none.
    QString storedKey(const QString &service, const QString &account)
    {
        QProcess lookup;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        lookup.setProcessEnvironment(environment);
        lookup.start(QStringLiteral("secret-tool"),
                     {QStringLiteral("lookup"), QStringLiteral("server"), service, QStringLiteral("user"), account});
        lookup.waitForFinished(30000);
        return QString::fromUtf8(lookup.readAllStandardOutput());
    }

    // Locks the login keyring, as the desktop does (no prompt is needed for that).
    bool lockKeyring()
    {
        QDBusMessage lock = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
        lock << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/collection/login"))});
        const QDBusMessage reply = QDBusConnection(m_connectionName).call(lock, QDBus::Block, 20000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return false;
        return !qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().first()).isEmpty();
    }

    QString address;

private:
    QString m_folder;
    QString m_connectionName;
    QProcess m_daemon;
    QProcess m_keyring;
    QThread m_entryThread;
    std::unique_ptr<AccessibilityBusEntry> m_entry;
    bool m_connected = false;
};

// A sound server with no input device at all.
class SoundServerWithoutMicrophone {
public:
    ~SoundServerWithoutMicrophone()
    {
        m_silence.kill();
        m_silence.waitForFinished(5000);
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
        // Off the session bus, where the session's own sound server holds the name
        // every sound server takes (a second one would end at once).
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + folder
                                                                           + QStringLiteral("/no-bus"));
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

    // A microphone plugged in: a source that delivers what is played into `sink`, made
    // the default one, as the session's test microphone is made; a silent stream keeps
    // it delivering sound all the time.
    bool plugInMicrophone()
    {
        const auto pactl = [this](const QStringList &arguments) {
            QProcess tool;
            tool.setProcessEnvironment(clientEnvironment());
            tool.start(QStringLiteral("pactl"), arguments);
            return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
        };
        if (!pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"), QStringLiteral("sink_name=") + sink})
            || !pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                       QStringLiteral("source_name=plugged_microphone"), QStringLiteral("master=") + sink + QStringLiteral(".monitor")})
            || !pactl({QStringLiteral("set-default-source"), QStringLiteral("plugged_microphone")}))
            return false;
        m_silence.setProcessEnvironment(clientEnvironment());
        m_silence.start(QStringLiteral("pacat"), {QStringLiteral("--playback"), QStringLiteral("--device=") + sink,
                                                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                                                   QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=10"),
                                                   QStringLiteral("/dev/zero")});
        return m_silence.waitForStarted(10000);
    }

    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment client = QProcessEnvironment::systemEnvironment();
        client.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socket);
        return client;
    }

    QString socket;
    const QString sink = QStringLiteral("plugged_sink");

private:
    QProcess m_daemon;
    QProcess m_silence;
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
    QTemporaryDir m_scratch;
    QString m_tone;
    QString m_rigged;
    QString m_accessibilityAddress;
    // What the case put around the program in place of the session's services.
    std::unique_ptr<PrivateSessionBus> m_privateBus;
    std::unique_ptr<SoundServerWithoutMicrophone> m_soundServer;
    // The session's sound server, which the test's own tools use unless a case says otherwise.
    QByteArray m_pulseServer;
    QByteArray m_pulseSink;

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

    // The program's session bus is one of the test's own: nothing on it but the
    // accessibility bus's entry (and what the case adds).
    QProcessEnvironment onPrivateBus()
    {
        m_privateBus = std::make_unique<PrivateSessionBus>();
        if (!m_privateBus->start(m_home->filePath(QStringLiteral("bus")), m_accessibilityAddress))
            return {};
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_privateBus->address);
        return extra;
    }

    // Something in the main window reads `words`, scrolled to with the wheel as a user
    // scrolls down to it (the screens show only what is in sight to a screen reader).
    bool scrolledTo(const QString &words)
    {
        if (!bringWindowToFront(mainWindow()))
            return false;
        // Over the screen's content column, right of the sidebar.
        if (!xdotool({QStringLiteral("mousemove"), QStringLiteral("800"), QStringLiteral("650")}))
            return false;
        for (int notch = 0; notch < 40; ++notch) {
            if (m_atspi.find(*m_application, [&](const AtSpiNode &node) {
                    return m_atspi.name(node).contains(words) || m_atspi.text(node).contains(words);
                }))
                return true;
            xdotool({QStringLiteral("click"), QStringLiteral("5")});
        }
        return showing(words, 5000);
    }

    // What Home's attention item of this title says below it (its description); empty
    // when no such item shows.
    QString attentionDetail(const QString &title)
    {
        const auto item = m_atspi.waitFor(*m_application, m_atspi.named(title), wait);
        if (!item) {
            qWarning().noquote() << "no attention item" << title << "among:\n" << m_atspi.dump(*m_application);
            picture(QStringLiteral("no-attention-item"));
        }
        return item ? m_atspi.description(*item) : QString();
    }

    // Nothing on screen reads `words` any more (after it did).
    bool gone(const QString &words)
    {
        QDeadlineTimer deadline(wait);
        do {
            if (!m_atspi.find(*m_application, [&](const AtSpiNode &node) { return m_atspi.name(node).contains(words); }))
                return true;
            QTest::qWait(150);
        } while (!deadline.hasExpired());
        picture(QStringLiteral("still-shown"));
        return false;
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
        // The text is in before the paste's keystroke has ended, and the Command runs
        // until then (a shortcut meanwhile is refused); where the answer went is stored
        // once it has.
        QTRY_VERIFY_WITH_TIMEOUT(answerPasted(), wait);
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
        // In a folder of this run: another checkout may run the same test meanwhile.
        QVERIFY(m_scratch.isValid());
        m_tone = m_scratch.filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(m_tone));
        m_pulseServer = qgetenv("PULSE_SERVER");
        m_pulseSink = qgetenv("SORVANE_TEST_PULSE_SINK");
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
        m_privateBus.reset();
        m_soundServer.reset();
        qputenv("PULSE_SERVER", m_pulseServer);
        qputenv("SORVANE_TEST_PULSE_SINK", m_pulseSink);
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

    // No keyring on the session bus, or one that is locked (its unlock prompt cannot be
    // shown, as when the user dismisses it): the OpenAI key's row says why the key could
    // not be read, a Command with the OpenAI model says the same, saving a key says why
    // it was not saved, and the writing model chosen is kept. Dictation goes on working.
    void aKeyringThatCannotBeReadIsToldAtTheKey_data()
    {
        QTest::addColumn<bool>("locked");
        // The keyring's reasons: for reading the key, and for saving one.
        QTest::addColumn<QString>("readReason");
        QTest::addColumn<QString>("saveReason");
        const QString noKeyring = QStringLiteral("The name org.freedesktop.secrets was not provided by any .service files");
        QTest::newRow("absent") << false << noKeyring << noKeyring;
        QTest::newRow("locked") << true << "The keyring is locked."
                                << "Cannot create an item in a locked collection";
    }

    void aKeyringThatCannotBeReadIsToldAtTheKey()
    {
        QFETCH(bool, locked);
        QFETCH(QString, readReason);
        QFETCH(QString, saveReason);

        prepareHome();
        const QProcessEnvironment bus = onPrivateBus();
        QVERIFY2(!bus.isEmpty(), "the test's own session bus did not start");
        if (locked) {
            QVERIFY2(m_privateBus->startKeyring(QStringLiteral("login password")), "the keyring did not start");
            QVERIFY(m_privateBus->storeKey(keyService, keyAccount, openAIKey));
            QCOMPARE(m_privateBus->storedKey(keyService, keyAccount), openAIKey);
            QVERIFY(m_privateBus->lockKeyring());
        }
        startProgram(bus);

        const QString notUpdated = QStringLiteral("The OpenAI API key could not be updated in the system keyring: ");
        openSettingsArea(QStringLiteral("Account"));
        QVERIFY2(showing(notUpdated + readReason), "the key's row does not say why the key could not be read");
        picture(QStringLiteral("key-row"));

        // A Command with the OpenAI model is refused with the same words, above the keys.
        const qsizetype asked = m_provider.requests().size();
        {
            TargetWindow target;
            QVERIFY2(target.start(fieldText, selectionStart, selectionLength, true), "the text field's window did not open");
            QVERIFY(bringWindowToFront(target.window));
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("alt+shift+space")}));
            QCOMPARE(bannerMessage([&](const QString &text) { return text.startsWith(notUpdated); }), notUpdated + readReason);
            picture(QStringLiteral("command-refused"));
            // The field reports changes only: nothing was pasted into it.
            QVERIFY(target.text.isEmpty());
        }
        QCOMPARE(m_provider.requests().size(), asked);

        // A key typed and saved: not saved, and the row says why.
        QVERIFY(bringWindowToFront(mainWindow()));
        // The OpenAI row comes first. Its open field carries the row's title as its name.
        const QString row = QStringLiteral("OpenAI API key");
        const auto title = m_atspi.waitFor(*m_application, m_atspi.named(row), wait);
        QVERIFY(title);
        QVERIFY(pressButton(QStringLiteral("Add")));
        const auto field = m_atspi.waitFor(*m_application, [&](const AtSpiNode &node) {
            return node.path != title->path && (m_atspi.role(node) == passwordTextRole || m_atspi.name(node) == row);
        }, wait);
        QVERIFY2(field, "the key's field did not open");
        QVERIFY(m_atspi.click(*field));
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                                                    QStringLiteral("--file"), QStringLiteral("-")},
                        openAIKey.toUtf8()));
        QVERIFY(pressButton(QStringLiteral("Save key")));
        QVERIFY2(showing(notUpdated + saveReason), "the key's row does not say why the key was not saved");
        picture(QStringLiteral("key-not-saved"));

        // The writing model chosen stays chosen: the key may be read again later.
        QCOMPARE(agentSetting(settingsFile(), "writingProvider").toString(), QStringLiteral("openAI"));
        dictate();
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts().value(0), heard, wait);
    }

    // No notification server on the session bus: a Command's answer is still pasted and
    // kept, and nothing is said about the notification, which is never more than a
    // courtesy. A Dictation follows as ever.
    void withoutANotificationServerACommandIsDelivered()
    {
        prepareHome();
        const QProcessEnvironment bus = onPrivateBus();
        QVERIFY2(!bus.isEmpty(), "the test's own session bus did not start");
        // The OpenAI key in a keyring of that bus.
        QVERIFY2(m_privateBus->startKeyring(QStringLiteral("login password")), "the keyring did not start");
        QVERIFY(m_privateBus->storeKey(keyService, keyAccount, openAIKey));
        startProgram(bus);
        QCOMPARE(agentSetting(settingsFile(), "notifyOnCompletion"), QJsonValue(true));

        command();
        QTRY_VERIFY_WITH_TIMEOUT(readFile(AppPaths::agentConversations()).contains(answer.toUtf8()), wait);
        dictate();
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts().value(0), heard, wait);
        // No failure told where the program tells the Command's (the Models section, the
        // Behaviour area) or its keys'.
        for (const QString &area : {QStringLiteral("Behaviour"), QStringLiteral("Account")}) {
            openSettingsArea(area);
            QVERIFY(showing(area == QLatin1String("Account") ? QStringLiteral("Saved in the system keyring")
                                                              : QStringLiteral("Open at login")));
            QVERIFY2(gone(QStringLiteral("Why the last action failed")), qPrintable(area));
        }
        openSection(QStringLiteral("Models"));
        QVERIFY(waitForButton(QStringLiteral("Change writing model")));
        QVERIFY2(gone(QStringLiteral("Why the last action failed")), "Models");
        picture(QStringLiteral("models"));
    }

    // The accessibility bus switched off, as on a fresh desktop: Home says that
    // auto-paste is off, a Dictation says what it needs, and "Allow" in Settings › Account
    // switches it on; the next Dictation pastes.
    void withTheAccessibilityBusOffAutoPasteWaitsForAllow()
    {
        prepareHome();
        QVERIFY(accessibilityBusOff());
        QVERIFY(!accessibilityBusIsOn());
        // The program is read all the same (QT_LINUX_ACCESSIBILITY_ALWAYS_ON).
        startProgram();
        openSection(QStringLiteral("Home"));
        QCOMPARE(attentionDetail(QStringLiteral("Accessibility access is off")),
                 QStringLiteral("Auto-paste is off until you allow it"));
        picture(QStringLiteral("home"));

        {
            TargetWindow target;
            QVERIFY2(target.start(), "the text field's window did not open");
            QVERIFY(bringWindowToFront(target.window));
            const int streams = recordingStreams();
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("alt+space")}));
            openSettingsArea(QStringLiteral("Account"));
            QCOMPARE(bannerMessage(), QStringLiteral("Accessibility access is required for automatic paste."));
            picture(QStringLiteral("told"));
            QCOMPARE(recordingStreams(), streams);
            QVERIFY(target.text.isEmpty());
        }
        // The permission rows, below the keys.
        QVERIFY(scrolledTo(QStringLiteral("Required for the full workflow")));
        picture(QStringLiteral("account"));

        // The Accessibility row's "Allow", the only permission missing.
        QVERIFY(pressButton(QStringLiteral("Allow")));
        QTRY_VERIFY_WITH_TIMEOUT(accessibilityBusIsOn(), wait);
        QVERIFY(gone(QStringLiteral("Required for the full workflow")));
        openSection(QStringLiteral("Home"));
        QVERIFY(waitForButton(QStringLiteral("Start dictation")));
        QVERIFY(gone(QStringLiteral("Accessibility access is off")));
        picture(QStringLiteral("allowed"));
        dictate();
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts().value(0), heard, wait);
    }

    // A sound server with no input device: Home says the microphone is off, a Dictation
    // says what it needs. A microphone plugged in while the program runs is used at once.
    void withoutAMicrophoneDictationWaitsForOne()
    {
        prepareHome();
        m_soundServer = std::make_unique<SoundServerWithoutMicrophone>();
        QVERIFY2(m_soundServer->start(m_home->filePath(QStringLiteral("pulse"))), "the sound server did not start");
        QProcessEnvironment sound;
        sound.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + m_soundServer->socket);
        startProgram(sound);
        openSection(QStringLiteral("Home"));
        QCOMPARE(attentionDetail(QStringLiteral("Microphone access is off")), QStringLiteral("Dictation cannot record"));
        picture(QStringLiteral("home"));

        {
            TargetWindow target;
            QVERIFY2(target.start(), "the text field's window did not open");
            QVERIFY(bringWindowToFront(target.window));
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("alt+space")}));
            openSettingsArea(QStringLiteral("Account"));
            QCOMPARE(bannerMessage(), QStringLiteral("Microphone access is required."));
            picture(QStringLiteral("told"));
            QVERIFY(target.text.isEmpty());
        }
        // The permission rows, below the keys.
        QVERIFY(scrolledTo(QStringLiteral("Required for the full workflow")));
        picture(QStringLiteral("account"));

        // Plugged in: the row and Home say nothing more, and a Dictation is heard. The
        // test's own sound tools play into that sound server from now on.
        QVERIFY(m_soundServer->plugInMicrophone());
        QVERIFY(gone(QStringLiteral("Required for the full workflow")));
        openSection(QStringLiteral("Home"));
        QVERIFY(waitForButton(QStringLiteral("Start dictation")));
        QVERIFY(gone(QStringLiteral("Microphone access is off")));
        picture(QStringLiteral("plugged-in"));
        qputenv("PULSE_SERVER", QByteArray("unix:") + QFile::encodeName(m_soundServer->socket));
        qputenv("SORVANE_TEST_PULSE_SINK", m_soundServer->sink.toUtf8());
        dictate();
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts().value(0), heard, wait);
    }

    // The disk fills during a Dictation: the recording still fits, the history's new copy
    // does not. The transcript is pasted and left on the clipboard, the user is told with
    // the system's reason where the history's notices show, the program keeps the
    // dictation, and the file on disk stays the earlier one, whole. With room again the
    // next Dictation's save writes both.
    void aFullDiskDuringADictationLosesNothing()
    {
        prepareHome();
        QJsonArray history = QJsonDocument::fromJson(readFile(AppPaths::history())).array();
        for (int i = 0; i < 600; ++i)
            history.append(HistoryItem::make(QDateTime::currentDateTimeUtc().addDays(-30).addSecs(-i),
                                             QString(4000, QLatin1Char('w')), 1, QStringLiteral("pocket"))
                               .toJson());
        const QByteArray before = QJsonDocument(history).toJson();
        QVERIFY(writeFile(AppPaths::history(), before));
        // The shim's disk is the data folder; it has room until the test says otherwise.
        const QString budget = m_home->filePath(QStringLiteral("disk-budget"));
        QVERIFY(writeFile(budget, "unlimited"));
        QProcessEnvironment disk;
        disk.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(SORVANE_ENOSPC_SHIM));
        disk.insert(QStringLiteral("SORVANE_ENOSPC_FOLDER"), AppPaths::root());
        disk.insert(QStringLiteral("SORVANE_ENOSPC_BUDGET_FILE"), budget);
        startProgram(disk);

        // Room for half the history: a recording of up to half a minute fits.
        QVERIFY(writeFile(budget, QByteArray::number(before.size() / 2)));
        {
            TargetWindow target;
            QVERIFY2(target.start(), "the text field's window did not open");
            QVERIFY(bringWindowToFront(target.window));
            QVERIFY(speakBetweenPresses(QStringLiteral("alt+space"), m_tone));
            QTRY_COMPARE_WITH_TIMEOUT(target.text, heard, wait);
        }
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), heard, wait);
        openSection(QStringLiteral("Models"));
        QCOMPARE(bannerMessage([](const QString &text) { return text.startsWith(QLatin1String("Could not save")); }),
                 QStringLiteral("Could not save the history: No space left on device."));
        picture(QStringLiteral("told"));
        openSection(QStringLiteral("History"));
        QVERIFY2(showing(heard), "the dictation is missing from the history");
        QVERIFY(showing(earlierDictation));
        picture(QStringLiteral("history"));
        QCOMPARE(readFile(AppPaths::history()), before);
        QCOMPARE(leftOverOrSetAside({AppPaths::root()}, AppPaths::isLeftOverSaveCopy), QStringList());

        // Room again.
        QVERIFY(writeFile(budget, "unlimited"));
        dictate();
        QTRY_COMPARE_WITH_TIMEOUT(historyTexts().size(), history.size() + 2, wait);
        QCOMPARE(historyTexts().mid(0, 3), (QStringList{heard, heard, earlierDictation}));
        QCOMPARE(leftOverOrSetAside({AppPaths::root()}, AppPaths::isLeftOverSaveCopy), QStringList());
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
