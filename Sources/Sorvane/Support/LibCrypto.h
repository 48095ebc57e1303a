#pragma once

#include <openssl/evp.h>

namespace sorvane {

// The few OpenSSL functions the program uses, from libcrypto loaded at their first use
// rather than linked: the library and its start-up cost then stay out of every launch
// that verifies no download and no update.
struct LibCrypto {
    decltype(&EVP_MD_CTX_new) mdCtxNew;
    decltype(&EVP_MD_CTX_free) mdCtxFree;
    decltype(&EVP_sha256) sha256;
    decltype(&EVP_DigestInit_ex) digestInit;
    decltype(&EVP_DigestUpdate) digestUpdate;
    decltype(&EVP_DigestFinal_ex) digestFinal;
    decltype(&EVP_PKEY_new_raw_public_key) newRawPublicKey;
    decltype(&EVP_PKEY_free) keyFree;
    decltype(&EVP_DigestVerifyInit) digestVerifyInit;
    decltype(&EVP_DigestVerify) digestVerify;

    // Loaded once, from any thread; null when the library or one of its functions is
    // missing (every caller then fails its operation rather than pass it).
    static const LibCrypto *get();
};

} // namespace sorvane
