// Reading and writing a file through its handle.
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostHandles.h"
#include "HostOpenFile.h"
#include "HostPowerCut.h"
#include "HostShares.h"

namespace hostfs {

HANDLE RegisterOpenFile(int fd, const struct stat& st, DWORD access, DWORD share,
                        const std::string& path) {
    auto* file = new OpenFile{fd, access, path};
    if (const DWORD error = HoldFile(file, st, access, share)) {
        close(fd);
        delete file;
        return FailHandle(error);
    }
    RegisterHandle(file, HandleKind::File);
    return file;
}

OpenFile* LookupOpenFile(HANDLE handle) {
    auto* file = static_cast<OpenFile*>(LookupHandle(handle, HandleKind::File));
    if (!file)
        SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

} // namespace hostfs

using namespace hostfs;

extern "C" BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD done, OVERLAPPED*) {
    const OpenFile* file = LookupOpenFile(handle);
    if (!file)
        return FALSE;
    if (!(file->access & GENERIC_READ))
        return Fail(ERROR_ACCESS_DENIED);
    ssize_t n;
    while ((n = read(file->fd, buffer, size)) < 0 && errno == EINTR) {
    }
    if (n < 0)
        return Fail(errno == EIO ? ERROR_READ_FAULT : ErrorFromErrno(errno));
    if (done)
        *done = static_cast<DWORD>(n);
    return TRUE;
}

extern "C" DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    const OpenFile* file = LookupOpenFile(handle);
    if (!file)
        return INVALID_SET_FILE_POINTER;
    if ((method != FILE_END && method != FILE_BEGIN) || distance != 0 ||
        (distanceHigh && *distanceHigh != 0)) {
        Fail(ERROR_NOT_SUPPORTED);
        return INVALID_SET_FILE_POINTER;
    }
    const off_t at = lseek(file->fd, 0, method == FILE_END ? SEEK_END : SEEK_SET);
    if (at < 0) {
        Fail(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}

extern "C" BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD size, LPDWORD done, OVERLAPPED*) {
    const OpenFile* file = LookupOpenFile(handle);
    if (!file)
        return FALSE;
    if (!(file->access & (GENERIC_WRITE | FILE_APPEND_DATA)))
        return Fail(ERROR_ACCESS_DENIED);
    DWORD written = 0;
    while (written < size) {
        const ssize_t n =
            write(file->fd, static_cast<const char*>(buffer) + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            NoteWritten(file->fd, written);
            if (done)
                *done = written;
            return Fail(err == EIO ? ERROR_WRITE_FAULT : ErrorFromErrno(err));
        }
        written += static_cast<DWORD>(n);
    }
    NoteWritten(file->fd, written);
    if (done)
        *done = written;
    return TRUE;
}

extern "C" BOOL FlushFileBuffers(HANDLE handle) {
    const OpenFile* file = LookupOpenFile(handle);
    if (!file)
        return FALSE;
    if (!(file->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    if (fsync(file->fd) != 0)
        return Fail(ErrorFromErrno(errno));
    NoteFlushed(file->fd);
    return TRUE;
}
