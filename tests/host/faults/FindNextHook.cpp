#include "FindNextHook.h"

namespace {
FindNextHook& Hook() {
    static FindNextHook hook;
    return hook;
}
} // namespace

ScopedFindNextHook::ScopedFindNextHook(FindNextHook hook) {
    Hook() = std::move(hook);
}

ScopedFindNextHook::~ScopedFindNextHook() {
    Hook() = nullptr;
}

extern "C" BOOL __real_FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);

extern "C" BOOL __wrap_FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
    const BOOL ok = __real_FindNextFileA(find, data);
    if (!Hook())
        return ok;
    // The hook's own file calls must not change why the listing ended; a hook that turns an
    // entry into a failure sets its own error.
    const DWORD error = GetLastError();
    const BOOL answer = Hook()(ok, data);
    if (answer == ok)
        SetLastError(error);
    return answer;
}
