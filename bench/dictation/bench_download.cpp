// Download throughput from a loopback HTTP server: our download against curl,
// fetching the same file from the same server.
#include "LoopbackHttpServer.h"
#include "Services/Shared/FileDownload.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

using namespace sorvane;
using namespace sorvane::testing;
using namespace sorvane::bench;

namespace {

constexpr qint64 fileSize = 512LL * 1024 * 1024;
constexpr int rounds = 5;

double best(const QList<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        std::fprintf(stderr, "curl is not installed\n");
        return 1;
    }
    QTemporaryDir folder;

    // The server runs on a thread of its own so that it does not share the event
    // loop with the download being measured.
    QThread serverThread;
    serverThread.start();
    auto *server = new LoopbackHttpServer;
    LoopbackHttpServer::Response file;
    file.body = QByteArray(fileSize, Qt::Uninitialized);
    for (qint64 i = 0; i < fileSize; i += 4096)
        file.body[i] = char(i / 4096);
    file.chunkSize = 1024 * 1024;
    server->route(QStringLiteral("/model.bin"), file);
    server->moveToThread(&serverThread);
    bool listening = false;
    QMetaObject::invokeMethod(server, [&] { listening = server->listen(); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        std::fprintf(stderr, "the loopback server did not start\n");
        return 1;
    }
    const QUrl url = server->url(QStringLiteral("/model.bin"));
    const QString destination = folder.filePath(QStringLiteral("model.bin"));

    QNetworkAccessManager network;
    QList<double> ours;
    QList<double> curl;
    // Round 0 warms up both (page cache, first connection) and is not counted.
    for (int round = 0; round <= rounds; ++round) {
        FileDownload::Options options;
        options.destination = destination;
        QElapsedTimer clock;
        clock.start();
        const auto outcome = [&] {
            FileDownload download(&network, url, options);
            QEventLoop loop;
            QObject::connect(&download, &FileDownload::finished, &loop, &QEventLoop::quit);
            download.start();
            if (!download.isFinished())
                loop.exec();
            return *download.outcome();
        }();
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (!outcome.ok() || outcome.value().size != fileSize) {
            std::fprintf(stderr, "download failed: %s\n",
                         outcome.ok() ? "wrong size" : qPrintable(outcome.error().message()));
            return 1;
        }
        if (round > 0)
            ours.append(fileSize / 1e6 / seconds);
        QFile::remove(destination);

        clock.restart();
        const int status = QProcess::execute(QStringLiteral("curl"),
                                             {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"),
                                              destination, url.toString()});
        const double curlSeconds = clock.nsecsElapsed() / 1e9;
        if (status != 0 || QFileInfo(destination).size() != fileSize) {
            std::fprintf(stderr, "curl failed (%d)\n", status);
            return 1;
        }
        if (round > 0)
            curl.append(fileSize / 1e6 / curlSeconds);
        QFile::remove(destination);
    }

    std::printf("rounds (Sorvane, curl):");
    for (int i = 0; i < rounds; ++i)
        std::printf(" (%.0f, %.0f)", ours.at(i), curl.at(i));
    std::printf("\n");
    std::printf("download of %lld MB from 127.0.0.1, %d rounds each (aim: at least 80 %% of curl)\n",
                fileSize / 1000000, rounds);
    std::printf("%10s %12s %12s\n", "", "median MB/s", "best MB/s");
    std::printf("%10s %12.0f %12.0f\n", "Sorvane", median(ours), best(ours));
    std::printf("%10s %12.0f %12.0f\n", "curl", median(curl), best(curl));
    std::printf("%10s %11.0f%% %11.0f%%\n", "ratio", 100 * median(ours) / median(curl), 100 * best(ours) / best(curl));
    printFigure("download from 127.0.0.1", ours, "MB/s", ">= 80 % of curl",
                QStringLiteral("curl %1 / %2 MB/s").arg(*std::min_element(curl.begin(), curl.end()), 0, 'f', 0).arg(median(curl), 0, 'f', 0));

    QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
