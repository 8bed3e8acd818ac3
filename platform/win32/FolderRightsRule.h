// The rule for a folder that a killed pass left in the Korvo folder, on its security descriptor
// and its parent's alone, so that it can be tried on descriptors written as SDDL.
#pragma once

#include <windows.h>

// Whether folder may hold what the pass stages. Its owner is the Administrators group, the
// system, the owner of parent (who can change everything in parent anyway) or runningUser (the
// user the program runs as, null when the run is elevated: then that user's other programs
// could change the folder's rights after the check). Its list is there and not protected, and
// each entry is one that parent passes on to a folder made in it; a deny entry is refused too.
bool IsOnlyWhatParentPassesOn(PSECURITY_DESCRIPTOR folder, PSECURITY_DESCRIPTOR parent,
                              PSID runningUser);
