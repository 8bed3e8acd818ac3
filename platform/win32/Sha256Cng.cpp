// SHA-256 from Windows' CNG. bcrypt.dll is loaded at run time from the system folder, never
// from beside the program (an import would let a planted copy in the Downloads folder load).
#include "Sha256.h"

#include <bcrypt.h>

#include "OptionalApi.h"

namespace {

using OpenAlgorithmFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using CloseAlgorithmFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
using CreateHashFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG,
                                       PUCHAR, ULONG, ULONG);
using HashDataFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using FinishHashFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using DestroyHashFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);

struct Cng {
    DWORD error = ERROR_SUCCESS;
    OpenAlgorithmFn openAlgorithm;
    CloseAlgorithmFn closeAlgorithm;
    CreateHashFn createHash;
    HashDataFn hashData;
    FinishHashFn finishHash;
    DestroyHashFn destroyHash;
};

template <typename Fn> Fn Lookup(HMODULE module, const char* name, DWORD& error) {
    const Fn fn = optional_api::Find<Fn>(module, name);
    if (!fn && error == ERROR_SUCCESS)
        error = ERROR_PROC_NOT_FOUND;
    return fn;
}

// Loaded once for the process and kept.
const Cng& Functions() {
    static const Cng cng = [] {
        Cng c;
        HMODULE module = optional_api::LoadFromSystemFolder("bcrypt.dll");
        if (!module)
            c.error = GetLastError() ? GetLastError() : ERROR_MOD_NOT_FOUND;
        c.openAlgorithm = Lookup<OpenAlgorithmFn>(module, "BCryptOpenAlgorithmProvider", c.error);
        c.closeAlgorithm =
            Lookup<CloseAlgorithmFn>(module, "BCryptCloseAlgorithmProvider", c.error);
        c.createHash = Lookup<CreateHashFn>(module, "BCryptCreateHash", c.error);
        c.hashData = Lookup<HashDataFn>(module, "BCryptHashData", c.error);
        c.finishHash = Lookup<FinishHashFn>(module, "BCryptFinishHash", c.error);
        c.destroyHash = Lookup<DestroyHashFn>(module, "BCryptDestroyHash", c.error);
        return c;
    }();
    return cng;
}

// CNG answers in NTSTATUS; the pass speaks Win32 errors.
DWORD ErrorOf(NTSTATUS status) {
    if (status >= 0)
        return ERROR_SUCCESS;
    return static_cast<DWORD>(status) == 0xC0000017 ? ERROR_NOT_ENOUGH_MEMORY // STATUS_NO_MEMORY
                                                    : ERROR_INTERNAL_ERROR;
}

} // namespace

struct CSha256::Provider {
    const Cng* cng = nullptr; // set with the algorithm
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    void DropHash() {
        if (hash)
            cng->destroyHash(hash);
        hash = nullptr;
    }
};

CSha256::CSha256() : m_provider(new Provider) {}

CSha256::~CSha256() {
    m_provider->DropHash();
    if (m_provider->algorithm)
        m_provider->cng->closeAlgorithm(m_provider->algorithm, 0);
    delete m_provider;
}

DWORD CSha256::Start() {
    if (!m_provider->algorithm) {
        const Cng& cng = Functions();
        if (cng.error != ERROR_SUCCESS)
            return cng.error;
        m_provider->cng = &cng;
        const NTSTATUS status =
            cng.openAlgorithm(&m_provider->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        if (status < 0) {
            m_provider->algorithm = nullptr;
            return ErrorOf(status);
        }
    }
    m_provider->DropHash();
    // CNG keeps the hash object itself (Windows 7 and later).
    return ErrorOf(m_provider->cng->createHash(m_provider->algorithm, &m_provider->hash, nullptr, 0,
                                               nullptr, 0, 0));
}

DWORD CSha256::Add(const unsigned char* data, DWORD length) {
    return ErrorOf(
        m_provider->cng->hashData(m_provider->hash, const_cast<unsigned char*>(data), length, 0));
}

DWORD CSha256::Finish(Sha256Digest& digest) {
    const DWORD error = ErrorOf(
        m_provider->cng->finishHash(m_provider->hash, digest.bytes, sizeof digest.bytes, 0));
    m_provider->DropHash();
    return error;
}
