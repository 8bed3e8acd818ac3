// Windows' own folders are never a service pack. An elevated program that is not given its
// folder starts in the system folder, and a pass from there would copy the system's files into
// the Korvo folder.
#pragma once

#include "CString.h"

// Whether folder is the Windows folder, its system folder or (on 64-bit Windows) its 32-bit
// system folder, compared regardless of letter case and of a closing backslash. Folders below
// them are not: deployment tools unpack packs there.
bool IsWindowsOwnFolder(const CString& folder);

// folder without a closing backslash, but for a drive's root ("C:\\"). The last character is
// looked at, not the last byte: under a double-byte code page a backslash byte may be the second
// half of a character ("\x95\x5C" in 932).
CString WithoutClosingBackslash(const char* folder);
