#pragma once

#include "Support/Result.h"

#include <QByteArrayView>
#include <QCoroTask>
#include <QString>

namespace sorvane {

// A file that could not be read, with the file system's message.
struct FileReadError {
    QString message;
};

// SHA-256 through OpenSSL, which uses the processor's SHA instructions where it has
// them: verifying a model file of several gigabytes then costs a fraction of a second
// per gigabyte (Qt's own portable code is several times slower).
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    // Whether OpenSSL could be loaded; without it every digest is empty.
    static bool isAvailable();

    void addData(QByteArrayView bytes);
    // The digest as 64 lower-case hexadecimal digits (empty without OpenSSL); the hash
    // cannot be fed afterwards.
    QString hexDigest();

    // The digest of a file, read 1 MiB at a time, so that memory stays constant.
    static Result<QString, FileReadError> ofFile(const QString &path);
    // The same on a worker thread, so that the main loop keeps running meanwhile.
    static QCoro::Task<Result<QString, FileReadError>> ofFileInBackground(QString path);

private:
    struct Context;
    Context *m_context;
};

} // namespace sorvane
