#include "install/Commit.h"

#include "DiskFlush.h"
#include "install/CommitRecord.h"
#include "install/FileKind.h"
#include "install/PassFolderLayout.h"
#include "install/Staging.h"

namespace {

// held: the path whose hold is waited for.
bool Rename(const CString& from, const CString& to, DWORD flags, const CString& held,
            CRetryBudget& retry) {
    while (!MoveFileExA(from, to, flags))
        if (!retry.Again(held))
            return false;
    return true;
}

// A name of the pass's own goes (a kept old file, a copy, a copy's name linked to the new file)
// once it is checked, without following, to be a plain file; a link there is never deleted
// (through).
bool RemovePassFile(const CString& second, CRetryBudget& retry) {
    if (!IsPlainFile(second))
        return false;
    while (!DeleteFileA(second))
        if (!retry.Again(second))
            return false;
    return true;
}

FilePaths PathsOf(const CString& targetFolder, CPassFiles::File file) {
    return FilePaths(CString(), targetFolder, file.Name());
}

// Flushes a file, or with folder a folder's entries, through a handle of its own.
bool FlushOne(const CString& path, DWORD folder) {
    HANDLE handle =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | folder, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = FlushFileBuffers(handle) != FALSE;
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return flushed;
}

// The names the commit changed are entries of the Korvo folder and of the pass's subfolders:
// flushing those folders makes the renames last, as flushing each renamed file would, in a few
// flushes instead of thousands. Not every volume flushes a folder (a share may refuse).
bool FlushFolders(const CString& targetFolder) {
    if (!FlushOne(targetFolder, FILE_FLAG_BACKUP_SEMANTICS))
        return false;
    for (int i = 0; i < kSpreadFolders; ++i)
        if (!FlushOne(SpreadFolderOf(targetFolder, i), FILE_FLAG_BACKUP_SEMANTICS))
            return false;
    return true;
}

// Puts on the disk what the pass wrote beside the targets: the copies (before the record lets
// the next pass rename them over old files) or, once they are in place, the renames. One flush
// of the volume where it can be opened; else the renames by their folders, and what no folder's
// flush covers (a copy's data) by each file, unless staging flushed it already.
bool FlushWritten(const CString& targetFolder, HANDLE hold, CPassFiles& files, bool copies,
                  CKeepAlive& alive) {
    if (FlushVolumeOf(hold) || (!copies && FlushFolders(targetFolder)))
        return true;
    return files.ForEach([&](CPassFiles::File file) {
        alive.Serve();
        if (file.Current() || (copies && file.CopyFlushed()))
            return true;
        const FilePaths paths = PathsOf(targetFolder, file);
        return FlushOne(copies ? paths.temporary : paths.target, 0);
    });
}

// Keeps the old target under its second name: a hard link, so that the copy then replaces the
// target by name, which costs no new name; where the volume has none (FAT) or something is
// under that name, a rename aside, which replaces that entry whatever it is.
bool KeepOld(const FilePaths& paths, CRetryBudget& retry, bool& linked) {
    linked = CreateHardLinkA(paths.second, paths.target, nullptr) != FALSE;
    return linked ||
           Rename(paths.target, paths.second, MOVEFILE_REPLACE_EXISTING, paths.target, retry);
}

// The copy not yet in place: the target is still the old file, the kept name a second name of
// it, and the copy a file of its own.
bool CopyBeside(const FilePaths& paths) {
    return Exists(paths.target) && NamesOf(paths.temporary) == 1;
}

// Halfway through a file's undo: the new file in place, its copy's name linked to it again (the
// same file, not one linked there by anyone else), and the old file still kept.
bool UndoHalfway(const FilePaths& paths) {
    return NamesOf(paths.temporary) == 2 && IsSameFile(paths.target, paths.temporary);
}

// Whether the undo can put file back: a kept old file it would rename back is a plain file with
// as many names as staging saw (names outside the Korvo folder keep the old file's bytes).
bool CanUndo(const FilePaths& paths, CPassFiles::File file) {
    if (!file.OldKept() || !Exists(paths.second) || CopyBeside(paths))
        return true;
    const DWORD names = NamesOf(paths.second);
    return names > 0 && (names == file.Names() ||
                         (names > file.Names() && file.Names() == CPassFiles::File::kManyNames));
}

// Takes one file back to old with its copy beside it, whatever step of its commit or undo it
// was stopped at. The Korvo file's name is never absent: the new file first gets its copy's
// name again (a hard link; a rename where the volume has none), then the kept old file replaces
// it under the target's, so that a stop between leaves the file new, or old with its copy
// beside it. Each step has a file's budget of its own.
bool UndoFile(const FilePaths& paths, CPassFiles::File file, CRetryBudget& retry) {
    if (file.Current())
        return true; // never changed
    bool target = Exists(paths.target);
    const bool temporary = Exists(paths.temporary);
    retry.StartFile();
    if (!file.OldKept())
        return !target || temporary ||
               Rename(paths.target, paths.temporary, 0, paths.target, retry);
    if (!Exists(paths.second))
        return true; // never kept, or put back
    // Left over (as a copy is) where a holder of the target keeps it.
    if (CopyBeside(paths)) {
        RemovePassFile(paths.second, retry);
        return true;
    }
    if (!CanUndo(paths, file))
        return false;
    if (target && !temporary && !CreateHardLinkA(paths.temporary, paths.target, nullptr)) {
        if (!Rename(paths.target, paths.temporary, 0, paths.target, retry))
            return false;
        target = false;
    }
    retry.StartFile();
    return Rename(paths.second, paths.target, target ? MOVEFILE_REPLACE_EXISTING : 0, paths.target,
                  retry);
}

// The undo of the first `count` files: recorded first (unless the record already says so), then
// each file put back, its copy beside it; then the record and the copies go. Where a file
// cannot be put back, the record stays for the next pass to finish the undo. The undo has a
// budget of its own: the commit's failure often spent the pass's. False unless the folder is
// old again.
bool Undo(const CString& targetFolder, HANDLE hold, CPassFiles& files, int count, bool recorded,
          CKeepAlive& alive, PassOutcome& outcome) {
    if (!recorded && !RecordUndo(targetFolder)) {
        outcome.PartlyUpdated(); // still committing: the next pass completes it
        return false;
    }
    CRetryBudget retry(alive);
    bool undone = true;
    int index = 0;
    files.ForEach([&](CPassFiles::File file) {
        alive.Serve();
        const FilePaths paths = PathsOf(targetFolder, file);
        if (!UndoFile(paths, file, retry)) {
            outcome.CopyFailed(file.Name(), CauseOf(GetLastError(), paths.target));
            undone = false;
        }
        return ++index < count;
    });
    if (!undone) {
        outcome.PartlyUpdated();
        return false;
    }
    // Old again once the renames are on the disk: the copies are leftovers then, which no record
    // needs. Removed before, the record could outlast a power cut that takes back the renames,
    // leaving a mix that no record names. A record left finds nothing to undo in the next pass.
    if (FlushWritten(targetFolder, hold, files, false, alive))
        RemoveCommitRecord(targetFolder);
    Unstage(targetFolder, files, files.Count(), alive, outcome);
    return true;
}

// Once every copy is in place, the renames go to the disk, then the old files, then the record.
// A kept file or the record left over is removed by the next pass.
void RemoveKeptFiles(const CString& targetFolder, HANDLE hold, CPassFiles& files,
                     CRetryBudget& retry) {
    if (!FlushWritten(targetFolder, hold, files, false, retry.Alive()))
        return;
    bool removed = true;
    files.ForEach([&](CPassFiles::File file) {
        retry.Alive().Serve();
        // A current file kept nothing: it was left alone.
        if (file.Current() || !file.OldKept())
            return true;
        const FilePaths paths = PathsOf(targetFolder, file);
        retry.StartFile();
        // A link or a folder under the kept name is no old file of the commit's, only a
        // leftover for a later pass to replace: it does not keep the record.
        if (IsPlainFile(paths.second))
            removed = RemovePassFile(paths.second, retry) && removed;
        return true;
    });
    if (removed)
        RemoveCommitRecord(targetFolder);
}

// Whether the killed pass's copy of file may be renamed into place: a plain file with one name
// and, where the list names the file, the listed one.
bool Vouch(CPackList& list, CPassFiles::File file, const CString& copy, CRetryBudget& retry) {
    if (!IsLoneFile(copy))
        return false;
    retry.StartFile();
    CPackList::Copy checked;
    while ((checked = list.CheckStagedCopy(file.Name(), copy, retry.Alive())) ==
               CPackList::Copy::Unreadable &&
           retry.Again(copy)) {
    }
    return checked == CPackList::Copy::Matches;
}

bool CompleteCommit(const CString& targetFolder, HANDLE hold, CPassFiles& files,
                    CRetryBudget& retry, PassOutcome& outcome) {
    bool complete = true;
    files.ForEach([&](CPassFiles::File file) {
        retry.Alive().Serve();
        const FilePaths paths = PathsOf(targetFolder, file);
        retry.StartFile();
        // The copy not yet in place replaces the target, old or gone; halfway through an undo,
        // the new file is in place already and its copy's name goes.
        const bool placed =
            !Exists(paths.temporary) ||
            (UndoHalfway(paths) ? RemovePassFile(paths.temporary, retry)
                                : Rename(paths.temporary, paths.target, MOVEFILE_REPLACE_EXISTING,
                                         paths.target, retry));
        if (!placed) {
            outcome.CopyFailed(file.Name(), CauseOf(GetLastError(), paths.target));
            complete = false;
        }
        return true;
    });
    if (!complete) {
        outcome.PartlyUpdated();
        return false;
    }
    RemoveKeptFiles(targetFolder, hold, files, retry);
    return true;
}

// Every copy the commit would rename checked before the first rename; each that cannot be
// vouched for is named in the log.
bool VouchAll(const CString& targetFolder, CPassFiles& files, CPackList& list, CRetryBudget& retry,
              PassOutcome& outcome) {
    bool vouched = true;
    files.ForEach([&](CPassFiles::File file) {
        retry.Alive().Serve();
        const FilePaths paths = PathsOf(targetFolder, file);
        if (Exists(paths.temporary) && !UndoHalfway(paths) &&
            !Vouch(list, file, paths.temporary, retry)) {
            outcome.NotVouched(file.Name());
            vouched = false;
        }
        return true;
    });
    return vouched;
}

// The killed pass's way, committing or undoing, finished; where that cannot be, the other way.
// A commit goes back only for a copy it cannot vouch for; an undo that cannot end (a kept file
// not as staging saw it) goes forward where every copy can be vouched for.
bool FinishKilledCommit(const CString& targetFolder, HANDLE hold, CPassFiles& files, bool undoing,
                        CPackList& list, CRetryBudget& retry, PassOutcome& outcome) {
    if (!undoing && VouchAll(targetFolder, files, list, retry, outcome)) {
        if (!CompleteCommit(targetFolder, hold, files, retry, outcome))
            return false;
        outcome.FinishedKilled(true);
        return true;
    }
    const bool possible = files.ForEach([&](CPassFiles::File file) {
        retry.Alive().Serve();
        return CanUndo(PathsOf(targetFolder, file), file);
    });
    if (possible) {
        if (!Undo(targetFolder, hold, files, files.Count(), undoing, retry.Alive(), outcome))
            return false;
        outcome.FinishedKilled(false);
        return true;
    }
    if (undoing && VouchAll(targetFolder, files, list, retry, outcome)) {
        if (!CompleteCommit(targetFolder, hold, files, retry, outcome))
            return false;
        outcome.FinishedKilled(true);
        return true;
    }
    // Neither way: nothing more is changed, and the files are named.
    files.ForEach([&](CPassFiles::File file) {
        if (!CanUndo(PathsOf(targetFolder, file), file))
            outcome.CopyFailed(file.Name(), Cause::Other);
        return true;
    });
    outcome.PartlyUpdated();
    return false;
}

} // namespace

