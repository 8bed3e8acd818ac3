#include "install/Staging.h"

#include <cstring>

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

// The target, held open for reading while it is looked at and compared with the source.
class Target {
public:
    Target() = default;
    ~Target() { Close(); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    void Close() {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    HANDLE Handle() const { return m_handle; }
    const FILETIME& Written() const { return m_written; }
    // Why the last look could not open it.
    DWORD Error() const { return m_error; }

    // Opens the target itself, never what a link points to, for reading and access and with
    // every share, and reads its attributes. With retry, a hold is tried again within the
    // budget: asked for DELETE and GENERIC_WRITE, an open fails for a holder that does not share
    // them (and, on Windows, for a running program), as the commit's rename would.
    Cause Look(const CString& target, DWORD access, CRetryBudget* retry, DWORD& attributes) {
        Close();
        while ((m_handle =
                    CreateFileA(target, access | GENERIC_READ | FILE_READ_ATTRIBUTES, kShareAll,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) ==
               INVALID_HANDLE_VALUE) {
            m_error = GetLastError();
            if (!retry || !retry->Again(target))
                return CauseOf(m_error, target);
        }
        if (!ReadAttributes(m_handle, attributes, &m_written))
            return CauseOf(GetLastError(), target);
        return attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY) ? Cause::Other
                                                                                      : Cause::None;
    }
    // Its number of names, into file for an undo: counted only of a target to be replaced.
    Cause CountNames(const CString& target, CPassFiles::File file, DWORD& links) const {
        if (!ReadNames(m_handle, links))
            return CauseOf(GetLastError(), target);
        file.SetNames(links);
        return Cause::None;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    FILETIME m_written = {};
    DWORD m_error = ERROR_SUCCESS;
};

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
// With current, the target open for reading, a target that holds the source's bytes already is
// not copied at all but marked current in file; only where no killed pass's leftover is under
// its names, which staging alone replaces.
// With a list, a target is current where it is the listed file; the pack's file is not read
// then, only its time looked up.
Cause Copy(const FilePaths& paths, CPassFiles::File file, bool flush, bool leftovers,
           CKeepAlive& alive, CRetryBudget& retry, CPackList& list,
           const Target* target = nullptr) {
    const CString* copy = &paths.temporary;
    HANDLE current = target ? target->Handle() : INVALID_HANDLE_VALUE;
    if (leftovers && (Exists(paths.temporary) || Exists(paths.second)))
        current = INVALID_HANDLE_VALUE;
    if (current != INVALID_HANDLE_VALUE && list.Carried()) {
        WIN32_FILE_ATTRIBUTE_DATA source;
        if (list.CheckOpenFile(file.Name(), current, alive) == CPackList::Copy::Matches) {
            const FILETIME written = target->Written();
            file.SetCurrent(!GetFileAttributesExA(paths.source, GetFileExInfoStandard, &source) ||
                            std::memcmp(&source.ftLastWriteTime, &written, sizeof written) != 0);
            return Cause::None;
        }
        current = INVALID_HANDLE_VALUE; // read from, and not as released: copied
    }
    SameFile same;
    if (target)
        same.written = target->Written();
    for (int attempt = 0; !CopyData(paths.source, *copy, flush, alive, current, &same); ++attempt) {
        current = INVALID_HANDLE_VALUE; // compared once: its read position has moved
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
    if (same.same) {
        file.SetCurrent(same.timeStale);
        return Cause::None;
    }
    DWORD links = 0;
    if (target)
        if (const Cause cause = target->CountNames(paths.target, file, links);
            cause != Cause::None) {
            DeleteFileA(*copy);
            return cause;
        }
    if (same.program)
        file.SetProgram();
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

// One buffer pair for every copy: each uses it only from its read to its write.
char g_buffer[256 * 1024], g_theirs[sizeof g_buffer];

bool BeginsAsProgram(DWORD read) {
    return read >= 2 && g_buffer[0] == 'M' && g_buffer[1] == 'Z';
}

enum class Compared { Same, Differs, Failed };

// Whether from holds current's bytes, both read from their starts. Where they differ in the
// first block, pending says that block of from is in g_buffer (read bytes); where later, from
// is back at its start.
Compared Compare(HANDLE from, HANDLE current, CKeepAlive& alive, DWORD& read, bool& pending) {
    for (int block = 0;; ++block) {
        DWORD got = 0;
        if (!ReadFile(from, g_buffer, sizeof g_buffer, &read, nullptr))
            return Compared::Failed;
        if (!ReadFile(current, g_theirs, sizeof g_theirs, &got, nullptr) || got != read ||
            std::memcmp(g_buffer, g_theirs, read) != 0) {
            pending = block == 0;
            return pending || SetFilePointer(from, 0, nullptr, FILE_BEGIN) == 0 ? Compared::Differs
                                                                                : Compared::Failed;
        }
        // A file read short is read to its end.
        if (read < sizeof g_buffer)
            return Compared::Same;
        alive.Serve();
    }
}

} // namespace

// No stream of the source comes along: the download mark that Explorer's unpacking gives every
// file of a ZIP from the web would have Windows warn at every start of a program so marked. And
// unlike CopyFileEx, nothing costs Wine a look through its mounts per file.
bool CopyData(const CString& source, const CString& to, bool flush, CKeepAlive& alive,
              HANDLE current, SameFile* same) {
    HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (from == INVALID_HANDLE_VALUE)
        return false;
    FILETIME written;
    DWORD read = 0, put = 0;
    bool pending = false;
    const Compared compared = !GetFileTime(from, nullptr, nullptr, &written) ? Compared::Failed
                              : same && current != INVALID_HANDLE_VALUE
                                  ? Compare(from, current, alive, read, pending)
                                  : Compared::Differs;
    if (compared == Compared::Same) {
        same->same = true;
        same->timeStale = std::memcmp(&same->written, &written, sizeof written) != 0;
        CloseHandle(from);
        return true;
    }
    HANDLE copy =
        compared == Compared::Differs
            ? CreateFileA(to, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)
            : INVALID_HANDLE_VALUE;
    if (copy == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandle(from);
        SetLastError(error);
        return false;
    }
    bool copied =
        !pending || !read || (WriteFile(copy, g_buffer, read, &put, nullptr) && put == read);
    // Noted from the first block, read anyway: only a program is asked for its version.
    bool first = !pending;
    if (same)
        same->program = pending && BeginsAsProgram(read);
    while (copied &&
           (copied = ReadFile(from, g_buffer, sizeof g_buffer, &read, nullptr) != FALSE) && read &&
           (copied = WriteFile(copy, g_buffer, read, &put, nullptr) && put == read)) {
        if (same && first)
            same->program = BeginsAsProgram(read);
        first = false;
        alive.Serve();
    }
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
                bool leftovers, CKeepAlive& alive, CRetryBudget& retry, CPackList& list) {
    // Beyond MAX_PATH a file cannot be named safely; it is reported instead.
    if (paths.second.GetLength() >= MAX_PATH)
        return Cause::PathTooLong;
    if (paths.source.GetLength() >= MAX_PATH)
        return Cause::SourcePathTooLong;
    const DWORD hold = DELETE | GENERIC_WRITE;
    Target target;
    DWORD attributes = 0, links = 0;
    // Most targets are plain files without marks, or none: one open tells, and checks the hold.
    if (target.Look(paths.target, hold, nullptr, attributes) == Cause::None &&
        !(attributes & kMarks)) {
        file.SetOldKept();
        return copy ? Copy(paths, file, flush, leftovers, alive, retry, list, &target)
                    : target.CountNames(paths.target, file, links);
    }
    if (target.Error() == ERROR_FILE_NOT_FOUND)
        return copy ? Copy(paths, file, flush, leftovers, alive, retry, list) : Cause::None;
    target.Close();
    attributes = GetFileAttributesA(paths.target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            return CauseOf(error, paths.target);
        return copy ? Copy(paths, file, flush, leftovers, alive, retry, list) : Cause::None;
    }
    // A link, a junction or a folder is never installed over.
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return Cause::Other;
    file.SetOldKept();
    // One open checks a target for a hold and counts its names; a read-only one refuses write
    // access, so it is first looked at alone.
    const bool readOnly = attributes & FILE_ATTRIBUTE_READONLY;
    if (const Cause cause =
            target.Look(paths.target, readOnly ? 0 : hold, readOnly ? nullptr : &retry, attributes);
        cause != Cause::None)
        return cause;
    if (const Cause cause = target.CountNames(paths.target, file, links); cause != Cause::None)
        return cause;
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
        if (const Cause cause = target.Look(paths.target, hold, &retry, attributes);
            cause != Cause::None)
            return cause;
    return Copy(paths, file, flush, leftovers, alive, retry, list, &target);
}

bool UnstageFile(const FilePaths& paths, CPassFiles::File file, bool copied) {
    if (copied)
        DeleteFileA(paths.temporary);
    return !file.ResetMarks() || SetFileAttributesA(paths.target, file.ResetMarks());
}

bool StampCurrent(const FilePaths& paths) {
    HANDLE source = CreateFileA(paths.source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (source == INVALID_HANDLE_VALUE)
        return false;
    FILETIME written;
    const bool known = GetFileTime(source, nullptr, nullptr, &written);
    CloseHandle(source);
    HANDLE target = known ? CreateFileA(paths.target, FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)
                          : INVALID_HANDLE_VALUE;
    if (target == INVALID_HANDLE_VALUE)
        return false;
    const bool stamped = SetFileTime(target, nullptr, nullptr, &written) != FALSE;
    CloseHandle(target);
    return stamped;
}
