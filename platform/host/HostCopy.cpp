// CopyFileA: the copy is written beside the target into a file that has no name yet, and
// only the finished file takes the target's name, so a failure at any point leaves the target
// as it was and nothing else. That holds when the process is killed too: a file without a name
// goes with it. Only a kill between the two last calls, while an existing target is replaced
// through a temporary name, leaves that name behind; so does any kill where the file system
// has no unnamed files (O_TMPFILE), and the copy is written under a temporary name throughout.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostNames.h"
#include "HostPath.h"

using namespace hostfs;

namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr size_t kMaxChunk = size_t(1) << 30;

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

// The temporary file's name, if it has one: removed unless Keep() was called.
class TempFile {
public:
    TempFile() = default;
    ~TempFile() {
        if (!m_kept && !m_path.empty())
            unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return m_path; }
    void Name(std::string path) { m_path = std::move(path); }
    void Keep() { m_kept = true; }

private:
    std::string m_path;
    bool m_kept = false;
};

// An unnamed file is named through /proc (linkat with AT_EMPTY_PATH needs a capability).
bool CanNameUnnamedFiles() {
    static const bool can = access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Opens the file the copy goes into, in folder: without a name where the file system allows,
// else under a fresh temporary name given to temp. Returns the descriptor, or -1 and errno.
int OpenTemp(const std::string& folder, TempFile& temp) {
    if (CanNameUnnamedFiles()) {
        const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return fd;
    }
    std::string path = folder + "/.kq-copy-XXXXXX";
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0)
        temp.Name(std::move(path));
    return fd;
}

// Gives the unnamed file behind fd the name path; returns 0 or errno (EEXIST if path exists).
// Straight from the descriptor where the kernel lets the process (CAP_DAC_READ_SEARCH, or on
// newer kernels a file it opened itself), else through /proc, a lookup of its own each time.
int LinkUnnamed(int fd, const std::string& path) {
    static std::atomic<bool> direct{true};
    if (direct) {
        if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return errno;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return errno;
    direct = false; // ENOENT from the direct way meant no capability
    return 0;
}

// A temporary name in folder that no other copy picks: mkstemp's six characters, from the
// process, the time and a counter.
std::string TempName(const std::string& folder) {
    static std::atomic<uint64_t> counter{0};
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = (uint64_t(getpid()) << 40) ^ (uint64_t(now.tv_sec) << 20) ^ uint64_t(now.tv_nsec) ^
                 (counter++ * 0x9E3779B97F4A7C15u);
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = folder + "/.kq-copy-";
    for (int i = 0; i < 6; ++i, x /= 62)
        name += kLetters[x % 62];
    return name;
}

// Names the finished unnamed file: the target's name when the target is new, else a temporary
// name given to temp for the rename over the target. Returns 0 or errno.
int NameFinishedCopy(int fd, const std::string& target, bool targetSeen, TempFile& temp,
                     bool& named) {
    // A target seen a moment ago is all but sure to be there still: go for the rename at once.
    int err = targetSeen ? EEXIST : LinkUnnamed(fd, target);
    named = err == 0;
    for (int attempt = 0; err == EEXIST && attempt < 100; ++attempt) {
        std::string path = TempName(ParentOf(target));
        if ((err = LinkUnnamed(fd, path)) == 0)
            temp.Name(std::move(path));
    }
    return err;
}

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
        const auto chunk = static_cast<size_t>(std::min<off_t>(size - copied, kMaxChunk));
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
    const DWORD sourceBits = ReadXattrBits(in.get());

    // Only the target's folders are found regardless of case: its name would take a scan
    // of the folder for every new file.
    TempFile temp;
    int tempFd = -1;
    bool targetSeen = false;
    for (bool folded = false;;) {
        struct stat targetStat;
        targetSeen = stat(to.c_str(), &targetStat) == 0;
        if (targetSeen) {
            if (const DWORD error =
                    RefuseTarget(targetStat, to, sourceStat, sourceBits, failIfExists))
                return Fail(error);
        } else if (errno == ENOENT || errno == ENOTDIR) {
            if (IsSourceRegardlessOfCase(from, to))
                return Fail(failIfExists ? ERROR_FILE_EXISTS : ERROR_SHARING_VIOLATION);
        } else {
            return Fail(ErrorFromErrno(errno));
        }
        tempFd = OpenTemp(ParentOf(to), temp);
        if (tempFd >= 0)
            break;
        const int err = errno;
        if (err != ENOENT && err != ENOTDIR)
            return Fail(ErrorFromErrno(err));
        if (folded || !FindRegardlessOfCase(to, Leaf::Exact))
            return Fail(ERROR_PATH_NOT_FOUND);
        folded = true;
    }
    Fd out(tempFd);
    const bool unnamed = temp.Path().empty();

    if (const CopyError e = CopyContent(in.get(), out.get(), sourceStat.st_size); e.err)
        return Fail(ErrorOf(e));
    // The attribute before the mode: user.* attributes need write access to be set.
    if (sourceBits)
        if (const int err = WriteXattrBits(out.get(), sourceBits); err && err != ENOTSUP)
            return Fail(ErrorFromErrno(err));
    const mode_t mode = sourceStat.st_mode & 0777;
    if (mode != 0600 && fchmod(out.get(), mode) != 0) // the mode it was made with
        return Fail(ErrorFromErrno(errno));
    const struct timespec times[2] = {{0, UTIME_OMIT}, sourceStat.st_mtim};
    if (futimens(out.get(), times) != 0)
        return Fail(ErrorFromErrno(errno));
    bool named = false;
    if (unnamed)
        if (const int err = NameFinishedCopy(out.get(), to, targetSeen, temp, named))
            return Fail(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                        : ErrorFromErrno(err));
    if (const int err = out.Close()) {
        if (named)
            unlink(to.c_str()); // a new target that cannot be trusted
        return Fail(ErrorOf({err, true}));
    }
    if (named)
        return TRUE;
    if (rename(temp.Path().c_str(), to.c_str()) != 0)
        return Fail(errno == EISDIR || errno == ENOTEMPTY ? ERROR_ACCESS_DENIED
                                                          : ErrorFromErrno(errno));
    temp.Keep();
    return TRUE;
}
