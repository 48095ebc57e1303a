#include "AwaitTask.h"
#include "LoopbackHttpServer.h"
#include "Services/Shared/FileDownload.h"
#include "TestPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

// The parts of the download that the speech-model store does not use: digests,
// replacing an existing file, handing the file over, cancelling.
class FileDownloadTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_server.listen());
    }

    void init()
    {
        for (const QString &name : filesIn(m_dir.path()))
            QFile::remove(m_dir.filePath(name));
        m_body = QByteArray(QByteArray(700 * 1024, 'm') + "end");
        LoopbackHttpServer::Response file;
        file.body = m_body;
        m_server.route(QStringLiteral("/file.bin"), file);
    }

    void digestDecidesWhetherTheFileIsMovedIntoPlace_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("accepted");
        const QString right = QString::fromLatin1(
            QCryptographicHash::hash(QByteArray(QByteArray(700 * 1024, 'm') + "end"), QCryptographicHash::Sha256).toHex());
        QTest::newRow("matching digest") << right << true;
        QTest::newRow("upper-case digest is a different text") << right.toUpper() << false;
        QTest::newRow("other digest") << QString(64, QLatin1Char('0')) << false;
    }

    void digestDecidesWhetherTheFileIsMovedIntoPlace()
    {
        QFETCH(QString, expected);
        QFETCH(bool, accepted);
        const QString destination = m_dir.filePath(QStringLiteral("model.gguf"));
        QVERIFY(writeFile(destination, "the previous version"));
        FileDownload::Options options;
        options.destination = destination;
        options.hash = QCryptographicHash::Sha256;
        options.expectedHexDigest = expected;
        const auto outcome = awaitTask(downloadFile(&m_network, m_server.url(QStringLiteral("/file.bin")), options));
        QCOMPARE(outcome.ok(), accepted);
        if (accepted) {
            QCOMPARE(outcome.value().path, destination);
            QCOMPARE(outcome.value().size, m_body.size());
            QCOMPARE(QString::fromLatin1(outcome.value().digest.toHex()), expected);
            QCOMPARE(readFile(destination), m_body);
        } else {
            QCOMPARE(outcome.error().kind(), DownloadError::Kind::DigestMismatch);
            QCOMPARE(readFile(destination), QByteArray("the previous version"));
        }
        QCOMPARE(filesIn(m_dir.path()), QStringList{QStringLiteral("model.gguf")});
    }

    void failedDownloadKeepsTheFileItWouldReplace()
    {
        const QString destination = m_dir.filePath(QStringLiteral("model.gguf"));
        QVERIFY(writeFile(destination, "the previous version"));
        LoopbackHttpServer::Response cut;
        cut.body = m_body.left(1000);
        cut.announcedLength = m_body.size();
        m_server.route(QStringLiteral("/cut.bin"), cut);
        FileDownload::Options options;
        options.destination = destination;
        const auto outcome = awaitTask(downloadFile(&m_network, m_server.url(QStringLiteral("/cut.bin")), options));
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.error().kind(), DownloadError::Kind::Truncated);
        QCOMPARE(outcome.error().message(),
                 QStringLiteral("The download ended early: 1000 of %1 bytes arrived.").arg(m_body.size()));
        QCOMPARE(readFile(destination), QByteArray("the previous version"));
        QCOMPARE(filesIn(m_dir.path()), QStringList{QStringLiteral("model.gguf")});
    }

    void withoutDestinationTheFileIsHandedOver()
    {
        FileDownload::Options options;
        options.folder = m_dir.path();
        QList<qint64> totals;
        const auto outcome = awaitTask(downloadFile(&m_network, m_server.url(QStringLiteral("/file.bin")), options,
                                                    [&](qint64, qint64 total) { totals.append(total); }));
        QVERIFY(outcome.ok());
        QCOMPARE(QFileInfo(outcome.value().path).absolutePath(), m_dir.path());
        QCOMPARE(readFile(outcome.value().path), m_body);
        QVERIFY(outcome.value().digest.isEmpty());
        QVERIFY(!totals.isEmpty());
        QCOMPARE(totals.last(), m_body.size());
        QVERIFY(QFile::remove(outcome.value().path));
    }

    void abortEndsAsCancelledWithoutAFile()
    {
        LoopbackHttpServer::Response slow;
        slow.body = m_body;
        slow.chunkSize = 8 * 1024;
        slow.chunkDelay = 20;
        m_server.route(QStringLiteral("/slow.bin"), slow);
        FileDownload::Options options;
        options.destination = m_dir.filePath(QStringLiteral("slow.bin"));
        FileDownload download(&m_network, m_server.url(QStringLiteral("/slow.bin")), options);
        QSignalSpy progress(&download, &FileDownload::progress);
        QSignalSpy finished(&download, &FileDownload::finished);
        download.start();
        QVERIFY(progress.wait(5000));
        download.abort();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(download.outcome()->error().kind(), DownloadError::Kind::Cancelled);
        QCOMPARE(filesIn(m_dir.path()), QStringList{});
        download.abort();
        QCOMPARE(finished.size(), 1);
    }

private:
    QTemporaryDir m_dir;
    LoopbackHttpServer m_server;
    QNetworkAccessManager m_network;
    QByteArray m_body;
};

QTEST_GUILESS_MAIN(FileDownloadTest)
#include "tst_file_download.moc"
