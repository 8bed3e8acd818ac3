// What a file handle of CreateFileA is on this side: the descriptor, what it may do, and the
// POSIX path it was opened by.
#pragma once

#include <string>
#include <sys/stat.h>

#include "WinApi.h"

namespace hostfs {

struct OpenFile {
    int fd;
    DWORD access;
    std::string path;
};

// Holds the file as access and share say and gives out the handle; on a conflict the
// descriptor is closed and INVALID_HANDLE_VALUE returned with the error.
HANDLE RegisterOpenFile(int fd, const struct stat& st, DWORD access, DWORD share,
                        const std::string& path);
// The live file handle's object, or nullptr with ERROR_INVALID_HANDLE.
OpenFile* LookupOpenFile(HANDLE handle);

} // namespace hostfs
