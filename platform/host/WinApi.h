// The Win32 and runtime names the installation logic uses, declared for the Linux stand-in.
// Paths and names cross this boundary in Windows form and as Windows-1252 bytes, exactly as
// the A functions take them on Windows; platform/host/ maps them onto POSIX.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int32_t LONG; // 32 bits, as on Windows: LARGE_INTEGER's halves depend on it
typedef void* HANDLE;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef const wchar_t* LPCWSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef int64_t LONGLONG;
typedef unsigned char BOOLEAN;

#define WINAPI
#define CALLBACK

struct HeadlessWindow;
typedef HeadlessWindow* HWND;
typedef struct HDC__* HDC;
typedef struct HICON__* HICON;
typedef struct HCURSOR__* HCURSOR;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define FILE_BEGIN 0
#define FILE_END 2
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define DELETE 0x00010000u
#define FILE_READ_ATTRIBUTES 0x0080
#define FILE_WRITE_ATTRIBUTES 0x0100
#define FILE_APPEND_DATA 0x0004
#define READ_CONTROL 0x00020000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000
#define MOVEFILE_REPLACE_EXISTING 0x1
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_NO_MORE_FILES 18
#define ERROR_SHARING_VIOLATION 32
#define ERROR_LOCK_VIOLATION 33
#define ERROR_HANDLE_DISK_FULL 39
#define ERROR_BAD_LENGTH 24
#define ERROR_FILE_EXISTS 80
#define ERROR_ALREADY_EXISTS 183
#define ERROR_INVALID_PARAMETER 87
#define ERROR_DISK_FULL 112
#define ERROR_INVALID_NAME 123
#define ERROR_DIRECTORY 267
#define ERROR_DIR_NOT_EMPTY 145
#define ERROR_FILENAME_EXCED_RANGE 206
#define ERROR_READ_FAULT 30
#define ERROR_WRITE_FAULT 29
#define ERROR_CANT_RESOLVE_FILENAME 1921

#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define MB_DEFBUTTON2 0x00000100u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#define WM_USER 0x0400
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUERYENDSESSION 0x0011
#define WM_ERASEBKGND 0x0014
#define WM_QUERYDRAGICON 0x0037
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define BN_CLICKED 0

#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard };

struct WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
};

struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};

// The two classes the logic asks GetFileInformationByHandleEx for.
enum FILE_INFO_BY_HANDLE_CLASS { FileBasicInfo = 0, FileStandardInfo = 1 };

struct OVERLAPPED;

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

struct FILE_BASIC_INFO {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    DWORD FileAttributes;
};

struct FILE_STANDARD_INFO {
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    DWORD NumberOfLinks;
    BOOLEAN DeletePending;
    BOOLEAN Directory;
};

extern "C" {
DWORD GetLastError(void);
void SetLastError(DWORD error);

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

BOOL CopyFileA(LPCSTR source, LPCSTR target, BOOL failIfExists);
DWORD GetFileAttributesA(LPCSTR path);
BOOL GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags);
BOOL DeleteFileA(LPCSTR path);
BOOL CreateHardLinkA(LPCSTR newName, LPCSTR existing, void* security);
BOOL CreateDirectoryA(LPCSTR path, void* security);
BOOL RemoveDirectoryA(LPCSTR path);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                  DWORD size);
BOOL GetFileTime(HANDLE file, FILETIME* created, FILETIME* accessed, FILETIME* written);
BOOL SetFileTime(HANDLE file, const FILETIME* created, const FILETIME* accessed,
                 const FILETIME* written);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, OVERLAPPED* overlapped);
BOOL FlushFileBuffers(HANDLE file);
// FILE_END (where a log is appended to) and FILE_BEGIN, by 0 only.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemWindowsDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemWow64DirectoryA(LPSTR buffer, UINT size);

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
size_t _mbslen(const unsigned char* text);
int _mbscmp(const unsigned char* a, const unsigned char* b);
int _mbsicmp(const unsigned char* a, const unsigned char* b);
// Characters are bytes in Windows-1252: the one before current, or start itself.
LPSTR CharPrevA(LPCSTR start, LPCSTR current);
// The character after current, or current itself at the end.
LPSTR CharNextA(LPCSTR current);

// The window's reason for holding up the end of the session, recorded by the headless window.
BOOL ShutdownBlockReasonCreate(HWND window, LPCWSTR reason);
BOOL ShutdownBlockReasonDestroy(HWND window);
}

// As their A namesakes, but a character of a name that the ANSI code page cannot hold is '?',
// never a look-alike. The A functions here already give '?' for what Windows-1252 lacks.
inline DWORD GetCurrentDirectoryExactA(DWORD size, LPSTR buffer) {
    return GetCurrentDirectoryA(size, buffer);
}
inline HANDLE FindFirstFileExactA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
    return FindFirstFileA(pattern, data);
}
inline BOOL FindNextFileExactA(HANDLE find, WIN32_FIND_DATAA* data) {
    return FindNextFileA(find, data);
}
// The running program is a stand-in too (HostProgramFile.h): the folder that holds it, as
// GetCurrentDirectoryExactA answers; whether a path names that very file, however spelt.
DWORD GetProgramFolderExactA(DWORD size, LPSTR buffer);
BOOL IsProgramFileA(LPCSTR path);

typedef void* HGDIOBJ;
typedef struct HBITMAP__* HBITMAP;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
