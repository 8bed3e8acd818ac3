// Where Windows paths land on this machine. The POSIX root is drive Z: (as under Wine), so
// Z:\tmp\a is /tmp/a and Z:\ is /. No other drive exists, nor any network path.
//
// Where the host file functions knowingly differ from Windows:
// - Names keep trailing dots and spaces; NUL, CON, COM1... are ordinary names; a separator
//   after a file name is ignored; there are no 8.3 short names.
// - Names that differ only in case can coexist; a lookup prefers the exact spelling, else
//   takes the first match in folder order. CopyFileA takes its target's name as spelled;
//   MoveFileExA replaces a target found in another case under that case's name, as Wine does.
//   A folder's names are indexed through inotify; where it sees no change (a network file
//   system changed from another machine), a name that appeared there may go unfound.
// - Sharing modes hold only between handles of CreateFileA (HostShares.h); there are no locks.
// - The creation time is the inode change time; a copy does not get the archive mark.
// - Hidden means user.DOSATTRIB says so, not a leading dot. "." and ".." are listed at the
//   root too, and entries come in the file system's order, not sorted.
// - A name Windows-1252 cannot hold shows one '?' per character, without best-fit mapping.
// - Paths of MAX_PATH characters and more work, as under Wine; only the kernel's limits hold.
#pragma once

#include <string>

#include <sys/stat.h>

#include "WinApi.h"

namespace hostfs {

// A Windows path (cp1252; '\\' or '/'; absolute, drive-relative, rooted or relative to the
// current directory) as an absolute POSIX path (UTF-8). "." and ".." are resolved by name, as
// Windows does, and repeated or trailing separators are dropped. Returns ERROR_SUCCESS or
// ERROR_INVALID_NAME (a forbidden character in a name), ERROR_PATH_NOT_FOUND (another drive,
// empty path) or ERROR_BAD_NETPATH (\\server\share).
DWORD ToPosixPath(const char* windowsPath, std::string& posixPath);

// An absolute POSIX path in Windows form: "Z:" + the path with backslashes; names that
// Windows-1252 cannot hold get '?' (see Utf8ToCp1252).
std::string ToWindowsPath(const std::string& posixPath);

enum class Leaf { FoldCase, Exact };

// For a path that does not exist as spelled: replaces each missing component by an entry of
// its folder with the same name regardless of case. Returns true when it changed the path.
// Callers try the exact path first: a name found in another case reads its folder. With
// Leaf::Exact the last component is kept as spelled (CopyFileA's target).
bool FindRegardlessOfCase(std::string& posixPath, Leaf leaf);

// stat of posixPath (lstat, which never follows a link, unless followLinks), where the name as
// spelled is missing found regardless of case: 0, or the errno.
int StatRegardlessOfCase(std::string& posixPath, struct stat& st, bool followLinks = true);

// As the A functions answer into a caller's buffer: the length copied, or, where it does not
// fit (or there is no buffer), the size needed with the NUL and the buffer untouched.
DWORD CopyAnswer(const std::string& text, LPSTR buffer, DWORD size);

// The folder part of an absolute POSIX path ("/" for "/x").
std::string ParentOf(const std::string& posixPath);

} // namespace hostfs
