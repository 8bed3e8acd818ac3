// Which entries of a service pack the installation pass installs, and under which names it
// writes. The pass and the release command's pack check both take their rules from here.
#pragma once

#include "CString.h"
#include "WinApi.h"

// ".", ".." and the installer itself are never copied (exact, case-sensitive names).
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

// The pass's own names beside the targets all end in kTemporarySuffix (".~kq"), so that no
// installable name is one of them:
// - the staged copy, target + ".~kq", renamed over the target in the commit;
// - the second name, target + ".~kq.~kq": the old file kept until the commit is done, and a
//   copy made beside a leftover under the first;
// - the record of a commit in progress, kRecordName.
CString TemporaryPathFor(const CString& targetPath);
CString SecondPathFor(const CString& targetPath);
extern const char kTemporarySuffix[];
extern const char kSecondSuffix[];
extern const char kRecordName[];

// Whether name ends in kTemporarySuffix, in any letter case: one of the pass's own names,
// never installed.
bool IsPassName(const char* name);

// Whether something other than a folder is under path (a file, or a link to one).
bool IsFile(const CString& path);

// Whether a file that is neither a link nor a folder is under path, looked at without following.
bool IsPlainFile(const CString& path);

// Opens path itself, never what a link points to, for access and with share: a handle only when
// it is a plain file with one name, its attributes then in attributes if given.
HANDLE OpenLoneFile(const CString& path, DWORD access, DWORD share, DWORD* attributes = nullptr);

// Whether path is a plain file with one name, looked at through a handle that does not follow a
// link.
bool IsLoneFile(const CString& path);
