#include "Ed25519TestKey.h"
#include "Services/Shell/UpdateController.h"
#include "Services/Shell/Updater/Appcast.h"
#include "Services/Shell/Updater/Ed25519Signature.h"
#include "Services/Shell/Updater/UpdatePresentation.h"
#include "Services/Shell/Updater/UpdateWindowModel.h"
#include "Services/Shell/Updater/VersionComparison.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

using Presentation = UpdatePresentation;
Q_DECLARE_METATYPE(std::optional<AppcastItem>)

namespace {

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:s=\"urn:sorvane:updates\">"
           "<channel><title>Sorvane</title>"
        + items + "</channel></rss>";
}

QByteArray item(const QByteArray &version, const QByteArray &shortVersion = {}, const QByteArray &extra = {})
{
    QByteArray enclosure = "<enclosure url=\"https://updates.example.com/Sorvane-" + version
        + ".AppImage\" length=\"1234\" type=\"application/octet-stream\" s:edSignature=\"c2ln\""
        + " s:version=\"" + version + "\"";
    if (!shortVersion.isEmpty())
        enclosure += " s:shortVersionString=\"" + shortVersion + "\"";
    enclosure += extra + "/>";
    return "<item><title>Version " + version + "</title>" + enclosure + "</item>";
}

AppcastItem appcastItem(const QString &version, const QString &os = {})
{
    AppcastItem item;
    item.version = version;
    item.displayVersion = version;
    item.url = QUrl(QStringLiteral("https://updates.example.com/") + version);
    item.length = 10;
    item.os = os;
    return item;
}

} // namespace

class UpdateTablesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void labels_data()
    {
        QTest::addColumn<Presentation>("presentation");
        QTest::addColumn<QString>("label");
        QTest::newRow("idle") << Presentation::idle() << QString();
        QTest::newRow("checking") << Presentation::checking() << QStringLiteral("Checking for updates");
        QTest::newRow("available") << Presentation::available(QStringLiteral("1.4.2")) << QStringLiteral("Update 1.4.2");
        QTest::newRow("downloading, no progress")
            << Presentation::downloading(QStringLiteral("1.4"), std::nullopt) << QStringLiteral("Downloading update");
        QTest::newRow("downloading 0") << Presentation::downloading({}, 0.0) << QStringLiteral("Downloading 0%");
        QTest::newRow("half rounds away from zero") << Presentation::downloading({}, 0.125) << QStringLiteral("Downloading 13%");
        QTest::newRow("0.994") << Presentation::downloading({}, 0.994) << QStringLiteral("Downloading 99%");
        QTest::newRow("0.995") << Presentation::downloading({}, 0.995) << QStringLiteral("Downloading 100%");
        QTest::newRow("complete") << Presentation::downloading({}, 1.0) << QStringLiteral("Downloading 100%");
        QTest::newRow("preparing") << Presentation::preparing(QStringLiteral("2")) << QStringLiteral("Preparing update");
        QTest::newRow("ready") << Presentation::readyToInstall({}) << QStringLiteral("Restart to update");
        QTest::newRow("installing") << Presentation::installing() << QStringLiteral("Installing update");
        QTest::newRow("restarting") << Presentation::restarting() << QStringLiteral("Restarting");
        QTest::newRow("failed") << Presentation::failed() << QStringLiteral("Update failed");
    }
    void labels()
    {
        QFETCH(Presentation, presentation);
        QFETCH(QString, label);
        QCOMPARE(presentation.label(), label);
    }

    void versions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("equal") << "1.2.3" << "1.2.3" << 0;
        QTest::newRow("trailing zero") << "1.2" << "1.2.0" << 0;
        QTest::newRow("numbers, not letters") << "1.10" << "1.9" << 1;
        QTest::newRow("older patch") << "1.2.3" << "1.2.4" << -1;
        QTest::newRow("longer is newer") << "1.2.1" << "1.2" << 1;
        QTest::newRow("leading zeros") << "1.02" << "1.2" << 0;
        QTest::newRow("beta before release") << "1.2b1" << "1.2" << -1;
        QTest::newRow("rc before release") << "2.0-rc1" << "2.0" << -1;
        QTest::newRow("beta before rc") << "2.0beta" << "2.0rc" << -1;
        QTest::newRow("later beta") << "2.0b2" << "2.0b1" << 1;
        QTest::newRow("build numbers") << "120" << "99" << 1;
        QTest::newRow("huge numbers") << "1.123456789012345678901" << "1.123456789012345678900" << 1;
        QTest::newRow("blank around") << " 1.3 " << "1.3" << 0;
    }
    void versions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        const auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
        QCOMPARE(sign(compareVersions(a, b)), order);
        QCOMPARE(sign(compareVersions(b, a)), -order);
    }

    void parsesFeed()
    {
        const QByteArray xml = feed(item("101", "1.1") + "<item><title>No enclosure</title></item>"
                                    + "<item><s:version>102</s:version>"
                                      "<s:shortVersionString>1.2</s:shortVersionString>"
                                      "<enclosure url=\"https://u.example.com/b\" length=\"77\" "
                                      "s:edSignature=\"AAAA\" s:os=\"linux\"/></item>");
        auto parsed = parseAppcast(xml);
        QVERIFY2(parsed, parsed ? "" : qPrintable(parsed.error()));
        QCOMPARE(parsed.value().size(), 2);
        const AppcastItem first = parsed.value().at(0);
        QCOMPARE(first.title, QStringLiteral("Version 101"));
        QCOMPARE(first.version, QStringLiteral("101"));
        QCOMPARE(first.displayVersion, QStringLiteral("1.1"));
        QCOMPARE(first.url, QUrl(QStringLiteral("https://updates.example.com/Sorvane-101.AppImage")));
        QCOMPARE(first.length, 1234);
        QCOMPARE(first.edSignature, QByteArray("c2ln"));
        const AppcastItem second = parsed.value().at(1);
        QCOMPARE(second.version, QStringLiteral("102"));
        QCOMPARE(second.displayVersion, QStringLiteral("1.2"));
        QCOMPARE(second.length, 77);
        QCOMPARE(second.os, QStringLiteral("linux"));
    }

    void displayVersionFallsBackToVersion()
    {
        auto parsed = parseAppcast(feed(item("3.0")));
        QVERIFY(parsed);
        QCOMPARE(parsed.value().at(0).displayVersion, QStringLiteral("3.0"));
    }

    void refusesBadFeeds_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::newRow("not xml") << QByteArray("this is no feed");
        QTest::newRow("unclosed") << QByteArray("<rss><channel><item>");
        QTest::newRow("no channel") << QByteArray("<html><body>Sign in</body></html>");
        QTest::newRow("empty") << QByteArray();
    }
    void refusesBadFeeds()
    {
        QFETCH(QByteArray, xml);
        QVERIFY(!parseAppcast(xml));
    }

    void chooseUpdate_data()
    {
        QTest::addColumn<QList<AppcastItem>>("items");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("chosen"); // empty: none
        QTest::newRow("none newer") << QList{appcastItem("1.0"), appcastItem("0.9")} << "1.0" << QString();
        QTest::newRow("newest of several") << QList{appcastItem("1.1"), appcastItem("1.3"), appcastItem("1.2")} << "1.0"
                                           << "1.3";
        QTest::newRow("numeric order") << QList{appcastItem("1.9"), appcastItem("1.10")} << "1.0" << "1.10";
        QTest::newRow("other system left out") << QList{appcastItem("2.0", "macos"), appcastItem("1.5", "linux")}
                                               << "1.0" << "1.5";
        QTest::newRow("empty feed") << QList<AppcastItem>{} << "1.0" << QString();
        QTest::newRow("pre-release of ours is older") << QList{appcastItem("1.0b3")} << "1.0" << QString();
    }
    void chooseUpdate()
    {
        QFETCH(QList<AppcastItem>, items);
        QFETCH(QString, current);
        QFETCH(QString, chosen);
        const auto update = newestUpdate(items, current);
        QCOMPARE(update ? update->version : QString(), chosen);
    }

    void configured_data()
    {
        QTest::addColumn<QString>("feed");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("configured");
        const QString key = QStringLiteral("dGhpcyBpcyBub3QgY2hlY2tlZCBoZXJl");
        QTest::newRow("default build") << QString() << QString() << false;
        QTest::newRow("https") << "https://updates.example.com/appcast.xml" << key << true;
        QTest::newRow("blanks and line break") << " \n https://updates.example.com/appcast.xml\n " << key << true;
        QTest::newRow("upper-case scheme") << "HTTPS://updates.example.com/appcast.xml" << key << true;
        QTest::newRow("http") << "http://updates.example.com/appcast.xml" << key << false;
        QTest::newRow("no scheme") << "updates.example.com/appcast.xml" << key << false;
        QTest::newRow("https without host") << "https:///appcast.xml" << key << false;
        QTest::newRow("https: alone") << "https:" << key << false;
        QTest::newRow("blank key") << "https://updates.example.com/appcast.xml" << " \t " << false;
        QTest::newRow("no key") << "https://updates.example.com/appcast.xml" << QString() << false;
    }
    void configured()
    {
        QFETCH(QString, feed);
        QFETCH(QString, key);
        QFETCH(bool, configured);
        QCOMPARE(UpdateController::isConfiguredBy(feed, key), configured);
        UpdateController controller({feed, key, QStringLiteral("1.0"), {}}, false);
        QCOMPARE(controller.isConfigured(), configured);
        QVERIFY(!controller.canCheckForUpdates()); // never started
    }

    void notConfiguredDoesNothing()
    {
        UpdateController controller({QString(), QString(), QStringLiteral("1.0"), {}});
        QVERIFY(!controller.isConfigured());
        QVERIFY(!controller.canCheckForUpdates());
        QVERIFY(!controller.updater()->isStarted());
        QSignalSpy presentation(&controller, &UpdateController::presentationChanged);
        QSignalSpy window(controller.window(), &UpdateWindowModel::focusRequested);
        controller.checkForUpdatesFromMenu();
        controller.presentCurrentUpdate();
        QCOMPARE(controller.presentation(), Presentation::idle());
        QCOMPARE(presentation.count(), 0);
        QCOMPARE(window.count(), 0);
        QVERIFY(!controller.updater()->sessionInProgress());
        controller.setAutomaticallyDownloadsUpdates(true);
        QVERIFY(!controller.automaticallyDownloadsUpdates());
    }

    void badKeyFailsTheStart()
    {
        // Configured by the rule (a key is there) but the key is no Ed25519 key.
        UpdateController controller({QStringLiteral("https://updates.example.com/a.xml"), QStringLiteral("c2hvcnQ="),
                                     QStringLiteral("1.0"), {}});
        QVERIFY(controller.isConfigured());
        QCOMPARE(controller.presentation(), Presentation::failed());
        QVERIFY(!controller.canCheckForUpdates());
    }

    void startedUpdaterCanCheck()
    {
        Ed25519TestKey key;
        UpdateController controller({QStringLiteral("https://updates.example.com/a.xml"),
                                     QString::fromLatin1(key.publicKeyBase64()), QStringLiteral("1.0"), {},
                                     std::chrono::hours(1)});
        QVERIFY(controller.updater()->isStarted());
        QVERIFY(controller.canCheckForUpdates());
        QVERIFY(controller.updater()->automaticallyChecksForUpdates());
        QCOMPARE(controller.presentation(), Presentation::idle());
    }

    // Each event of an update, applied in turn to one controller.
    void events()
    {
        UpdateController c({QString(), QString(), QStringLiteral("1.0"), {}}, false);
        AppcastItem item = appcastItem(QStringLiteral("7"));
        item.displayVersion = QStringLiteral("1.7");

        c.updaterDidFindValidUpdate(item);
        QCOMPARE(c.presentation(), Presentation::available(QStringLiteral("1.7")));
        c.updateDriverStartedDownloading();
        QCOMPARE(c.presentation(), Presentation::downloading(QStringLiteral("1.7"), std::nullopt));
        QCOMPARE(c.presentationLabel(), QStringLiteral("Downloading update"));
        // No length announced yet: data alone leaves the label as it is.
        c.updateDriverReceivedData(500);
        QCOMPARE(c.presentationLabel(), QStringLiteral("Downloading update"));
        c.updateDriverReceivedExpectedContentLength(4000);
        QCOMPARE(c.presentationLabel(), QStringLiteral("Downloading 13%"));
        c.updateDriverReceivedData(5000); // beyond the announced length
        QCOMPARE(c.presentation(), Presentation::downloading(QStringLiteral("1.7"), 1.0));
        QCOMPARE(c.presentationLabel(), QStringLiteral("Downloading 100%"));
        c.updateDriverStartedExtracting();
        QCOMPARE(c.presentation(), Presentation::preparing(QStringLiteral("1.7")));
        c.updateDriverExtractionProgress(0.5);
        QCOMPARE(c.presentation(), Presentation::preparing(QStringLiteral("1.7")));
        c.updateDriverReadyToInstall();
        QCOMPARE(c.presentation(), Presentation::readyToInstall(QStringLiteral("1.7")));
        c.updaterWillInstallUpdate(item);
        QCOMPARE(c.presentation(), Presentation::installing());
        c.updateDriverStartedInstalling();
        QCOMPARE(c.presentation(), Presentation::installing());
        c.updaterWillRelaunchApplication();
        QCOMPARE(c.presentation(), Presentation::restarting());
        c.updateDriverDismissed();
        QCOMPARE(c.presentation(), Presentation::restarting());
        c.updateDriverFinishedInstalling();
        QCOMPARE(c.presentation(), Presentation::idle());

        c.updateDriverFoundUpdate(QStringLiteral("1.8"), UpdateStage::Downloaded);
        QCOMPARE(c.presentation(), Presentation::readyToInstall(QStringLiteral("1.8")));
        QCOMPARE(c.presentationLabel(), QStringLiteral("Restart to update"));
        c.updateDriverFoundUpdate(QStringLiteral("1.8"), UpdateStage::Installing);
        QCOMPARE(c.presentation(), Presentation::readyToInstall(QStringLiteral("1.8")));
        c.updateDriverFoundUpdate(QStringLiteral("1.9"), UpdateStage::NotDownloaded);
        QCOMPARE(c.presentation(), Presentation::available(QStringLiteral("1.9")));
        c.updateDriverFailed();
        QCOMPARE(c.presentation(), Presentation::failed());
        c.updateDriverDismissed();
        QCOMPARE(c.presentation(), Presentation::failed()); // a failure stays until the next event
        c.updaterFailedToDownloadUpdate(item, QStringLiteral("x"));
        QCOMPARE(c.presentation(), Presentation::failed());
        c.updateDriverDidNotFindUpdate();
        QCOMPARE(c.presentation(), Presentation::idle());
    }

    // A session put off or cancelled part-way leaves the version on offer (a
    // dismissed check is covered with a real check in the HTTPS test).
    void dismissalReturnsToAvailable_data()
    {
        QTest::addColumn<int>("step"); // how far the session went before it was dismissed
        QTest::newRow("available") << 0;
        QTest::newRow("downloading") << 1;
        QTest::newRow("preparing") << 2;
        QTest::newRow("ready to install") << 3;
    }
    void dismissalReturnsToAvailable()
    {
        QFETCH(int, step);
        UpdateController c({QString(), QString(), QStringLiteral("1.0"), {}}, false);
        c.updateDriverFoundUpdate(QStringLiteral("2.0"), UpdateStage::NotDownloaded);
        if (step >= 1)
            c.updateDriverStartedDownloading();
        if (step >= 2)
            c.updateDriverStartedExtracting();
        if (step >= 3)
            c.updateDriverReadyToInstall();
        c.updateDriverDismissed();
        QCOMPARE(c.presentation(), Presentation::available(QStringLiteral("2.0")));
    }

    void windowTexts_data()
    {
        using Stage = UpdateWindowModel::Stage;
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("foundStage");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("primary");
        QTest::addColumn<QString>("secondary");
        QTest::addColumn<bool>("progress");
        const int notDownloaded = int(UpdateStage::NotDownloaded);
        QTest::newRow("hidden") << int(Stage::Hidden) << notDownloaded << QString() << QString() << QString() << false;
        QTest::newRow("checking") << int(Stage::Checking) << notDownloaded << "Checking for updates\u2026" << QString()
                                  << "Cancel" << true;
        QTest::newRow("found") << int(Stage::Found) << notDownloaded << "A new version of Sorvane is available"
                               << "Install Update" << "Remind Me Later" << false;
        QTest::newRow("found, downloaded") << int(Stage::Found) << int(UpdateStage::Downloaded)
                                           << "A new version of Sorvane is ready" << "Install and Relaunch"
                                           << "Remind Me Later" << false;
        QTest::newRow("not found") << int(Stage::NotFound) << notDownloaded << "You\u2019re up to date" << "OK"
                                   << QString() << false;
        QTest::newRow("error") << int(Stage::Error) << notDownloaded << "Update failed" << "OK" << QString() << false;
        QTest::newRow("downloading") << int(Stage::Downloading) << notDownloaded << "Downloading update\u2026"
                                     << QString() << "Cancel" << true;
        QTest::newRow("extracting") << int(Stage::Extracting) << notDownloaded << "Preparing update\u2026" << QString()
                                    << QString() << true;
        QTest::newRow("ready") << int(Stage::ReadyToInstall) << notDownloaded << "Ready to install"
                               << "Install and Relaunch" << "Later" << false;
        QTest::newRow("installing") << int(Stage::Installing) << notDownloaded << "Installing update\u2026" << QString()
                                    << QString() << true;
    }
    void windowTexts()
    {
        QFETCH(int, stage);
        QFETCH(int, foundStage);
        QFETCH(QString, title);
        QFETCH(QString, primary);
        QFETCH(QString, secondary);
        QFETCH(bool, progress);
        const UpdateWindowTexts texts = UpdateWindowModel::textsFor(UpdateWindowModel::Stage(stage),
                                                                    UpdateStage(foundStage), QStringLiteral("2.0"),
                                                                    QStringLiteral("1.0"), QStringLiteral("why"));
        QCOMPARE(texts.title, title);
        QCOMPARE(texts.primaryButton, primary);
        QCOMPARE(texts.secondaryButton, secondary);
        QCOMPARE(texts.showsProgress, progress);
    }

    void windowMessagesNameTheVersions()
    {
        using Stage = UpdateWindowModel::Stage;
        const auto found = UpdateWindowModel::textsFor(Stage::Found, UpdateStage::NotDownloaded, QStringLiteral("2.0"),
                                                       QStringLiteral("1.0"), {});
        QVERIFY(found.message.contains(QLatin1String("Sorvane 2.0")));
        QVERIFY(found.message.contains(QLatin1String("you have 1.0")));
        const auto error = UpdateWindowModel::textsFor(Stage::Error, UpdateStage::NotDownloaded, {}, {},
                                                       QStringLiteral("The update feed has no channel."));
        QCOMPARE(error.message, QStringLiteral("The update feed has no channel."));
    }

    void signatures_data()
    {
        QTest::addColumn<int>("keySize");
        QTest::addColumn<QByteArray>("signature"); // "good" for the real one
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("valid");
        QTest::newRow("good") << 32 << QByteArray("good") << QByteArray("portable image") << true;
        QTest::newRow("other data") << 32 << QByteArray("good") << QByteArray("portable imagE") << false;
        QTest::newRow("short signature") << 32 << QByteArray("short") << QByteArray("portable image") << false;
        QTest::newRow("long signature") << 32 << QByteArray("long") << QByteArray("portable image") << false;
        QTest::newRow("not base64") << 32 << QByteArray("!!!!") << QByteArray("portable image") << false;
        QTest::newRow("empty signature") << 32 << QByteArray() << QByteArray("portable image") << false;
        QTest::newRow("short key") << 31 << QByteArray("good") << QByteArray("portable image") << false;
        QTest::newRow("long key") << 33 << QByteArray("good") << QByteArray("portable image") << false;
    }
    void signatures()
    {
        QFETCH(int, keySize);
        QFETCH(QByteArray, signature);
        QFETCH(QByteArray, data);
        QFETCH(bool, valid);
        Ed25519TestKey key;
        QVERIFY(key.isValid());
        const QByteArray good = key.sign(QByteArrayLiteral("portable image"));
        QCOMPARE(good.size(), 64);
        QByteArray encoded = signature;
        if (signature == "good")
            encoded = good.toBase64();
        else if (signature == "short")
            encoded = good.left(63).toBase64();
        else if (signature == "long")
            encoded = QByteArray(good + 'x').toBase64();
        QByteArray publicKey = key.publicKey();
        if (keySize < 32)
            publicKey.chop(32 - keySize);
        else if (keySize > 32)
            publicKey.append(QByteArray(keySize - 32, '\0'));
        QCOMPARE(bool(Ed25519Signature::verify(publicKey, encoded, data)), valid);
        QCOMPARE(bool(Ed25519Signature::decodePublicKey(publicKey.toBase64())), keySize == 32);
    }
};

QTEST_GUILESS_MAIN(UpdateTablesTest)
#include "tst_update_tables.moc"
