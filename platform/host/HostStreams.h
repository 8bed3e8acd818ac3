// Alternate data streams as Samba keeps them (vfs_streams_xattr): each in the extended
// attribute user.DosStream.<name>:$DATA of its file. Only what Windows does with them that the
// pass meets: a copy takes a file's streams along, and a stream is deleted by its name.
#pragma once

#include <string>

#include "WinApi.h"

namespace hostfs {

// Splits "file:stream" or "file:stream:$DATA" (a stream of the path's last name) into the
// file's path and the stream's name; false for a path without a stream.
bool SplitStream(const char* path, std::string& file, std::string& stream);

// The extended attribute that holds stream (cp1252).
std::string StreamAttribute(const std::string& stream);

// Copies every stream of the file open as from to the one open as to: 0 or an errno value.
int CopyStreams(int from, int to);

} // namespace hostfs
