// The HANDLE values the host functions give out: live objects recorded by kind, so a stale,
// foreign or wrong-kind handle is refused with ERROR_INVALID_HANDLE instead of dereferenced.
#pragma once

#include "WinApi.h"

namespace hostfs {

enum class HandleKind { File, Find };

void RegisterHandle(void* object, HandleKind kind);
// The object when handle is a live one of that kind, else nullptr.
void* LookupHandle(HANDLE handle, HandleKind kind);
// Like LookupHandle, and forgets the handle; the caller then owns the object.
void* UnregisterHandle(HANDLE handle, HandleKind kind);

} // namespace hostfs
