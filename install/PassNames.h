// Which entries of a service pack the installation pass installs. The pass and the release
// command's pack check both take their rules from here.
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

// Whether name ends in the pass folder's name (".~kq"), in any letter case: one of the pass's
// own names, never installed; so no pack name is the pass's folder.
bool IsPassName(const char* name);
