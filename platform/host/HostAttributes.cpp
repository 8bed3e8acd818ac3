#include "HostAttributes.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/xattr.h>
#include <unistd.h>

#include "HostErrors.h"
#include "HostPath.h"

namespace hostfs {

namespace {

constexpr const char* kXattrName = "user.DOSATTRIB";
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | kXattrBits;

// Samba may follow the text with a binary blob after its NUL; only the text counts.
DWORD ParseXattr(const char* value, ssize_t length) {
    if (length <= 0)
        return 0;
    char text[32];
    const size_t n =
        static_cast<size_t>(length) < sizeof text ? static_cast<size_t>(length) : sizeof text - 1;
    std::copy(value, value + n, text);
    text[n] = '\0';
    return static_cast<DWORD>(std::strtoul(text, nullptr, 16)) & kXattrBits;
}

int Result(int rc) {
    return rc == 0 ? 0 : errno;
}

int ResultOfRemove(int rc) {
    // Nothing to remove, or nowhere to keep it: either way the bits read back as 0.
    return rc == 0 || errno == ENODATA || errno == ENOTSUP ? 0 : errno;
}

// Changes the write bits only when that changes the mode; returns 0 or an errno value.
int ChangeMode(const std::string& path, const struct stat& st, bool readOnly) {
    const mode_t mode = readOnly ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | S_IWUSR);
    if (IsReadOnly(st) == readOnly)
        return 0;
    return Result(chmod(path.c_str(), mode & 07777));
}

} // namespace

DWORD ReadXattrBits(const char* posixPath) {
    char value[64];
    return ParseXattr(value, getxattr(posixPath, kXattrName, value, sizeof value));
}

DWORD ReadXattrBits(int fd) {
    char value[64];
    return ParseXattr(value, fgetxattr(fd, kXattrName, value, sizeof value));
}

int WriteXattrBits(const char* posixPath, DWORD bits) {
    if (!bits)
        return ResultOfRemove(removexattr(posixPath, kXattrName));
    char value[16];
    const int length = std::snprintf(value, sizeof value, "0x%x", static_cast<unsigned>(bits));
    return Result(setxattr(posixPath, kXattrName, value, static_cast<size_t>(length), 0));
}

int WriteXattrBits(int fd, DWORD bits) {
    if (!bits)
        return ResultOfRemove(fremovexattr(fd, kXattrName));
    char value[16];
    const int length = std::snprintf(value, sizeof value, "0x%x", static_cast<unsigned>(bits));
    return Result(fsetxattr(fd, kXattrName, value, static_cast<size_t>(length), 0));
}

bool IsReadOnly(const struct stat& st) {
    return (st.st_mode & 0222) == 0;
}

DWORD AttributesOf(const struct stat& st, DWORD xattrBits) {
    DWORD attributes = xattrBits & kXattrBits;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (IsReadOnly(st))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

DWORD LinkAttributes(const char* posixPath) {
    struct stat to;
    const bool folder = stat(posixPath, &to) == 0 && S_ISDIR(to.st_mode);
    return FILE_ATTRIBUTE_REPARSE_POINT | (folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
}

// A FILETIME counts 100 ns steps since 1601-01-01.
constexpr int64_t kSecondsTo1970 = 11644473600LL;

FILETIME ToFileTime(const struct timespec& time) {
    // Earlier times are clamped to that start.
    const int64_t seconds = static_cast<int64_t>(time.tv_sec) + kSecondsTo1970;
    const uint64_t ticks =
        seconds < 0 ? 0 : static_cast<uint64_t>(seconds) * 10000000u + time.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

struct timespec FromFileTime(const FILETIME& time) {
    const uint64_t ticks = static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    struct timespec at;
    at.tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / 10000000u) - kSecondsTo1970);
    at.tv_nsec = static_cast<long>(ticks % 10000000u) * 100;
    return at;
}

DWORD StatPath(LPCSTR path, std::string& posixPath, struct stat& st, bool followLinks) {
    if (const DWORD error = ToPosixPath(path, posixPath))
        return error;
    const int err = StatRegardlessOfCase(posixPath, st, followLinks);
    return err ? PathError(err, posixPath) : ERROR_SUCCESS;
}

} // namespace hostfs

using namespace hostfs;

extern "C" DWORD GetFileAttributesA(LPCSTR path) {
    std::string posixPath;
    struct stat st;
    // The link itself, as Windows answers.
    if (const DWORD error = StatPath(path, posixPath, st, false)) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISLNK(st.st_mode))
        return LinkAttributes(posixPath.c_str());
    return AttributesOf(st, ReadXattrBits(posixPath.c_str()));
}

// Of the link itself, as GetFileAttributesA.
extern "C" BOOL GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS, LPVOID data) {
    std::string posixPath;
    struct stat st;
    if (const DWORD error = StatPath(path, posixPath, st, false))
        return Fail(error);
    auto* info = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(data);
    info->dwFileAttributes = S_ISLNK(st.st_mode)
                                 ? LinkAttributes(posixPath.c_str())
                                 : AttributesOf(st, ReadXattrBits(posixPath.c_str()));
    info->ftCreationTime = ToFileTime(st.st_ctim);
    info->ftLastAccessTime = ToFileTime(st.st_atim);
    info->ftLastWriteTime = ToFileTime(st.st_mtim);
    const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    return TRUE;
}

extern "C" BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    std::string posixPath;
    struct stat st;
    if (const DWORD error = StatPath(path, posixPath, st))
        return Fail(error);
    // NORMAL counts only alone; with other bits Windows ignores it.
    const DWORD wanted = attributes & kSettable;
    const bool readOnly = wanted & FILE_ATTRIBUTE_READONLY;

    // Writable first, read-only last: user.* attributes need write access to change.
    if (!readOnly)
        if (const int err = ChangeMode(posixPath, st, false))
            return Fail(ErrorFromErrno(err));
    int err = WriteXattrBits(posixPath.c_str(), wanted & kXattrBits);
    if (err == EACCES && readOnly && IsReadOnly(st)) {
        // Staying read-only: open it up for the change and close it again.
        if (!(err = ChangeMode(posixPath, st, false))) {
            err = WriteXattrBits(posixPath.c_str(), wanted & kXattrBits);
            chmod(posixPath.c_str(), st.st_mode & 07777);
        }
    }
    if (err)
        return Fail(ErrorFromErrno(err));
    if (readOnly)
        if (const int modeErr = ChangeMode(posixPath, st, true))
            return Fail(ErrorFromErrno(modeErr));
    return TRUE;
}
