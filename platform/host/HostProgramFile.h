// The running program, for the logic that looks for its own file: the test executable unless a
// test names another (as where install.exe would be).
#pragma once

// A Windows path; null brings back the test executable itself.
void SetHostProgramFile(const char* windowsPath);
