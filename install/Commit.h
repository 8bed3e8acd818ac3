// The commit: each staged copy renamed over its target, the old file kept under its second
// name until every copy is in place and removed then. A record written first says which way the
// pass is going, so that the next pass finishes a commit or an undo that was killed.
#pragma once

#include "CString.h"
#include "KeepAlive.h"
#include "install/PackList.h"
#include "install/PassFiles.h"
#include "install/PassOutcome.h"
#include "install/Retry.h"

// hold: targetFolder's handle, held for the pass; the volume behind it is the one flushed.
// Commits files, all staged into targetFolder. On a failure, names it in outcome and puts
// the folder back as it was, staged copies and reset marks included; where that cannot be
// done, keeps the record for the next pass to finish the undo, and says so in outcome.
void Commit(const CString& targetFolder, HANDLE hold, CPassFiles& files, CRetryBudget& retry,
            PassOutcome& outcome);

// Puts back what staging did: the copies of the first `staged` files removed, the marks of
// every target restored. A mark that cannot be restored is named in outcome.
void Unstage(const CString& targetFolder, CPassFiles& files, int staged, CKeepAlive& alive,
             PassOutcome& outcome);

// Finishes the commit or the undo a killed pass recorded in targetFolder, if any; a copy is
// renamed into place only when it is a plain file with one name and, where list names it, the
// listed file, else the commit is undone; an undo that cannot end completes the commit where it
// can vouch for every copy. True when the folder is whole and the pass may go on; false, with
// outcome saying why, when it is not, or the record cannot be used.
bool CompleteKilledCommit(const CString& targetFolder, HANDLE hold, CPackList& list,
                          CRetryBudget& retry, PassOutcome& outcome);
