// CreateDirectoryA and RemoveDirectoryA. A new folder takes its parent's permission bits, as a
// folder on Windows inherits its parent's rights. A folder is removed only when empty, never
// through a link, and not while a handle that does not share delete holds it.
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "HostErrors.h"
#include "HostPath.h"
#include "HostPowerCut.h"
#include "HostShares.h"

using namespace hostfs;

extern "C" BOOL CreateDirectoryA(LPCSTR path, void* /*security*/) {
    std::string posixPath;
    if (const DWORD error = ToPosixPath(path, posixPath))
        return Fail(error);
    struct stat st;
    // Windows makes no second entry of a name in another letter case.
    if (StatRegardlessOfCase(posixPath, st, false) == 0)
        return Fail(ERROR_ALREADY_EXISTS);
    struct stat parent;
    if (stat(ParentOf(posixPath).c_str(), &parent) != 0)
        return Fail(PathError(errno, posixPath));
    if (mkdir(posixPath.c_str(), 0700) != 0)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : PathError(errno, posixPath));
    chmod(posixPath.c_str(), parent.st_mode & 0777);
    NoteCreate(posixPath);
    return TRUE;
}

extern "C" BOOL RemoveDirectoryA(LPCSTR path) {
    std::string posixPath;
    if (const DWORD error = ToPosixPath(path, posixPath))
        return Fail(error);
    struct stat st;
    if (const int err = StatRegardlessOfCase(posixPath, st, false))
        return Fail(PathError(err, posixPath));
    if (!S_ISDIR(st.st_mode))
        return Fail(ERROR_DIRECTORY);
    if (const DWORD error = CheckShares(st, FILE_SHARE_DELETE))
        return Fail(error);
    if (rmdir(posixPath.c_str()) != 0)
        return Fail(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY
                                                          : PathError(errno, posixPath));
    return TRUE;
}
