// The HANDLE values the host functions give out: live objects recorded by kind, so a stale,
// foreign or wrong-kind handle is refused with ERROR_INVALID_HANDLE instead of dereferenced.
#pragma once

#include "HostErrors.h"
#include "WinApi.h"

namespace hostfs {

enum class HandleKind { File, Find };

void RegisterHandle(void* object, HandleKind kind);
// The object when handle is a live one of that kind, else nullptr.
void* LookupHandle(HANDLE handle, HandleKind kind);
// Like LookupHandle, and forgets the handle; the caller then owns the object.
void* UnregisterHandle(HANDLE handle, HandleKind kind);

// CloseHandle and FindClose: a live handle of that kind is forgotten, its object T released by
// close(T&) and deleted; any other handle fails with ERROR_INVALID_HANDLE.
template <class T, class Close> BOOL CloseLiveHandle(HANDLE handle, HandleKind kind, Close close) {
    T* object = static_cast<T*>(UnregisterHandle(handle, kind));
    if (!object)
        return Fail(ERROR_INVALID_HANDLE);
    close(*object);
    delete object;
    return TRUE;
}

} // namespace hostfs
