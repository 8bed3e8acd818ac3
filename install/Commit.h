// The commit: each staged copy renamed over its target, the old file kept under its second
// name until every copy is in place and removed then. A record written first lets the next
// pass complete a commit that was killed; a failure undoes it.
#pragma once

#include "CString.h"
#include "install/PassFiles.h"
#include "install/PassOutcome.h"
#include "install/Retry.h"

// Commits files, all staged into targetFolder. On a failure, names it in outcome and puts
// the folder back as it was, staged copies and reset marks included; where that cannot be
// done, keeps the record and the copies for the next pass to complete.
void Commit(const CString& targetFolder, CPassFiles& files, CRetryBudget& retry,
            PassOutcome& outcome);

// Puts back what staging did: the copies of the first `staged` files removed, the marks of
// every target restored.
void Unstage(const CString& targetFolder, CPassFiles& files, int staged);

// Completes the commit a killed pass recorded in targetFolder, if any. False, with outcome
// saying why, when the folder is not left as a whole pass leaves it.
bool CompleteKilledCommit(const CString& targetFolder, CRetryBudget& retry, PassOutcome& outcome);
