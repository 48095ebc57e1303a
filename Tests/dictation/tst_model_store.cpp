#include "Shared/AppPaths.h"
#include "AwaitTask.h"
#include "LoopbackHttpServer.h"
#include "Services/Dictation/ModelStore.h"
#include "TestPaths.h"

#include <QCoroTask>
#include <QDir>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

QByteArray payload(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + 7) % 251);
    return bytes;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

using Kind = DownloadError::Kind;

} // namespace

Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

class ModelStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_home = temporaryDataHome();
        m_server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(m_server->listen());
    }

    std::unique_ptr<ModelStore> makeStore(std::optional<QString> bundled = std::nullopt,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(2))
    {
        ModelStore::Options options;
        options.modelsDirectory = AppPaths::models();
        for (SpeechModel model : SpeechModel::catalog()) {
            model.url = m_server->url(QStringLiteral("/models/") + model.fileName);
            options.catalog.append(model);
        }
        options.bundledModel = bundled;
        options.transferTimeout = timeout;
        return std::make_unique<ModelStore>(options);
    }

    void downloadsIntoTheModelsFolder_data()
    {
        QTest::addColumn<bool>("sendLength");
        QTest::addColumn<bool>("redirect");
        QTest::newRow("with a length") << true << false;
        QTest::newRow("without a length") << false << false;
        QTest::newRow("through a redirect") << true << true;
    }

    void downloadsIntoTheModelsFolder()
    {
        QFETCH(bool, sendLength);
        QFETCH(bool, redirect);
        const QByteArray body = payload(3 * 1024 * 1024 + 17);
        auto store = makeStore();
        const SpeechModel model = store->catalog().at(3);
        LoopbackHttpServer::Response file;
        file.body = body;
        file.sendLength = sendLength;
        file.chunkSize = 256 * 1024;
        file.chunkDelay = 5;
        if (redirect) {
            m_server->route(QStringLiteral("/elsewhere/model.bin"), file);
            LoopbackHttpServer::Response moved;
            moved.status = 302;
            moved.location = m_server->url(QStringLiteral("/elsewhere/model.bin")).toEncoded();
            m_server->route(QStringLiteral("/models/") + model.fileName, moved);
        } else {
            m_server->route(QStringLiteral("/models/") + model.fileName, file);
        }

        QList<double> seen;
        connect(store.get(), &ModelStore::progressChanged, this, [&] {
            if (store->progress().contains(model.id))
                seen.append(store->progress().value(model.id));
        });
        const auto download = store->startDownload(model);
        QCOMPARE(store->activeDownloads(), QSet<QString>{model.id});
        QCOMPARE(store->progress().value(model.id), 0.0);
        QVERIFY(!store->isPresent(model));

        const auto outcome = awaitTask(SpeechModelDownload::wait(download));
        QVERIFY2(outcome.ok(), outcome.ok() ? "" : qPrintable(outcome.error().message()));
        QCOMPARE(readFile(store->filePath(model)), body);
        QCOMPARE(filesIn(AppPaths::models()), QStringList{model.fileName});
        QCOMPARE(store->revision(), 1);
        QVERIFY(store->activeDownloads().isEmpty());
        QVERIFY(store->progress().isEmpty());

        QVERIFY(!seen.isEmpty());
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        if (sendLength) {
            QVERIFY(seen.size() > 2);
            QVERIFY(seen.last() > 0.5 && seen.last() <= 1.0);
        } else {
            // Without a length there is nothing to show until the file is in place.
            QCOMPARE(seen, QList<double>{0.0});
        }
    }

    void failedDownloadLeavesNothing_data()
    {
        QTest::addColumn<LoopbackHttpServer::Response>("response");
        QTest::addColumn<Kind>("kind");
        LoopbackHttpServer::Response missing;
        missing.status = 404;
        missing.body = "<html>not here</html>";
        QTest::newRow("404 with a page") << missing << Kind::HttpStatus;
        LoopbackHttpServer::Response broken;
        broken.status = 500;
        broken.body = "";
        QTest::newRow("500 without a body") << broken << Kind::HttpStatus;
        LoopbackHttpServer::Response shortBody;
        shortBody.body = payload(400 * 1024);
        shortBody.announcedLength = 1024 * 1024;
        QTest::newRow("short body") << shortBody << Kind::Truncated;
        LoopbackHttpServer::Response stalled;
        stalled.body = payload(1024 * 1024);
        stalled.stallAfter = 100 * 1024;
        QTest::newRow("stalls half way") << stalled << Kind::TimedOut;
        LoopbackHttpServer::Response redirectToNothing;
        redirectToNothing.status = 307;
        redirectToNothing.location = "/gone";
        QTest::newRow("redirect to a missing file") << redirectToNothing << Kind::HttpStatus;
    }

    void failedDownloadLeavesNothing()
    {
        QFETCH(LoopbackHttpServer::Response, response);
        QFETCH(Kind, kind);
        auto store = makeStore(std::nullopt, std::chrono::milliseconds(400));
        const SpeechModel model = store->catalog().at(1);
        const QString path = QStringLiteral("/models/") + model.fileName;
        m_server->route(path, response);

        const auto download = store->startDownload(model);
        const auto outcome = awaitTask(SpeechModelDownload::wait(download));
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.error().kind(), kind);
        QVERIFY(!outcome.error().message().isEmpty());
        QVERIFY(!store->isPresent(model));
        QCOMPARE(filesIn(AppPaths::models()), QStringList{});
        QVERIFY(store->activeDownloads().isEmpty());
        QVERIFY(store->progress().isEmpty());
        QCOMPARE(store->revision(), 0);

        // The failed download is forgotten: asking again fetches again.
        LoopbackHttpServer::Response good;
        good.body = payload(1000);
        m_server->route(path, good);
        const auto again = store->startDownload(model);
        QVERIFY(again != download);
        QVERIFY(awaitTask(SpeechModelDownload::wait(again)).ok());
        QCOMPARE(readFile(store->filePath(model)), good.body);
    }

    void unreachableServerFails()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        ModelStore::Options options;
        options.modelsDirectory = AppPaths::models();
        SpeechModel model = SpeechModel::catalog().first();
        model.url = QUrl(QStringLiteral("http://127.0.0.1:%1/x.bin").arg(port));
        options.catalog = {model};
        ModelStore store(options);
        const auto outcome = awaitTask(SpeechModelDownload::wait(store.startDownload(model)));
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.error().kind(), Kind::Network);
        QCOMPARE(filesIn(AppPaths::models()), QStringList{});
    }

    void secondRequestJoinsTheRunningDownload()
    {
        auto store = makeStore();
        const SpeechModel model = store->catalog().at(2);
        const QString path = QStringLiteral("/models/") + model.fileName;
        LoopbackHttpServer::Response slow;
        slow.body = payload(512 * 1024);
        slow.chunkSize = 32 * 1024;
        slow.chunkDelay = 10;
        m_server->route(path, slow);

        const auto first = store->startDownload(model);
        const auto second = store->startDownload(model);
        QCOMPARE(first, second);
        QVERIFY(awaitTask(SpeechModelDownload::wait(second)).ok());
        QVERIFY(awaitTask(SpeechModelDownload::wait(first)).ok());
        QCOMPARE(m_server->requestCount(path), 1);
        QCOMPARE(store->revision(), 1);
    }

    void presentModelNeedsNoDownload()
    {
        auto store = makeStore();
        const SpeechModel model = store->catalog().at(4);
        QVERIFY(writeFile(store->filePath(model), "already here"));
        QSignalSpy active(store.get(), &ModelStore::activeDownloadsChanged);
        const auto download = store->startDownload(model);
        QVERIFY(download->isFinished());
        QVERIFY(download->outcome()->ok());
        QVERIFY(store->activeDownloads().isEmpty());
        QVERIFY(store->progress().isEmpty());
        QCOMPARE(active.size(), 0);
        QCOMPARE(m_server->requestCount(QStringLiteral("/models/") + model.fileName), 0);
        QCOMPARE(store->revision(), 0);
    }

    void deleteRemovesTheFile()
    {
        auto store = makeStore();
        const SpeechModel model = store->catalog().at(1);
        // Absent: no error, nothing changes.
        QVERIFY(store->deleteModel(model));
        QCOMPARE(store->revision(), 0);

        QVERIFY(writeFile(store->filePath(model), "model"));
        QVERIFY(store->isPresent(model));
        QVERIFY(store->deleteModel(model));
        QVERIFY(!store->isPresent(model));
        QCOMPARE(store->revision(), 1);
    }

    void deleteThatFailsReportsIt()
    {
        auto store = makeStore();
        const SpeechModel model = store->catalog().at(1);
        // A folder in the model's place cannot be removed as a file.
        QVERIFY(writeFile(store->filePath(model) + QStringLiteral("/inside"), "x"));
        const auto deleted = store->deleteModel(model);
        QVERIFY(!deleted);
        QVERIFY(!deleted.error().isEmpty());
        QVERIFY(store->isPresent(model));
        QCOMPARE(store->revision(), 0);
    }

    void shippedModelIsPutInPlace()
    {
        const QString shipped = m_home->filePath(QStringLiteral("shipped/ggml-tiny.en-q5_1.bin"));
        QVERIFY(writeFile(shipped, "shipped pocket"));

        auto store = makeStore(shipped);
        const SpeechModel pocket = store->catalog().first();
        QCOMPARE(store->revision(), 1);
        QCOMPARE(readFile(store->filePath(pocket)), QByteArray("shipped pocket"));
        store.reset();

        // Present already: left alone.
        QVERIFY(writeFile(AppPaths::models() + QStringLiteral("/ggml-tiny.en-q5_1.bin"), "downloaded"));
        store = makeStore(shipped);
        QCOMPARE(store->revision(), 0);
        QCOMPARE(readFile(store->filePath(pocket)), QByteArray("downloaded"));
        store.reset();

        // Nothing shipped: nothing happens.
        QVERIFY(QFile::remove(AppPaths::models() + QStringLiteral("/ggml-tiny.en-q5_1.bin")));
        store = makeStore(std::nullopt);
        QCOMPARE(store->revision(), 0);
        QVERIFY(!store->isPresent(pocket));
    }

    void leftoverPartialDownloadsAreRemovedAtStart()
    {
        QVERIFY(AppPaths::prepare());
        QVERIFY(writeFile(AppPaths::models() + QStringLiteral("/.ggml-small-q5_1.bin.Ab12Cd.download"), "half"));
        QVERIFY(writeFile(AppPaths::models() + QStringLiteral("/ggml-small-q5_1.bin"), "whole"));
        auto store = makeStore();
        QCOMPARE(filesIn(AppPaths::models()), QStringList{QStringLiteral("ggml-small-q5_1.bin")});
    }

    void storeGoneMidDownloadCancelsIt()
    {
        auto store = makeStore();
        const SpeechModel model = store->catalog().at(1);
        LoopbackHttpServer::Response slow;
        slow.body = payload(1024 * 1024);
        slow.chunkSize = 16 * 1024;
        slow.chunkDelay = 20;
        m_server->route(QStringLiteral("/models/") + model.fileName, slow);
        const auto download = store->startDownload(model);
        QTRY_VERIFY(store->progress().value(model.id) > 0);
        store.reset();
        QVERIFY(download->isFinished());
        QCOMPARE(download->outcome()->error().kind(), Kind::Cancelled);
        QCOMPARE(filesIn(AppPaths::models()), QStringList{});
    }

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<LoopbackHttpServer> m_server;
};

QTEST_GUILESS_MAIN(ModelStoreTest)
#include "tst_model_store.moc"
