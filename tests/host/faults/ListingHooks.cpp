#include "ListingHooks.h"

#include <unistd.h>

namespace {
template <class Hook> Hook& Current() {
    static Hook hook;
    return hook;
}
} // namespace

template <class Hook> ScopedHook<Hook>::ScopedHook(Hook hook) {
    Current<Hook>() = std::move(hook);
}

template <class Hook> ScopedHook<Hook>::~ScopedHook() {
    Current<Hook>() = nullptr;
}

template class ScopedHook<FindNextHook>;
template class ScopedHook<FindFirstHook>;
template class ScopedHook<ReaddirHook>;
template class ScopedHook<ChangeHook>;
template class ScopedHook<OpenHook>;

extern "C" HANDLE __real_FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
extern "C" dirent* __real_readdir(DIR* dir);

extern "C" BOOL __wrap_FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
    const BOOL ok = __real_FindNextFileA(find, data);
    if (!Current<FindNextHook>())
        return ok;
    // The hook's own file calls must not change why the listing ended; a hook that turns an
    // entry into a failure sets its own error.
    const DWORD error = GetLastError();
    const BOOL answer = Current<FindNextHook>()(ok, data);
    if (answer == ok)
        SetLastError(error);
    return answer;
}

extern "C" HANDLE __wrap_FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
    const HANDLE found = __real_FindFirstFileA(pattern, data);
    return Current<FindFirstHook>() ? Current<FindFirstHook>()(found, data) : found;
}

extern "C" dirent* __wrap_readdir(DIR* dir) {
    dirent* entry = __real_readdir(dir);
    return Current<ReaddirHook>() ? Current<ReaddirHook>()(entry) : entry;
}

namespace {
int changesLeft = 0;
bool Change(LPCSTR path, LPCSTR newPath) {
    if (changesLeft > 0 && --changesLeft == 0)
        _exit(kStopStatus);
    if (!Current<ChangeHook>() || Current<ChangeHook>()(path, newPath))
        return true;
    SetLastError(ERROR_DISK_FULL);
    return false;
}
} // namespace

void StopBeforeChange(int stop) {
    changesLeft = stop;
}

// Each wrapper counts the change, then makes it.
#define KQ_STOPPABLE(name, params, args, paths)                                                    \
    extern "C" BOOL __real_##name params;                                                          \
    extern "C" BOOL __wrap_##name params {                                                         \
        return Change paths ? __real_##name args : FALSE;                                          \
    }
KQ_STOPPABLE(MoveFileExA, (LPCSTR a, LPCSTR b, DWORD c), (a, b, c), (a, b))
KQ_STOPPABLE(DeleteFileA, (LPCSTR a), (a), (a, nullptr))
KQ_STOPPABLE(SetFileAttributesA, (LPCSTR a, DWORD b), (a, b), (a, nullptr))
KQ_STOPPABLE(CreateHardLinkA, (LPCSTR a, LPCSTR b, void* c), (a, b, c), (b, a))

namespace {
bool volumeRefused = false;
} // namespace

void RefuseVolumeFlush(bool refused) {
    volumeRefused = refused;
}

extern "C" BOOL __real_CanFlushVolumeOf(HANDLE folder);
extern "C" BOOL __wrap_CanFlushVolumeOf(HANDLE folder) {
    return !volumeRefused && __real_CanFlushVolumeOf(folder);
}

extern "C" BOOL __real_FlushVolumeOf(HANDLE folder);
extern "C" BOOL __wrap_FlushVolumeOf(HANDLE folder) {
    if (!Change(kVolumeFlushed, nullptr))
        return FALSE;
    if (!volumeRefused)
        return __real_FlushVolumeOf(folder);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A flush changes nothing, so it is no stop; the hook sees it as kFlushed.
extern "C" BOOL __real_FlushFileBuffers(HANDLE file);
extern "C" BOOL __wrap_FlushFileBuffers(HANDLE file) {
    if (Current<ChangeHook>())
        Current<ChangeHook>()(kFlushed, nullptr);
    return __real_FlushFileBuffers(file);
}
KQ_STOPPABLE(WriteFile, (HANDLE a, LPCVOID b, DWORD c, LPDWORD d, OVERLAPPED* e), (a, b, c, d, e),
             (nullptr, nullptr))

extern "C" HANDLE __real_CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security,
                                     DWORD disposition, DWORD flags, HANDLE model);
extern "C" HANDLE __wrap_CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security,
                                     DWORD disposition, DWORD flags, HANDLE model) {
    if (Current<OpenHook>())
        Current<OpenHook>()(path);
    return __real_CreateFileA(path, access, share, security, disposition, flags, model);
}

extern "C" BOOL __real_CreateDirectoryA(LPCSTR path, void* security);
extern "C" BOOL __wrap_CreateDirectoryA(LPCSTR path, void* security) {
    if (Current<OpenHook>())
        Current<OpenHook>()(path);
    return __real_CreateDirectoryA(path, security);
}
