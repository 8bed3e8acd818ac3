// Staging: each file of the pass is copied into the pass's folder under its temporary name, and
// its target checked, before any file of the Korvo folder changes.
#pragma once

#include "CString.h"
#include "KeepAlive.h"
#include "install/PackList.h"
#include "install/PassFiles.h"
#include "install/PassOutcome.h"
#include "install/Retry.h"

struct FilePaths {
    CString source, target, temporary, second;
    FilePaths(const CString& sourceFolder, const CString& targetFolder, const char* name);
};

// A target found to hold the source's bytes already: no copy was made.
struct SameFile {
    FILETIME written = {}; // the target's last-write time, given
    bool same = false;
    bool timeStale = false; // its last-write time is not the source's
    bool program = false;   // the source begins as a program or library does ("MZ")
};

// Copies the data of source alone, with its last-write time, to a new file to: never through
// anything found under that name, a link among them; with flush, flushed before it is closed.
// What was written is deleted again when the copy fails. With same, the open file current is
// compared first, from its start: where it holds the source's bytes, nothing is made and same
// says so.
bool CopyData(const CString& source, const CString& to, bool flush, CKeepAlive& alive,
              HANDLE current = INVALID_HANDLE_VALUE, SameFile* same = nullptr);

// Checks file's target and, when copy is set, copies its source to the temporary name (flushed,
// and so marked in file, with flush). Cause::None when the file is ready for the commit. A target
// is never changed, nor followed, but for resetting the marks of a plain file (recorded in file,
// for an undo). Without copy, only what can be told without changing anything is checked.
// Without leftovers (the pass made its folder), no killed pass's file is looked for there. A
// target that holds the pack file's bytes (with a list: the listed ones) is marked current.
Cause StageFile(const FilePaths& paths, CPassFiles::File file, bool copy, bool flush,
                bool leftovers, CKeepAlive& alive, CRetryBudget& retry, CPackList& list);

// A target found current once the pass has succeeded: its time set to the source's, in place.
bool StampCurrent(const FilePaths& paths);

// Puts back what staging did to file: its copy removed (made by this pass) and the target's
// marks restored. False when the marks could not be.
bool UnstageFile(const FilePaths& paths, CPassFiles::File file, bool copied);