void Unstage(const CString& targetFolder, CPassFiles& files, int staged, CKeepAlive& alive,
             PassOutcome& outcome) {
    int index = 0;
    bool restored = true;
    files.ForEach([&](CPassFiles::File file) {
        alive.Serve();
        // A current file has no copy, only perhaps its marks reset.
        const bool copied = index++ < staged && !file.Current();
        if (!UnstageFile(PathsOf(targetFolder, file), file, copied)) {
            outcome.CopyFailed(file.Name(), Cause::Other);
            restored = false;
        }
        return true;
    });
    if (!restored)
        outcome.PartlyUpdated();
}

void Commit(const CString& targetFolder, HANDLE hold, CPassFiles& files, CRetryBudget& retry,
            PassOutcome& outcome) {
    CKeepAlive& alive = retry.Alive();
    if (!FlushWritten(targetFolder, hold, files, true, alive) ||
        !WriteCommitRecord(targetFolder, files)) {
        outcome.Failed(CauseOf(GetLastError(), targetFolder));
        Unstage(targetFolder, files, files.Count(), alive, outcome);
        return;
    }
    int done = 0;
    const bool committed = files.ForEach([&](CPassFiles::File file) {
        alive.Serve();
        if (file.Current()) {
            ++done;
            return true;
        }
        const FilePaths paths = PathsOf(targetFolder, file);
        retry.StartFile();
        bool linked = false;
        if ((!file.OldKept() || KeepOld(paths, retry, linked)) &&
            Rename(paths.temporary, paths.target, linked ? MOVEFILE_REPLACE_EXISTING : 0,
                   paths.target, retry)) {
            ++done;
            return true;
        }
        outcome.CopyFailed(file.Name(), CauseOf(GetLastError(), paths.target));
        return false;
    });
    if (committed)
        RemoveKeptFiles(targetFolder, hold, files, retry);
    else
        Undo(targetFolder, hold, files, done + 1, false, alive, outcome);
}

