// DOS attributes on POSIX files. Read-only is "no write permission bit"; hidden, system and
// archive live in the user.DOSATTRIB extended attribute as "0x%x" (Wine's and Samba's way).
#pragma once

#include <string>
#include <sys/stat.h>

#include "WinApi.h"

namespace hostfs {

constexpr DWORD kXattrBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// The hidden/system/archive bits; 0 when the attribute is missing or unreadable.
DWORD ReadXattrBits(const char* posixPath);
DWORD ReadXattrBits(int fd);
// Stores the bits (removes the attribute for 0). Returns 0 or an errno value.
int WriteXattrBits(const char* posixPath, DWORD bits);
int WriteXattrBits(int fd, DWORD bits);

bool IsReadOnly(const struct stat& st);
// What GetFileAttributesA reports: FILE_ATTRIBUTE_NORMAL when no other bit is set.
DWORD AttributesOf(const struct stat& st, DWORD xattrBits);

// What Windows shows for a symbolic link itself: a reparse point, and a folder when it points
// to one (a directory link).
DWORD LinkAttributes(const char* posixPath);

FILETIME ToFileTime(const struct timespec& time);
struct timespec FromFileTime(const FILETIME& time);

// The POSIX path of a Windows path, found regardless of case if need be, and what stat says of
// it; ERROR_SUCCESS or the error the Windows functions give.
// followLinks false: a link is stat'ed itself.
DWORD StatPath(LPCSTR path, std::string& posixPath, struct stat& st, bool followLinks = true);

} // namespace hostfs
