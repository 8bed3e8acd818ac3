// Where the Linux build's Windows folder is. No such folder exists here; tests name one.
#pragma once

// The folder that GetWindowsDirectoryA and GetSystemWindowsDirectoryA report (Windows form);
// its system32 and SysWOW64 are the system folders, as on 64-bit Windows. Null brings back the
// default, C:\windows, which no host path reaches.
void SetHostWindowsFolder(const char* windowsPath);
