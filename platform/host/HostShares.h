// Share modes as Windows keeps them: a file opened through CreateFileA is held, until its
// handle is closed, against whatever the handle did not share. Another program that opened a
// file without FILE_SHARE_DELETE thus refuses its rename and delete, without FILE_SHARE_WRITE
// an overwrite, without FILE_SHARE_READ a copy from it.
#pragma once

#include <sys/stat.h>

#include "WinApi.h"

namespace hostfs {

// The holds of one handle on a file: what it may do (GENERIC_READ...) and what it shares.
// ERROR_SHARING_VIOLATION, and nothing held, when the open conflicts with a hold already there:
// the file does not share what the handle would do, or the handle does not share what a hold
// does.
DWORD HoldFile(const void* handle, const struct stat& st, DWORD access, DWORD share);
void ReleaseFile(const void* handle);

// ERROR_SHARING_VIOLATION when a hold on the file does not share `need` (FILE_SHARE_READ,
// FILE_SHARE_WRITE or FILE_SHARE_DELETE, as the operation would open the file for reading,
// writing or deleting); else ERROR_SUCCESS.
DWORD CheckShares(const struct stat& st, DWORD need);

// Whether any handle holds the file, whatever it shares: NTFS replaces no open file by a
// rename, even when its holder shares delete.
bool IsOpen(const struct stat& st);
} // namespace hostfs
