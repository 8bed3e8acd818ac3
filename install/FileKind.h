// What is under a path, told without following a link: the pass never acts through one.
#pragma once

#include "CString.h"
#include "WinApi.h"

// Whether anything is under path (a file, a folder, a link).
bool Exists(const CString& path);

// Whether something other than a folder is under path (a file, or a link to one).
bool IsFile(const CString& path);

// Whether a file that is neither a link nor a folder is under path, looked at without following.
bool IsPlainFile(const CString& path);

// Opens the folder path itself, never what a link or junction points to, for reading and without
// sharing delete, so that it cannot be renamed away while the handle holds it.
HANDLE OpenFolderHeld(const CString& path);

// The attributes, number of names and (if asked) last-write time of an open file, from a handle
// that may read attributes.
// Not GetFileInformationByHandle: that also reads the volume's serial number, which costs Wine a
// look through its mounts (half a millisecond) on every call.
bool ReadFileKind(HANDLE file, DWORD& attributes, DWORD& links, FILETIME* written = nullptr);
// Its two halves, one query each: under Wine a query costs a quarter of an open.
bool ReadAttributes(HANDLE file, DWORD& attributes, FILETIME* written);
bool ReadNames(HANDLE file, DWORD& links);

// Opens path itself, never what a link points to, for access and with share: a handle only when
// it is a plain file with one name, its attributes then in attributes if given.
HANDLE OpenLoneFile(const CString& path, DWORD access, DWORD share, DWORD* attributes = nullptr);

// Whether path is a plain file with one name, looked at through a handle that does not follow a
// link.
bool IsLoneFile(const CString& path);

// The number of names of the plain file at path: 0 where there is none, or something else.
DWORD NamesOf(const CString& path);
// The same of an open file that may read attributes, with its attributes where it is plain.
DWORD NamesOfOpen(HANDLE file, DWORD* attributes = nullptr);

// Whether the two paths name one file (its names, not copies), looked at without following.
bool IsSameFile(const CString& one, const CString& other);
