#pragma once

#include "Support/Result.h"

#include <chrono>
#include <QByteArray>
#include <QCoroTask>
#include <QCryptographicHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

namespace sorvane {

// Why a download failed.
class DownloadError {
public:
    enum class Kind {
        Network,        // the transfer failed (the network layer's own message)
        HttpStatus,     // the server answered outside 200-299
        Truncated,      // fewer bytes arrived than the server announced
        TimedOut,       // nothing arrived for the transfer time-out
        DigestMismatch, // the file's digest is not the expected one
        FileSystem,     // the temporary file could not be written or moved into place
        Cancelled,
        WebPage,        // a web page came in place of the file (a network's sign-in page)
    };

    DownloadError() = default;
    static DownloadError network(QString detail) { return {Kind::Network, std::move(detail)}; }
    static DownloadError httpStatus(int status) { return {Kind::HttpStatus, {}, status}; }
    static DownloadError truncated(qint64 received, qint64 expected)
    {
        return {Kind::Truncated, {}, 0, received, expected};
    }
    static DownloadError timedOut() { return {Kind::TimedOut, {}}; }
    static DownloadError digestMismatch() { return {Kind::DigestMismatch, {}}; }
    static DownloadError fileSystem(QString detail) { return {Kind::FileSystem, std::move(detail)}; }
    static DownloadError cancelled() { return {Kind::Cancelled, {}}; }
    static DownloadError webPage() { return {Kind::WebPage, {}}; }

    Kind kind() const { return m_kind; }
    int httpStatus() const { return m_status; }
    QString message() const;

    friend bool operator==(const DownloadError &, const DownloadError &) = default;

private:
    DownloadError(Kind kind, QString detail, int status = 0, qint64 received = 0, qint64 expected = 0)
        : m_kind(kind), m_detail(std::move(detail)), m_status(status), m_received(received), m_expected(expected)
    {
    }
    Kind m_kind = Kind::Network;
    QString m_detail;
    int m_status = 0;
    qint64 m_received = 0;
    qint64 m_expected = 0;
};

// A finished download: where the file is now, its size, and its digest when one
// was asked for.
struct DownloadedFile {
    QString path;
    qint64 size = 0;
    QByteArray digest; // raw bytes; empty unless a hash was requested
};

// One HTTP(S) download, streamed into a temporary file in the folder where it will
// live (so the final move is a rename on one file system), optionally hashed while
// it streams, and moved into place only when complete and correct. Redirects are
// followed. Whatever fails, no partial file is left behind under any name.
class FileDownload : public QObject {
    Q_OBJECT
public:
    struct Options {
        // The finished file's path. When empty, the finished temporary file is
        // handed over to the caller, who moves or deletes it.
        QString destination;
        // Where the temporary file is made; the destination's folder when empty.
        QString folder;
        // Nothing received for this long fails the download.
        std::chrono::milliseconds transferTimeout = std::chrono::seconds(60);
        std::optional<QCryptographicHash::Algorithm> hash;
        // When set (lower-case hexadecimal, compared exactly), a different digest
        // fails the download and nothing is moved into place.
        std::optional<QString> expectedHexDigest;
        // A body that is an HTML page (a captive portal's sign-in page, say) fails the
        // download, for files that are never web pages.
        bool refuseWebPages = false;
    };

    using Outcome = Result<DownloadedFile, DownloadError>;

    FileDownload(QNetworkAccessManager *network, QUrl url, Options options, QObject *parent = nullptr);
    ~FileDownload() override;

    void start();
    // Ends a running download as cancelled.
    void abort();
    bool isFinished() const { return m_outcome.has_value(); }
    const std::optional<Outcome> &outcome() const { return m_outcome; }

    // Replaces `to` with `from` in one step (a rename).
    static Result<Done, DownloadError> moveIntoPlace(const QString &from, const QString &to);

Q_SIGNALS:
    // Bytes so far and the announced total (-1 when the server sent no length).
    void progress(qint64 received, qint64 total);
    void finished();

private:
    void readAvailable();
    void replyFinished();
    bool statusIsAcceptable();
    void finish(Outcome outcome);
    void fail(const DownloadError &error);

    QPointer<QNetworkAccessManager> m_network;
    QUrl m_url;
    Options m_options;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QTemporaryFile> m_file;
    std::optional<QCryptographicHash> m_hash;
    std::optional<DownloadError> m_error;
    std::optional<Outcome> m_outcome;
    qint64 m_received = 0;
    bool m_cancelled = false;
};

// The same as a coroutine, for flows that fetch one file after another.
QCoro::Task<FileDownload::Outcome> downloadFile(QNetworkAccessManager *network, QUrl url,
                                                FileDownload::Options options,
                                                std::function<void(qint64 received, qint64 total)> progress = {});

} // namespace sorvane
