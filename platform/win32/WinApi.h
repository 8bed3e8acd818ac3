// The Win32 and runtime names the installation logic uses, from the real platform.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <stdlib.h>
#include <mbstring.h>

// As their A namesakes, but a character of a name that the ANSI code page cannot hold is '?'
// (never a look-alike, which would name another file or none): ExactNames.cpp.
DWORD GetCurrentDirectoryExactA(DWORD size, LPSTR buffer);
HANDLE FindFirstFileExactA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileExactA(HANDLE find, WIN32_FIND_DATAA* data);

// The folder that holds the running program (GetModuleFileNameW), spelt as above; and whether
// a path names the running program's own file, however spelt (ProgramFile.cpp).
DWORD GetProgramFolderExactA(DWORD size, LPSTR buffer);
BOOL IsProgramFileA(LPCSTR path);
