// The volume's handle (\\.\X:) flushes every file and name on it at once; the elevated program
// may open it. A folder given by a share name (\\server\share) has no volume to open.
#include "DiskFlush.h"

extern "C" BOOL FlushVolumeOf(LPCSTR folder) {
    char volume[] = "\\\\.\\X:";
    const char letter = folder[0];
    if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) ||
        folder[1] != ':') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    volume[4] = letter;
    HANDLE handle =
        CreateFileA(volume, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE;
    const BOOL flushed = FlushFileBuffers(handle);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return flushed;
}
