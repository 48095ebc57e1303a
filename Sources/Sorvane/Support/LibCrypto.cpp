#include "Support/LibCrypto.h"

#include <QLibrary>
#include <QLoggingCategory>

namespace sorvane {

Q_LOGGING_CATEGORY(libCryptoLog, "sorvane.crypto")

namespace {

std::optional<LibCrypto> load()
{
    // The major version the program was built against: its functions have this shape.
    static QLibrary library(QStringLiteral("crypto"), OPENSSL_VERSION_MAJOR);
    if (!library.load()) {
        qCWarning(libCryptoLog).noquote() << "could not load libcrypto:" << library.errorString();
        return std::nullopt;
    }
    bool complete = true;
    auto resolve = [&](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
        if (!function) {
            qCWarning(libCryptoLog) << "libcrypto has no" << name;
            complete = false;
        }
    };
    LibCrypto functions{};
    resolve(functions.mdCtxNew, "EVP_MD_CTX_new");
    resolve(functions.mdCtxFree, "EVP_MD_CTX_free");
    resolve(functions.sha256, "EVP_sha256");
    resolve(functions.digestInit, "EVP_DigestInit_ex");
    resolve(functions.digestUpdate, "EVP_DigestUpdate");
    resolve(functions.digestFinal, "EVP_DigestFinal_ex");
    resolve(functions.newRawPublicKey, "EVP_PKEY_new_raw_public_key");
    resolve(functions.keyFree, "EVP_PKEY_free");
    resolve(functions.digestVerifyInit, "EVP_DigestVerifyInit");
    resolve(functions.digestVerify, "EVP_DigestVerify");
    if (!complete)
        return std::nullopt;
    return functions;
}

} // namespace

const LibCrypto *LibCrypto::get()
{
    static const std::optional<LibCrypto> functions = load();
    return functions ? &*functions : nullptr;
}

} // namespace sorvane
