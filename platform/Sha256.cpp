// Reading the file is the same on both builds; only the hash is the platform's.
#include "Sha256.h"

namespace {

// Large enough that the per-call cost vanishes, small enough that the window is served often.
const DWORD kChunk = 256 * 1024;

} // namespace

DWORD CSha256::HashFile(const char* path, Sha256Digest& digest, uint64_t& size, CKeepAlive& alive) {
    size = 0;
    // The pass has just written and closed the file; a scanner may be reading it meanwhile,
    // and nothing may write to it while it is hashed.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    const DWORD error = HashOpenFile(file, digest, size, alive);
    CloseHandle(file);
    SetLastError(error);
    return error;
}

DWORD CSha256::HashOpenFile(HANDLE file, Sha256Digest& digest, uint64_t& size, CKeepAlive& alive) {
    size = 0;
    if (!m_buffer)
        m_buffer.reset(new unsigned char[kChunk]);
    DWORD error = Start();
    while (error == ERROR_SUCCESS) {
        alive.Serve();
        DWORD read = 0;
        if (!ReadFile(file, m_buffer.get(), kChunk, &read, nullptr))
            error = GetLastError();
        else if (read == 0)
            break;
        else
            error = Add(m_buffer.get(), read);
        size += read;
    }
    if (error == ERROR_SUCCESS)
        error = Finish(digest);
    SetLastError(error);
    return error;
}
