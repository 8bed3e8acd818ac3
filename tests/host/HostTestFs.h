// The host side of the test file helpers, for tests that set up or check what only POSIX can:
// modes, times, links, FIFOs, names that Windows-1252 cannot hold.
#pragma once

#include <string>
#include <vector>

#include "TestFs.h"

namespace testfs {

// The POSIX path the host backend maps a Windows-form path to; fails the test when none.
std::string Posix(const CString& path);
void WritePosixFile(const std::string& path, const std::string& content);
// The file's content; fails the test and returns "" when it cannot be read.
std::string ReadPosixFile(const std::string& path);
// The names in a POSIX folder as bytes, without "." and "..", in readdir's order, which is the
// order the host lists them in; fails the test when the folder cannot be read.
std::vector<std::string> ReaddirNames(const std::string& folder);

} // namespace testfs
