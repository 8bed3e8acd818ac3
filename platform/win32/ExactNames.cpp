// The current directory and folder listings for the installation logic, read in UTF-16 and
// spelt in the ANSI code page without the system's look-alikes.
#include <cstring>
#include <string>

#include "CodePages.h"
#include "WinApi.h"

namespace {

void CopyEntry(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA* data) {
    data->dwFileAttributes = wide.dwFileAttributes;
    data->ftCreationTime = wide.ftCreationTime;
    data->ftLastAccessTime = wide.ftLastAccessTime;
    data->ftLastWriteTime = wide.ftLastWriteTime;
    data->nFileSizeHigh = wide.nFileSizeHigh;
    data->nFileSizeLow = wide.nFileSizeLow;
    data->dwReserved0 = wide.dwReserved0;
    data->dwReserved1 = wide.dwReserved1;
    std::string name;
    ToAnsiName(wide.cFileName, name, sizeof data->cFileName);
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    ToAnsiName(wide.cAlternateFileName, name, sizeof data->cAlternateFileName);
    std::memcpy(data->cAlternateFileName, name.c_str(), name.size() + 1);
}

} // namespace

DWORD GetCurrentDirectoryExactA(DWORD size, LPSTR buffer) {
    Utf16 wide(MAX_PATH, L'\0');
    DWORD length = GetCurrentDirectoryW(MAX_PATH, wide.data());
    if (length >= MAX_PATH) {
        wide.resize(length);
        length = GetCurrentDirectoryW(length, wide.data());
    }
    if (length == 0 || length >= wide.size())
        return 0;
    std::string ansi;
    ToAnsiName(std::wstring_view(wide.data(), length), ansi, std::string::npos);
    // Too small: the size needed including the NUL, and the buffer untouched.
    if (!buffer || ansi.size() + 1 > size)
        return static_cast<DWORD>(ansi.size() + 1);
    std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
    return static_cast<DWORD>(ansi.size());
}

HANDLE FindFirstFileExactA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
    WIN32_FIND_DATAW wide;
    HANDLE find = FindFirstFileW(WideText(CDisplayText().Name(pattern)).data(), &wide);
    if (find != INVALID_HANDLE_VALUE)
        CopyEntry(wide, data);
    return find;
}

BOOL FindNextFileExactA(HANDLE find, WIN32_FIND_DATAA* data) {
    WIN32_FIND_DATAW wide;
    if (!FindNextFileW(find, &wide))
        return FALSE;
    CopyEntry(wide, data);
    return TRUE;
}
