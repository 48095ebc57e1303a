#include "Services/Shared/FileDownload.h"

#include <QCoroSignal>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>


#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sorvane {

QString DownloadError::message() const
{
    switch (m_kind) {
    case Kind::Network:
        return m_detail.isEmpty() ? QStringLiteral("The download failed.") : m_detail;
    case Kind::HttpStatus:
        return QStringLiteral("The server answered the download with HTTP status %1.").arg(m_status);
    case Kind::Truncated:
        return QStringLiteral("The download ended early: %1 of %2 bytes arrived.").arg(m_received).arg(m_expected);
    case Kind::TimedOut:
        return QStringLiteral("The download stalled and timed out.");
    case Kind::DigestMismatch:
        return QStringLiteral("The downloaded file failed its integrity check.");
    case Kind::FileSystem:
        return m_detail.isEmpty() ? QStringLiteral("The downloaded file could not be saved.") : m_detail;
    case Kind::Cancelled:
        return QStringLiteral("The download was cancelled.");
    case Kind::WebPage:
        return QStringLiteral("The server sent a web page instead of the model file. If this network asks you to "
                              "sign in, do that first and try again.");
    }
    return {};
}

FileDownload::FileDownload(QNetworkAccessManager *network, QUrl url, Options options, QObject *parent)
    : QObject(parent), m_network(network), m_url(std::move(url)), m_options(std::move(options))
{
    if (m_options.folder.isEmpty() && !m_options.destination.isEmpty())
        m_options.folder = QFileInfo(m_options.destination).absolutePath();
    if (m_options.folder.isEmpty())
        m_options.folder = QDir::tempPath();
}

FileDownload::~FileDownload()
{
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
        m_reply->deleteLater();
    }
    // m_file removes an unfinished temporary file as it goes.
}

void FileDownload::start()
{
    if (m_reply || m_outcome)
        return;
    if (!m_network)
        return finish(DownloadError::network(QStringLiteral("No network access.")));

    // Hidden, and never the destination's own name, so a half-written file is never
    // taken for a finished one.
    const QString base = m_options.destination.isEmpty() ? QStringLiteral("download")
                                                         : QFileInfo(m_options.destination).fileName();
    m_file = std::make_unique<QTemporaryFile>(m_options.folder + QStringLiteral("/.") + base
                                              + QStringLiteral(".XXXXXX.download"));
    if (!m_file->open())
        return finish(DownloadError::fileSystem(m_file->errorString()));
    if (m_options.hash)
        m_hash.emplace(*m_options.hash);

    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // Byte counts must be those of the file itself.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(int(m_options.transferTimeout.count()));
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &FileDownload::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &FileDownload::replyFinished);
}

void FileDownload::abort()
{
    if (m_outcome)
        return;
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
    else
        finish(DownloadError::cancelled());
}

namespace {

// By what the server says it sent, or by how the body begins when it says nothing useful.
bool isWebPage(QNetworkReply *reply, const QByteArray &firstBytes)
{
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString().trimmed().toLower();
    if (type.startsWith(QLatin1String("text/html")) || type.startsWith(QLatin1String("application/xhtml")))
        return true;
    const QByteArray start = firstBytes.left(256).trimmed().toLower();
    return start.startsWith("<!doctype html") || start.startsWith("<html");
}

} // namespace

bool FileDownload::statusIsAcceptable()
{
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return m_url.scheme() != QLatin1String("http") && m_url.scheme() != QLatin1String("https");
    const int code = status.toInt();
    return code >= 200 && code <= 299;
}

void FileDownload::readAvailable()
{
    if (!m_reply)
        return;
    if (m_error) {
        m_reply->readAll();
        return;
    }
    if (!statusIsAcceptable()) {
        // An error page is no model file: it is read and dropped (Qt ends such a
        // reply with an error of its own).
        m_error = DownloadError::httpStatus(m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
        m_reply->readAll();
        return;
    }
    const QByteArray bytes = m_reply->readAll();
    if (bytes.isEmpty())
        return;
    if (m_options.refuseWebPages && m_received == 0 && isWebPage(m_reply, bytes)) {
        m_error = DownloadError::webPage();
        m_reply->abort();
        return;
    }
    if (m_file->write(bytes) != bytes.size()) {
        m_error = DownloadError::fileSystem(m_file->errorString());
        m_reply->abort();
        return;
    }
    if (m_hash)
        m_hash->addData(bytes);
    m_received += bytes.size();
    // The announced length only: Qt's own progress reports a length at the end even
    // when the server sent none.
    bool lengthKnown = false;
    const qint64 total = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&lengthKnown);
    Q_EMIT progress(m_received, lengthKnown ? total : -1);
}

void FileDownload::replyFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    if (!m_error && reply->error() == QNetworkReply::NoError)
        readAvailable();
    m_reply = nullptr;
    reply->deleteLater();

    if (m_error)
        return fail(*m_error);
    if (m_cancelled)
        return fail(DownloadError::cancelled());
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        return fail(DownloadError::httpStatus(status.toInt()));
    // We did not cancel, so a cancelled transfer is the transfer time-out's doing.
    if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
        return fail(DownloadError::timedOut());
    bool lengthKnown = false;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&lengthKnown);
    if (lengthKnown && m_received < announced)
        return fail(DownloadError::truncated(m_received, announced));
    if (reply->error() != QNetworkReply::NoError)
        return fail(DownloadError::network(reply->errorString()));

    if (!m_file->flush()) {
        return fail(DownloadError::fileSystem(m_file->errorString()));
    }
    DownloadedFile file{m_file->fileName(), m_received, m_hash ? m_hash->result() : QByteArray()};
    if (m_options.expectedHexDigest && QString::fromLatin1(file.digest.toHex()) != *m_options.expectedHexDigest)
        return fail(DownloadError::digestMismatch());
    m_file->close();
    if (!m_options.destination.isEmpty()) {
        auto moved = moveIntoPlace(file.path, m_options.destination);
        if (!moved)
            return fail(moved.error());
        m_file->setAutoRemove(false);
        file.path = m_options.destination;
    } else {
        m_file->setAutoRemove(false);
    }
    m_file.reset();
    finish(std::move(file));
}

void FileDownload::fail(const DownloadError &error)
{
    if (m_file) {
        m_file->close();
        m_file->remove();
        m_file.reset();
    }
    finish(error);
}

void FileDownload::finish(Outcome outcome)
{
    if (m_outcome)
        return;
    m_outcome = std::move(outcome);
    Q_EMIT finished();
}

Result<Done, DownloadError> FileDownload::moveIntoPlace(const QString &from, const QString &to)
{
    // rename(2) replaces the old file atomically: the old model stays usable until
    // the new one is complete.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        const int error = errno;
        return DownloadError::fileSystem(QStringLiteral("Could not move the download to \u201c%1\u201d: %2")
                                             .arg(to, QString::fromLocal8Bit(std::strerror(error))));
    }
    return Done{};
}

QCoro::Task<FileDownload::Outcome> downloadFile(QNetworkAccessManager *network, QUrl url,
                                                FileDownload::Options options,
                                                std::function<void(qint64, qint64)> progress)
{
    auto download = std::make_unique<FileDownload>(network, std::move(url), std::move(options));
    if (progress)
        QObject::connect(download.get(), &FileDownload::progress, download.get(), progress);
    download->start();
    if (!download->isFinished())
        co_await qCoro(download.get(), &FileDownload::finished);
    co_return *download->outcome();
}

} // namespace sorvane
