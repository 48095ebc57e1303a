// Where the move prompt says the program runs, and its "Open Applications".
#include "Services/Shell/ApplicationLocationController.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;

class InstallLocationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void locationTable_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("sentence");
        const QString outside = QStringLiteral("Sorvane is currently running outside Applications.");
        const QString drive = QStringLiteral("Sorvane is currently running from a removable drive.");
        QTest::newRow("~/Applications") << "/home/ann/Applications/Sorvane.AppImage" << true << outside;
        QTest::newRow("/opt") << "/opt/Sorvane.AppImage" << true << outside;
        QTest::newRow("downloads") << "/home/ann/Downloads/Sorvane.AppImage" << false << outside;
        QTest::newRow("/optical is not /opt") << "/optical/x" << false << outside;
        QTest::newRow("~/ApplicationsX is not ~/Applications") << "/home/ann/ApplicationsX/x" << false << outside;
        QTest::newRow("a USB stick") << "/media/ann/STICK/Sorvane.AppImage" << false << drive;
        QTest::newRow("a drive under /run/media") << "/run/media/ann/disk/Sorvane.AppImage" << false << drive;
        QTest::newRow("/mediaX is no drive") << "/mediaX/Sorvane.AppImage" << false << outside;
        QTest::newRow("dots cleaned") << "/home/ann/Downloads/../Applications/Sorvane.AppImage" << true << outside;
    }
    void locationTable()
    {
        QFETCH(QString, path);
        QFETCH(bool, installed);
        QFETCH(QString, sentence);
        QCOMPARE(ApplicationLocationController::isInstalledApplication(path, QStringLiteral("/home/ann")), installed);
        QCOMPARE(ApplicationLocationController::locationSentence(path), sentence);
    }

    void linksAreFollowed()
    {
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Applications")));
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Downloads")));
        QFile image(home.filePath(QStringLiteral("Applications/Sorvane.AppImage")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.close();
        // A link elsewhere to the installed copy runs the installed copy...
        const QString toInstalled = home.filePath(QStringLiteral("Downloads/Sorvane.AppImage"));
        QVERIFY(QFile::link(image.fileName(), toInstalled));
        QVERIFY(ApplicationLocationController::isInstalledApplication(toInstalled, home.path()));
        // ...and a link inside ~/Applications to a copy in Downloads does not.
        QFile loose(home.filePath(QStringLiteral("Downloads/Loose.AppImage")));
        QVERIFY(loose.open(QIODevice::WriteOnly));
        loose.close();
        const QString fromApplications = home.filePath(QStringLiteral("Applications/Loose.AppImage"));
        QVERIFY(QFile::link(loose.fileName(), fromApplications));
        QVERIFY(!ApplicationLocationController::isInstalledApplication(fromApplications, home.path()));
    }

    void openApplicationsMakesTheFolder()
    {
        QTemporaryDir home;
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("APPIMAGE"), home.filePath(QStringLiteral("Sorvane.AppImage")));
        ApplicationLocationController location(environment, home.path());
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Applications"))));
        QVERIFY(location.openApplicationsFolder());
        QVERIFY(QFileInfo(home.filePath(QStringLiteral("Applications"))).isDir());
        QCOMPARE(location.locationSentence(), QStringLiteral("Sorvane is currently running outside Applications."));
    }
};

QTEST_MAIN(InstallLocationTest)
#include "tst_install_location.moc"
