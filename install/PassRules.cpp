#include "install/PassRules.h"

#include <cctype>
#include <cstring>

#include "WinApi.h"

namespace {

bool IsName(const char* name, const char* fixed) {
    return _mbscmp(reinterpret_cast<const unsigned char*>(name),
                   reinterpret_cast<const unsigned char*>(fixed)) == 0;
}

} // namespace

const char* const kOptionalLibraryNames[2] = {"VOZORADI.DLL", "DOZADARU.DLL"};
const char kTemporarySuffix[] = ".~kq";
const char kPassFolderName[] = ".~kq";
// Short, as a Korvo folder of 250 characters must still hold them within MAX_PATH.
const char kRecordName[] = ".~kq\\~c";
const char kLockName[] = ".~kq\\~l";

const char kInstallerName[] = "install.exe";

bool IsSkippedName(const char* name) {
    // Wine keeps a file's stream as a file "name:stream" beside it and lists it so; no file on
    // Windows has a colon in its name.
    return IsName(name, ".") || IsName(name, "..") || IsName(name, kInstallerName) ||
           std::strchr(name, ':');
}

bool IsOptionalLibrary(const char* name) {
    for (const char* library : kOptionalLibraryNames)
        if (IsName(name, library))
            return true;
    return false;
}

bool IsInstallableName(const char* name) {
    const size_t length = std::strlen(name);
    return length > 0 && name[length - 1] != '.' && name[length - 1] != ' ';
}

bool IsHeldName(const char* name) {
    return std::strchr(name, '?') == nullptr;
}

bool IsPassName(const char* name) {
    // ASCII at the end: '.' is no trail byte of a double-byte code page.
    const size_t length = std::strlen(name), suffix = sizeof kTemporarySuffix - 1;
    if (length < suffix)
        return false;
    for (size_t i = 0; i < suffix; ++i)
        if (std::tolower(static_cast<unsigned char>(name[length - suffix + i])) !=
            kTemporarySuffix[i])
            return false;
    return true;
}

namespace {

// Derived from the name alone, so a pass finds a leftover of an earlier, killed pass; letters
// folded, as Windows takes a name in any case.
CString SpreadPath(const CString& targetFolder, const char* name, int half) {
    unsigned hash = 0;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(name); *at; ++at)
        hash = hash * 31 + (*at >= 'A' && *at <= 'Z' ? *at + ('a' - 'A') : *at);
    // Copies in the first half, kept old files in the second.
    return SpreadFolderOf(targetFolder, half * kSpreadFolders / 2 + hash % (kSpreadFolders / 2)) +
           '\\' + name;
}

} // namespace

CString PassFolderOf(const CString& targetFolder) {
    // The backslash is added even after a drive root; Windows takes the doubled one.
    return targetFolder + '\\' + kPassFolderName;
}

CString SpreadFolderOf(const CString& targetFolder, int index) {
    return PassFolderOf(targetFolder) + '\\' + "0123456789abcdef"[index];
}

CString TemporaryPathFor(const CString& targetFolder, const char* name) {
    return SpreadPath(targetFolder, name, 0);
}

CString SecondPathFor(const CString& targetFolder, const char* name) {
    return SpreadPath(targetFolder, name, 1);
}

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

bool ReadFileKind(HANDLE file, DWORD& attributes, DWORD& links) {
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return false;
    attributes = basic.FileAttributes;
    links = standard.NumberOfLinks;
    return true;
}

HANDLE OpenLoneFile(const CString& path, DWORD access, DWORD share, DWORD* attributes) {
    HANDLE file = CreateFileA(path, access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    DWORD kind = 0, links = 0;
    if (ReadFileKind(file, kind, links) && links == 1 &&
        !(kind & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        if (attributes)
            *attributes = kind;
        return file;
    }
    CloseHandle(file);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

bool IsLoneFile(const CString& path) {
    HANDLE file = OpenLoneFile(path, FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}
