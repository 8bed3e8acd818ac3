// Whether a folder may hold what an elevated program installs (a folder that another user
// made, or gave rights of its own, passes them to every file made or renamed in it), and
// whether a file may take what it writes.
#pragma once

#include "WinApi.h"

// folder and parent are open handles, folder inside parent. True when folder is owned by the
// Administrators group, the system, parent's owner or the user this program runs as (on
// Windows only when not elevated), and grants nobody a right that parent does not pass on to
// a folder made in it, denies nothing and inherits. False when not, or when its security
// cannot be read (the last error then says why).
bool HasOnlyInheritedRights(HANDLE folder, HANDLE parent);

// file is open with READ_CONTROL. True when it belongs to the Administrators group, the system
// or the user this program runs as: no other user chose where its writes go.
bool HasTrustedOwner(HANDLE file);
