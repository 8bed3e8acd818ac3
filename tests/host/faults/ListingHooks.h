// This executable is linked with -Wl,--wrap=FindFirstFileA,--wrap=FindNextFileA,--wrap=readdir:
// every call reaches a wrapper, which calls the real function and then the hook, if one is set.
// The hook sees the real answer and may act on the world or change the answer.
#pragma once

#include <dirent.h>
#include <functional>

#include "WinApi.h"

// Gets what FindNextFileA returned (and, through GetLastError, why it failed) and returns what
// the caller is to see; data holds the entry when ok is TRUE.
typedef std::function<BOOL(BOOL ok, WIN32_FIND_DATAA* data)> FindNextHook;
// Gets what FindFirstFileA returned and returns what the caller is to see.
typedef std::function<HANDLE(HANDLE found, WIN32_FIND_DATAA* data)> FindFirstHook;
// Gets what readdir returned; the host listing's own calls only.
typedef std::function<dirent*(dirent* entry)> ReaddirHook;

// Gets each change's paths (none for WriteFile) before it is made; false fails it: disk full.
// Each FlushFileBuffers is shown to it too, as the path kFlushed, and cannot be failed; each
// flush of a volume as kVolumeFlushed.
typedef std::function<bool(LPCSTR path, LPCSTR newPath)> ChangeHook;
const char kFlushed[] = "<flush>", kVolumeFlushed[] = "<volume>";

// Gets each path that CreateFileA or CreateDirectoryA is about to open or make, and may act on
// the world first (another pass tidying up meanwhile).
typedef std::function<void(LPCSTR path)> OpenHook;

// Each set for the lifetime of the object.
template <class Hook> class ScopedHook {
public:
    explicit ScopedHook(Hook hook);
    ~ScopedHook();
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;
};
typedef ScopedHook<FindNextHook> ScopedFindNextHook;
typedef ScopedHook<FindFirstHook> ScopedFindFirstHook;
typedef ScopedHook<ReaddirHook> ScopedReaddirHook;
typedef ScopedHook<ChangeHook> ScopedChangeHook;
typedef ScopedHook<OpenHook> ScopedOpenHook;

// The real FindNextFileA, for hooks that read on.
extern "C" BOOL __real_FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);

// The file functions that change the disk are wrapped too (see ListingHooks.cpp): from now on
// the process ends with kStopStatus, as a kill would end it, before the stop-th of them.
void StopBeforeChange(int stop);
// From now on, the volume cannot be flushed (as where it cannot be opened), or again can.
void RefuseVolumeFlush(bool refused);
const int kStopStatus = 9;
