// CreateFileA and CloseHandle: files opened, made or emptied, folders opened with backup
// semantics, and links opened themselves with FILE_FLAG_OPEN_REPARSE_POINT. Every other
// CreateFileA follows a link, as Windows' does.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostHandles.h"
#include "HostOpenFile.h"
#include "HostPath.h"
#include "HostPowerCut.h"
#include "HostShares.h"

using namespace hostfs;

namespace {

// READ_CONTROL: the owner, which HasTrustedOwner reads. FILE_APPEND_DATA alone writes at the
// end, whoever else writes there meanwhile.
const DWORD kKnownAccess = GENERIC_READ | GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES |
                           FILE_WRITE_ATTRIBUTES | READ_CONTROL | FILE_APPEND_DATA;
const DWORD kWriting = GENERIC_WRITE | FILE_APPEND_DATA;
const DWORD kKnownFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS |
                          FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL;

int OpenFd(const std::string& posixPath, int flags) {
    // Non-blocking so a FIFO can't hang the open; it is refused below anyway.
    return open(posixPath.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

// What Windows refuses to open as it is asked, or ERROR_SUCCESS.
DWORD Refusal(const struct stat& st, const std::string& posixPath, DWORD access, DWORD flags,
              DWORD disposition) {
    if (S_ISLNK(st.st_mode))
        return ERROR_SUCCESS; // the link itself, FILE_FLAG_OPEN_REPARSE_POINT
    if (S_ISDIR(st.st_mode))
        return flags & FILE_FLAG_BACKUP_SEMANTICS ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    if (!S_ISREG(st.st_mode))
        return ERROR_ACCESS_DENIED; // devices and pipes are not files
    if ((access & kWriting) && IsReadOnly(st))
        return ERROR_ACCESS_DENIED;
    if (disposition == CREATE_ALWAYS) {
        // Only a hidden or system file makes a hidden or system file anew.
        const DWORD guarded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (ReadXattrBits(posixPath.c_str()) & guarded & ~flags)
            return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

int OpenFlags(const struct stat& st, DWORD access, DWORD disposition) {
    if (S_ISLNK(st.st_mode))
        return O_PATH | O_NOFOLLOW;
    if (S_ISDIR(st.st_mode))
        return O_RDONLY | O_DIRECTORY;
    if (access & FILE_APPEND_DATA)
        return (access & GENERIC_READ ? O_RDWR : O_WRONLY) | O_APPEND;
    int flags = access & GENERIC_WRITE ? O_RDWR : O_RDONLY;
    return disposition == CREATE_ALWAYS ? flags | O_TRUNC : flags;
}

} // namespace

extern "C" HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* /*security*/,
                              DWORD disposition, DWORD flags, HANDLE /*templateFile*/) {
    if ((access & ~kKnownAccess) || (flags & ~kKnownFlags) || disposition < CREATE_NEW ||
        disposition > OPEN_EXISTING)
        return FailHandle(ERROR_NOT_SUPPORTED);
    if (disposition != OPEN_EXISTING && !(access & FILE_APPEND_DATA))
        access |= GENERIC_WRITE;
    std::string posixPath;
    if (const DWORD error = ToPosixPath(path, posixPath))
        return FailHandle(error);
    const bool followLinks = !(flags & FILE_FLAG_OPEN_REPARSE_POINT);
    struct stat st;
    int err = StatRegardlessOfCase(posixPath, st, followLinks);
    if (err == 0 && disposition == CREATE_NEW)
        return FailHandle(ERROR_FILE_EXISTS);
    if (err == ENOENT && disposition != OPEN_EXISTING) {
        // Exclusive: a name that came meanwhile, a dangling link among them, is not written.
        const int append = access & FILE_APPEND_DATA ? O_APPEND : 0;
        const int fd = OpenFd(posixPath, O_RDWR | O_CREAT | O_EXCL | append);
        if (fd < 0)
            return FailHandle(PathError(errno, posixPath));
        fchmod(fd, 0644);
        NoteCreate(posixPath);
        if (fstat(fd, &st) != 0) {
            close(fd);
            return FailHandle(ErrorFromErrno(errno));
        }
        return RegisterOpenFile(fd, st, access, share, posixPath);
    }
    if (err)
        return FailHandle(PathError(err, posixPath));
    if (const DWORD error = Refusal(st, posixPath, access, flags, disposition))
        return FailHandle(error);
    // Before the open empties it: a file held against writing stays as it is.
    if (disposition == CREATE_ALWAYS)
        if (const DWORD error = CheckShares(st, FILE_SHARE_WRITE))
            return FailHandle(error);
    const int fd = OpenFd(posixPath, OpenFlags(st, access, disposition));
    if (fd < 0)
        return FailHandle(PathError(errno, posixPath));
    return RegisterOpenFile(fd, st, access, share, posixPath);
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    return CloseLiveHandle<OpenFile>(handle, HandleKind::File, [](OpenFile& file) {
        ReleaseFile(&file);
        close(file.fd);
    });
}
