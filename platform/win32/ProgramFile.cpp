// The running program's own file: the folder that holds it, and whether a path names it.
#include <cstring>
#include <string>

#include "CodePages.h"
#include "WinApi.h"

namespace {

// The program's full path; empty when it cannot be read. A path may be longer than MAX_PATH:
// the call then fills the buffer and says nothing of the size it needs.
Utf16 ProgramPath() {
    Utf16 path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

// Read through a handle opened for nothing but that: no access, every sharing mode, so that
// nothing the program or another one holds stands in the way.
bool IdentityOf(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool known = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    return known;
}

} // namespace

DWORD GetProgramFolderExactA(DWORD size, LPSTR buffer) {
    Utf16 path = ProgramPath();
    size_t cut = path.size();
    while (cut > 0 && path[cut - 1] != L'\\')
        --cut;
    // Up to the last backslash, which stays only at a drive's root ("D:\").
    if (cut == 0)
        return 0;
    path.resize(cut > 1 && path[cut - 2] == L':' ? cut : cut - 1);
    std::string ansi;
    ToAnsiName(std::wstring_view(path.data(), path.size()), ansi, std::string::npos);
    if (!buffer || ansi.size() + 1 > size)
        return static_cast<DWORD>(ansi.size() + 1);
    std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
    return static_cast<DWORD>(ansi.size());
}

BOOL IsProgramFileA(LPCSTR path) {
    Utf16 program = ProgramPath();
    if (program.empty())
        return FALSE;
    program.push_back(L'\0');
    BY_HANDLE_FILE_INFORMATION mine, other;
    if (!IdentityOf(program.data(), mine) ||
        !IdentityOf(WideText(CDisplayText().Name(path)).data(), other))
        return FALSE;
    return mine.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           mine.nFileIndexHigh == other.nFileIndexHigh && mine.nFileIndexLow == other.nFileIndexLow;
}
