#include "FileDownload.h"

#include "Sha256.h"

#include <QCoroSignal>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopeGuard>

namespace sorvane {

QString DownloadError::message() const
{
    switch (m_kind) {
    case Kind::Network:
        return QStringLiteral("The download failed: ") + m_detail;
    case Kind::HttpStatus:
        return QStringLiteral("The download failed: the server answered with status %1.").arg(m_status);
    case Kind::Incomplete:
        return QStringLiteral("The download ended early (") + m_detail + QStringLiteral(").");
    case Kind::TimedOut:
        return QStringLiteral("The download stalled and was stopped.");
    case Kind::FileSystem:
        return QStringLiteral("The download could not be saved: ") + m_detail;
    }
    return {};
}

namespace {

bool isSuccessStatus(const QVariant &status)
{
    const int code = status.toInt();
    return code >= 200 && code <= 299;
}

} // namespace

QCoro::Task<Result<DownloadedFile, DownloadError>> downloadFile(QUrl url, QString folder,
                                                                std::function<void(qint64, qint64)> progress,
                                                                FileDownloadOptions options)
{
    auto file = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral(".sorvane-XXXXXX.download")));
    if (!file->open())
        co_return DownloadError::fileSystem(file->errorString());

    // One manager per transfer, owned by this frame: nothing outlives the download.
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(int(options.transferTimeout.count()));
    std::unique_ptr<QNetworkReply> reply(network.get(request));

    Sha256 hash;
    qint64 received = 0;
    std::optional<DownloadError> failure;
    const auto takeBody = [&] {
        if (failure || !reply->isOpen())
            return;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && !isSuccessStatus(status)) {
            // An error page is never a model file.
            failure = DownloadError::httpStatus(status.toInt());
            reply->abort();
            return;
        }
        const QByteArray bytes = reply->readAll();
        if (bytes.isEmpty())
            return;
        if (file->write(bytes) != bytes.size()) {
            failure = DownloadError::fileSystem(file->errorString());
            reply->abort();
            return;
        }
        if (options.computeSha256)
            hash.addData(bytes);
        received += bytes.size();
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), takeBody);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
                     [&progress, &failure](qint64 bytesReceived, qint64 bytesTotal) {
                         if (progress && !failure)
                             progress(bytesReceived, bytesTotal);
                     });

    // The handlers above refer to this frame: they go before anything they use.
    const auto detach = qScopeGuard([&reply] { reply->disconnect(); });

    if (!reply->isFinished())
        co_await qCoro(reply.get(), &QNetworkReply::finished);
    takeBody(); // whatever arrived with the end of the reply

    if (failure)
        co_return *failure;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && !isSuccessStatus(status))
        co_return DownloadError::httpStatus(status.toInt());
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError: // what a transfer time-out ends with
    case QNetworkReply::TimeoutError:
        co_return DownloadError::timedOut();
    default:
        co_return DownloadError::network(reply->errorString());
    }
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && received < announced.toLongLong())
        co_return DownloadError::incomplete(received, announced.toLongLong());
    if (!file->flush())
        co_return DownloadError::fileSystem(file->errorString());
    file->close();

    DownloadedFile downloaded;
    downloaded.size = received;
    if (options.computeSha256)
        downloaded.sha256 = hash.hexDigest();
    downloaded.file = std::move(file);
    co_return downloaded;
}

} // namespace sorvane
