// Which entries of a service pack the installation pass installs, and under which names it
// writes. The pass and the release command's pack check both take their rules from here.
#pragma once

#include "CString.h"
#include "WinApi.h"

// ".", ".." and the installer itself are never copied (exact, case-sensitive names), nor a
// file's stream, which Wine lists as "name:stream".
bool IsSkippedName(const char* name);
extern const char kInstallerName[];

// VOZORADI.DLL and DOZADARU.DLL: copied only where the Korvo folder already has them.
bool IsOptionalLibrary(const char* name);
extern const char* const kOptionalLibraryNames[2];

// Windows drops a trailing dot or space from a path, so such a name would be written under
// another name (or, for "...", mean the folder itself): it is never installed.
bool IsInstallableName(const char* name);

// A name that the ANSI code page cannot hold comes from the listing with '?' for what it lacks
// ('?' is in no Windows name, nor a trail byte of a double-byte ANSI code page): no file
// function can name it.
bool IsHeldName(const char* name);

// The pass keeps its own files in kPassFolderName (".~kq") in the Korvo folder, never among
// Korvo's: the lock, the record of a commit in progress (kRecordName, relative to the Korvo
// folder), and in its kSpreadFolders subfolders (one character each), by a hash of the name:
// - the staged copy, in one of the first half, renamed over the target in the commit;
// - the second name, in one of the other half: the old file kept until the commit is done,
//   and a copy made beside a leftover under the first.
// Spread so that no folder that gets a new name per file grows large: Wine looks a new name up
// by scanning its whole folder. Both are on the Korvo folder's volume, so the commit and its
// undo are renames and hard links. No pack name ends in kTemporarySuffix, so none is the
// pass's folder.
CString PassFolderOf(const CString& targetFolder);
// The index-th of the pass folder's subfolders, 0 to kSpreadFolders - 1.
CString SpreadFolderOf(const CString& targetFolder, int index);
CString TemporaryPathFor(const CString& targetFolder, const char* name);
CString SecondPathFor(const CString& targetFolder, const char* name);
extern const char kTemporarySuffix[];
extern const char kPassFolderName[];
extern const char kRecordName[];
extern const char kLockName[];
const int kSpreadFolders = 16;

// Whether name ends in kTemporarySuffix, in any letter case: one of the pass's own names,
// never installed.
bool IsPassName(const char* name);

// Whether something other than a folder is under path (a file, or a link to one).
bool IsFile(const CString& path);

// Whether a file that is neither a link nor a folder is under path, looked at without following.
bool IsPlainFile(const CString& path);

// Opens the folder path itself, never what a link or junction points to, for reading and without
// sharing delete, so that it cannot be renamed away while the handle holds it.
HANDLE OpenFolderHeld(const CString& path);

// The attributes and number of names of an open file, from a handle that may read attributes.
// Not GetFileInformationByHandle: that also reads the volume's serial number, which costs Wine a
// look through its mounts (half a millisecond) on every call.
bool ReadFileKind(HANDLE file, DWORD& attributes, DWORD& links);

// Opens path itself, never what a link points to, for access and with share: a handle only when
// it is a plain file with one name, its attributes then in attributes if given.
HANDLE OpenLoneFile(const CString& path, DWORD access, DWORD share, DWORD* attributes = nullptr);

// Whether path is a plain file with one name, looked at through a handle that does not follow a
// link.
bool IsLoneFile(const CString& path);
