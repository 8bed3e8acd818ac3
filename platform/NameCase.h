// Names compared as the file system compares them: two names that NTFS takes for one file are
// one here. NTFS folds the letter case of every letter that has a pair, A and a with umlauts
// too; the runtime's _mbsicmp folds ASCII letters only and would call such names two.
#pragma once

#include "WinApi.h"

// a and b in the ANSI code page, names or whole paths: 0 when they name one file, else less or
// more than 0 as an order of their folded forms, in which names that are one are neighbours.
extern "C" int CompareFileNamesA(LPCSTR a, LPCSTR b);
