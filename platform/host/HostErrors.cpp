#include "HostErrors.h"

#include <cerrno>
#include <sys/stat.h>

#include "HostPath.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError(void) {
    return lastError;
}

extern "C" void SetLastError(DWORD error) {
    lastError = error;
}

namespace hostfs {

DWORD ErrorFromErrno(int err) {
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENXIO: // a socket, or a device without its driver
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP:
        return ERROR_CANT_RESOLVE_FILENAME;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EBUSY:
        return ERROR_SHARING_VIOLATION;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EOPNOTSUPP:
        return ERROR_NOT_SUPPORTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD NotFoundError(const std::string& posixPath) {
    struct stat st;
    if (stat(ParentOf(posixPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

DWORD PathError(int err, const std::string& posixPath) {
    return err == ENOENT ? NotFoundError(posixPath) : ErrorFromErrno(err);
}

BOOL Fail(DWORD error) {
    lastError = error;
    return FALSE;
}

HANDLE FailHandle(DWORD error) {
    lastError = error;
    return INVALID_HANDLE_VALUE;
}

} // namespace hostfs
