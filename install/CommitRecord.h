// The record of a commit in progress: the names of the pass's files, written beside the
// targets before the first rename, so that a pass killed in the middle of its commit is
// completed by the next one.
#pragma once

#include "CString.h"
#include "install/PassFiles.h"

// Writes the record of files into folder, flushed to the disk; an existing one is never
// written over. False with the last error on failure (a half-written record is removed).
bool WriteCommitRecord(const CString& folder, CPassFiles& files);

enum class RecordRead { None, Complete, Incomplete, Unusable };

// Reads folder's record, its names into files. None: there is none. Incomplete: it was not
// finished, so no rename of its commit was made. Unusable: it cannot be read, is not a plain
// file, or holds what the pass never writes.
RecordRead ReadCommitRecord(const CString& folder, CPassFiles& files);

// Removes the record, checked first without following to be a plain file.
bool RemoveCommitRecord(const CString& folder);
