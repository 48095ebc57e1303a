#include "Services/Shell/ApplicationLocationController.h"
#include "Services/Shell/LoginItemController.h"
#include "TestPaths.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

// Runs desktop-file-validate; its complaints come back as the text (empty when valid).
QString validate(const QString &path)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("desktop-file-validate"), {path});
    if (!process.waitForFinished(30000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString output = QString::fromUtf8(process.readAll()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return output.isEmpty() ? QStringLiteral("desktop-file-validate failed") : output;
    return output;
}

QString execLine(const QByteArray &entry)
{
    for (const QByteArray &line : entry.split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    return {};
}

} // namespace

// A file manager on the session bus that records what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

class LoginAndLocationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void installedLocation_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("installed");
        QTest::newRow("home Applications") << "/home/ann/Applications/Sorvane.AppImage" << true;
        QTest::newRow("sub-folder of home Applications") << "/home/ann/Applications/Tools/Sorvane.AppImage" << true;
        QTest::newRow("home Applications itself") << "/home/ann/Applications" << true;
        QTest::newRow("opt") << "/opt/Sorvane.AppImage" << true;
        QTest::newRow("sub-folder of opt") << "/opt/sorvane/Sorvane.AppImage" << true;
        QTest::newRow("opt itself") << "/opt" << true;
        QTest::newRow("downloads") << "/home/ann/Downloads/Sorvane.AppImage" << false;
        QTest::newRow("same first letters") << "/optical/Sorvane.AppImage" << false;
        QTest::newRow("Applications Old") << "/home/ann/Applications Old/Sorvane.AppImage" << false;
        QTest::newRow("ApplicationsX") << "/home/ann/ApplicationsX/Sorvane.AppImage" << false;
        QTest::newRow("dot segments out") << "/home/ann/Applications/../Downloads/Sorvane.AppImage" << false;
        QTest::newRow("dot segments in") << "/home/ann/Downloads/../Applications/Sorvane.AppImage" << true;
        QTest::newRow("someone else's Applications") << "/home/bob/Applications/Sorvane.AppImage" << false;
        QTest::newRow("system Applications") << "/Applications/Sorvane.AppImage" << false;
    }
    void installedLocation()
    {
        QFETCH(QString, path);
        QFETCH(bool, installed);
        QCOMPARE(ApplicationLocationController::isInstalledApplication(path, QStringLiteral("/home/ann")), installed);
        QCOMPARE(ApplicationLocationController::isInstalledApplication(path, QStringLiteral("/home/ann/")), installed);
    }

    void prompt_data()
    {
        QTest::addColumn<QString>("appImage"); // empty: not a portable image
        QTest::addColumn<QString>("skip");     // "-": unset
        QTest::addColumn<bool>("prompt");
        const QString downloads = QStringLiteral("/home/ann/Downloads/Sorvane.AppImage");
        QTest::newRow("portable image in downloads") << downloads << "-" << true;
        QTest::newRow("portable image in Applications") << "/home/ann/Applications/Sorvane.AppImage" << "-" << false;
        QTest::newRow("portable image in opt") << "/opt/Sorvane.AppImage" << "-" << false;
        QTest::newRow("packaged install") << QString() << "-" << false;
        QTest::newRow("skipped with 1") << downloads << "1" << false;
        QTest::newRow("true does not skip") << downloads << "true" << true;
        QTest::newRow("yes does not skip") << downloads << "yes" << true;
        QTest::newRow("blank before 1 does not skip") << downloads << " 1" << true;
        QTest::newRow("empty does not skip") << downloads << "" << true;
    }
    void prompt()
    {
        QFETCH(QString, appImage);
        QFETCH(QString, skip);
        QFETCH(bool, prompt);
        QProcessEnvironment environment;
        if (!appImage.isEmpty())
            environment.insert(QStringLiteral("APPIMAGE"), appImage);
        if (skip != QLatin1String("-"))
            environment.insert(QString::fromLatin1(ApplicationLocationController::skipVariable), skip);
        ApplicationLocationController controller(environment, QStringLiteral("/home/ann"));
        QVERIFY(!controller.shouldShowPrompt()); // nothing computed before refresh()
        QSignalSpy changed(&controller, &ApplicationLocationController::shouldShowPromptChanged);
        controller.refresh();
        QCOMPARE(controller.shouldShowPrompt(), prompt);
        controller.refresh();
        QCOMPARE(changed.count(), 2); // announced even when the value stays
        controller.setShouldShowPrompt(false); // the user declines
        QVERIFY(!controller.shouldShowPrompt());
    }

    void revealsThroughTheFileManager()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            if (qEnvironmentVariableIsSet("SORVANE_TEST_SESSION"))
                QFAIL("no session bus in the test session");
            QSKIP("no session bus");
        }
        FakeFileManager manager;
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("APPIMAGE"), QStringLiteral("/home/ann/Down loads/Sorvane.AppImage"));
        ApplicationLocationController controller(environment, QStringLiteral("/home/ann"));
        controller.revealCurrentApplication();
        QTRY_COMPARE_WITH_TIMEOUT(manager.shown.size(), 1, 20000);
        QCOMPARE(manager.shown.first(), QStringLiteral("file:///home/ann/Down%20loads/Sorvane.AppImage"));
        bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }

    void execQuoting_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/opt/Sorvane.AppImage" << "/opt/Sorvane.AppImage";
        QTest::newRow("space") << "/home/ann/My Apps/Sorvane.AppImage" << "\"/home/ann/My Apps/Sorvane.AppImage\"";
        QTest::newRow("percent") << "/opt/100%/Sorvane" << "/opt/100%%/Sorvane";
        QTest::newRow("dollar") << "/opt/$HOME/Sorvane" << "\"/opt/\\\\$HOME/Sorvane\"";
        QTest::newRow("double quote") << "/opt/a\"b/Sorvane" << "\"/opt/a\\\\\"b/Sorvane\"";
        QTest::newRow("backslash") << "/opt/a\\b/Sorvane" << "\"/opt/a\\\\\\\\b/Sorvane\"";
        QTest::newRow("backquote") << "/opt/a`b/Sorvane" << "\"/opt/a\\\\`b/Sorvane\"";
        QTest::newRow("single quote") << "/opt/ann's/Sorvane" << "\"/opt/ann's/Sorvane\"";
    }
    void execQuoting()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(LoginItemController::execValue({program}), exec);
        // The login item starts it with the flag that lets the window stay closed.
        QCOMPARE(execLine(LoginItemController::autostartEntry(program)), exec + QStringLiteral(" --autostart"));
    }

    void autostartFileWrittenValidatedAndRemoved_data()
    {
        QTest::addColumn<QString>("programName");
        QTest::newRow("plain") << "Sorvane.AppImage";
        QTest::newRow("space and quote") << "My \"Sorvane\" $1.AppImage";
    }
    void autostartFileWrittenValidatedAndRemoved()
    {
        QFETCH(QString, programName);
        QTemporaryDir home;
        const QString folder = home.path() + QStringLiteral("/config/autostart");
        const QString program = home.path() + QLatin1Char('/') + programName;
        LoginItemController controller(folder, program);
        QVERIFY(!controller.isEnabled());
        QCOMPARE(controller.autostartFile(), folder + QStringLiteral("/com.sorvane.local.desktop"));
        QSignalSpy enabled(&controller, &LoginItemController::isEnabledChanged);

        controller.setEnabled(true);
        QCOMPARE(controller.message(), QString());
        QVERIFY(controller.isEnabled());
        QCOMPARE(enabled.count(), 1);
        QVERIFY(QFileInfo::exists(controller.autostartFile()));
        QCOMPARE(validate(controller.autostartFile()), QString());
        // A second controller (another settings screen) reads the same state.
        QVERIFY(LoginItemController(folder, program).isEnabled());

        controller.setEnabled(false);
        QCOMPARE(controller.message(), QString());
        QVERIFY(!controller.isEnabled());
        QVERIFY(!QFileInfo::exists(controller.autostartFile()));
        QCOMPARE(enabled.count(), 2);
        controller.setEnabled(false); // nothing to remove is no failure
        QCOMPARE(controller.message(), QString());
    }

    void autostartSwitchedOffByTheDesktop()
    {
        QTemporaryDir home;
        const QString folder = home.path() + QStringLiteral("/autostart");
        QVERIFY(writeFile(folder + QStringLiteral("/com.sorvane.local.desktop"),
                          LoginItemController::autostartEntry(QStringLiteral("/opt/s")) + "Hidden=true\n"));
        QVERIFY(!LoginItemController(folder, QStringLiteral("/opt/s")).isEnabled());
    }

    void unwritableAutostartFolderReportsAProblem()
    {
        QTemporaryDir home;
        const QString folder = home.path() + QStringLiteral("/autostart");
        QVERIFY(writeFile(folder, "a file where the folder should be"));
        LoginItemController controller(folder, QStringLiteral("/opt/Sorvane.AppImage"));
        controller.setEnabled(true);
        QVERIFY(!controller.message().isEmpty());
        QVERIFY(!controller.isEnabled());
    }

    void programFileIsTheRunningProgramWithoutAnImage()
    {
        if (qEnvironmentVariableIsSet("APPIMAGE"))
            QSKIP("the tests run from a portable image");
        QTemporaryDir home;
        LoginItemController controller(home.path());
        QCOMPARE(controller.program(), QCoreApplication::applicationFilePath());
    }

    void installedDesktopFileIsValid()
    {
        const QString file = buildDirectory() + QStringLiteral("/share/applications/com.sorvane.local.desktop");
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        QCOMPARE(validate(file), QString());
        const QByteArray text = readFile(file);
        QVERIFY(text.contains("\nIcon=com.sorvane.local\n"));
        QVERIFY(QFileInfo::exists(buildDirectory() + QStringLiteral("/share/icons/hicolor/scalable/apps/com.sorvane.local.svg")));
        QVERIFY(QFileInfo::exists(
            buildDirectory() + QStringLiteral("/share/icons/hicolor/symbolic/apps/com.sorvane.local-symbolic.svg")));
    }
};

QTEST_GUILESS_MAIN(LoginAndLocationTest)
#include "tst_login_and_location.moc"
