// The file version of a program or library: the fixed part of its version block
// (VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS), as Explorer shows it. Windows'
// version.dll reads it on Windows, loaded from the system folder at run time; the Linux stand-in
// reads the same part of a PE file's resources.
#pragma once

#include "WinApi.h"

struct FileVersion {
    DWORD ms = 0; // major, minor
    DWORD ls = 0; // build, revision
    unsigned long long Value() const { return (static_cast<unsigned long long>(ms) << 32) | ls; }
};

// TRUE with the version of the file at path (Windows form, ANSI code page); FALSE where it has
// no version block that can be read: no program, no such file, a block without its fixed part.
BOOL GetFileVersionA(LPCSTR path, FileVersion& version);
