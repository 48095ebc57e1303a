#include "Ed25519TestKey.h"
#include "LoopbackHttpServer.h"
#include "Services/Shell/UpdateController.h"
#include "Services/Shell/Updater/UpdateWindowModel.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 20000;
const QByteArray oldImage = "#!/bin/sh\necho old image\n";

bool openssl(const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "openssl" << arguments << process.readAllStandardError();
        return false;
    }
    return true;
}

} // namespace

// The updater against an HTTPS server on the loopback interface whose certificate
// comes from a certificate authority this test makes and trusts.
class UpdateHttpsTest : public QObject {
    Q_OBJECT

    QTemporaryDir pki;
    Ed25519TestKey key;
    QSslConfiguration serverConfiguration;
    std::unique_ptr<LoopbackHttpServer> server;
    std::unique_ptr<QTemporaryDir> folder;
    QString target;
    QByteArray newImage;

    QByteArray feedWith(const QString &enclosureUrl, qint64 length, const QByteArray &signature,
                        const QByteArray &version = "2.0")
    {
        return "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:s=\"urn:sorvane:updates\"><channel>"
               "<title>Sorvane</title><item><title>Sorvane "
            + version + "</title><enclosure url=\"" + enclosureUrl.toUtf8() + "\" length=\""
            + QByteArray::number(length) + "\" type=\"application/octet-stream\" s:version=\"" + version
            + "\" s:shortVersionString=\"" + version + "\" s:edSignature=\"" + signature + "\"/></item>"
            + "<item><title>Old</title><enclosure url=\"https://127.0.0.1/old\" length=\"3\" s:version=\"0.5\"/></item>"
              "</channel></rss>";
    }

    void serveValidFeed()
    {
        server->route(QStringLiteral("/Sorvane.AppImage"), {200, newImage});
        server->route(QStringLiteral("/appcast.xml"),
                      {200, feedWith(server->url(QStringLiteral("/Sorvane.AppImage")).toString(), newImage.size(),
                                     key.signBase64(newImage))});
    }

    std::unique_ptr<UpdateController> controller(const QString &feedPath = QStringLiteral("/appcast.xml"),
                                                 const QString &version = QStringLiteral("1.0"))
    {
        UpdateController::Configuration configuration;
        configuration.feedUrl = server->url(feedPath).toString();
        configuration.publicKey = QString::fromLatin1(key.publicKeyBase64());
        configuration.currentVersion = version;
        configuration.targetPath = target;
        configuration.firstCheckDelay = std::chrono::hours(1); // no automatic check during a test
        auto made = std::make_unique<UpdateController>(configuration);
        if (!made->canCheckForUpdates())
            qFatal("the updater did not start");
        return made;
    }

    static bool waitForStage(UpdateController &c, const QString &stage)
    {
        if (QTest::qWaitFor([&] { return c.window()->stageText() == stage; }, wait))
            return true;
        qWarning() << "the update window shows" << c.window()->stageText() << "instead of" << stage << ":"
                   << c.window()->message();
        return false;
    }

