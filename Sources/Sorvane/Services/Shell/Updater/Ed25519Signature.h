#pragma once

#include "Support/Result.h"

#include <QByteArray>
#include <QString>

namespace sorvane {

// Ed25519 checks of update files, with OpenSSL. Keys and signatures travel as base64
// text; a key must decode to exactly 32 bytes and a signature to exactly 64.
class Ed25519Signature {
public:
    static constexpr qsizetype publicKeySize = 32;
    static constexpr qsizetype signatureSize = 64;

    // The raw key, or an error when the text is no base64 32-byte key.
    static Result<QByteArray, QString> decodePublicKey(const QByteArray &base64);

    // Whether `signatureBase64` signs all of `data` under `publicKey` (raw 32 bytes).
    static Result<Done, QString> verify(const QByteArray &publicKey, const QByteArray &signatureBase64,
                                        QByteArrayView data);

    // The same over a whole file, which is mapped rather than read.
    static Result<Done, QString> verifyFile(const QByteArray &publicKey, const QByteArray &signatureBase64,
                                            const QString &path);
};

} // namespace sorvane
