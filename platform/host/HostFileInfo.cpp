// Asking about a file through its handle, and setting its times.
#include <cerrno>
#include <sys/stat.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostOpenFile.h"

using namespace hostfs;

namespace {

const OpenFile* StatOpenFile(HANDLE handle, struct stat& st) {
    const OpenFile* file = LookupOpenFile(handle);
    if (file && fstat(file->fd, &st) != 0) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    return file;
}

DWORD AttributesOfOpen(const OpenFile& file, const struct stat& st) {
    if (S_ISLNK(st.st_mode))
        return LinkAttributes(file.path.c_str());
    const std::string self = "/proc/self/fd/" + std::to_string(file.fd);
    return AttributesOf(st, ReadXattrBits(self.c_str()));
}

LARGE_INTEGER Ticks(const struct timespec& time) {
    const FILETIME at = ToFileTime(time);
    LARGE_INTEGER ticks;
    ticks.QuadPart =
        static_cast<LONGLONG>(static_cast<uint64_t>(at.dwHighDateTime) << 32 | at.dwLowDateTime);
    return ticks;
}

bool MayReadAttributes(const OpenFile& file) {
    return file.access & (GENERIC_READ | FILE_READ_ATTRIBUTES);
}

} // namespace

extern "C" BOOL GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info) {
    struct stat st;
    const OpenFile* file = StatOpenFile(handle, st);
    if (!file)
        return FALSE;
    if (!info)
        return Fail(ERROR_INVALID_PARAMETER);
    *info = {};
    info->dwFileAttributes = AttributesOfOpen(*file, st);
    if (!S_ISLNK(st.st_mode)) {
        info->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
        info->nFileSizeLow = static_cast<DWORD>(st.st_size);
    }
    info->ftCreationTime = ToFileTime(st.st_ctim);
    info->ftLastAccessTime = ToFileTime(st.st_atim);
    info->ftLastWriteTime = ToFileTime(st.st_mtim);
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
    info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
    return TRUE;
}

// Windows asks for the right to read attributes for the first, and no right for the second.
extern "C" BOOL GetFileInformationByHandleEx(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind,
                                             LPVOID info, DWORD size) {
    struct stat st;
    const OpenFile* file = StatOpenFile(handle, st);
    if (!file)
        return FALSE;
    if (kind == FileBasicInfo && size >= sizeof(FILE_BASIC_INFO) && info) {
        if (!MayReadAttributes(*file))
            return Fail(ERROR_ACCESS_DENIED);
        auto* basic = static_cast<FILE_BASIC_INFO*>(info);
        *basic = {};
        basic->CreationTime = basic->ChangeTime = Ticks(st.st_ctim);
        basic->LastAccessTime = Ticks(st.st_atim);
        basic->LastWriteTime = Ticks(st.st_mtim);
        basic->FileAttributes = AttributesOfOpen(*file, st);
        return TRUE;
    }
    if (kind == FileStandardInfo && size >= sizeof(FILE_STANDARD_INFO) && info) {
        auto* standard = static_cast<FILE_STANDARD_INFO*>(info);
        *standard = {};
        standard->EndOfFile.QuadPart = S_ISLNK(st.st_mode) ? 0 : st.st_size;
        standard->AllocationSize.QuadPart = static_cast<LONGLONG>(st.st_blocks) * 512;
        standard->NumberOfLinks = static_cast<DWORD>(st.st_nlink);
        standard->Directory = S_ISDIR(st.st_mode);
        return TRUE;
    }
    return Fail(info ? ERROR_BAD_LENGTH : ERROR_INVALID_PARAMETER);
}

extern "C" BOOL GetFileTime(HANDLE handle, FILETIME* created, FILETIME* accessed,
                            FILETIME* written) {
    struct stat st;
    const OpenFile* file = StatOpenFile(handle, st);
    if (!file)
        return FALSE;
    if (!MayReadAttributes(*file))
        return Fail(ERROR_ACCESS_DENIED);
    if (created)
        *created = ToFileTime(st.st_ctim);
    if (accessed)
        *accessed = ToFileTime(st.st_atim);
    if (written)
        *written = ToFileTime(st.st_mtim);
    return TRUE;
}

// Only the last access and last write times: POSIX keeps no creation time to set.
extern "C" BOOL SetFileTime(HANDLE handle, const FILETIME*, const FILETIME* accessed,
                            const FILETIME* written) {
    const OpenFile* file = LookupOpenFile(handle);
    if (!file)
        return FALSE;
    if (!(file->access & (GENERIC_WRITE | FILE_WRITE_ATTRIBUTES)))
        return Fail(ERROR_ACCESS_DENIED);
    const auto at = [](const FILETIME* time) {
        struct timespec given = {0, UTIME_OMIT};
        if (time)
            given = FromFileTime(*time);
        return given;
    };
    const struct timespec times[2] = {at(accessed), at(written)};
    return futimens(file->fd, times) == 0 ? TRUE : Fail(ErrorFromErrno(errno));
}
