// What the Linux build carries in place of install.exe's resources: nothing, until a test sets it.
#pragma once

#include <string>

// Gives the program data of that id; a null pointer takes it away again.
void SetHostProgramData(int id, const std::string* data);
