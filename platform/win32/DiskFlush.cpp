// The volume's handle (\\.\X:) flushes every file and name on it at once; the elevated program
// may open it. A folder given by a share name (\\server\share) has no volume to open.
#include "DiskFlush.h"

namespace {

HANDLE OpenVolumeOf(LPCSTR folder) {
    char volume[] = "\\\\.\\X:";
    const char letter = folder[0];
    if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) ||
        folder[1] != ':') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    volume[4] = letter;
    return CreateFileA(volume, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

extern "C" BOOL CanFlushVolumeOf(LPCSTR folder) {
    HANDLE handle = OpenVolumeOf(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(handle);
    return TRUE;
}

extern "C" BOOL FlushVolumeOf(LPCSTR folder) {
    HANDLE handle = OpenVolumeOf(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE;
    const BOOL flushed = FlushFileBuffers(handle);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return flushed;
}
