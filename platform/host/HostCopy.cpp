// CopyFileA as Windows does it: the target is opened, emptied and written in place. A copy
// that fails on the way removes the half-written target; a process killed on the way leaves
// it half-written. Whole-or-nothing is the installation pass's job, not this function's.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostNames.h"
#include "HostPath.h"
#include "HostShares.h"
#include "HostStreams.h"

using namespace hostfs;

namespace {

constexpr size_t kBufferSize = 256 * 1024;
// copy_file_range's steps.
constexpr size_t kChunk = size_t(1) << 20;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports what close said (a late write error on some file systems).
    int Close() {
        const int rc = close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

struct CopyError {
    int err = 0;
    bool writing = true;
};

DWORD ErrorOf(const CopyError& e) {
    if (e.err == EIO)
        return e.writing ? ERROR_WRITE_FAULT : ERROR_READ_FAULT;
    return ErrorFromErrno(e.err);
}

// Kept out of CopyContent so the large buffer is only on the stack when it is used.
__attribute__((noinline)) CopyError ReadWrite(int in, int out) {
    char buffer[kBufferSize];
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            return {};
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {errno, false};
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t written = write(out, buffer + done, static_cast<size_t>(n - done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return {errno, true};
            }
            done += written;
        }
    }
}

CopyError CopyContent(int in, int out, off_t size) {
    // An empty size may still mean content (/proc and the like): read those to the end.
    for (off_t copied = 0; copied < size;) {
        const auto chunk = static_cast<size_t>(std::min<off_t>(size - copied, kChunk));
        const ssize_t n = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n == 0)
            return {}; // it shrank meanwhile
        switch (errno) {
        case EINTR:
            continue;
        case EXDEV:
        case ENOSYS:
        case EINVAL:
        case EOPNOTSUPP:
        case EBADF:
            return ReadWrite(in, out); // both offsets have moved on by what was copied
        default:
            return {errno, true};
        }
    }
    return size > 0 ? CopyError{} : ReadWrite(in, out);
}

int OpenSource(std::string& posixPath) {
    // Non-blocking so a FIFO or a device can't hang us before fstat tells what it is.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = open(posixPath.c_str(), flags);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR) &&
        FindRegardlessOfCase(posixPath, Leaf::FoldCase))
        fd = open(posixPath.c_str(), flags);
    return fd;
}

std::string_view NameOf(const std::string& posixPath) {
    return std::string_view(posixPath).substr(posixPath.rfind('/') + 1);
}

// A target missing as spelled can still be the source under another case of its name.
bool IsSourceRegardlessOfCase(const std::string& source, const std::string& target) {
    if (!EqualIgnoringCase(Utf8ToCp1252(NameOf(source)), Utf8ToCp1252(NameOf(target))))
        return false;
    struct stat a, b;
    return stat(ParentOf(source).c_str(), &a) == 0 && stat(ParentOf(target).c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why an existing target must stay as it is, or ERROR_SUCCESS.
DWORD RefuseTarget(const struct stat& target, const std::string& targetPath,
                   const struct stat& source, DWORD sourceBits, bool failIfExists) {
    if (failIfExists)
        return ERROR_FILE_EXISTS;
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino)
        return ERROR_SHARING_VIOLATION; // Windows' answer: the source is open, not shared
    if (!S_ISREG(target.st_mode) || IsReadOnly(target))
        return ERROR_ACCESS_DENIED;
    // As CREATE_ALWAYS does: a hidden or system file is replaced only by one that is so too.
    const DWORD guarded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (ReadXattrBits(targetPath.c_str()) & guarded & ~sourceBits)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

} // namespace

extern "C" BOOL CopyFileA(LPCSTR source, LPCSTR target, BOOL failIfExists) {
    std::string from, to;
    if (const DWORD error = ToPosixPath(source, from))
        return Fail(error);
    if (const DWORD error = ToPosixPath(target, to))
        return Fail(error);

    Fd in(OpenSource(from));
    if (in.get() < 0)
        return Fail(PathError(errno, from));
    struct stat sourceStat;
    if (fstat(in.get(), &sourceStat) != 0)
        return Fail(ErrorFromErrno(errno));
    if (!S_ISREG(sourceStat.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (const DWORD error = CheckShares(sourceStat, FILE_SHARE_READ))
        return Fail(error);
    const DWORD sourceBits = ReadXattrBits(in.get());

    // Only the target's folders are found regardless of case: its name would take a scan
    // of the folder for every new file.
    int outFd = -1;
    bool existed = false;
    for (bool folded = false;;) {
        struct stat targetStat;
        existed = stat(to.c_str(), &targetStat) == 0;
        if (existed) {
            if (const DWORD error =
                    RefuseTarget(targetStat, to, sourceStat, sourceBits, failIfExists))
                return Fail(error);
            if (const DWORD error = CheckShares(targetStat, FILE_SHARE_WRITE))
                return Fail(error);
        } else if (errno == ENOENT || errno == ENOTDIR) {
            if (IsSourceRegardlessOfCase(from, to))
                return Fail(failIfExists ? ERROR_FILE_EXISTS : ERROR_SHARING_VIOLATION);
        } else {
            return Fail(ErrorFromErrno(errno));
        }
        // Exclusive when told to fail on an existing target: then no link is followed either.
        outFd = open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC),
                     0600);
        if (outFd >= 0)
            break;
        const int err = errno;
        if (err != ENOENT && err != ENOTDIR)
            return Fail(ErrorFromErrno(err));
        if (folded || !FindRegardlessOfCase(to, Leaf::Exact))
            return Fail(ERROR_PATH_NOT_FOUND);
        folded = true;
    }
    Fd out(outFd);

    CopyError e = CopyContent(in.get(), out.get(), sourceStat.st_size);
    // The attribute before the mode: user.* attributes need write access to be set.
    if (!e.err && (sourceBits || existed))
        if (const int err = WriteXattrBits(out.get(), sourceBits); err && err != ENOTSUP)
            e = {err, true};
    if (!e.err)
        if (const int err = CopyStreams(in.get(), out.get()))
            e = {err, true};
    const mode_t mode = sourceStat.st_mode & 0777;
    if (!e.err && fchmod(out.get(), mode) != 0)
        e = {errno, true};
    const struct timespec times[2] = {{0, UTIME_OMIT}, sourceStat.st_mtim};
    if (!e.err && futimens(out.get(), times) != 0)
        e = {errno, true};
    if (const int err = out.Close(); err && !e.err)
        e = {err, true};
    if (e.err) {
        unlink(to.c_str()); // what is there is neither the old file nor the new one
        return Fail(ErrorOf(e));
    }
    return TRUE;
}