    // The folder holds the target alone: nothing half-downloaded is left behind.
    void verifyTargetUntouched()
    {
        QCOMPARE(readFile(target), oldImage);
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Sorvane.AppImage")});
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(pki.isValid());
        QVERIFY(key.isValid());
        const QString p = pki.path();
        QVERIFY(writeFile(p + QStringLiteral("/server.ext"),
                          "subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\n"
                          "basicConstraints=CA:FALSE\n"));
        QVERIFY(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                         "-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=Sorvane Test Authority",
                         "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign"},
                        p));
        QVERIFY(openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                         "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
                        p));
        QVERIFY(openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial",
                         "-out", "server.crt", "-days", "2", "-extfile", "server.ext"},
                        p));
        const auto authority = QSslCertificate::fromPath(p + QStringLiteral("/ca.crt"));
        const auto certificate = QSslCertificate::fromPath(p + QStringLiteral("/server.crt"));
        QCOMPARE(authority.size(), 1);
        QCOMPARE(certificate.size(), 1);
        const QSslKey serverKey(readFile(p + QStringLiteral("/server.key")), QSsl::Ec);
        QVERIFY(!serverKey.isNull());

        serverConfiguration = QSslConfiguration::defaultConfiguration();
        serverConfiguration.setLocalCertificate(certificate.first());
        serverConfiguration.setPrivateKey(serverKey);
        // The client side trusts the test authority and nothing changes in its checks.
        QSslConfiguration client = QSslConfiguration::defaultConfiguration();
        client.addCaCertificates(authority);
        QSslConfiguration::setDefaultConfiguration(client);

        newImage = QByteArray("#!/bin/sh\necho new image\n") + QByteArray(300 * 1024, 'n');
    }

    void init()
    {
        server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(server->listenSecure(serverConfiguration));
        folder = std::make_unique<QTemporaryDir>();
        target = folder->path() + QStringLiteral("/Sorvane.AppImage");
        QVERIFY(writeFile(target, oldImage));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void cleanup()
    {
        server.reset();
        folder.reset();
    }

    void validSignatureReplacesTheImage()
    {
        serveValidFeed();
        auto c = controller();
        QSignalSpy relaunch(c.get(), &UpdateController::relaunchRequested);
        QSignalSpy focus(c->window(), &UpdateWindowModel::focusRequested);
        c->checkForUpdatesFromMenu();
        QCOMPARE(c->presentation(), UpdatePresentation::checking());
        QVERIFY(!c->canCheckForUpdates()); // one session at a time
        QVERIFY(waitForStage(*c, QStringLiteral("found")));
        QCOMPARE(c->presentation(), UpdatePresentation::available(QStringLiteral("2.0")));
        QVERIFY(c->window()->message().contains(QLatin1String("Sorvane 2.0")));
        QVERIFY(focus.count() >= 1);

        QList<QString> labels;
        connect(c.get(), &UpdateController::presentationChanged, this, [&] { labels.append(c->presentationLabel()); });
        c->window()->choosePrimary(); // Install Update
        QVERIFY(waitForStage(*c, QStringLiteral("readyToInstall")));
        QCOMPARE(c->presentation(), UpdatePresentation::readyToInstall(QStringLiteral("2.0")));
        QVERIFY(labels.contains(QStringLiteral("Downloading update")));
        QVERIFY(labels.contains(QStringLiteral("Downloading 100%")));
        QVERIFY(labels.contains(QStringLiteral("Preparing update")));
        QCOMPARE(readFile(target), oldImage); // nothing replaced before the user says so

        c->window()->choosePrimary(); // Install and Relaunch
        QTRY_COMPARE_WITH_TIMEOUT(relaunch.count(), 1, wait);
        QCOMPARE(relaunch.first().first().toString(), target);
        QCOMPARE(readFile(target), newImage);
        QVERIFY(QFileInfo(target).isExecutable());
        QCOMPARE(c->presentation(), UpdatePresentation::restarting());
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Sorvane.AppImage")});
        QCOMPARE(c->window()->stageText(), QStringLiteral("hidden"));
    }

    void failuresLeaveTheImageAlone_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("failsBeforeOffer");
        QTest::addColumn<QString>("reason"); // part of the window's message
        QTest::newRow("bad signature") << "bad signature" << false << "improperly signed";
        QTest::newRow("signature of another key") << "other key" << false << "improperly signed";
        QTest::newRow("truncated body") << "truncated" << false << "ended early";
        QTest::newRow("shorter than announced") << "shorter" << false << "but the feed announced";
        QTest::newRow("oversized") << "oversized" << false << "larger than the feed announced";
        QTest::newRow("image 404") << "image 404" << false << "HTTP status 404";
        QTest::newRow("http enclosure") << "http enclosure" << false << "not offered over a secure connection";
        QTest::newRow("feed 404") << "feed 404" << true << "feed could not be loaded (HTTP status 404)";
        QTest::newRow("malformed feed") << "malformed" << true << "feed could not be read";
    }
    void failuresLeaveTheImageAlone()
    {
        QFETCH(QString, failure);
        QFETCH(bool, failsBeforeOffer);
        QFETCH(QString, reason);
        const QString imageUrl = server->url(QStringLiteral("/Sorvane.AppImage")).toString();
        const QByteArray good = key.signBase64(newImage);
        QByteArray feed = feedWith(imageUrl, newImage.size(), good);
        LoopbackHttpServer::Response image{200, newImage};
        if (failure == QLatin1String("bad signature")) {
            feed = feedWith(imageUrl, newImage.size(), key.signBase64(newImage + "tampered"));
        } else if (failure == QLatin1String("other key")) {
            Ed25519TestKey other;
            feed = feedWith(imageUrl, newImage.size(), other.signBase64(newImage));
        } else if (failure == QLatin1String("truncated")) {
            image.announcedLength = newImage.size() + 1000; // the server stops early
        } else if (failure == QLatin1String("shorter")) {
            feed = feedWith(imageUrl, newImage.size() + 1000, good);
        } else if (failure == QLatin1String("oversized")) {
            image.body = newImage + QByteArray(64 * 1024, 'x');
        } else if (failure == QLatin1String("image 404")) {
            image = {404, "gone"};
        } else if (failure == QLatin1String("http enclosure")) {
            feed = feedWith(QStringLiteral("http://127.0.0.1:%1/Sorvane.AppImage").arg(server->port()), newImage.size(), good);
        } else if (failure == QLatin1String("malformed")) {
            feed = "<rss><channel><item><enclosure url=";
        }
        server->route(QStringLiteral("/Sorvane.AppImage"), image);
        if (failure != QLatin1String("feed 404"))
            server->route(QStringLiteral("/appcast.xml"), {200, feed});

        auto c = controller();
        QSignalSpy relaunch(c.get(), &UpdateController::relaunchRequested);
        c->checkForUpdatesFromMenu();
        if (!failsBeforeOffer) {
            QVERIFY(waitForStage(*c, QStringLiteral("found")));
            c->window()->choosePrimary();
        }
        QVERIFY(waitForStage(*c, QStringLiteral("error")));
        QCOMPARE(c->presentation(), UpdatePresentation::failed());
        QVERIFY2(c->window()->message().contains(reason), qPrintable(c->window()->message()));
        verifyTargetUntouched();
        if (failure == QLatin1String("http enclosure"))
            QCOMPARE(server->requestCount(QStringLiteral("/Sorvane.AppImage")), 0);

        c->window()->choosePrimary(); // OK
        QCOMPARE(c->window()->stageText(), QStringLiteral("hidden"));
        QCOMPARE(c->presentation(), UpdatePresentation::failed()); // until the next event
        QVERIFY(c->canCheckForUpdates());
        QCOMPARE(relaunch.count(), 0);
        verifyTargetUntouched();
    }

    void upToDate()
    {
        serveValidFeed();
        auto c = controller(QStringLiteral("/appcast.xml"), QStringLiteral("2.0"));
        c->checkForUpdatesFromMenu();
        QVERIFY(waitForStage(*c, QStringLiteral("notFound")));
        QCOMPARE(c->presentation(), UpdatePresentation::idle());
        c->window()->choosePrimary();
        QCOMPARE(c->window()->stageText(), QStringLiteral("hidden"));
        QCOMPARE(server->requestCount(QStringLiteral("/Sorvane.AppImage")), 0);
        verifyTargetUntouched();
    }

    void cancelledCheckReturnsToIdle()
    {
        // The feed never finishes arriving, so the check is still running when cancelled.
        LoopbackHttpServer::Response slow{200, feedWith(QStringLiteral("https://127.0.0.1/x"), 10, "AAAA")};
        slow.stallAfter = 20;
        server->route(QStringLiteral("/appcast.xml"), slow);
        auto c = controller();
        c->checkForUpdatesFromMenu();
        QCOMPARE(c->window()->stageText(), QStringLiteral("checking"));
        QCOMPARE(c->presentationLabel(), QStringLiteral("Checking for updates"));
        QTRY_COMPARE_WITH_TIMEOUT(server->requestCount(QStringLiteral("/appcast.xml")), 1, wait);
        c->window()->closeWindow(); // the window's close button cancels
        QCOMPARE(c->presentation(), UpdatePresentation::idle());
        QCOMPARE(c->window()->stageText(), QStringLiteral("hidden"));
        QVERIFY(c->canCheckForUpdates());
    }

    void cancelledDownloadReturnsToAvailable()
    {
        LoopbackHttpServer::Response stalled{200, newImage};
        stalled.stallAfter = 1000;
        server->route(QStringLiteral("/Sorvane.AppImage"), stalled);
        server->route(QStringLiteral("/appcast.xml"),
                      {200, feedWith(server->url(QStringLiteral("/Sorvane.AppImage")).toString(), newImage.size(),
                                     key.signBase64(newImage))});
        auto c = controller();
        c->checkForUpdatesFromMenu();
        QVERIFY(waitForStage(*c, QStringLiteral("found")));
        c->window()->choosePrimary();
        QVERIFY(waitForStage(*c, QStringLiteral("downloading")));
        QTRY_VERIFY_WITH_TIMEOUT(c->presentationLabel() == QLatin1String("Downloading 0%"), wait);
        c->window()->chooseSecondary(); // Cancel
        QCOMPARE(c->presentation(), UpdatePresentation::available(QStringLiteral("2.0")));
        QCOMPARE(c->presentationLabel(), QStringLiteral("Update 2.0"));
        QCOMPARE(c->window()->stageText(), QStringLiteral("hidden"));
        verifyTargetUntouched();
    }

    void presentingWithNoSessionChecksAgain()
    {
        serveValidFeed();
        auto c = controller();
        // Idle: presenting starts a check the user asked for.
        c->presentCurrentUpdate();
        QVERIFY(waitForStage(*c, QStringLiteral("found")));
        QCOMPARE(server->requestCount(QStringLiteral("/appcast.xml")), 1);
        c->window()->chooseSecondary(); // Remind Me Later
        QCOMPARE(c->presentation(), UpdatePresentation::available(QStringLiteral("2.0")));
        QCOMPARE(c->window()->stageText(), QStringLiteral("hidden"));

        // Nothing on show now: presenting brings the update back instead of doing nothing.
        c->presentCurrentUpdate();
        QVERIFY(waitForStage(*c, QStringLiteral("found")));
        QCOMPARE(server->requestCount(QStringLiteral("/appcast.xml")), 2);

        // While the offer is on show, presenting only brings the window forward.
        QSignalSpy focus(c->window(), &UpdateWindowModel::focusRequested);
        c->presentCurrentUpdate();
        QCOMPARE(focus.count(), 1);
        QCOMPARE(server->requestCount(QStringLiteral("/appcast.xml")), 2);
    }

    void menuCheckActsOnlyWhenACheckIsPossible()
    {
        serveValidFeed();
        auto c = controller();
        c->checkForUpdatesFromMenu();
        QVERIFY(waitForStage(*c, QStringLiteral("found")));
        QCOMPARE(c->presentation(), UpdatePresentation::available(QStringLiteral("2.0")));
        // The offer is still open: choosing the menu entry again changes nothing.
        QVERIFY(!c->canCheckForUpdates());
        c->checkForUpdatesFromMenu();
        QCOMPARE(c->presentation(), UpdatePresentation::available(QStringLiteral("2.0")));
        QCOMPARE(c->presentationLabel(), QStringLiteral("Update 2.0"));
        QCOMPARE(c->window()->stageText(), QStringLiteral("found"));
        QCOMPARE(server->requestCount(QStringLiteral("/appcast.xml")), 1);
    }

    void automaticDownloadOffersAFinishedUpdate()
    {
        serveValidFeed();
        auto c = controller();
        c->setAutomaticallyDownloadsUpdates(true);
        QVERIFY(c->automaticallyDownloadsUpdates());
        c->updater()->checkForUpdatesInBackground();
        QVERIFY(waitForStage(*c, QStringLiteral("found")));
        QCOMPARE(c->presentation(), UpdatePresentation::readyToInstall(QStringLiteral("2.0")));
        QCOMPARE(c->window()->primaryButton(), QStringLiteral("Install and Relaunch"));
        QSignalSpy relaunch(c.get(), &UpdateController::relaunchRequested);
        c->window()->choosePrimary();
        QTRY_COMPARE_WITH_TIMEOUT(relaunch.count(), 1, wait);
        QCOMPARE(readFile(target), newImage);
    }

    void backgroundCheckWithNothingNewShowsNothing()
    {
        serveValidFeed();
        auto c = controller(QStringLiteral("/appcast.xml"), QStringLiteral("3.0"));
        QSignalSpy focus(c->window(), &UpdateWindowModel::focusRequested);
        c->updater()->checkForUpdatesInBackground();
        QTRY_VERIFY_WITH_TIMEOUT(c->canCheckForUpdates(), wait);
        QCOMPARE(focus.count(), 0);
        QCOMPARE(c->presentation(), UpdatePresentation::idle());
    }

    void relaunchWaitsForTheProcessToEnd()
    {
        const QString marker = folder->path() + QStringLiteral("/relaunched");
        const QString program = folder->path() + QStringLiteral("/program");
        QVERIFY(writeFile(program, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n"));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcess running;
        running.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(running.waitForStarted());
        QVERIFY(Updater::relaunchAfterExit(program, running.processId()));
        // Still running: the waiter must not have started the program. Give it a chance to be wrong.
        QProcess probe;
        probe.start(QStringLiteral("sleep"), {QStringLiteral("0.5")});
        QVERIFY(probe.waitForFinished(wait));
        QVERIFY(!QFileInfo::exists(marker));
        running.kill();
        QVERIFY(running.waitForFinished(wait));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), wait);
    }
};

QTEST_GUILESS_MAIN(UpdateHttpsTest)
#include "tst_update_https.moc"
