// The volume's flush is syncfs on the file system of the folder's handle, which writes out every
// file and name on it, as FlushFileBuffers on the handle's volume does on Windows.
#include <cerrno>
#include <unistd.h>

#include "DiskFlush.h"
#include "HostErrors.h"
#include "HostOpenFile.h"
#include "HostPowerCut.h"

using namespace hostfs;

extern "C" BOOL CanFlushVolumeOf(HANDLE folder) {
    return LookupOpenFile(folder) != nullptr;
}

extern "C" BOOL FlushVolumeOf(HANDLE folder) {
    const OpenFile* open = LookupOpenFile(folder);
    if (!open)
        return FALSE;
    if (syncfs(open->fd) != 0)
        return Fail(ErrorFromErrno(errno));
    NoteVolumeFlushed();
    return TRUE;
}
