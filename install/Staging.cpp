#include "install/Staging.h"

#include "install/FileKind.h"
#include "install/PassFolderLayout.h"

namespace {

const DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The name is taken: a leftover, or anything planted.
bool Taken(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Why the copy failed: its own name is new, so a hold is the source's.
Cause CopyCause(DWORD error, const CString& temporary) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return Cause::SourceInUse;
    return CauseOf(error, temporary);
}

// Opens the target itself, never what a link points to, for access and with every share, and
// reads its attributes and number of names. With retry, a hold is tried again within the
// budget: asked for DELETE and GENERIC_WRITE, an open fails for a holder that does not share
// them (and, on Windows, for a running program), as the commit's rename would.
Cause Look(const CString& target, DWORD access, CRetryBudget* retry, DWORD& attributes,
           DWORD& links) {
    HANDLE file;
    while ((file = CreateFileA(target, access | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) ==
           INVALID_HANDLE_VALUE)
        if (!retry || !retry->Again(target))
            return CauseOf(GetLastError(), target);
    const bool known = ReadFileKind(file, attributes, links);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!known)
        return CauseOf(error, target);
    return attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY) ? Cause::Other
                                                                                  : Cause::None;
}

// A leftover under one of the pass's names, about to be replaced by a rename: its read-only
// mark, which Windows' rename refuses, is reset where it is a plain file with one name. The
// handle, which does not share delete, keeps that file under the name meanwhile. A link or a
// file with other names is never changed: the rename over it fails and names the file.
void ClearLeftover(const CString& path) {
    DWORD attributes = 0;
    HANDLE file =
        OpenLoneFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesA(path, (attributes & kMarks & ~FILE_ATTRIBUTE_READONLY) |
                                     FILE_ATTRIBUTE_NORMAL);
    CloseHandle(file);
}

// Copies the source under the temporary name. A leftover there (of a killed pass, or
// anything planted) is never deleted, nor changed but for a read-only mark: the copy goes to
// the second name and is renamed over it, which replaces the entry, whatever it is.
Cause Copy(const FilePaths& paths, CPassFiles::File file, bool flush, bool leftovers,
           CKeepAlive& alive, CRetryBudget& retry) {
    const CString* copy = &paths.temporary;
    for (int attempt = 0; !CopyData(paths.source, *copy, flush, alive); ++attempt) {
        const DWORD error = GetLastError();
        if (!Taken(error)) {
            if (retry.Again(*copy))
                continue;
            return CopyCause(error, *copy);
        }
        if (attempt > 1)
            return Cause::Other;
        ClearLeftover(paths.temporary);
        if (copy == &paths.second) {
            // Both names taken: the second's entry replaces the first's, freeing it.
            if (!MoveFileExA(paths.second, paths.temporary, MOVEFILE_REPLACE_EXISTING))
                return CauseOf(GetLastError(), paths.temporary);
        }
        copy = &paths.second;
    }
    if (copy == &paths.second) {
        ClearLeftover(paths.temporary);
        while (!MoveFileExA(paths.second, paths.temporary, MOVEFILE_REPLACE_EXISTING))
            if (!retry.Again(paths.temporary)) {
                const Cause cause = CauseOf(GetLastError(), paths.temporary);
                DeleteFileA(paths.second);
                return cause;
            }
    }
    // A leftover under the second name (only a folder a killed pass left can hold one) is
    // replaced by the commit's rename aside.
    if (leftovers)
        ClearLeftover(paths.second);
    // A copy renamed to its name after its flush is flushed again there, rename and all.
    if (flush && copy == &paths.temporary)
        file.SetCopyFlushed();
    return Cause::None;
}

} // namespace

