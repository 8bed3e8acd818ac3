// This executable is linked with -Wl,--wrap=FindNextFileA: every call of the installation
// logic reaches the wrapper, which calls the host's FindNextFileA and then the hook, if one is
// set. The hook sees the real answer and may act on the world or change the answer.
#pragma once

#include <functional>

#include "WinApi.h"

// Gets what FindNextFileA returned (and, through GetLastError, why it failed) and returns what
// the caller is to see; data holds the entry when ok is TRUE.
typedef std::function<BOOL(BOOL ok, WIN32_FIND_DATAA* data)> FindNextHook;

// Set for the lifetime of the object.
class ScopedFindNextHook {
public:
    explicit ScopedFindNextHook(FindNextHook hook);
    ~ScopedFindNextHook();
    ScopedFindNextHook(const ScopedFindNextHook&) = delete;
    ScopedFindNextHook& operator=(const ScopedFindNextHook&) = delete;
};
