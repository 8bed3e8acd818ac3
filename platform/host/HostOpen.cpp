// Opening existing files, and the handles that come of it.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HostErrors.h"
#include "HostHandles.h"
#include "HostPath.h"
#include "HostShares.h"

using namespace hostfs;

namespace {

struct OpenFile {
    int fd;
};

int OpenExisting(const std::string& posixPath, DWORD access) {
    // Non-blocking so a FIFO can't hang the open; it is refused below anyway.
    return open(posixPath.c_str(),
                (access & GENERIC_WRITE ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

} // namespace

extern "C" HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* /*security*/,
                              DWORD disposition, DWORD /*flags*/, HANDLE /*templateFile*/) {
    // An existing file: the installer reads, the tests also hold files as writers do.
    if ((access & ~(GENERIC_READ | GENERIC_WRITE)) != 0 || disposition != OPEN_EXISTING)
        return FailHandle(ERROR_NOT_SUPPORTED);
    std::string posixPath;
    if (const DWORD error = ToPosixPath(path, posixPath))
        return FailHandle(error);
    int fd = OpenExisting(posixPath, access);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR) &&
        FindRegardlessOfCase(posixPath, Leaf::FoldCase))
        fd = OpenExisting(posixPath, access);
    if (fd < 0)
        return FailHandle(PathError(errno, posixPath));
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // Folders need FILE_FLAG_BACKUP_SEMANTICS on Windows; devices and pipes are not files.
        close(fd);
        return FailHandle(ERROR_ACCESS_DENIED);
    }
    auto* file = new OpenFile{fd};
    if (const DWORD error = HoldFile(file, st, access, share)) {
        close(fd);
        delete file;
        return FailHandle(error);
    }
    RegisterHandle(file, HandleKind::File);
    return file;
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    return CloseLiveHandle<OpenFile>(handle, HandleKind::File, [](OpenFile& file) {
        ReleaseFile(&file);
        close(file.fd);
    });
}

extern "C" BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD size, DWORD* read,
                         void* /*overlapped*/) {
    *read = 0;
    auto* file = static_cast<OpenFile*>(LookupHandle(handle, HandleKind::File));
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    ssize_t n;
    do
        n = ::read(file->fd, buffer, size);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return Fail(errno == EIO ? ERROR_READ_FAULT : ErrorFromErrno(errno));
    *read = static_cast<DWORD>(n);
    return TRUE;
}
