// Windows functions that older systems lack. Each is looked up once with GetProcAddress and
// is null where the system does not have it; callers skip the step then.
#pragma once

#include "WinApi.h"

namespace optional_api {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD directoryFlags);

// kernel32!SetDefaultDllDirectories: Windows 8, or Windows 7 with KB2533623.
SetDefaultDllDirectoriesFn SetDefaultDllDirectories();

} // namespace optional_api
