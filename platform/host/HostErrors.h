// Windows error codes for the host file functions: the thread's last error and errno mapping.
#pragma once

#include <string>

#include "WinApi.h"

// Codes the host backend reports that the logic never tests for by name.
#define ERROR_TOO_MANY_OPEN_FILES 4
#define ERROR_GEN_FAILURE 31
#define ERROR_NOT_SUPPORTED 50
#define ERROR_BAD_NETPATH 53
#define ERROR_NOT_SAME_DEVICE 17
#define ERROR_REQUEST_ABORTED 1235

namespace hostfs {

// A generic mapping; ENOENT gives ERROR_FILE_NOT_FOUND, see NotFoundError for the finer one.
DWORD ErrorFromErrno(int err);
// ENOENT on posixPath: ERROR_FILE_NOT_FOUND when its folder exists, else ERROR_PATH_NOT_FOUND.
DWORD NotFoundError(const std::string& posixPath);
// ErrorFromErrno, but ENOENT refined by NotFoundError.
DWORD PathError(int err, const std::string& posixPath);

// SetLastError(error) and FALSE, for the BOOL functions' failure returns.
BOOL Fail(DWORD error);
// SetLastError(error) and INVALID_HANDLE_VALUE, for the HANDLE functions' failure returns.
HANDLE FailHandle(DWORD error);

} // namespace hostfs
