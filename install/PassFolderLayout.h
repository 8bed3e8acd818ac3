// Where the pass keeps its own files: in kPassFolderName (".~kq") in the Korvo folder, never
// among Korvo's: the lock, the record of a commit in progress (kRecordName, relative to the
// Korvo folder), and in its kSpreadFolders subfolders (one character each), by a hash of the
// name:
// - the staged copy, in one of the first half, renamed over the target in the commit;
// - the second name, in one of the other half: the old file kept until the commit is done,
//   and a copy made beside a leftover under the first.
// Spread so that no folder that gets a new name per file grows large: Wine looks a new name up
// by scanning its whole folder. Both are on the Korvo folder's volume, so the commit and its
// undo are renames and hard links.
#pragma once

#include "CString.h"

CString PassFolderOf(const CString& targetFolder);
// The index-th of the pass folder's subfolders, 0 to kSpreadFolders - 1.
CString SpreadFolderOf(const CString& targetFolder, int index);
CString TemporaryPathFor(const CString& targetFolder, const char* name);
CString SecondPathFor(const CString& targetFolder, const char* name);
extern const char kPassFolderName[];
extern const char kRecordName[];
extern const char kLockName[];
const int kSpreadFolders = 16;
