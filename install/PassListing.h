// The pack's listing and the rules: which of its entries the pass installs.
#pragma once

#include "CString.h"
#include "KeepAlive.h"
#include "Wnd.h"
#include "install/PackList.h"
#include "install/PassFiles.h"
#include "install/PassOutcome.h"
#include "install/Retry.h"

// Starts the listing of every entry of folder ("folder\*.*", the backslash added even after a
// drive root), a name the code page cannot hold spelt with '?'.
HANDLE FindFirstInFolder(const CString& folder, WIN32_FIND_DATAA* entry);

// Lists sourceFolder into files, and into outcome what is not to be installed though it
// should be; a file that list does not name is passed over. owner is the optional libraries'
// existence test's feedback window. False, with the last error, when the folder cannot be listed at
// all; ERROR_FILE_NOT_FOUND when it was read and holds nothing (an empty drive root).
bool ListPack(const CString& sourceFolder, const CString& targetFolder, CWnd* owner,
              CKeepAlive& alive, CRetryBudget& retry, CPackList& list, CPassFiles& files,
              PassOutcome& outcome);
