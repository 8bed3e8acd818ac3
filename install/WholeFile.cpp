#include "install/WholeFile.h"

#include "install/PassRules.h"

namespace {

// Removes the temporary file, whether a failed copy or a killed pass left it.
bool RemoveTemporary(const CString& temporary, CRetryBudget& retry) {
    if (!IsFile(temporary))
        return false;
    SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
    while (!DeleteFileA(temporary))
        if (!retry.Again(temporary))
            return false;
    return true;
}

enum class Target { Missing, Replaceable, Refused };

// What the platform's copy refuses to overwrite stays as it is: a read-only file, a folder,
// and a hidden or system file unless the new one is so too. A rename alone would replace them.
Target Inspect(const CString& targetPath, DWORD sourceAttributes) {
    const DWORD target = GetFileAttributesA(targetPath);
    if (target == INVALID_FILE_ATTRIBUTES)
        return Target::Missing;
    const DWORD guarded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const bool refused = (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ||
                         (target & guarded & ~sourceAttributes);
    return refused ? Target::Refused : Target::Replaceable;
}

// CopyFileExA calls this between chunks of one file, on the copying thread.
DWORD CALLBACK ServeWhileCopying(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                 DWORD, HANDLE, HANDLE, LPVOID alive) {
    static_cast<CKeepAlive*>(alive)->Serve();
    return PROGRESS_CONTINUE;
}

// Exclusive, so that nothing found under the temporary name is written through.
bool CopyToTemporary(const CString& sourcePath, const CString& temporary, CKeepAlive& alive) {
    return CopyFileExA(sourcePath, temporary, ServeWhileCopying, &alive, nullptr,
                       COPY_FILE_FAIL_IF_EXISTS) != FALSE;
}

} // namespace

bool IsFile(const CString& path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Replaces the target whole or not at all: the copy goes to a temporary file beside it (one
// volume, so the rename cannot turn into a copy) and only the finished file is renamed over
// the target. A process killed on the way leaves the old target and, at worst, the temporary
// file, which the next pass over the same file removes.
//
// expectNew says whether the last target was missing. Then this one most likely is too (a
// first installation), and a rename that does not replace tells at no cost whether it is
// there; asking first would cost a second search of the folder for a name it lacks.
Cause ReplaceWhole(const CString& sourcePath, const CString& targetPath, DWORD sourceAttributes,
                   bool& expectNew, CKeepAlive& alive, CRetryBudget& retry) {
    const CString temporary = TemporaryPathFor(targetPath);
    // Beyond MAX_PATH the file cannot be written safely; it is reported instead.
    if (temporary.GetLength() >= MAX_PATH)
        return Cause::PathTooLong;
    const auto giveUp = [&](const CString& path) {
        const Cause cause = CauseOf(GetLastError(), path);
        RemoveTemporary(temporary, retry);
        return cause;
    };
    const auto refuse = [&] {
        RemoveTemporary(temporary, retry);
        return Cause::Other;
    };
    if (!expectNew) {
        const Target target = Inspect(targetPath, sourceAttributes);
        if (target == Target::Refused)
            return refuse();
        expectNew = target == Target::Missing;
    }
    // What a killed pass left under the temporary name is removed and the copy made again.
    // Access denied there is the folder's answer, not a hold: the temporary name is new.
    bool leftoverRemoved = false;
    while (!CopyToTemporary(sourcePath, temporary, alive)) {
        const DWORD error = GetLastError();
        const bool leftover = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        if (leftover ? leftoverRemoved || !RemoveTemporary(temporary, retry)
                     : !retry.Again(temporary))
            return giveUp(temporary);
        leftoverRemoved = leftoverRemoved || leftover;
    }
    if (expectNew) {
        for (;;) {
            if (MoveFileExA(temporary, targetPath, 0))
                return Cause::None;
            const DWORD error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                break;
            if (!retry.Again(targetPath))
                return giveUp(targetPath);
        }
        expectNew = false;
        if (Inspect(targetPath, sourceAttributes) == Target::Refused)
            return refuse();
    }
    while (!MoveFileExA(temporary, targetPath, MOVEFILE_REPLACE_EXISTING))
        if (!retry.Again(targetPath))
            return giveUp(targetPath);
    return Cause::None;
}