bool CompleteKilledCommit(const CString& targetFolder, HANDLE hold, CPackList& list,
                          CRetryBudget& retry, PassOutcome& outcome) {
    CPassFiles files;
    const RecordRead read = ReadCommitRecord(targetFolder, files);
    switch (read) {
    case RecordRead::None:
        return true;
    case RecordRead::Incomplete:
        // Its commit never began: the record goes, then the copies it staged, the marks it
        // reset put back, and this pass stages afresh. Anything else under the pass's names is
        // a leftover, which staging replaces by a rename.
        if (!RemoveCommitRecord(targetFolder))
            break;
        files.ForEach([&](CPassFiles::File file) {
            retry.Alive().Serve();
            const FilePaths paths = PathsOf(targetFolder, file);
            retry.StartFile();
            if (NamesOf(paths.temporary) == 1)
                RemovePassFile(paths.temporary, retry);
            UnstageFile(paths, file, false);
            return true;
        });
        return true;
    case RecordRead::Unusable:
        break;
    case RecordRead::Commit:
    case RecordRead::Undo:
        return FinishKilledCommit(targetFolder, hold, files, read == RecordRead::Undo, list, retry,
                                  outcome);
    }
    outcome.RecordUnusable(targetFolder + '\\' + kRecordName);
    return false;
}
