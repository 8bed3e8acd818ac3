// Names compared as the file system compares them: two names that NTFS takes for one file are
// one here. NTFS folds the letter case of every letter that has a pair, Ä and ä too; the
// runtime's _mbsicmp folds ASCII letters only and would call such names two.
#pragma once

#include "WinApi.h"

// a and b in the ANSI code page, names or whole paths.
extern "C" BOOL IsSameFileNameA(LPCSTR a, LPCSTR b);
