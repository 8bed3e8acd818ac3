// Where Windows paths land on this machine. The POSIX root is drive Z: (as under Wine), so
// Z:\tmp\a is /tmp/a and Z:\ is /. No other drive exists, nor any network path.
#pragma once

#include <string>

#include "WinApi.h"

namespace hostfs {

// A Windows path (cp1252; '\\' or '/'; absolute, drive-relative, rooted or relative to the
// current directory) as an absolute POSIX path (UTF-8). "." and ".." are resolved by name, as
// Windows does, and repeated or trailing separators are dropped. Returns ERROR_SUCCESS or
// ERROR_INVALID_NAME (a forbidden character in a name), ERROR_PATH_NOT_FOUND (another drive,
// empty path), ERROR_BAD_NETPATH (\\server\share), ERROR_FILENAME_EXCED_RANGE (MAX_PATH
// characters or more, unless the limit is lifted: test helpers may name what Windows can't).
enum class PathLimit { MaxPath, None };
DWORD ToPosixPath(const char* windowsPath, std::string& posixPath,
                  PathLimit limit = PathLimit::MaxPath);

// An absolute POSIX path in Windows form: "Z:" + the path with backslashes; names that
// Windows-1252 cannot hold get '?' (see Utf8ToCp1252).
std::string ToWindowsPath(const std::string& posixPath);

enum class Leaf { FoldCase, Exact };

// For a path that does not exist as spelled: replaces each missing component by an entry of
// its folder with the same name regardless of case. Returns true when it changed the path.
// It scans folders, so callers try the exact path first. With Leaf::Exact the last component
// is kept as spelled.
bool FindRegardlessOfCase(std::string& posixPath, Leaf leaf);

// The folder part of an absolute POSIX path ("/" for "/x").
std::string ParentOf(const std::string& posixPath);

} // namespace hostfs
