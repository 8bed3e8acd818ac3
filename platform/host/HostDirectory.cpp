// The process's current directory, in Windows form.
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "HostErrors.h"
#include "HostPath.h"

using namespace hostfs;

extern "C" DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) {
        SetLastError(ErrorFromErrno(errno));
        return 0;
    }
    return CopyAnswer(ToWindowsPath(cwd), buffer, size);
}

extern "C" BOOL SetCurrentDirectoryA(LPCSTR path) {
    std::string posixPath;
    if (const DWORD error = ToPosixPath(path, posixPath))
        return Fail(error);
    if (chdir(posixPath.c_str()) == 0)
        return TRUE;
    int err = errno;
    if ((err == ENOENT || err == ENOTDIR) && FindRegardlessOfCase(posixPath, Leaf::FoldCase)) {
        if (chdir(posixPath.c_str()) == 0)
            return TRUE;
        err = errno;
    }
    struct stat st;
    if (err == ENOTDIR && stat(posixPath.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return Fail(ERROR_DIRECTORY);
    return Fail(PathError(err, posixPath));
}
