// MoveFileExA and DeleteFileA with Windows' refusals: a read-only file is neither replaced nor
// deleted, a folder is neither, an open file is not replaced, and a hidden file may be replaced
// by a rename. Both act on a link itself.
#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostPath.h"
#include "HostPowerCut.h"
#include "HostShares.h"
#include "HostStreams.h"

using namespace hostfs;

extern "C" BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
    std::string from, to;
    struct stat fromStat;
    if (const DWORD error = StatPath(existing, from, fromStat, false))
        return Fail(error);
    if (const DWORD error = ToPosixPath(newName, to))
        return Fail(error);
    struct stat toStat;
    // The name is found regardless of case as well: Windows would not make a second file of
    // it, and a rename that must not replace is refused by one in another case too.
    if (StatRegardlessOfCase(to, toStat, false) == 0) {
        if (toStat.st_dev == fromStat.st_dev && toStat.st_ino == fromStat.st_ino)
            return TRUE;
        if (!(flags & MOVEFILE_REPLACE_EXISTING))
            return Fail(ERROR_ALREADY_EXISTS);
        // A target that another program holds is refused as NTFS and Wine refuse it: access
        // denied, not a sharing violation.
        if (S_ISDIR(toStat.st_mode) || S_ISDIR(fromStat.st_mode) || IsReadOnly(toStat) ||
            IsOpen(toStat))
            return Fail(ERROR_ACCESS_DENIED);
    }
    if (const DWORD error = CheckShares(fromStat, FILE_SHARE_DELETE))
        return Fail(error);
    NoteRename(from, to);
    if (rename(from.c_str(), to.c_str()) != 0) {
        const int err = errno;
        NoteFailed();
        return Fail(err == EXDEV ? ERROR_NOT_SAME_DEVICE : PathError(err, to));
    }
    return TRUE;
}

namespace {

// A stream goes by its name; the file stays.
BOOL DeleteStream(const std::string& file, const std::string& stream) {
    std::string posixPath;
    struct stat st;
    if (const DWORD error = StatPath(file.c_str(), posixPath, st))
        return Fail(error);
    if (!S_ISREG(st.st_mode) || IsReadOnly(st))
        return Fail(ERROR_ACCESS_DENIED);
    if (removexattr(posixPath.c_str(), StreamAttribute(stream).c_str()) != 0)
        return Fail(errno == ENODATA ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno));
    return TRUE;
}

} // namespace

extern "C" BOOL DeleteFileA(LPCSTR path) {
    std::string posixPath, stream;
    if (SplitStream(path, posixPath, stream))
        return DeleteStream(posixPath, stream);
    if (const DWORD error = ToPosixPath(path, posixPath))
        return Fail(error);
    struct stat st;
    // A link is removed itself, never what it points to.
    if (const int err = StatRegardlessOfCase(posixPath, st, false))
        return Fail(PathError(err, posixPath));
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnly(st)))
        return Fail(ERROR_ACCESS_DENIED);
    if (const DWORD error = CheckShares(st, FILE_SHARE_DELETE))
        return Fail(error);
    NoteDelete(posixPath);
    if (unlink(posixPath.c_str()) != 0) {
        const int err = errno;
        NoteFailed();
        return Fail(PathError(err, posixPath));
    }
    return TRUE;
}
