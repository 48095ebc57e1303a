#include "Support/Sha256.h"

#include <QCoroFuture>
#include <QFile>
#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include "Support/LibCrypto.h"

#include <memory>

namespace sorvane {

struct Sha256::Context {
    const LibCrypto *crypto = LibCrypto::get();
    EVP_MD_CTX *digest = crypto ? crypto->mdCtxNew() : nullptr;
    ~Context()
    {
        if (digest)
            crypto->mdCtxFree(digest);
    }
};

Sha256::Sha256() : m_context(new Context)
{
    if (m_context->digest && m_context->crypto->digestInit(m_context->digest, m_context->crypto->sha256(), nullptr) != 1) {
        m_context->crypto->mdCtxFree(m_context->digest);
        m_context->digest = nullptr;
    }
}

bool Sha256::isAvailable()
{
    return LibCrypto::get() != nullptr;
}

Sha256::~Sha256()
{
    delete m_context;
}

void Sha256::addData(QByteArrayView bytes)
{
    if (m_context->digest)
        m_context->crypto->digestUpdate(m_context->digest, bytes.data(), size_t(bytes.size()));
}

QString Sha256::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_context->digest || m_context->crypto->digestFinal(m_context->digest, digest, &length) != 1)
        return {};
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex());
}

Result<QString, FileReadError> Sha256::ofFile(const QString &path)
{
    if (!isAvailable())
        return FileReadError{QStringLiteral("The file's SHA-256 digest cannot be computed: libcrypto could not be loaded.")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileReadError{file.errorString()};
    constexpr qint64 chunkSize = 1 << 20;
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    Sha256 hash;
    for (;;) {
        const qint64 read = file.read(chunk.data(), chunkSize);
        if (read < 0)
            return FileReadError{file.errorString()};
        if (read == 0)
            break;
        hash.addData(QByteArrayView(chunk.constData(), read));
    }
    return hash.hexDigest();
}

QCoro::Task<Result<QString, FileReadError>> Sha256::ofFileInBackground(QString path)
{
    auto promise = std::make_shared<QPromise<Result<QString, FileReadError>>>();
    QFuture<Result<QString, FileReadError>> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, path] {
        promise->addResult(ofFile(path));
        promise->finish();
    });
    co_await future;
    co_return future.result();
}

} // namespace sorvane
