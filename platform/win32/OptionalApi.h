// Windows functions that older systems lack. Each is looked up once with GetProcAddress and
// is null where the system does not have it; callers skip the step then.
#pragma once

#include "WinApi.h"

namespace optional_api {

// The function of that name in module, as the Fn it is; null where either is missing.
template <typename Fn> Fn Find(HMODULE module, const char* name) {
    // Through void(*)(): FARPROC's own type is no closer to Fn than any other.
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD directoryFlags);

// kernel32!SetDefaultDllDirectories: Windows 8, or Windows 7 with KB2533623.
SetDefaultDllDirectoriesFn SetDefaultDllDirectories();

// The policy as a plain int: older headers declare the function for Windows 8 and later only.
using SetProcessMitigationPolicyFn = BOOL(WINAPI*)(int policy, PVOID buffer, SIZE_T length);

// kernel32!SetProcessMitigationPolicy: Windows 8; RedirectionGuard from Windows 10 22H2 on.
SetProcessMitigationPolicyFn SetProcessMitigationPolicy();

using CompareStringOrdinalFn = int(WINAPI*)(LPCWSTR one, int oneLength, LPCWSTR other,
                                            int otherLength, BOOL ignoreCase);

// kernel32!CompareStringOrdinal: Windows Vista.
CompareStringOrdinalFn CompareStringOrdinal();

using GetFinalPathNameByHandleAFn = DWORD(WINAPI*)(HANDLE file, LPSTR path, DWORD size,
                                                   DWORD flags);

// kernel32!GetFinalPathNameByHandleA: Windows Vista.
GetFinalPathNameByHandleAFn GetFinalPathNameByHandleA();

// A library of the system folder, loaded from there and never from beside the program (where a
// planted copy may lie): null, with the last error, where it cannot be.
HMODULE LoadFromSystemFolder(const char* name);

} // namespace optional_api
