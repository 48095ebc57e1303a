// The built program on the test session's display and keyring: a new user opens the
// Settings, goes to the Account tab, saves an OpenAI key into the session's keyring and
// removes it again, through clicks and typing into the program's own window.
#include "../e2e/E2eTools.h"
#include "BuildConfig.h"
#include "Platform/SettingsStore.h"
#include "Settings/SettingsTexts.h"
#include "Shared/AppPaths.h"
#include "TestPaths.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString service = QStringLiteral("com.sorvane.local.openai-api");
const QString account = QStringLiteral("OPENAI_API_KEY");
const QString key = QStringLiteral("sk-e2e-0123456789abcdefghij");
// Points are those of the screen at the window's size, 1160 by 700, below its menu bar;
// the removal dialog is centred in the window (its button lies within 10 of this point
// whether the menu bar counts or not).
constexpr int menuBar = 40;

// The key under the program's item, as the keyring's own client finds it.
std::optional<QString> keyringItem()
{
    const auto found = runTool(QStringLiteral("secret-tool"),
                               {QStringLiteral("lookup"), QStringLiteral("server"), service, QStringLiteral("user"), account});
    if (!found)
        return std::nullopt;
    return QString::fromUtf8(*found);
}

bool xdotool(const QStringList &arguments) { return runTool(QStringLiteral("xdotool"), arguments).has_value(); }

// The main window, once it is shown at its size.
std::optional<quint64> mainWindow()
{
    const auto ids = runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                         QStringLiteral("--name"), QStringLiteral("^Sorvane$")});
    if (!ids)
        return std::nullopt;
    for (const QByteArray &id : ids->split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        const auto shell = runTool(QStringLiteral("xdotool"),
                                   {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::fromLatin1(id.trimmed())});
        if (shell && shell->contains("WIDTH=1160") && shell->contains("HEIGHT=700"))
            return id.trimmed().toULongLong();
    }
    return std::nullopt;
}

QString writingProvider(const QString &configHome)
{
    const JsonFileSettingsStore settings(configHome + QStringLiteral("/Sorvane/settings.json"),
                                         JsonFileSettingsStore::Mode::ReadOnly);
    const auto bytes = settings.bytesValue(QStringLiteral("agentSettings"));
    if (!bytes)
        return {};
    return QJsonDocument::fromJson(*bytes).object().value(QStringLiteral("writingProvider")).toString();
}

// Every name in the accessible trees of the session's applications, as a screen reader
// would read them.
QStringList accessibleNames()
{
    const QDBusMessage address = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
    if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty())
        return {};
    QDBusConnection bus = QDBusConnection::connectToBus(address.arguments().first().toString(), QStringLiteral("settings-e2e-a11y"));
    const auto call = [&bus](const QString &service, const QString &path, const QString &interface, const QString &method,
                             const QVariantList &arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 2000);
    };
    QStringList names;
    QList<QPair<QString, QString>> pending{{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")}};
    int visited = 0;
    while (!pending.isEmpty() && ++visited < 20000) {
        const auto [service, path] = pending.takeFirst();
        const QDBusMessage name = call(service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                       {QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("Name")});
        if (name.type() == QDBusMessage::ReplyMessage && !name.arguments().isEmpty())
            names << name.arguments().first().value<QDBusVariant>().variant().toString();
        const QDBusMessage children = call(service, path, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetChildren"));
        if (children.type() != QDBusMessage::ReplyMessage || children.arguments().isEmpty())
            continue;
        const QDBusArgument list = children.arguments().first().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            QString childService;
            QDBusObjectPath childPath;
            list.beginStructure();
            list >> childService >> childPath;
            list.endStructure();
            if (childPath.path() != QLatin1String("/org/a11y/atspi/null"))
                pending.append({childService, childPath.path()});
        }
        list.endArray();
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("settings-e2e-a11y"));
    return names;
}

} // namespace


class SettingsEndToEndTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QProcess> sorvane;
    quint64 window = 0;

    QString configHome() const { return home->filePath(QStringLiteral("config")); }

    // Clicks a point of the main window, measured from its top left corner.
    bool clickAt(QPoint point)
    {
        return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                        QString::number(point.x()), QString::number(point.y())})
            && xdotool({QStringLiteral("click"), QStringLiteral("1")});
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!providedByTestSession(!qEnvironmentVariableIsEmpty("DISPLAY"), "The test session has no X display.",
                                   QStringLiteral("needs the test session's display and keyring; run through scripts/test.sh")))
            return;
        for (const char *tool : {"xdotool", "secret-tool"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        QDir().mkpath(configHome() + QStringLiteral("/Sorvane"));
        JsonFileSettingsStore settings(configHome() + QStringLiteral("/Sorvane/settings.json"));
        settings.setValue(QStringLiteral("onboardingComplete"), true);
        settings.setValue(QStringLiteral("completionSoundEnabled"), false);
        runTool(QStringLiteral("secret-tool"), {QStringLiteral("clear"), QStringLiteral("server"), service, QStringLiteral("user"), account});
        QVERIFY(!keyringItem());
    }

    void cleanupTestCase()
    {
        if (sorvane)
            stopProgram(*sorvane);
        if (home)
            runTool(QStringLiteral("secret-tool"), {QStringLiteral("clear"), QStringLiteral("server"), service, QStringLiteral("user"), account});
    }

    void aNewUserSavesAndRemovesACloudKey()
    {
        const QString agentLog = home->filePath(QStringLiteral("agent.log"));
        QProcessEnvironment environment =
            sorvaneEnvironment(home->filePath(QStringLiteral("data")), configHome(), QStringLiteral("stream"), agentLog);
        // Seen on the accessibility bus, where the test reads what the window shows.
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        sorvane = std::make_unique<QProcess>();
        sorvane->setProcessEnvironment(environment);
        sorvane->setProcessChannelMode(QProcess::ForwardedChannels);
        sorvane->start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(sorvane->waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(agentLog).contains("\"start\""), 20000);

        // A second start hands over to the first, which shows its main window.
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(second.waitForFinished(20000));
        QTRY_VERIFY_WITH_TIMEOUT(mainWindow().has_value(), 20000);
        window = *mainWindow();

        // Settings in the sidebar, the Account tab, then the OpenAI row's "Add".
        QVERIFY(clickAt({125, 274 + menuBar}));
        QVERIFY(clickAt({585, 158 + menuBar}));
        QVERIFY(clickAt({1047, 271 + menuBar}));
        // The key field under the row, the key typed (with a trailing newline, which
        // saves nothing), then "Save key".
        QVERIFY(clickAt({700, 354 + menuBar}));
        QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), key}));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QVERIFY(!keyringItem());
        QVERIFY(clickAt({380, 407 + menuBar}));
        QTRY_COMPARE_WITH_TIMEOUT(keyringItem().value_or(QString()), key, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(writingProvider(configHome()), QStringLiteral("openAI"), 10000);

        // "Remove key", then "Remove API key" in the dialog.
        QVERIFY(clickAt({482, 407 + menuBar}));
        QVERIFY(clickAt({690, 401}));
        QTRY_VERIFY_WITH_TIMEOUT(!keyringItem().has_value(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(writingProvider(configHome()), QStringLiteral("local"), 10000);

        // The Account tab shows the version with its build, and what the removal left.
        const QString version = SettingsTexts::buildLabel(QStringLiteral(SORVANE_VERSION), QStringLiteral(SORVANE_BUILD));
        QCOMPARE(version, QStringLiteral(SORVANE_VERSION " (" SORVANE_BUILD ")"));
        QTRY_VERIFY_WITH_TIMEOUT(accessibleNames().contains(version), 20000);
        QVERIFY(accessibleNames().contains(QStringLiteral("Removed from the system keyring.")));
    }
};

QTEST_GUILESS_MAIN(SettingsEndToEndTest)
#include "tst_settings_e2e.moc"
