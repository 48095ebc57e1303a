#include "Platform/DesktopSystemLinks.h"
#include "Shell/SessionNotice.h"
#include "TestPaths.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

// The settings links, against fake settings programs on a PATH of the test's own, and
// the notice for sessions without global shortcuts.
class DesktopLinksTest : public QObject {
    Q_OBJECT

    QTemporaryDir bin;
    QByteArray savedPath;

    // A program that writes its arguments to <name>.ran.
    void install(const QString &name)
    {
        const QString path = bin.path() + QLatin1Char('/') + name;
        QVERIFY(writeFile(path, "#!/bin/sh\necho \"$@\" > \"$0.ran\"\n"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

private Q_SLOTS:
    void initTestCase()
    {
        savedPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
    }
    void cleanupTestCase() { qputenv("PATH", savedPath); }

    void nothingInstalledOpensNothing()
    {
        QVERIFY(!DesktopSystemLinks::commandFor(SystemLinks::Page::Microphone));
        DesktopSystemLinks links;
        QVERIFY(!links.open(SystemLinks::Page::Microphone));
        QVERIFY(!links.open(SystemLinks::Page::ScreenRecording));
    }

    void mixerShowsTheInputDevices()
    {
        install(QStringLiteral("pavucontrol"));
        const auto command = DesktopSystemLinks::commandFor(SystemLinks::Page::Microphone);
        QVERIFY(command);
        QCOMPARE(command->program, bin.path() + QStringLiteral("/pavucontrol"));
        DesktopSystemLinks links;
        QVERIFY(links.open(SystemLinks::Page::Microphone));
        const QString ran = bin.path() + QStringLiteral("/pavucontrol.ran");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(ran).size() > 0, 20000);
        QCOMPARE(readFile(ran).trimmed(), QByteArray("--tab=4"));
        QVERIFY(!links.open(SystemLinks::Page::ScreenRecording)); // no such page here
    }

    void desktopSettingsComeFirst()
    {
        install(QStringLiteral("pavucontrol"));
        install(QStringLiteral("gnome-control-center"));
        const auto command = DesktopSystemLinks::commandFor(SystemLinks::Page::Microphone);
        QVERIFY(command);
        QCOMPARE(command->program, bin.path() + QStringLiteral("/gnome-control-center"));
        QCOMPARE(command->arguments, QStringList{QStringLiteral("sound")});
    }

    void shortcutsNotice_data()
    {
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<QString>("waylandDisplay");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("notice");
        QTest::newRow("x11") << "x11" << "" << ":0" << false;
        QTest::newRow("wayland session") << "wayland" << "wayland-0" << ":0" << true;
        QTest::newRow("Wayland in capitals") << "Wayland" << "" << "" << true;
        QTest::newRow("wayland display only") << "" << "wayland-0" << "" << true;
        // XWayland: the shortcuts are refused there too, so the user is told.
        QTest::newRow("both displays, no session type") << "" << "wayland-0" << ":1" << true;
        QTest::newRow("nothing known") << "" << "" << "" << false;
        QTest::newRow("tty") << "tty" << "" << ":0" << false;
    }
    void shortcutsNotice()
    {
        QFETCH(QString, sessionType);
        QFETCH(QString, waylandDisplay);
        QFETCH(QString, display);
        QFETCH(bool, notice);
        QProcessEnvironment environment;
        if (!sessionType.isEmpty())
            environment.insert(QStringLiteral("XDG_SESSION_TYPE"), sessionType);
        if (!waylandDisplay.isEmpty())
            environment.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
        if (!display.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), display);
        const auto text = shortcutsUnavailableNotice(environment);
        QCOMPARE(text.has_value(), notice);
        if (text)
            QVERIFY(text->contains(QLatin1String("tray menu")));
    }
};

QTEST_GUILESS_MAIN(DesktopLinksTest)
#include "tst_desktop_links.moc"
