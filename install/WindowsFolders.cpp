#include "install/WindowsFolders.h"

#include "NameCase.h"

namespace {

// length: what the lookup answered; 0 (none, such as no 32-bit system folder on 32-bit
// Windows) or MAX_PATH and more (no room) match nothing.
bool Matches(const CString& folder, UINT length, const char* buffer) {
    if (length == 0 || length >= MAX_PATH)
        return false;
    const CString other = WithoutClosingBackslash(buffer);
    return CompareFileNamesA(folder, other) == 0;
}

} // namespace

CString WithoutClosingBackslash(const char* path) {
    CString folder = path;
    const int length = folder.GetLength();
    const char* begin = folder;
    return length > 3 && *CharPrevA(begin, begin + length) == '\\' ? folder.Left(length - 1)
                                                                   : folder;
}

bool IsWindowsOwnFolder(const CString& folder) {
    const CString candidate = WithoutClosingBackslash(folder);
    char buffer[MAX_PATH];
    // The system's own: for a program that is not terminal-server aware, GetWindowsDirectoryA
    // answers a folder of the user's on a Remote Desktop session host.
    if (Matches(candidate, GetSystemWindowsDirectoryA(buffer, MAX_PATH), buffer))
        return true;
    if (Matches(candidate, GetSystemDirectoryA(buffer, MAX_PATH), buffer))
        return true;
    return Matches(candidate, GetSystemWow64DirectoryA(buffer, MAX_PATH), buffer);
}
