#include "install/FileKind.h"

bool Exists(const CString& path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// The file's identity, read without following a link; false where it cannot be.
bool IdentityOf(const CString& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool read = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    return read;
}

} // namespace

bool IsFile(const CString& path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsPlainFile(const CString& path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
}

HANDLE OpenFolderHeld(const CString& path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

bool ReadAttributes(HANDLE file, DWORD& attributes, FILETIME* written) {
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return false;
    attributes = basic.FileAttributes;
    if (written) {
        written->dwLowDateTime = basic.LastWriteTime.u.LowPart;
        written->dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.u.HighPart);
    }
    return true;
}

bool ReadNames(HANDLE file, DWORD& links) {
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return false;
    links = standard.NumberOfLinks;
    return true;
}

bool ReadFileKind(HANDLE file, DWORD& attributes, DWORD& links, FILETIME* written) {
    return ReadAttributes(file, attributes, written) && ReadNames(file, links);
}

HANDLE OpenLoneFile(const CString& path, DWORD access, DWORD share, DWORD* attributes) {
    HANDLE file = CreateFileA(path, access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    if (NamesOfOpen(file, attributes) == 1)
        return file;
    CloseHandle(file);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

DWORD NamesOf(const CString& path) {
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD names = NamesOfOpen(file);
    CloseHandle(file);
    return names;
}

DWORD NamesOfOpen(HANDLE file, DWORD* attributes) {
    DWORD kind = 0, links = 0;
    if (!ReadFileKind(file, kind, links) ||
        (kind & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return 0;
    if (attributes)
        *attributes = kind;
    return links;
}

bool IsLoneFile(const CString& path) {
    return NamesOf(path) == 1;
}

bool IsSameFile(const CString& one, const CString& other) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return IdentityOf(one, a) && IdentityOf(other, b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
