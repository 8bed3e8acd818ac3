// Whether the chosen Korvo folder looks like one: a pass into a folder that holds none of the
// pack's files (its parent, Program Files) would put every file of the pack in the wrong place.
#pragma once

#include "CString.h"

// True when the pack has a file to install (one its list names, if the program carries one) and
// targetFolder holds none of them: a pass would only add files. False as soon as one target exists
// as a file (or a link), and where the pass would install nothing or refuse the pack (which it then
// says itself).
bool WouldOnlyAddFiles(const CString& sourceFolder, const CString& targetFolder);
