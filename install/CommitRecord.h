// The record of a commit in progress: the pass's files, what staging found of each, and which
// way the pass is going (committing or undoing), written into the pass's folder before the
// first step in that direction, so that the next pass finishes what a killed one began.
#pragma once

#include "CString.h"
#include "install/PassFiles.h"

// Writes the record of files (each with whether its old target is kept, the marks staging reset
// and the names the target had) into folder, going the commit's way, flushed to the disk; an
// existing one is never written over. False with the last error on failure (a half-written record
// is removed).
bool WriteCommitRecord(const CString& folder, CPassFiles& files);

// Turns folder's record to the undo's way, flushed to the disk.
bool RecordUndo(const CString& folder);

enum class RecordRead { None, Commit, Undo, Incomplete, Unusable };

// Reads folder's record, its files into files. None: there is none. Commit, Undo: the way its
// pass was going. Incomplete: it was not on the disk whole, so no rename of its commit was made;
// files holds the names it got to. Unusable: it cannot be read, is not a plain file, or holds
// what the pass never writes.
RecordRead ReadCommitRecord(const CString& folder, CPassFiles& files);

// Removes the record, checked first without following to be a plain file.
bool RemoveCommitRecord(const CString& folder);

// Whether the record can hold name and read it back: the pass lists no other.
bool IsRecordableName(const char* name);
