// The volume's flush is syncfs on the folder's file system, which writes out every file and
// name on it, as FlushFileBuffers on \\.\X: does on Windows.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "DiskFlush.h"
#include "HostErrors.h"
#include "HostPath.h"
#include "HostPowerCut.h"

using namespace hostfs;

namespace {

int OpenFolder(LPCSTR folder) {
    std::string path;
    if (const DWORD error = ToPosixPath(folder, path)) {
        Fail(error);
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        Fail(PathError(errno, path));
    return fd;
}

} // namespace

extern "C" BOOL CanFlushVolumeOf(LPCSTR folder) {
    const int fd = OpenFolder(folder);
    if (fd < 0)
        return FALSE;
    close(fd);
    return TRUE;
}

extern "C" BOOL FlushVolumeOf(LPCSTR folder) {
    const int fd = OpenFolder(folder);
    if (fd < 0)
        return FALSE;
    const int synced = syncfs(fd);
    const int error = errno;
    close(fd);
    if (synced != 0)
        return Fail(ErrorFromErrno(error));
    NoteVolumeFlushed();
    return TRUE;
}
