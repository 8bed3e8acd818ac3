// The volume a handle's file or folder is on, found from the handle (DiskFlush.cpp).
#pragma once

#include "WinApi.h"

// \\?\Volume{...} without a closing backslash, as CreateFileA opens the volume itself. FALSE,
// with the last error, where the file is on no volume of this machine (a share) or the name
// does not fit in size.
BOOL GetVolumeNameOfHandleA(HANDLE file, LPSTR volume, DWORD size);
