#include "install/PassListing.h"

#include "disk/DiskObject.h"
#include "install/PassRules.h"

namespace {

const DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                     FILE_ATTRIBUTE_ARCHIVE;

// Whether the Korvo folder has the optional library `name`, so that it is to be replaced. One
// there that cannot be opened, even after a hold's retries, is a failure.
bool HasOptionalLibrary(const CString& targetPath, const char* name, CWnd* owner,
                        CRetryBudget& retry, PassOutcome& outcome) {
    retry.StartFile();
    CDiskObject disk(owner);
    while (!disk.IsFilePresent(targetPath)) {
        const DWORD error = GetLastError();
        if (!IsFile(targetPath))
            return false;
        SetLastError(error);
        if (!retry.Again(targetPath)) {
            outcome.CopyFailed(name, CauseOf(error, targetPath));
            return false;
        }
    }
    return true;
}

void Take(const WIN32_FIND_DATAA& entry, const CString& targetFolder, CWnd* owner,
          CRetryBudget& retry, CPackList& list, CPassFiles& files, PassOutcome& outcome) {
    const char* name = entry.cFileName;
    const DWORD attributes = entry.dwFileAttributes;
    // A subfolder cannot be copied and is not meant to be.
    if (IsSkippedName(name) ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
            FILE_ATTRIBUTE_DIRECTORY ||
        !list.Lists(name))
        return;
    outcome.Candidate();
    // A link is not read through, whatever it points to.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsInstallableName(name) ||
        !IsHeldName(name) || IsPassName(name)) {
        outcome.CopyFailed(name, Cause::Other);
        return;
    }
    if (IsOptionalLibrary(name) &&
        !HasOptionalLibrary(targetFolder + '\\' + name, name, owner, retry, outcome))
        return;
    if (!files.Add(name, (attributes & kMarks) != 0))
        outcome.CopyFailed(name, Cause::Other);
}

} // namespace

HANDLE FindFirstInFolder(const CString& folder, WIN32_FIND_DATAA* entry) {
    CString pattern;
    pattern.Format("%s\\*.*", static_cast<const char*>(folder));
    return FindFirstFileExactA(pattern, entry);
}

bool ListPack(const CString& sourceFolder, const CString& targetFolder, CWnd* owner,
              CKeepAlive& alive, CRetryBudget& retry, CPackList& list, CPassFiles& files,
              PassOutcome& outcome) {
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstInFolder(sourceFolder, &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    do {
        alive.Serve();
        Take(entry, targetFolder, owner, retry, list, files, outcome);
    } while (FindNextFileExactA(listing, &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        outcome.ListingBroken();
    FindClose(listing);
    return true;
}
