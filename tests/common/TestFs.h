// Real folders and files for tests, named by Windows-form paths on both builds. These helpers
// go around the code under test: on Linux straight to POSIX, on Windows to kernel32.
#pragma once

#include <string>
#include <vector>

#include "CString.h"
#include "WinApi.h"

namespace testfs {

// A fresh, empty folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const CString& Path() const { return m_path; }
    // Path() + '\\' + name
    CString operator/(const char* name) const;

private:
    CString m_path;
};

// folder + '\\' + name
inline CString operator/(const CString& folder, const char* name) {
    return folder + '\\' + name;
}

void MakeDir(const CString& path);
void WriteFile(const CString& path, const std::string& content);
// As WriteFile, making the folders above it that are missing (ASCII paths).
void WriteFileMakingFolders(const CString& path, const std::string& content);
// The file's content; fails the test and returns "" when it cannot be read.
std::string ReadFile(const CString& path);
bool Exists(const CString& path);
// GetFileAttributesA's answer, read independently of the code under test.
DWORD Attributes(const CString& path);
// Sets read-only, hidden, system and archive as given (FILE_ATTRIBUTE_* bits).
void SetAttributes(const CString& path, DWORD attributes);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> List(const CString& folder);
void RemoveTree(const CString& path);
// How many handles (file descriptors on Linux) the process holds open.
long OpenHandles();

} // namespace testfs
