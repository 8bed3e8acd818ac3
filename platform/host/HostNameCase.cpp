// The stand-in's code page is Windows-1252, whose letters NTFS folds as HostNames.h does.
#include "NameCase.h"

#include "HostNames.h"

extern "C" int CompareFileNamesA(LPCSTR a, LPCSTR b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    while (*x && hostfs::FoldCase(*x) == hostfs::FoldCase(*y))
        ++x, ++y;
    return hostfs::FoldCase(*x) - hostfs::FoldCase(*y);
}
