// SHA-256 from OpenSSL's libcrypto, as the Linux stand-in for Windows' CNG.
#include <openssl/evp.h>

#include "HostErrors.h"
#include "Sha256.h"

struct CSha256::Provider {
    EVP_MD* algorithm = nullptr;
    EVP_MD_CTX* hash = nullptr;
};

CSha256::CSha256() : m_provider(new Provider) {}

CSha256::~CSha256() {
    EVP_MD_CTX_free(m_provider->hash);
    EVP_MD_free(m_provider->algorithm);
    delete m_provider;
}

DWORD CSha256::Start() {
    if (!m_provider->algorithm)
        m_provider->algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    if (!m_provider->hash)
        m_provider->hash = EVP_MD_CTX_new();
    if (!m_provider->algorithm || !m_provider->hash)
        return ERROR_NOT_ENOUGH_MEMORY;
    return EVP_DigestInit_ex(m_provider->hash, m_provider->algorithm, nullptr) ? ERROR_SUCCESS
                                                                               : ERROR_GEN_FAILURE;
}

DWORD CSha256::Add(const unsigned char* data, DWORD length) {
    return EVP_DigestUpdate(m_provider->hash, data, length) ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

DWORD CSha256::Finish(Sha256Digest& digest) {
    unsigned int length = 0;
    return EVP_DigestFinal_ex(m_provider->hash, digest.bytes, &length) &&
                   length == sizeof digest.bytes
               ? ERROR_SUCCESS
               : ERROR_GEN_FAILURE;
}
