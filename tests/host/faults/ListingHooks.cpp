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
void Change() {
    if (changesLeft > 0 && --changesLeft == 0)
        _exit(kStopStatus);
}
} // namespace

void StopBeforeChange(int stop) {
    changesLeft = stop;
}

extern "C" BOOL __real_MoveFileExA(LPCSTR, LPCSTR, DWORD);
extern "C" BOOL __real_CopyFileExA(LPCSTR, LPCSTR, LPPROGRESS_ROUTINE, LPVOID, BOOL*, DWORD);
extern "C" BOOL __real_DeleteFileA(LPCSTR);
extern "C" BOOL __real_SetFileAttributesA(LPCSTR, DWORD);
extern "C" BOOL __real_WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, OVERLAPPED*);

extern "C" BOOL __wrap_MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    Change();
    return __real_MoveFileExA(from, to, flags);
}
extern "C" BOOL __wrap_CopyFileExA(LPCSTR from, LPCSTR to, LPPROGRESS_ROUTINE progress, LPVOID data,
                                   BOOL* cancel, DWORD flags) {
    Change();
    return __real_CopyFileExA(from, to, progress, data, cancel, flags);
}
extern "C" BOOL __wrap_DeleteFileA(LPCSTR path) {
    Change();
    return __real_DeleteFileA(path);
}
extern "C" BOOL __wrap_SetFileAttributesA(LPCSTR path, DWORD attributes) {
    Change();
    return __real_SetFileAttributesA(path, attributes);
}
extern "C" BOOL __wrap_WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                 OVERLAPPED* overlapped) {
    Change();
    return __real_WriteFile(file, data, size, written, overlapped);
}
