// The stand-in's code page is Windows-1252, whose letters NTFS folds as HostNames.h does.
#include "NameCase.h"

#include "HostNames.h"

extern "C" BOOL IsSameFileNameA(LPCSTR a, LPCSTR b) {
    return hostfs::EqualIgnoringCase(a, b);
}
