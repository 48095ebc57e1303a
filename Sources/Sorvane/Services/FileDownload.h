#pragma once

#include "Result.h"

#include <QCoroTask>
#include <QString>
#include <QTemporaryFile>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

namespace sorvane {

// Why a download produced no file.
class DownloadError {
public:
    enum class Kind {
        Network,    // the transfer failed (connection refused, reset, TLS ...)
        HttpStatus, // the server answered with a status outside 200-299
        Incomplete, // the body ended before the length the server announced
        TimedOut,   // no data arrived for the whole transfer time-out
        FileSystem, // the temporary file could not be created or written
    };

    static DownloadError network(QString detail) { return {Kind::Network, 0, std::move(detail)}; }
    static DownloadError httpStatus(int status) { return {Kind::HttpStatus, status, {}}; }
    static DownloadError incomplete(qint64 received, qint64 expected)
    {
        return {Kind::Incomplete, 0, QStringLiteral("%1 of %2 bytes").arg(received).arg(expected)};
    }
    static DownloadError timedOut() { return {Kind::TimedOut, 0, {}}; }
    static DownloadError fileSystem(QString detail) { return {Kind::FileSystem, 0, std::move(detail)}; }

    Kind kind() const { return m_kind; }
    int httpStatus() const { return m_status; }
    const QString &detail() const { return m_detail; }
    QString message() const;

    friend bool operator==(const DownloadError &, const DownloadError &) = default;

private:
    DownloadError(Kind kind, int status, QString detail) : m_kind(kind), m_status(status), m_detail(std::move(detail)) {}
    Kind m_kind;
    int m_status;
    QString m_detail;
};

// A file that has fully arrived. It lies in a temporary file in the folder it was
// downloaded to (so the final move is a rename on the same file system), and that file
// is removed when this object goes, unless it was renamed into place first.
struct DownloadedFile {
    std::unique_ptr<QTemporaryFile> file;
    qint64 size = 0;
    QString sha256; // lower-case hexadecimal, computed while the bytes arrived; empty unless asked for
};

struct FileDownloadOptions {
    // The transfer is abandoned when no byte arrives for this long.
    std::chrono::milliseconds transferTimeout = std::chrono::seconds(60);
    bool computeSha256 = false;
};

// Fetches `url` into a temporary file in `folder`, on the main loop. `progress` is called
// with the bytes received and the total the server announced (-1 when it announced none).
// Every failure removes the temporary file. Redirects are followed (not to a less safe scheme).
QCoro::Task<Result<DownloadedFile, DownloadError>> downloadFile(QUrl url, QString folder,
                                                                std::function<void(qint64, qint64)> progress,
                                                                FileDownloadOptions options = {});

} // namespace sorvane
