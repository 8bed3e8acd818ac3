// The volume's handle (\\?\Volume{...}) flushes every file and name on it at once; the elevated
// program may open it. The volume is the one behind the folder's handle: the drive of the
// path's letter is another where a volume is mounted in a folder or a junction leads away, and
// its flush would leave this one's writes in the cache.
#include "DiskFlush.h"

#include <cstring>
#include <memory>

#include "OptionalApi.h"
#include "VolumeName.h"

BOOL GetVolumeNameOfHandleA(HANDLE file, LPSTR volume, DWORD size) {
    const auto finalPath = optional_api::GetFinalPathNameByHandleA();
    if (!finalPath) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    // \\?\Volume{...}\folder: the volume is what comes before the backslash after the prefix.
    // The size asked for counts the closing NUL on Windows, not under Wine.
    const DWORD length = finalPath(file, nullptr, 0, VOLUME_NAME_GUID) + 1;
    if (length == 1)
        return FALSE;
    std::unique_ptr<char[]> path(new char[length]);
    const DWORD written = finalPath(file, path.get(), length, VOLUME_NAME_GUID);
    const char* end = written > 4 && written < length ? std::strchr(path.get() + 4, '\\') : nullptr;
    if (!end || DWORD(end - path.get()) >= size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(volume, path.get(), end - path.get());
    volume[end - path.get()] = '\0';
    return TRUE;
}

namespace {

// A folder on a share has no volume name.
HANDLE OpenVolumeOf(HANDLE folder) {
    char volume[MAX_PATH];
    if (!GetVolumeNameOfHandleA(folder, volume, MAX_PATH))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(volume, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

extern "C" BOOL CanFlushVolumeOf(HANDLE folder) {
    HANDLE handle = OpenVolumeOf(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(handle);
    return TRUE;
}

extern "C" BOOL FlushVolumeOf(HANDLE folder) {
    HANDLE handle = OpenVolumeOf(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE;
    const BOOL flushed = FlushFileBuffers(handle);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return flushed;
}
