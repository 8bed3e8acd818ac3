#include "install/Commit.h"

#include "install/CommitRecord.h"
#include "install/PassRules.h"
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

// The old file, kept under its second name, goes once it is checked, without following, to
// be a plain file; a link there is never deleted (through).
bool RemoveKept(const CString& second, CRetryBudget& retry) {
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

// How far the commit of one file went: its old file kept under the second name, its copy in
// place.
enum Step { kNothing, kOldKept, kInPlace };

// Takes one file's commit back from step; false when a rename back fails.
bool Undo(const FilePaths& paths, CPassFiles::File file, Step step, CRetryBudget& retry) {
    if (step == kNothing)
        return true;
    if (!file.OldKept())
        return step != kInPlace || Rename(paths.target, paths.temporary, 0, paths.target, retry);
    if (step == kInPlace)
        return Rename(paths.second, paths.target, MOVEFILE_REPLACE_EXISTING, paths.target, retry);
    // Kept as a second name made by this pass, the target still there; or renamed aside.
    if (GetFileAttributesA(paths.target) != INVALID_FILE_ATTRIBUTES)
        return DeleteFileA(paths.second) != FALSE;
    return Rename(paths.second, paths.target, 0, paths.target, retry);
}

// Keeps the old target under its second name: a hard link, so that the copy then replaces the
// target by name, which costs no new name; where the volume has none (FAT) or something is
// under that name, a rename aside, which replaces that entry whatever it is.
bool KeepOld(const FilePaths& paths, CRetryBudget& retry, bool& linked) {
    linked = CreateHardLinkA(paths.second, paths.target, nullptr) != FALSE;
    return linked ||
           Rename(paths.target, paths.second, MOVEFILE_REPLACE_EXISTING, paths.target, retry);
}

} // namespace

void Unstage(const CString& targetFolder, CPassFiles& files, int staged) {
    int index = 0;
    files.ForEach([&](CPassFiles::File file) {
        UnstageFile(PathsOf(targetFolder, file), file, index++ < staged);
        return true;
    });
}

void Commit(const CString& targetFolder, CPassFiles& files, CRetryBudget& retry,
            PassOutcome& outcome) {
    if (!WriteCommitRecord(targetFolder, files)) {
        outcome.Failed(CauseOf(GetLastError(), targetFolder));
        Unstage(targetFolder, files, files.Count());
        return;
    }
    int failedAt = -1;
    Step failedStep = kNothing;
    int index = 0;
    files.ForEach([&](CPassFiles::File file) {
        const FilePaths paths = PathsOf(targetFolder, file);
        retry.StartFile();
        failedStep = kNothing;
        bool linked = false;
        bool done = !file.OldKept() || KeepOld(paths, retry, linked);
        if (done) {
            failedStep = kOldKept;
            done = Rename(paths.temporary, paths.target, linked ? MOVEFILE_REPLACE_EXISTING : 0,
                          paths.target, retry);
        }
        if (done) {
            ++index;
            return true;
        }
        outcome.CopyFailed(file.Name(), CauseOf(GetLastError(), paths.target));
        failedAt = index;
        return false;
    });

    if (failedAt < 0) {
        // Everything is in place: the old files go, and with them the record.
        bool removed = true;
        files.ForEach([&](CPassFiles::File file) {
            if (file.OldKept())
                removed = RemoveKept(PathsOf(targetFolder, file).second, retry) && removed;
            return true;
        });
        // Else the record stays, and the next pass removes what is left.
        if (removed)
            RemoveCommitRecord(targetFolder);
        return;
    }

    bool undone = true;
    index = 0;
    files.ForEach([&](CPassFiles::File file) {
        const Step step = index < failedAt ? kInPlace : failedStep;
        undone = Undo(PathsOf(targetFolder, file), file, step, retry) && undone;
        return ++index <= failedAt;
    });
    if (!undone) {
        // The record and the copies let the next pass complete this commit.
        outcome.PartlyUpdated();
        return;
    }
    Unstage(targetFolder, files, files.Count());
    RemoveCommitRecord(targetFolder);
}

bool CompleteKilledCommit(const CString& targetFolder, CRetryBudget& retry, PassOutcome& outcome) {
    CPassFiles files;
    switch (ReadCommitRecord(targetFolder, files)) {
    case RecordRead::None:
        return true;
    case RecordRead::Incomplete:
        // Its commit never began: what it staged is left over, and replaced by this pass.
        if (RemoveCommitRecord(targetFolder))
            return true;
        [[fallthrough]];
    case RecordRead::Unusable:
        outcome.CopyFailed(kRecordName, Cause::Other);
        return false;
    case RecordRead::Complete:
        break;
    }
    bool complete = true;
    files.ForEach([&](CPassFiles::File file) {
        const FilePaths paths = PathsOf(targetFolder, file);
        retry.StartFile();
        bool done = true;
        // The copy not yet in place replaces the target, old or gone.
        if (IsPlainFile(paths.temporary))
            done = Rename(paths.temporary, paths.target, MOVEFILE_REPLACE_EXISTING, paths.target,
                          retry);
        if (done && GetFileAttributesA(paths.second) != INVALID_FILE_ATTRIBUTES)
            done = RemoveKept(paths.second, retry);
        if (!done)
            outcome.CopyFailed(file.Name(), CauseOf(GetLastError(), paths.target));
        complete = complete && done;
        return true;
    });
    if (complete && RemoveCommitRecord(targetFolder))
        return true;
    outcome.PartlyUpdated();
    return false;
}
