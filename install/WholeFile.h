// Replacing one target file whole or not at all.
#pragma once

#include "CString.h"
#include "KeepAlive.h"
#include "install/PassOutcome.h"
#include "install/Retry.h"

bool IsFile(const CString& path);

// Copies sourcePath over targetPath through a temporary file beside the target; Cause::None
// when the target is the new file, else why it is still the old one (or still missing).
// expectNew: see WholeFile.cpp. The window is served inside large files, and held files are
// tried again within the budget.
Cause ReplaceWhole(const CString& sourcePath, const CString& targetPath, DWORD sourceAttributes,
                   bool& expectNew, CKeepAlive& alive, CRetryBudget& retry);
