// Whether a folder may hold what an elevated program installs: a folder that another user
// made, or gave rights of its own, passes them to every file made or renamed in it.
#pragma once

#include "WinApi.h"

// folder and parent are open handles, folder inside parent. True when folder is owned by the
// Administrators group, the system or the user this program runs as, and grants nobody a right
// that parent does not pass on to whatever is made in it. False when it does, or its security
// cannot be read (the last error then says why).
bool HasOnlyInheritedRights(HANDLE folder, HANDLE parent);
