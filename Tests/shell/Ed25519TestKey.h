#pragma once

#include <QByteArray>

#include <openssl/evp.h>

#include <memory>

namespace sorvane::testing {

// A fresh Ed25519 key pair made with OpenSSL, for signing test update files.
class Ed25519TestKey {
public:
    Ed25519TestKey() : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free) {}

    bool isValid() const { return m_key != nullptr; }

    QByteArray publicKey() const
    {
        QByteArray raw(32, '\0');
        size_t size = raw.size();
        if (!m_key || EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<unsigned char *>(raw.data()), &size) != 1)
            return {};
        raw.resize(qsizetype(size));
        return raw;
    }
    QByteArray publicKeyBase64() const { return publicKey().toBase64(); }

    QByteArray sign(const QByteArray &data) const
    {
        QByteArray signature(64, '\0');
        size_t size = signature.size();
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        if (!m_key || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1
            || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &size,
                              reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size())) != 1)
            return {};
        signature.resize(qsizetype(size));
        return signature;
    }
    QByteArray signBase64(const QByteArray &data) const { return sign(data).toBase64(); }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> m_key;
};

} // namespace sorvane::testing
