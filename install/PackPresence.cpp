#include "install/PackPresence.h"

#include "WinApi.h"
#include "install/FileKind.h"
#include "install/PackList.h"
#include "install/PassListing.h"
#include "install/PassNames.h"
#include "install/WindowsFolders.h"

bool WouldOnlyAddFiles(const CString& sourceFolder, const CString& targetFolder) {
    if (sourceFolder.IsEmpty() || IsWindowsOwnFolder(sourceFolder))
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstInFolder(sourceFolder, &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    CPackList list;
    bool installs = false, present = false;
    do {
        const char* name = entry.cFileName;
        // What the pass installs; an optional library counts only where it is there anyway.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsSkippedName(name) ||
            !IsInstallableName(name) || !IsHeldName(name) || !list.Lists(name))
            continue;
        installs = true;
        present = IsFile(targetFolder + '\\' + name);
    } while (!present && FindNextFileExactA(listing, &entry));
    FindClose(listing);
    return installs && !present;
}
