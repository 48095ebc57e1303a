#include "Services/Shell/Updater/Ed25519Signature.h"

#include <QFile>

#include "Support/LibCrypto.h"

#include <memory>

namespace sorvane {

namespace {

const QString improperlySigned = QStringLiteral("The update is improperly signed and could not be validated.");

// Strict base64: any character outside the alphabet makes the text invalid.
std::optional<QByteArray> strictBase64(const QByteArray &text)
{
    auto decoded = QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

} // namespace

Result<QByteArray, QString> Ed25519Signature::decodePublicKey(const QByteArray &base64)
{
    const auto key = strictBase64(base64);
    if (!key || key->size() != publicKeySize)
        return QStringLiteral("The update signing key is not a valid Ed25519 public key.");
    return *key;
}

Result<Done, QString> Ed25519Signature::verify(const QByteArray &publicKey, const QByteArray &signatureBase64,
                                               QByteArrayView data)
{
    if (publicKey.size() != publicKeySize)
        return QStringLiteral("The update signing key is not a valid Ed25519 public key.");
    const auto signature = strictBase64(signatureBase64);
    if (!signature || signature->size() != signatureSize)
        return improperlySigned;

    const LibCrypto *crypto = LibCrypto::get();
    if (!crypto)
        return QStringLiteral("The update's signature cannot be checked: libcrypto could not be loaded.");
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        crypto->newRawPublicKey(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(publicKey.constData()),
                                publicKeySize),
        crypto->keyFree);
    if (!key)
        return QStringLiteral("The update signing key is not a valid Ed25519 public key.");
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(crypto->mdCtxNew(), crypto->mdCtxFree);
    if (!context || crypto->digestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return improperlySigned;
    // Ed25519 signs the message itself, in one piece.
    const int verified = crypto->digestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature->constData()),
                                              signatureSize, reinterpret_cast<const unsigned char *>(data.data()),
                                              static_cast<size_t>(data.size()));
    if (verified != 1)
        return improperlySigned;
    return Done{};
}

Result<Done, QString> Ed25519Signature::verifyFile(const QByteArray &publicKey, const QByteArray &signatureBase64,
                                                   const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The downloaded update could not be read: %1").arg(file.errorString());
    if (file.size() == 0)
        return verify(publicKey, signatureBase64, QByteArrayView());
    const uchar *mapped = file.map(0, file.size());
    if (!mapped)
        return verify(publicKey, signatureBase64, file.readAll());
    auto result = verify(publicKey, signatureBase64,
                         QByteArrayView(reinterpret_cast<const char *>(mapped), file.size()));
    file.unmap(const_cast<uchar *>(mapped));
    return result;
}

} // namespace sorvane
