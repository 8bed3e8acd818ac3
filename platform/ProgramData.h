// Data the program carries in itself: an RCDATA resource of install.exe on Windows. The Linux
// build carries none unless a test gives it some (HostProgramData.h).
#pragma once

#include <string_view>

// The data of that id; false when the program carries none.
bool FindProgramData(int id, std::string_view& data);
