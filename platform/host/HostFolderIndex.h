// Finding a name in a folder regardless of case, as Windows does through the folder's index
// rather than by reading the whole folder.
#pragma once

#include <string>
#include <string_view>

namespace hostfs {

// The first entry of folder (a POSIX path), in folder order, whose name equals name
// (UTF-8, as on disk) regardless of case; "." and ".." and names that Windows-1252 cannot hold
// never match. Sets match to the entry's name as stored (UTF-8). May change errno.
bool FindInFolder(const std::string& folder, std::string_view name, std::string& match);

} // namespace hostfs