// No stream of the source comes along: the download mark that Explorer's unpacking gives every
// file of a ZIP from the web would have Windows warn at every start of a program so marked. And
// unlike CopyFileEx, nothing costs Wine a look through its mounts per file.
bool CopyData(const CString& source, const CString& to, bool flush, CKeepAlive& alive) {
    HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (from == INVALID_HANDLE_VALUE)
        return false;
    FILETIME written;
    HANDLE copy =
        GetFileTime(from, nullptr, nullptr, &written)
            ? CreateFileA(to, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)
            : INVALID_HANDLE_VALUE;
    if (copy == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandle(from);
        SetLastError(error);
        return false;
    }
    // One buffer for every copy: each uses it only from its read to its write.
    static char buffer[256 * 1024];
    DWORD read = 0, put = 0;
    bool copied;
    while ((copied = ReadFile(from, buffer, sizeof buffer, &read, nullptr) != FALSE) && read &&
           (copied = WriteFile(copy, buffer, read, &put, nullptr) && put == read))
        alive.Serve();
    copied = copied && SetFileTime(copy, nullptr, nullptr, &written) &&
             (!flush || FlushFileBuffers(copy));
    const DWORD error = GetLastError();
    CloseHandle(from);
    copied = CloseHandle(copy) && copied;
    if (!copied) {
        DeleteFileA(to);
        SetLastError(error ? error : ERROR_WRITE_FAULT);
    }
    return copied;
}

FilePaths::FilePaths(const CString& sourceFolder, const CString& targetFolder, const char* name)
    // The backslash is added even after a drive root; Windows takes the doubled one.
    : source(sourceFolder + '\\' + name), target(targetFolder + '\\' + name),
      temporary(TemporaryPathFor(targetFolder, name)), second(SecondPathFor(targetFolder, name)) {}

Cause StageFile(const FilePaths& paths, CPassFiles::File file, bool copy, bool flush,
                bool leftovers, CKeepAlive& alive, CRetryBudget& retry) {
    // Beyond MAX_PATH a file cannot be named safely; it is reported instead.
    if (paths.second.GetLength() >= MAX_PATH)
        return Cause::PathTooLong;
    if (paths.source.GetLength() >= MAX_PATH)
        return Cause::SourcePathTooLong;
    DWORD attributes = GetFileAttributesA(paths.target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            return CauseOf(error, paths.target);
        return copy ? Copy(paths, file, flush, leftovers, alive, retry) : Cause::None;
    }
    // A link, a junction or a folder is never installed over.
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return Cause::Other;
    file.SetOldKept();
    // One open checks a target for a hold and counts its names; a read-only one refuses write
    // access, so it is first looked at alone.
    const bool readOnly = attributes & FILE_ATTRIBUTE_READONLY;
    DWORD links = 0;
    const DWORD hold = DELETE | GENERIC_WRITE;
    if (const Cause cause =
            Look(paths.target, readOnly ? 0 : hold, readOnly ? nullptr : &retry, attributes, links);
        cause != Cause::None)
        return cause;
    file.SetNames(links);
    // The marks of a file with other names are those of the file elsewhere too: never reset,
    // so a read-only one cannot be replaced.
    if (links > 1 && (attributes & FILE_ATTRIBUTE_READONLY))
        return Cause::Other;
    if (!copy)
        return Cause::None; // a read-only target's hold is told in a pass that copies
    if ((attributes & kMarks) && links == 1) {
        file.SetResetMarks(attributes);
        if (!SetFileAttributesA(paths.target, FILE_ATTRIBUTE_NORMAL))
            return CauseOf(GetLastError(), paths.target);
    }
    if (readOnly)
        if (const Cause cause = Look(paths.target, hold, &retry, attributes, links);
            cause != Cause::None)
            return cause;
    return Copy(paths, file, flush, leftovers, alive, retry);
}

bool UnstageFile(const FilePaths& paths, CPassFiles::File file, bool copied) {
    if (copied)
        DeleteFileA(paths.temporary);
    return !file.ResetMarks() || SetFileAttributesA(paths.target, file.ResetMarks());
}
