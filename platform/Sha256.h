// SHA-256 of a file, from the platform's own crypto library: CNG's bcrypt.dll on Windows,
// OpenSSL's libcrypto on Linux. One object per pass: the algorithm is opened once, on first use,
// and the read buffer kept.
#pragma once

#include <cstdint>
#include <memory>

#include "KeepAlive.h"
#include "WinApi.h"

struct Sha256Digest {
    unsigned char bytes[32];
};

class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // Hashes the file at path (Windows form, ANSI code page) with the window served between
    // chunks. ERROR_SUCCESS with its digest and the number of bytes hashed, or the Win32 error;
    // the error is also the last error.
    DWORD HashFile(const char* path, Sha256Digest& digest, uint64_t& size, CKeepAlive& alive);
    // The same over a file open for reading, from where its read position is.
    DWORD HashOpenFile(HANDLE file, Sha256Digest& digest, uint64_t& size, CKeepAlive& alive);

private:
    // The backend, one file per build: Start opens the algorithm if need be and begins a hash.
    struct Provider;
    DWORD Start();
    DWORD Add(const unsigned char* data, DWORD length);
    DWORD Finish(Sha256Digest& digest);

    Provider* m_provider;
    std::unique_ptr<unsigned char[]> m_buffer;
};
